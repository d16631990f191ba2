#pragma once
// One busy mark per lane: set by the scheduler when it starts a worker for
// the lane, cleared by that worker when it has parked the label again or
// found nothing to show. A parked label alone does not make a lane free,
// since a worker that has just started has not moved its label yet.
namespace velmora {

inline constexpr int kLaneCount = 8;

// Sets the mark; false when it was already set or laneIndex is not 0..7.
bool claimLane(int laneIndex);
void releaseLane(int laneIndex);
bool laneBusy(int laneIndex);

}  // namespace velmora
