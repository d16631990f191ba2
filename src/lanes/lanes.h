#pragma once
// The danmaku lanes: the scheduler that starts a worker for the first idle
// lane on every tick, the scroller that moves one headline across its lane,
// and the delay that waits between steps while still handling messages.
#include <cstdint>

#include "lanes/lane_surface.h"

namespace velmora {

// Waits `interval` units (0 ms, 1 s, 2 min, 3 h; any other value: that many
// ms per interval) while dispatching the calling thread's messages; leaves a
// WM_QUIT in the queue. Always true.
bool pumpingDelay(std::int32_t interval, std::int32_t unit = 0);

// The body of one lane worker: shows one headline in lane laneIndex (0..7).
void LaneScroller(int laneIndex, LaneSurface& surface);

// One tick of the lane timer, on the user-interface thread. `surface` must
// outlive every worker it starts.
void LaneScheduler(LaneSurface& surface);

}  // namespace velmora
