#include "lanes/pumping_delay.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/win_handle.h"
#include "lanes/lanes.h"

namespace velmora {
namespace {

constexpr double kTicksPerMillisecond = 10000.0;
// A positive due time is an absolute time and is meant to lie in the past
// (the wait was negative). One large enough to lie in the future would hold
// the thread for years, so it is capped at a time long past (1 Jan 2000).
constexpr std::int64_t kLongPast = 125911584000000000LL;

std::int64_t truncateToInt64(double value) {
    // 2^63 is exact in double; anything at or beyond it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (std::isnan(value)) return 0;
    if (value >= kLimit) return std::numeric_limits<std::int64_t>::max();
    if (value < -kLimit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);  // truncates toward zero
}

std::int64_t performanceNow() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::int64_t performanceFrequency() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

// Whole milliseconds until `deadline` (performance-counter units), rounded up.
DWORD millisecondsUntil(std::int64_t deadline) {
    const std::int64_t left = deadline - performanceNow();
    if (left <= 0) return 0;
    // In double: a far deadline times 1000 does not fit in 64 bits.
    const double milliseconds = std::ceil(static_cast<double>(left) * 1000.0 / static_cast<double>(performanceFrequency()));
    return static_cast<DWORD>(std::min(milliseconds, static_cast<double>(INFINITE - 1)));
}

std::int64_t deadlineFor(std::int64_t dueTime) {
    if (dueTime >= 0) return performanceNow();
    // -dueTime ticks of 100 ns; computed in double so that no product overflows.
    const double counts = -static_cast<double>(dueTime) / 1e7 * static_cast<double>(performanceFrequency());
    const double deadline = static_cast<double>(performanceNow()) + counts;
    return deadline >= 9.2e18 ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(deadline);
}

UniqueHandle startOneShotTimer(std::int64_t dueTime) {
    UniqueHandle timer(CreateWaitableTimerA(nullptr, FALSE, nullptr));
    if (!timer) return timer;
    LARGE_INTEGER due{};
    due.QuadPart = dueTime > 0 ? std::min(dueTime, kLongPast) : dueTime;
    if (!SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE)) timer.reset();
    return timer;
}

}  // namespace

std::int64_t millisecondsPerInterval(std::int32_t unit) {
    switch (unit) {
        case 0: return 1;
        case 1: return 1000;
        case 2: return 60000;
        case 3: return 3600000;
        default: return unit;
    }
}

std::int64_t dueTimeFor(std::int32_t interval, std::int32_t unit) {
    return truncateToInt64(static_cast<double>(interval) * static_cast<double>(millisecondsPerInterval(unit)) *
                           -kTicksPerMillisecond);
}

void processPendingMessages() {
    MSG message{};
    // Look before taking: a WM_QUIT stays where the message loop will find it.
    while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message != WM_QUIT) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
        if (message.message == WM_QUIT) {
            // Posted between the two looks: put it back.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

namespace {

void pumpingWaitUntil(std::int64_t deadline) {
    for (;;) {
        const DWORD left = millisecondsUntil(deadline);
        if (left == 0) break;
        const DWORD result = MsgWaitForMultipleObjects(0, nullptr, FALSE, left, QS_ALLINPUT);
        if (result == WAIT_TIMEOUT) continue;  // the limit is rounded: look at the clock again
        if (result == WAIT_FAILED) {
            // No message wait to be had: sleep in short stretches and handle
            // the messages between them, still never spinning.
            Sleep(std::min<DWORD>(left, 10));
        }
        processPendingMessages();
    }
    processPendingMessages();
}

}  // namespace

void pumpingWaitWithoutTimer(std::int64_t dueTime) { pumpingWaitUntil(deadlineFor(dueTime)); }

bool pumpingDelay(std::int32_t interval, std::int32_t unit) {
    const std::int64_t dueTime = dueTimeFor(interval, unit);
    const std::int64_t deadline = deadlineFor(dueTime);
    UniqueHandle timer = startOneShotTimer(dueTime);
    if (!timer) {
        pumpingWaitUntil(deadline);
        return true;
    }
    const HANDLE handles[] = {timer.get()};
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(1, handles, FALSE, INFINITE, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0) break;
        if (result == WAIT_FAILED) {
            // The timer cannot be waited on: wait the rest without it.
            pumpingWaitUntil(deadline);
            break;
        }
        processPendingMessages();
    }
    return true;
}

}  // namespace velmora
