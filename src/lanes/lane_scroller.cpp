#include "lanes/lane_scroller.h"

#include <windows.h>

#include <atomic>

#include "lanes/lane_busy.h"
#include "lanes/lane_observer.h"
#include "lanes/lane_random.h"
#include "lanes/lanes.h"

namespace velmora {
namespace {

// Frees the lane for the scheduler however the run ends.
class LaneRelease {
public:
    explicit LaneRelease(int laneIndex) : laneIndex_(laneIndex) {}
    ~LaneRelease() { releaseLane(laneIndex_); }
    LaneRelease(const LaneRelease&) = delete;
    LaneRelease& operator=(const LaneRelease&) = delete;

private:
    int laneIndex_;
};

std::atomic<LaneRunObserver> runObserver{nullptr};

std::uint32_t platformTickCount() { return GetTickCount(); }

// Moves the label one pixel at a time, `steps` times; false once the surface ends.
bool scrollSteps(int laneIndex, LaneSurface& surface, int steps, int stepDelay, const LaneRunner& runner) {
    for (int step = 0; step < steps; ++step) {
        if (surface.ending()) return false;
        const int x = surface.labelLeft(laneIndex);
        if (surface.ending()) return false;
        surface.setLabelLeft(laneIndex, x - 1);
        runner.delay(stepDelay, 0);
    }
    return true;
}

}  // namespace

void setLaneRunObserver(LaneRunObserver observer) { runObserver.store(observer); }
LaneRunObserver laneRunObserver() { return runObserver.load(); }

LaneRunner platformLaneRunner() { return {platformTickCount, pumpingDelay}; }

void scrollLane(int laneIndex, LaneSurface& surface, const LaneRunner& runner) {
    if (laneIndex < 0 || laneIndex >= kLaneCount) return;
    const LaneRelease release(laneIndex);

    Text headline;
    if (surface.ending() || !surface.takeHeadline(headline)) return;
    LaneRandom random(takeLaneSeed(runner.tickCount()));

    if (surface.ending()) return;
    surface.setLabelText(laneIndex, headline);
    if (surface.ending()) return;
    surface.setLabelLeft(laneIndex, surface.screenWidth());

    const LaneLook look = drawLaneLook(random);
    if (surface.ending()) return;
    surface.setLabelTextColour(laneIndex, look.colour);

    if (surface.ending()) return;
    const int steps = surface.screenWidth() + surface.labelWidth(laneIndex);
    if (const LaneRunObserver observer = runObserver.load()) observer(laneIndex, look);
    if (!scrollSteps(laneIndex, surface, steps, look.stepDelay, runner)) return;

    if (surface.ending()) return;
    surface.setLabelLeft(laneIndex, surface.screenWidth());
}

void LaneScroller(int laneIndex, LaneSurface& surface) { scrollLane(laneIndex, surface, platformLaneRunner()); }

}  // namespace velmora
