// The lanes in the real program, on a virtual 1920-pixel screen, fed by the
// stand-in news service. The traced build (the program plus the lane trace)
// tells each run's drawn step delay and colour, so that speeds are measured
// against what each run asked for.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "lane_headlines.h"
#include "lane_watch.h"
#include "lanes/trace/lane_trace.h"
#include "driver/program_driver.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

constexpr int kScreenWidth = 1920;
constexpr int kLabelWidth = 816;

// Beside the test if it is there, otherwise where CMake built it (the
// system's Z: drive is the root of the host's file system).
std::wstring tracedProgramPath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring beside = self;
    beside.resize(beside.find_last_of(L"\\/") + 1);
    beside += L"velmora-lanes-traced.exe";
    if (GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
    std::wstring built = L"Z:";
    for (const char c : std::string_view(VELMORA_TRACED_PROGRAM)) built += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return built;
}

// One program run of about half a minute, watched from start to end and
// shared by the checks below: every lane's first run is whole in it.
struct WatchedSession {
    std::unique_ptr<FakeNewsService> service;
    std::unique_ptr<ProgramDriver> program;
    LaneTrace trace;
    std::unique_ptr<LaneWatch> watch;
    ScreenCapture screen;
    std::map<int, COLORREF> coloursAtCapture;
    std::string failure;  // why the session could not be watched
    double dismissedMs = 0;
    std::optional<DWORD> exitCode;
};

WatchedSession* session = nullptr;

// The program's exit code once it has ended within `timeout`. This thread's
// messages are handled meanwhile: as the overlay goes, the window system may
// send to windows of this process too, and the program waits for the answer.
std::optional<DWORD> exitWithin(ProgramDriver& program, std::chrono::milliseconds timeout) {
    if (!waitUntil([&] { return !program.running(); }, timeout)) return std::nullopt;
    return program.waitForExit(0ms);
}

bool everyLaneParkedOnce(const LaneWatch& watch) {
    for (int lane = 1; lane <= 8; ++lane) {
        const std::vector<LaneRun> runs = watch.runs(lane);
        if (runs.empty() || !runs.front().parked) return false;
    }
    return true;
}

// One line per lane run, for the reader of a failed test.
void describe(const LaneWatch& watch) {
    std::printf("sampling rounds: %zu\n", watch.sampleRounds());
    for (const LaneRun& run : watch.allRuns()) {
        const std::optional<double> rate = run.rate(kScreenWidth - 120, -kLabelWidth + 120);
        std::printf("lane %d run %ld: delay %d ms, %zu samples, x %d..%d, %s, %.1f px/s over %.0f ms\n", run.lane,
                    run.traceRun, run.stepDelay.value_or(0), run.samples.size(), run.samples.front().x, run.minX(),
                    run.parked ? "parked" : "moving", rate.value_or(0.0),
                    run.samples.back().ms - run.samples.front().ms);
    }
}

class EightLanes : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        session = new WatchedSession;
        WatchedSession& s = *session;
        s.service = std::make_unique<FakeNewsService>(laneHeadlines());
        s.program = std::make_unique<ProgramDriver>(tracedProgramPath());
        if (!s.program->start()) return void(s.failure = "the traced program did not start");
        if (!waitUntil([&] { return s.trace.open(s.program->processId()); }, 10s))
            return void(s.failure = "the traced program publishes no lane trace");
        if (!s.program->dismissStartupHint()) return void(s.failure = "no start-up hint");
        s.dismissedMs = nowMs();
        if (s.program->waitForOverlay() == nullptr) return void(s.failure = "no overlay");
        const std::vector<HWND> labels = s.program->labels();
        if (labels.size() != 8) return void(s.failure = "the overlay has not eight labels");
        s.watch = std::make_unique<LaneWatch>(labels, kScreenWidth, &s.trace);
        s.watch->start();
        // Every lane is busy within a few seconds; the screen is taken once the
        // headlines are well inside it.
        waitUntil([&] { return s.watch->firstMoveMs(8).has_value(); }, 15s);
        Sleep(3000);
        s.screen = ScreenCapture::take(RECT{0, 0, kScreenWidth, 200});
        for (int lane = 1; lane <= 8; ++lane)
            if (const auto seen = s.trace.latest(lane)) s.coloursAtCapture[lane] = seen->colour;
        // Until every lane's first run is whole: the slowest asks for 2736
        // steps of 10 ms, 27.4 s; a minute at most.
        const double firstMove = s.watch->firstMoveMs(1).value_or(nowMs());
        while (nowMs() < firstMove + 60000 && !everyLaneParkedOnce(*s.watch)) Sleep(500);
        s.watch->stop();
        describe(*s.watch);
        s.program->postEscape();
        s.exitCode = exitWithin(*s.program, 5s);
    }
    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }

