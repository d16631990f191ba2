#pragma once
// The lane trace: a traced build of the program publishes, for every lane,
// how many runs have started and what the latest one drew, in shared memory
// named after its process id; tests and benchmarks read it from outside.
#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "common/win_handle.h"

namespace velmora::test {

inline constexpr int kTracedLanes = 8;

struct LaneTraceBoard {
    volatile LONG runs[kTracedLanes];       // runs started so far in each lane
    volatile LONG stepDelay[kTracedLanes];  // of the latest run, ms
    volatile LONG colour[kTracedLanes];     // of the latest run, COLORREF
};

inline std::wstring laneTraceName(DWORD processId) {
    return L"Local\\VelmoraLaneTrace." + std::to_wstring(processId);
}

struct LaneRunSeen {
    long runs;  // number of the latest run, from 1
    int stepDelay;
    COLORREF colour;
};

// Reads the board of a running traced program.
class LaneTrace {
public:
    LaneTrace() = default;
    ~LaneTrace();
    LaneTrace(const LaneTrace&) = delete;
    LaneTrace& operator=(const LaneTrace&) = delete;

    // False when the program publishes no trace (not a traced build, or gone).
    bool open(DWORD processId);
    bool isOpen() const { return board_ != nullptr; }
    // The latest run of lane 1..8; nullopt before the first.
    std::optional<LaneRunSeen> latest(int lane) const;

private:
    UniqueHandle mapping_;
    const LaneTraceBoard* board_ = nullptr;  // a view of mapping_, unmapped by the destructor
};

}  // namespace velmora::test
