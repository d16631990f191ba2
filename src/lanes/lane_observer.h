#pragma once
// A watcher of the lanes: told of every run as it starts scrolling, with the
// colour and the step delay it drew. Nobody watches in the program itself;
// test builds that measure the lanes from outside set one.
#include "lanes/lane_random.h"

namespace velmora {

using LaneRunObserver = void (*)(int laneIndex, const LaneLook& look);

// nullptr stops watching. The observer runs on the lane worker's thread.
void setLaneRunObserver(LaneRunObserver observer);
LaneRunObserver laneRunObserver();

}  // namespace velmora