protected:
    void SetUp() override { ASSERT_TRUE(session->failure.empty()) << session->failure; }
    static LaneWatch& watch() { return *session->watch; }
};

TEST_F(EightLanes, LaneOneMovesFirstThenTheOthersInOrderAtMostOneATick) {
    std::vector<double> firstMoves;
    for (int lane = 1; lane <= 8; ++lane) {
        const std::optional<double> first = watch().firstMoveMs(lane);
        ASSERT_TRUE(first) << "lane " << lane << " never moved";
        firstMoves.push_back(*first);
    }
    for (std::size_t i = 1; i < firstMoves.size(); ++i)
        EXPECT_GT(firstMoves[i], firstMoves[i - 1]) << "lane " << i + 1 << " moved before lane " << i;
    // Starts are at least a 50 ms tick apart. The first step after a start
    // comes sooner or later as the user-interface thread is free, so two
    // neighbours may move close together, but eight lanes take seven ticks.
    EXPECT_GE(firstMoves.back() - firstMoves.front(), 7 * 40.0);
}

TEST_F(EightLanes, EveryRunMovesAtTheSpeedItsStepDelayAsksFor) {
    int measured = 0;
    for (const LaneRun& run : watch().allRuns()) {
        if (!run.stepDelay) continue;
        const std::optional<double> rate = run.rate(kScreenWidth - 120, -kLabelWidth + 120);
        if (!rate) continue;  // cut off by the end of watching
        ++measured;
        const double asked = 1000.0 / *run.stepDelay;
        // Never faster than asked. The timer's precision and the two label
        // calls of every step come on top of each wait: they may cost a run
        // some of its speed, never as much as the wait itself. (The benchmark
        // measures how much exactly.)
        EXPECT_LE(*rate / asked, 1.03) << "lane " << run.lane << ", delay " << *run.stepDelay << ": " << *rate << " px/s";
        EXPECT_GE(*rate / asked, 0.5) << "lane " << run.lane << ", delay " << *run.stepDelay << ": " << *rate << " px/s";
        // Steady: the first half of the way about as fast as the second, while
        // other lanes start and end beside it.
        const std::optional<double> first = run.rate(kScreenWidth - 120, 400);
        const std::optional<double> second = run.rate(400, -kLabelWidth + 120);
        ASSERT_TRUE(first && second);
        EXPECT_NEAR(*first / *second, 1.0, 0.25) << "lane " << run.lane;
    }
    EXPECT_GE(measured, 8);
}

TEST_F(EightLanes, LabelsMoveOnePixelPerStepAndNeverBack) {
    for (const LaneRun& run : watch().allRuns()) {
        ASSERT_TRUE(run.stepDelay) << "lane " << run.lane << " moved without a run in the trace";
        EXPECT_EQ(run.impossibleMoves(*run.stepDelay), 0) << "lane " << run.lane;
    }
}

