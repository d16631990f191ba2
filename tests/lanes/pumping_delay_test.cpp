#include "lanes/pumping_delay.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <climits>
#include <thread>

#include "lanes/lanes.h"

namespace velmora {
namespace {

double nowMs() {
    LARGE_INTEGER counter{}, frequency{};
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// CPU time (user + kernel) the calling thread has used, in ms.
double threadCpuMs() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME time) {
        return static_cast<double>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

// Gives the calling thread a message queue, so that others can post to it.
void ensureMessageQueue() {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
}

// Takes the thread's waiting messages, so that one test leaves nothing for the next.
void drainMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

struct UnitCase {
    std::int32_t unit;
    std::int64_t milliseconds;
};

class UnitTable : public ::testing::TestWithParam<UnitCase> {};

TEST_P(UnitTable, GivesMillisecondsPerInterval) {
    EXPECT_EQ(millisecondsPerInterval(GetParam().unit), GetParam().milliseconds);
}

INSTANTIATE_TEST_SUITE_P(Units, UnitTable,
                         ::testing::Values(UnitCase{0, 1}, UnitCase{1, 1000}, UnitCase{2, 60000},
                                           UnitCase{3, 3600000}, UnitCase{4, 4}, UnitCase{250, 250},
                                           UnitCase{-7, -7}, UnitCase{INT_MAX, INT_MAX}));

struct DueCase {
    std::int32_t interval;
    std::int32_t unit;
    std::int64_t dueTime;
};

class DueTimeTable : public ::testing::TestWithParam<DueCase> {};

TEST_P(DueTimeTable, CountsHundredNanosecondTicksFromNow) {
    EXPECT_EQ(dueTimeFor(GetParam().interval, GetParam().unit), GetParam().dueTime);
}

INSTANTIATE_TEST_SUITE_P(
    DueTimes, DueTimeTable,
    ::testing::Values(DueCase{5, 0, -50000}, DueCase{10, 0, -100000}, DueCase{0, 0, 0}, DueCase{0, 3, 0},
                      DueCase{-3, 0, 30000},  // a negative wait: an absolute time long past
                      DueCase{2, 1, -20000000}, DueCase{1, 2, -600000000}, DueCase{1, 3, -36000000000LL},
                      DueCase{7, 7, -490000}, DueCase{3, -4, 120000},
                      DueCase{INT_MAX, 1, -21474836470000000LL},
                      // Beyond 64 bits: held at the ends instead of overflowing.
                      DueCase{INT_MAX, 3, LLONG_MIN}, DueCase{INT_MIN, 3, LLONG_MAX},
                      DueCase{INT_MAX, INT_MAX, LLONG_MIN}));

TEST(PumpingDelay, FiveMillisecondsReturnAfterTheTimerHasFired) {
    for (int run = 0; run < 20; ++run) {
        const double start = nowMs();
        EXPECT_TRUE(pumpingDelay(5, 0));
        // The timer and this clock may differ by a tick's rounding, no more.
        EXPECT_GE(nowMs() - start, 4.9);
    }
}

TEST(PumpingDelay, UnitIsMillisecondsWhenLeftOut) {
    const double start = nowMs();
    EXPECT_TRUE(pumpingDelay(30));
    const double elapsed = nowMs() - start;
    EXPECT_GE(elapsed, 29.9);
    EXPECT_LT(elapsed, 3000.0);
}

TEST(PumpingDelay, SecondsUnitWaitsWholeSeconds) {
    const double start = nowMs();
    EXPECT_TRUE(pumpingDelay(1, 1));
    EXPECT_GE(nowMs() - start, 999.9);
}

struct PromptCase {
    std::int32_t interval;
    std::int32_t unit;
};

class ReturnsAtOnce : public ::testing::TestWithParam<PromptCase> {};

TEST_P(ReturnsAtOnce, WhenTheWaitIsZeroOrNegative) {
    const double start = nowMs();
    EXPECT_TRUE(pumpingDelay(GetParam().interval, GetParam().unit));
    EXPECT_LT(nowMs() - start, 1000.0);
}

INSTANTIATE_TEST_SUITE_P(
    ZeroAndNegative, ReturnsAtOnce,
    ::testing::Values(PromptCase{0, 0}, PromptCase{0, 3}, PromptCase{-1, 0}, PromptCase{-5, 1},
                      PromptCase{-1000, 3},
                      // These ask for absolute times beyond today; they still lie in the past.
                      PromptCase{-2000000000, 2}, PromptCase{INT_MIN, 3}, PromptCase{5, -4},
                      PromptCase{INT_MAX, -1}));

class PumpingDelayMessages : public ::testing::Test {
protected:
    void SetUp() override { ensureMessageQueue(); }
    void TearDown() override { drainMessages(); }

    // Runs `sender` on a second thread once the calling thread is waiting.
    template <typename Sender>
    void whileWaiting(std::int32_t intervalMs, Sender sender) {
        const DWORD waiter = GetCurrentThreadId();
        std::thread other([&] {
            Sleep(static_cast<DWORD>(intervalMs / 4));
            sender(waiter);
        });
        EXPECT_TRUE(pumpingDelay(intervalMs, 0));
        other.join();
    }
};

TEST_F(PumpingDelayMessages, QuitPostedDuringTheWaitStaysInTheQueue) {
    whileWaiting(200, [](DWORD waiter) { PostThreadMessageW(waiter, WM_QUIT, 42, 0); });
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 42u);
}

TEST_F(PumpingDelayMessages, QuitRequestedBeforeTheWaitStaysAndTheWaitDoesNotSpin) {
    PostQuitMessage(7);
    const double start = nowMs();
    const double cpuStart = threadCpuMs();
    EXPECT_TRUE(pumpingDelay(300, 0));
    EXPECT_GE(nowMs() - start, 299.9);
    EXPECT_LT(threadCpuMs() - cpuStart, 150.0);  // asleep, not looking again and again
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);
}

TEST_F(PumpingDelayMessages, ThreadMessagesBeforeAQuitAreTakenTheQuitIsNot) {
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 3, 0, 0);
    PostQuitMessage(1);
    EXPECT_TRUE(pumpingDelay(20, 0));
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
}

