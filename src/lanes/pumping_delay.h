#pragma once
// The pieces of pumpingDelay, open to the tests.
#include <cstdint>

namespace velmora {

// Milliseconds per interval for a unit code: 0 ms, 1 s, 2 min, 3 h; any
// other code stands for that many milliseconds.
std::int64_t millisecondsPerInterval(std::int32_t unit);

// The wait in 100-nanosecond ticks, negative (counted from now): computed in
// double precision and truncated toward zero, held within 64 bits.
std::int64_t dueTimeFor(std::int32_t interval, std::int32_t unit);

// Retrieves, translates and dispatches the calling thread's waiting
// messages; a WM_QUIT is left waiting for the thread's message loop.
void processPendingMessages();

// The wait without a waitable timer: sleeps in the message wait with a time
// limit until `dueTime` (as for dueTimeFor) has passed, handling messages.
// Used when a timer cannot be made or started.
void pumpingWaitWithoutTimer(std::int64_t dueTime);

}  // namespace velmora
