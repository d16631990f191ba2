#include <windows.h>

#include <memory>
#include <new>

#include "common/win_handle.h"
#include "lanes/lane_busy.h"
#include "lanes/lanes.h"

namespace velmora {
namespace {

// A worker needs little stack: it holds one headline and waits.
constexpr SIZE_T kWorkerStackReserve = 256 * 1024;

struct WorkerStart {
    int laneIndex;
    LaneSurface* surface;
};

DWORD WINAPI laneWorkerMain(void* parameter) {
    const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(parameter));
    LaneScroller(start->laneIndex, *start->surface);
    return 0;
}

// Starts a detached worker for a lane already claimed; frees the lane again
// when no thread could be made, so a later tick tries once more.
void startLaneWorker(int laneIndex, LaneSurface& surface) {
    auto* start = new (std::nothrow) WorkerStart{laneIndex, &surface};
    if (start == nullptr) {
        releaseLane(laneIndex);
        return;
    }
    const UniqueHandle thread(
        CreateThread(nullptr, kWorkerStackReserve, laneWorkerMain, start, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread) {
        delete start;
        releaseLane(laneIndex);
    }
}

bool laneIdle(int laneIndex, const LaneSurface& surface) {
    return !laneBusy(laneIndex) && surface.labelLeft(laneIndex) == surface.screenWidth();
}

}  // namespace

void LaneScheduler(LaneSurface& surface) {
    if (surface.ending()) return;
    surface.setTopmost(true);
    surface.showNormal();
    for (int laneIndex = 0; laneIndex < kLaneCount; ++laneIndex) {
        if (laneIdle(laneIndex, surface) && claimLane(laneIndex)) {
            startLaneWorker(laneIndex, surface);
            return;
        }
    }
}

}  // namespace velmora
