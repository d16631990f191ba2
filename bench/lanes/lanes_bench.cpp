// The lanes at work: eight lanes scrolling in the real program on a
// 1920-pixel virtual screen, measured from outside.
//   - speed: each run's pixels per second over the speed its drawn step delay
//     asks for (1000 / stepDelay), the delay read from the traced build;
//   - CPU: the program's CPU time per lane-minute while eight lanes scroll,
//     beside the same program idle (all lanes parked, nothing to show);
//   - start: from dismissing the start-up hint to the first headline moving.
// Also the message-pumping delay alone (no window, no label), which is the
// part of each step that the platform's timer decides.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <vector>
#include <array>
#include <atomic>
#include <thread>

#include "common/win_handle.h"
#include "driver/program_driver.h"
#include "lane_headlines.h"
#include "lane_watch.h"
#include "lanes/lane_observer.h"
#include "lanes/lane_surface.h"
#include "lanes/lanes.h"
#include "lanes/trace/lane_trace.h"


namespace velmora::test {
namespace {

using namespace std::chrono_literals;

constexpr int kScreenWidth = 1920;
constexpr int kLabelWidth = 816;
constexpr double kCpuWindowMs = 20000;

// CPU time of the host's processes whose name starts with `name` (Xvfb,
// wineserver, the program: Wine names a process after its file, cut to 15
// characters), read from the host's /proc through the Z: drive; -1 where that
// cannot be read. The system's own figure for another process is not kept by
// Wine, so the program is measured this way too.
double hostCpuMs(const char* name) {
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    double total = -1;
    do {
        if (found.cFileName[0] < '1' || found.cFileName[0] > '9') continue;
        const std::string path = std::string("Z:\\proc\\") + found.cFileName + "\\stat";
        const UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) continue;
        char text[1024] = {};
        DWORD got = 0;
        ReadFile(file.get(), text, sizeof text - 1, &got, nullptr);
        const std::string stat(text, got);
        const auto open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        if (stat.substr(open + 1, close - open - 1).rfind(name, 0) != 0) continue;
        // Fields after the name: state is the 3rd field, utime and stime the 14th and 15th.
        unsigned long long utime = 0, stime = 0;
        if (std::sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
            continue;
        total = std::max(total, 0.0) + static_cast<double>(utime + stime) * 10.0;  // 100 ticks a second
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return total;
}

struct CpuShares {
    double program = -1;  // of one core, all its threads
    double xServer = -1;
    double wineServer = -1;
};

// CPU shares over the next `windowMs`: the program, the display server and Wine's server.
CpuShares cpuShares(const char* programName, double windowMs) {
    const double programStart = hostCpuMs(programName);
    const double xStart = hostCpuMs("Xvfb"), wineStart = hostCpuMs("wineserver");
    const double start = nowMs();
    while (nowMs() < start + windowMs) Sleep(50);
    const double elapsed = nowMs() - start;
    CpuShares shares;
    if (programStart >= 0) shares.program = (hostCpuMs(programName) - programStart) / elapsed;
    if (xStart >= 0) shares.xServer = (hostCpuMs("Xvfb") - xStart) / elapsed;
    if (wineStart >= 0) shares.wineServer = (hostCpuMs("wineserver") - wineStart) / elapsed;
    return shares;
}

std::wstring tracedProgramPath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring built = L"Z:";
    for (const char c : std::string_view(VELMORA_TRACED_PROGRAM)) built += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return built;
}

void measureDelayAlone() {
    std::printf("pumpingDelay alone (no window), 200 waits each:\n");
    for (int delay = 5; delay <= 10; ++delay) {
        const double start = nowMs();
        for (int i = 0; i < 200; ++i) pumpingDelay(delay, 0);
        const double each = (nowMs() - start) / 200;
        std::printf("  asked %2d ms  waited %.3f ms  speed ratio %.3f\n", delay, each, delay / each);
    }
}

// A surface without windows: the lanes' own part of every step (the wait and
// the calls themselves), with nothing behind the calls.
class BareSurface : public LaneSurface {
public:
    int screenWidth() const override { return kScreenWidth; }
    int labelLeft(int lane) const override { return lefts_[static_cast<std::size_t>(lane)].load(); }
    int labelWidth(int) const override { return kLabelWidth; }
    void setLabelLeft(int lane, int x) override {
        lefts_[static_cast<std::size_t>(lane)] = x;
        ++steps_[static_cast<std::size_t>(lane)];
    }
    void setLabelText(int, const Text&) override {}
    void setLabelTextColour(int, std::uint32_t) override {}
    void setTopmost(bool) override {}
    void showNormal() override {}
    bool takeHeadline(Text& out) override {
        out = Text("headline");
        return true;
    }
    bool ending() const override { return ending_.load(); }

