#include "lanes/lane_busy.h"

#include <array>
#include <atomic>

namespace velmora {
namespace {

std::array<std::atomic<bool>, kLaneCount> busyMarks{};

bool validLane(int laneIndex) { return laneIndex >= 0 && laneIndex < kLaneCount; }

}  // namespace

bool claimLane(int laneIndex) {
    return validLane(laneIndex) && !busyMarks[static_cast<unsigned>(laneIndex)].exchange(true);
}

void releaseLane(int laneIndex) {
    if (validLane(laneIndex)) busyMarks[static_cast<unsigned>(laneIndex)].store(false);
}

bool laneBusy(int laneIndex) { return validLane(laneIndex) && busyMarks[static_cast<unsigned>(laneIndex)].load(); }

}  // namespace velmora
