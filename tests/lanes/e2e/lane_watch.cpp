#include "lane_watch.h"

#include <algorithm>
#include <cmath>

namespace velmora::test {

double nowMs() {
    static const double frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return static_cast<double>(value.QuadPart);
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / frequency;
}

int LaneRun::minX() const {
    int least = samples.front().x;
    for (const LaneSample& sample : samples) least = std::min(least, sample.x);
    return least;
}

std::optional<double> LaneRun::rate(int fromX, int toX) const {
    std::optional<double> fromMs, toMs;
    int fromSeen = 0, toSeen = 0;
    for (const LaneSample& sample : samples) {
        if (!fromMs && sample.x <= fromX) fromMs = sample.ms, fromSeen = sample.x;
        if (!toMs && sample.x <= toX) toMs = sample.ms, toSeen = sample.x;
    }
    if (!fromMs || !toMs || *toMs <= *fromMs) return std::nullopt;
    return (fromSeen - toSeen) * 1000.0 / (*toMs - *fromMs);
}

int LaneRun::impossibleMoves(int stepDelayMs) const {
    int count = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const int moved = samples[i - 1].x - samples[i].x;
        const double between = samples[i].ms - samples[i - 1].ms;
        // The sample times bracket the moves only to within a read each side.
        const int possible = static_cast<int>(std::ceil((between + 1.0) / stepDelayMs)) + 1;
        if (moved < 0 || moved > possible) ++count;
    }
    return count;
}

LaneWatch::LaneWatch(std::vector<HWND> labels, int parkedX, const LaneTrace* trace)
    : labels_(std::move(labels)), parkedX_(parkedX), trace_(trace) {}

LaneWatch::~LaneWatch() { stop(); }

void LaneWatch::start() {
    stopping_ = false;
    thread_ = std::thread([this] { sampleLoop(); });
}

void LaneWatch::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

void LaneWatch::sampleLoop() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    while (!stopping_) {
        const std::size_t count = std::min<std::size_t>(labels_.size(), kWatchedLanes);
        for (std::size_t lane = 0; lane < count; ++lane) {
            RECT rect{};
            if (!GetWindowRect(labels_[lane], &rect)) continue;
            const std::optional<LaneRunSeen> seen = trace_ ? trace_->latest(static_cast<int>(lane) + 1) : std::nullopt;
            const LaneSample sample{nowMs(), static_cast<int>(rect.left), seen ? seen->runs : 0,
                                    seen ? seen->stepDelay : 0, seen ? seen->colour : 0};
            const std::lock_guard lock(mutex_);
            samples_[lane].push_back(sample);
        }
        ++rounds_;
        Sleep(1);
    }
}

std::vector<LaneSample> LaneWatch::samples(int lane) const {
    const std::lock_guard lock(mutex_);
    return samples_.at(static_cast<std::size_t>(lane - 1));
}

std::vector<LaneRun> LaneWatch::runs(int lane) const {
    std::vector<LaneRun> found;
    LaneRun current;
    bool moving = false;
    for (const LaneSample& sample : samples(lane)) {
        if (sample.x != parkedX_) {
            if (!moving) {
                current = LaneRun{};
                current.lane = lane;
                current.traceRun = sample.traceRuns;
                if (sample.traceRuns > 0) current.stepDelay = sample.stepDelay, current.colour = sample.colour;
                moving = true;
            }
            if (sample.traceRuns != current.traceRun) current.traceSteady = false;
            current.samples.push_back(sample);
        } else if (moving) {
            current.parked = true;
            current.parkedMs = sample.ms;
            found.push_back(current);
            moving = false;
        }
    }
    if (moving) found.push_back(current);
    return found;
}

std::vector<LaneRun> LaneWatch::allRuns() const {
    std::vector<LaneRun> all;
    for (int lane = 1; lane <= kWatchedLanes; ++lane) {
        std::vector<LaneRun> mine = runs(lane);
        all.insert(all.end(), mine.begin(), mine.end());
    }
    return all;
}

std::optional<double> LaneWatch::firstMoveMs(int lane) const {
    for (const LaneSample& sample : samples(lane))
        if (sample.x != parkedX_) return sample.ms;
    return std::nullopt;
}

}  // namespace velmora::test