    void end() { ending_ = true; }
    long steps(int lane) const { return steps_[static_cast<std::size_t>(lane)].load(); }

private:
    std::array<std::atomic<int>, 8> lefts_{};
    std::array<std::atomic<long>, 8> steps_{};
    std::atomic<bool> ending_{false};
};

double ownCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto ms = [](FILETIME time) {
        return static_cast<double>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

std::array<int, 8> drawnDelays{};
void noteDelay(int lane, const LaneLook& look) { drawnDelays[static_cast<std::size_t>(lane)] = look.stepDelay; }

// Eight lane workers on the bare surface for ten seconds.
void measureLanesAlone() {
    BareSurface surface;
    setLaneRunObserver(noteDelay);
    std::vector<std::thread> workers;
    const double cpuStart = ownCpuMs();
    const double wineStart = hostCpuMs("wineserver");
    const double start = nowMs();
    for (int lane = 0; lane < 8; ++lane) workers.emplace_back([&surface, lane] { LaneScroller(lane, surface); });
    Sleep(10000);
    const double elapsed = nowMs() - start;
    const double cpu = ownCpuMs() - cpuStart;
    const double wine = wineStart >= 0 ? hostCpuMs("wineserver") - wineStart : -1;
    std::printf("eight lane workers with no windows behind the labels, %.0f s:\n", elapsed / 1000);
    std::vector<double> ratios;
    for (int lane = 0; lane < 8; ++lane) {
        const double asked = 1000.0 / drawnDelays[static_cast<std::size_t>(lane)];
        ratios.push_back(surface.steps(lane) * 1000.0 / elapsed / asked);
    }
    surface.end();
    for (std::thread& worker : workers) worker.join();
    setLaneRunObserver(nullptr);
    std::sort(ratios.begin(), ratios.end());
    std::printf("  speed / asked speed: min %.3f  median %.3f  max %.3f\n", ratios.front(), ratios[4], ratios.back());
    std::printf("  lanes' own CPU: %.2f %% of one core per lane (Wine server's part: %.2f %%)\n", cpu / elapsed / 8 * 100,
                wine / elapsed / 8 * 100);
}

CpuShares idleShares() {
    FakeNewsService service(std::vector<std::wstring>{});
    ProgramDriver program;
    if (!program.start() || !program.dismissStartupHint() || program.waitForOverlay() == nullptr) return {};
    Sleep(2000);
    const CpuShares share = cpuShares("velmora-loopbac", kCpuWindowMs);
    program.postEscape();
    program.waitForExit(5s);
    return share;
}

struct ScrollFigures {
    double startMs = -1;      // hint dismissed to first move
    CpuShares share;          // while eight lanes scroll
    std::vector<double> ratios;
    std::map<int, std::vector<double>> ratiosByDelay;
    int lanesBusy = 0;  // scrolling when the CPU had been measured
    double pixelsMeasured = 0;
};

ScrollFigures measureScrolling() {
    ScrollFigures figures;
    FakeNewsService service(laneHeadlines());
    ProgramDriver program(tracedProgramPath());
    LaneTrace trace;
    if (!program.start() || !waitUntil([&] { return trace.open(program.processId()); }, 10s)) {
        std::printf("the traced program did not start\n");
        return figures;
    }
    if (!program.dismissStartupHint()) return figures;
    const double dismissed = nowMs();
    if (program.waitForOverlay() == nullptr || program.labels().size() != 8) return figures;
    LaneWatch watch(program.labels(), kScreenWidth, &trace);
    watch.start();
    waitUntil([&] { return watch.firstMoveMs(1).has_value(); }, 20s);
    if (const auto first = watch.firstMoveMs(1)) figures.startMs = *first - dismissed;
    const double firstMove = watch.firstMoveMs(1).value_or(nowMs());
    while (nowMs() < firstMove + 31000) Sleep(100);
    watch.stop();
    // Without the watcher's reads, which load Wine's server too; by now every
    // lane has been busy for half a minute and keeps being so.
    figures.share = cpuShares("velmora-lanes-t", kCpuWindowMs);
    figures.lanesBusy = 0;
    for (const HWND label : program.labels()) {
        RECT rect{};
        if (GetWindowRect(label, &rect) && rect.left != kScreenWidth) ++figures.lanesBusy;
    }
    program.postEscape();
    program.waitForExit(5s);

    for (const LaneRun& run : watch.allRuns()) {
        if (!run.stepDelay) continue;
        // Over as much of the way as was seen (200 pixels at least), the edges left out.
        const int from = kScreenWidth - 120;
        const int to = std::max(run.minX(), -kLabelWidth + 120);
        if (from - to < 200) continue;
        figures.pixelsMeasured += from - to;
        const std::optional<double> rate = run.rate(from, to);
        if (!rate) continue;
        const double ratio = *rate / (1000.0 / *run.stepDelay);
        figures.ratios.push_back(ratio);
        figures.ratiosByDelay[*run.stepDelay].push_back(ratio);
    }
    return figures;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace
}  // namespace velmora::test

static void printShares(const char* what, const velmora::test::CpuShares& shares) {
    std::printf("  CPU, %s: program %.2f %%, display server %.2f %%, Wine server %.2f %% of one core\n", what,
                shares.program * 100, shares.xServer * 100, shares.wineServer * 100);
}

int main() {
    using namespace velmora::test;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    measureDelayAlone();
    measureLanesAlone();

    const CpuShares idle = idleShares();
    const ScrollFigures scrolling = measureScrolling();

    std::printf("eight lanes on a %d-pixel screen:\n", kScreenWidth);
    std::printf("  runs measured: %zu, over %.0f pixels in all\n", scrolling.ratios.size(), scrolling.pixelsMeasured);
    if (!scrolling.ratios.empty()) {
        const auto [least, most] = std::minmax_element(scrolling.ratios.begin(), scrolling.ratios.end());
        std::printf("  speed / asked speed: min %.3f  median %.3f  max %.3f  (goal 0.97..1.03)\n", *least,
                    median(scrolling.ratios), *most);
        for (const auto& [delay, ratios] : scrolling.ratiosByDelay)
            std::printf("    step delay %2d ms (asks %.1f px/s): %zu runs, median ratio %.3f\n", delay, 1000.0 / delay,
                        ratios.size(), median(ratios));
    }
    printShares("idle overlay (baseline)", idle);
    printShares("eight lanes scrolling  ", scrolling.share);
    std::printf("  lanes scrolling while measured: %d\n", scrolling.lanesBusy);
    if (idle.program >= 0 && scrolling.share.program >= 0 && scrolling.lanesBusy > 0) {
        const double lanes = scrolling.lanesBusy;
        const double perLane = (scrolling.share.program - idle.program) / lanes;
        std::printf("  program CPU per scrolling lane: %.2f %% of one core = %.2f CPU-seconds per lane-minute (goal < 1 %%)\n",
                    perLane * 100, perLane * 60);
        if (scrolling.share.xServer >= 0 && scrolling.share.wineServer >= 0) {
            const double all = (scrolling.share.program + scrolling.share.xServer + scrolling.share.wineServer -
                                idle.program - std::max(idle.xServer, 0.0) - std::max(idle.wineServer, 0.0)) / lanes;
            std::printf("  with the display and Wine servers' part: %.2f %% of one core per lane\n", all * 100);
        }
        if (idle.program > 0) std::printf("  program CPU, scrolling / idle: %.1fx\n", scrolling.share.program / idle.program);
    }
    std::printf("  hint dismissed to first headline moving: %.0f ms (one lane tick is 50 ms)\n", scrolling.startMs);
    return scrolling.ratios.empty() ? 1 : 0;
}
