#pragma once
// Watches the lane labels of a running program from outside: a thread reads
// every label's x position about once a millisecond (GetWindowRect), with
// the lane trace's run count beside it when the program publishes one, and
// cuts each lane's positions into runs for the checks.
#include <windows.h>

#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "lanes/trace/lane_trace.h"

namespace velmora::test {

inline constexpr int kWatchedLanes = 8;

double nowMs();  // a steady clock in milliseconds

struct LaneSample {
    double ms;
    int x;
    long traceRuns;  // 0 without a trace
    int stepDelay;   // of the lane's latest run in the trace (0: none)
    COLORREF colour;
};

// One pass of a headline as seen from outside: from the first position left
// of the parked one to the label being parked again.
struct LaneRun {
    int lane = 0;              // 1..8
    std::vector<LaneSample> samples;  // the moving ones, in order
    bool parked = false;       // seen parked again after it
    double parkedMs = 0;       // when it was first seen parked again
    long traceRun = 0;         // trace count at its first sample (0: none)
    bool traceSteady = true;   // the count did not change while it moved
    std::optional<int> stepDelay;  // from the trace
    std::optional<COLORREF> colour;

    double firstMs() const { return samples.front().ms; }
    int minX() const;
    // Pixels per second between the first times it is seen at or left of
    // `fromX` and of `toX`; nullopt when it did not get that far.
    std::optional<double> rate(int fromX, int toX) const;
    // Moves seen that one pixel per step cannot explain: x going right, or
    // more pixels between two samples than steps of `stepDelay` fit in.
    int impossibleMoves(int stepDelayMs) const;
};

class LaneWatch {
public:
    LaneWatch(std::vector<HWND> labels, int parkedX, const LaneTrace* trace);
    ~LaneWatch();
    LaneWatch(const LaneWatch&) = delete;
    LaneWatch& operator=(const LaneWatch&) = delete;

    void start();
    void stop();
    std::vector<LaneSample> samples(int lane) const;  // 1..8
    std::vector<LaneRun> runs(int lane) const;
    std::vector<LaneRun> allRuns() const;
    // When lane's label was first seen away from the parked position.
    std::optional<double> firstMoveMs(int lane) const;
    std::size_t sampleRounds() const { return rounds_.load(); }

private:
    void sampleLoop();

    std::vector<HWND> labels_;
    int parkedX_;
    const LaneTrace* trace_;
    mutable std::mutex mutex_;
    std::array<std::vector<LaneSample>, kWatchedLanes> samples_;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> rounds_{0};
    std::thread thread_;
};

}  // namespace velmora::test