// A message-only window of the test thread that counts what reaches it.
class CountingWindow {
public:
    CountingWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &CountingWindow::procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VelmoraLaneTestWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, this);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CountingWindow() { DestroyWindow(window_); }
    CountingWindow(const CountingWindow&) = delete;
    CountingWindow& operator=(const CountingWindow&) = delete;

    HWND handle() const { return window_; }
    std::atomic<int> posted{0};
    std::atomic<int> sent{0};
    std::atomic<int> ticks{0};
    std::atomic<double> sentAtMs{0};

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CountingWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr) {
            if (message == WM_APP + 1) return ++self->posted, 0;
            if (message == WM_APP + 2) return self->sentAtMs = nowMs(), ++self->sent, 0;
            if (message == WM_TIMER) return ++self->ticks, 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
};

TEST_F(PumpingDelayMessages, WindowOfTheWaitingThreadIsHandledDuringTheWait) {
    CountingWindow window;
    ASSERT_NE(window.handle(), nullptr);
    SetTimer(window.handle(), 1, 10, nullptr);
    const HWND target = window.handle();
    std::atomic<double> sendReturnedAtMs{0};
    whileWaiting(400, [&](DWORD) {
        for (int i = 0; i < 5; ++i) PostMessageW(target, WM_APP + 1, 0, 0);
        // Returns only once the waiting thread has run the handler.
        SendMessageW(target, WM_APP + 2, 0, 0);
        sendReturnedAtMs = nowMs();
    });
    const double waitEndedAtMs = nowMs();
    KillTimer(window.handle(), 1);
    EXPECT_EQ(window.posted.load(), 5);
    EXPECT_EQ(window.sent.load(), 1);
    EXPECT_LT(sendReturnedAtMs.load(), waitEndedAtMs - 100.0);  // answered mid-wait, not at its end
    EXPECT_GE(window.ticks.load(), 5);  // timer ticks went on being handled
}

TEST_F(PumpingDelayMessages, WaitWithoutATimerLastsAsLongAndStillPumps) {
    CountingWindow window;
    const HWND target = window.handle();
    const DWORD waiter = GetCurrentThreadId();
    std::thread other([&] {
        Sleep(50);
        PostMessageW(target, WM_APP + 1, 0, 0);
        SendMessageW(target, WM_APP + 2, 0, 0);
        PostThreadMessageW(waiter, WM_QUIT, 9, 0);
    });
    const double start = nowMs();
    const double cpuStart = threadCpuMs();
    pumpingWaitWithoutTimer(dueTimeFor(300, 0));
    const double elapsed = nowMs() - start;
    other.join();
    EXPECT_GE(elapsed, 299.9);
    EXPECT_LT(threadCpuMs() - cpuStart, 150.0);
    EXPECT_EQ(window.posted.load(), 1);
    EXPECT_EQ(window.sent.load(), 1);
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
}

TEST(PumpingWaitWithoutTimer, ZeroAndNegativeWaitsReturnAtOnce) {
    for (std::int64_t due : {std::int64_t{0}, std::int64_t{30000}, LLONG_MAX}) {
        const double start = nowMs();
        pumpingWaitWithoutTimer(due);
        EXPECT_LT(nowMs() - start, 1000.0) << due;
    }
}

}  // namespace
}  // namespace velmora
