// Linked into the traced build of the program only: publishes every lane run's
// drawn step delay and colour (see lane_trace.h). Changes nothing else.
#include <windows.h>

#include "common/win_handle.h"
#include "lane_trace.h"
#include "lanes/lane_observer.h"

namespace velmora::test {
namespace {

LaneTraceBoard* board = nullptr;

void publishRun(int laneIndex, const LaneLook& look) {
    if (board == nullptr || laneIndex < 0 || laneIndex >= kTracedLanes) return;
    const auto index = static_cast<std::size_t>(laneIndex);
    InterlockedExchange(&board->stepDelay[index], look.stepDelay);
    InterlockedExchange(&board->colour[index], static_cast<LONG>(look.colour));
    InterlockedIncrement(&board->runs[index]);
}

// The view stays mapped until the process is gone, since lane workers may
// still publish while the process exits; the system unmaps it then.
struct Publisher {
    Publisher()
        : mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LaneTraceBoard),
                                     laneTraceName(GetCurrentProcessId()).c_str())) {
        if (!mapping) return;
        board = static_cast<LaneTraceBoard*>(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(LaneTraceBoard)));
        if (board != nullptr) setLaneRunObserver(publishRun);
    }
    UniqueHandle mapping;
} publisher;

}  // namespace
}  // namespace velmora::test