TEST_F(EightLanes, RunsEndAtMinus816AndParkAtTheScreenWidth) {
    int whole = 0;
    for (const LaneRun& run : watch().allRuns()) {
        EXPECT_GE(run.minX(), -kLabelWidth) << "lane " << run.lane;
        if (!run.parked) continue;
        ++whole;
        EXPECT_EQ(run.minX(), -kLabelWidth) << "lane " << run.lane;
        EXPECT_EQ(run.samples.front().x, kScreenWidth - 1) << "lane " << run.lane << " did not start at the edge";
    }
    EXPECT_GE(whole, 8);  // every lane's first run, at least
    const std::vector<LaneSample> last = watch().samples(1);
    ASSERT_FALSE(last.empty());
}

TEST_F(EightLanes, NeverTwoWorkersOnOneLane) {
    for (int lane = 1; lane <= 8; ++lane) {
        long previous = 0;
        for (const LaneRun& run : watch().runs(lane)) {
            // No second run was started in the lane while this one moved ...
            EXPECT_TRUE(run.traceSteady) << "lane " << lane << ", run " << run.traceRun;
            // ... and none started and vanished between two runs seen.
            if (previous != 0) {
                EXPECT_EQ(run.traceRun, previous + 1) << "lane " << lane;
            }
            previous = run.traceRun;
        }
    }
}

TEST_F(EightLanes, ScreenShowsSeveralLanesOfHeadlinesInDifferentColours) {
    ASSERT_FALSE(session->screen.empty());
    std::set<COLORREF> coloursShown;
    for (const auto& [lane, colour] : session->coloursAtCapture) {
        const RECT band{0, 24 * (lane - 1) + 2, kScreenWidth, 24 * (lane - 1) + 23};
        const int pixels = session->screen.countPixels(band, [colour = colour](COLORREF c) { return c == colour; });
        if (pixels >= 50) coloursShown.insert(colour);
    }
    if (coloursShown.size() < 3) session->screen.saveBmp(L"lanes-e2e-screen.bmp");
    EXPECT_GE(coloursShown.size(), 3u);
}

TEST_F(EightLanes, EscAfterwardsEndsTheProgramWithExitCodeZero) { EXPECT_EQ(session->exitCode, std::optional<DWORD>(0)); }

// ---------------------------------------------------------------------------

class LanesProgram : public ::testing::Test {
protected:
    // Starts the program behind the hint and waits for its overlay.
    HWND startAndDismiss(ProgramDriver& program) {
        if (!program.start() || !program.dismissStartupHint()) return nullptr;
        return program.waitForOverlay();
    }
};

TEST_F(LanesProgram, WithNothingToShowNoLabelMoves) {
    FakeNewsService service(std::vector<std::wstring>{});
    ProgramDriver program;
    ASSERT_NE(startAndDismiss(program), nullptr);
    ASSERT_TRUE(service.waitForRequests(1, 10s));
    LaneWatch watching(program.labels(), kScreenWidth, nullptr);
    watching.start();
    Sleep(3000);
    watching.stop();
    for (int lane = 1; lane <= 8; ++lane) {
        const std::vector<LaneSample> samples = watching.samples(lane);
        ASSERT_FALSE(samples.empty());
        for (const LaneSample& sample : samples) ASSERT_EQ(sample.x, kScreenWidth) << "lane " << lane;
    }
}

// Where `window` stands among the top-level windows, 0 at the top.
int zPosition(HWND window) {
    int position = 0;
    for (HWND at = GetTopWindow(nullptr); at != nullptr; at = GetWindow(at, GW_HWNDNEXT), ++position)
        if (at == window) return position;
    return -1;
}

TEST_F(LanesProgram, MinimisedOverlayIsBackWithinATick) {
    FakeNewsService service(laneHeadlines());
    ProgramDriver program;
    HWND overlay = startAndDismiss(program);
    ASSERT_NE(overlay, nullptr);
    for (int attempt = 0; attempt < 3; ++attempt) {
        ShowWindow(overlay, SW_MINIMIZE);
        const double minimisedMs = nowMs();
        ASSERT_TRUE(waitUntil([&] { return !IsIconic(overlay) && IsWindowVisible(overlay); }, 2s));
        // One 50 ms tick, and the time the window system takes to restore it.
        EXPECT_LT(nowMs() - minimisedMs, 250.0);
    }
}

