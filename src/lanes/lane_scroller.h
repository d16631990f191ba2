#pragma once
// LaneScroller with its clock and its wait handed in, so that a run can be
// replayed exactly (a fixed clock gives a known seed).
#include <cstdint>

#include "lanes/lane_surface.h"

namespace velmora {

struct LaneRunner {
    std::uint32_t (*tickCount)();                           // a millisecond clock
    bool (*delay)(std::int32_t interval, std::int32_t unit);  // the wait after each step
};

// The platform's: GetTickCount and pumpingDelay.
LaneRunner platformLaneRunner();

// One run in lane laneIndex (0..7; any other index does nothing). Clears the
// lane's busy mark once the label is parked again, or at once when nothing
// waits in the queue, or when the surface is ending.
void scrollLane(int laneIndex, LaneSurface& surface, const LaneRunner& runner);

}  // namespace velmora
