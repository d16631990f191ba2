#include "lane_trace.h"

namespace velmora::test {

LaneTrace::~LaneTrace() {
    if (board_ != nullptr) UnmapViewOfFile(const_cast<LaneTraceBoard*>(board_));
}

bool LaneTrace::open(DWORD processId) {
    if (board_ != nullptr) return true;
    mapping_.reset(OpenFileMappingW(FILE_MAP_READ, FALSE, laneTraceName(processId).c_str()));
    if (!mapping_) return false;
    board_ = static_cast<const LaneTraceBoard*>(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, sizeof(LaneTraceBoard)));
    return board_ != nullptr;
}

std::optional<LaneRunSeen> LaneTrace::latest(int lane) const {
    if (board_ == nullptr || lane < 1 || lane > kTracedLanes) return std::nullopt;
    const auto index = static_cast<std::size_t>(lane - 1);
    // The publisher writes the run's figures before it counts the run; a lane
    // has one worker at a time, so a count read twice the same frames them.
    for (;;) {
        const long runs = board_->runs[index];
        if (runs == 0) return std::nullopt;
        MemoryBarrier();
        const LaneRunSeen seen{runs, static_cast<int>(board_->stepDelay[index]),
                               static_cast<COLORREF>(board_->colour[index])};
        MemoryBarrier();
        if (board_->runs[index] == runs) return seen;
    }
}

}  // namespace velmora::test