// A topmost window of the test's own, over the overlay's top-left corner.
class TopmostCover {
public:
    TopmostCover() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = L"VelmoraLanesCover";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"cover",
                                  WS_POPUP | WS_VISIBLE, 100, 0, 400, 150, nullptr, nullptr, windowClass.hInstance,
                                  nullptr);
        SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    ~TopmostCover() { DestroyWindow(window_); }
    TopmostCover(const TopmostCover&) = delete;
    TopmostCover& operator=(const TopmostCover&) = delete;
    HWND handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

TEST_F(LanesProgram, TopmostWindowOpenedOverTheOverlayIsPutBeneathItWithinATick) {
    FakeNewsService service(laneHeadlines());
    ProgramDriver program;
    HWND overlay = startAndDismiss(program);
    ASSERT_NE(overlay, nullptr);
    ASSERT_TRUE(waitUntil([&] { return GetWindowLongW(overlay, GWL_EXSTYLE) & WS_EX_TOPMOST; }, 2s));
    for (int attempt = 0; attempt < 3; ++attempt) {
        TopmostCover cover;
        ASSERT_NE(cover.handle(), nullptr);
        const double openedMs = nowMs();
        ASSERT_TRUE(waitUntil([&] { return zPosition(overlay) >= 0 && zPosition(overlay) < zPosition(cover.handle()); }, 2s));
        EXPECT_LT(nowMs() - openedMs, 250.0);
    }
}

// Twenty times each: the program ends with exit code 0 within a second of
// Esc or of a confirmed tray exit while all eight lanes scroll.
class EndingMidScroll : public LanesProgram {
protected:
    static void SetUpTestSuite() { service = new FakeNewsService(laneHeadlines()); }
    static void TearDownTestSuite() {
        delete service;
        service = nullptr;
    }

    // Starts the program and waits until every lane is scrolling.
    bool startScrolling(ProgramDriver& program) {
        if (startAndDismiss(program) == nullptr) return false;
        const std::vector<HWND> labels = program.labels();
        if (labels.size() != 8) return false;
        return waitUntil(
            [&] {
                for (HWND label : labels) {
                    RECT rect{};
                    if (!GetWindowRect(label, &rect) || rect.left >= kScreenWidth) return false;
                }
                return true;
            },
            20s);
    }

    static FakeNewsService* service;
};

FakeNewsService* EndingMidScroll::service = nullptr;

TEST_F(EndingMidScroll, EscTwentyTimes) {
    for (int round = 1; round <= 20; ++round) {
        ProgramDriver program;
        ASSERT_TRUE(startScrolling(program)) << "round " << round;
        ASSERT_TRUE(program.postEscape()) << "round " << round;
        EXPECT_EQ(exitWithin(program, 1000ms), std::optional<DWORD>(0)) << "round " << round;
    }
}

TEST_F(EndingMidScroll, ConfirmedTrayExitTwentyTimes) {
    for (int round = 1; round <= 20; ++round) {
        ProgramDriver program;
        ASSERT_TRUE(startScrolling(program)) << "round " << round;
        ASSERT_TRUE(program.postTrayEvent(WM_LBUTTONDBLCLK)) << "round " << round;
        HWND box = program.waitForMessageBox(kConfirmTitle, 10s);
        ASSERT_NE(box, nullptr) << "round " << round;
        // The lanes go on while the question is open.
        Sleep(200);
        ASSERT_TRUE(ProgramDriver::pressButton(box, IDYES)) << "round " << round;
        EXPECT_EQ(exitWithin(program, 1000ms), std::optional<DWORD>(0)) << "round " << round;
    }
}

}  // namespace
}  // namespace velmora::test
