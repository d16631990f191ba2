// The ways out: the tray icon's double-click with its confirmation, and Esc.
#include <gtest/gtest.h>

#include "driver/program_driver.h"

#include <shellapi.h>

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

class Ending : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.listening());
        ASSERT_TRUE(program.start());
        ASSERT_TRUE(program.dismissStartupHint());
        overlay = program.waitForOverlay();
        ASSERT_NE(overlay, nullptr);
        ASSERT_TRUE(waitUntil([&] { return trayIconPresent(overlay); }, 5s)) << "the tray icon is up";
    }

    bool anyMessageBoxWithin(std::chrono::milliseconds wait) {
        return waitUntil([&] { return program.findMessageBox(kConfirmTitle) != nullptr; }, wait);
    }

    FakeNewsService service{{L"退出测试标题一", L"退出测试标题二"}};
    ProgramDriver program;
    HWND overlay = nullptr;
};

TEST_F(Ending, SingleClicksAndOtherNotificationsDoNothing) {
    for (UINT notification : {WM_LBUTTONUP, WM_RBUTTONUP, WM_CONTEXTMENU, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDBLCLK}) {
        ASSERT_TRUE(program.postTrayEvent(notification));
    }
    EXPECT_FALSE(anyMessageBoxWithin(1500ms));
    EXPECT_TRUE(program.running());
    EXPECT_TRUE(IsWindowVisible(overlay));
}

TEST_F(Ending, DoubleClickAsksAndNoLeavesEverythingRunning) {
    ASSERT_TRUE(program.postTrayEvent(WM_LBUTTONDBLCLK));
    HWND box = program.waitForMessageBox(kConfirmTitle, 5s);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ProgramDriver::messageBoxText(box), kConfirmText);
    EXPECT_EQ(GetWindow(box, GW_OWNER), overlay) << "the confirmation is owned by the overlay";
    EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
    EXPECT_NE(GetDlgItem(box, IDNO), nullptr);

    // The timers keep ticking while the question is open: a lane starts.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    EXPECT_TRUE(waitUntil([&] { return program.labelLeft(1) < screenWidth; }, 10s)) << "lanes go on while asking";

    ASSERT_TRUE(ProgramDriver::pressButton(box, IDNO));
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(box); }, 3s));
    EXPECT_FALSE(program.waitForExit(1500ms).has_value()) << "No leaves the program running";
    EXPECT_TRUE(IsWindowVisible(overlay));
    EXPECT_TRUE(trayIconPresent(overlay));
    const int before = *program.labelLeft(1);
    EXPECT_TRUE(waitUntil([&] { return program.labelLeft(1) != before; }, 3s)) << "the lane worker is untouched";
}

TEST_F(Ending, YesRemovesTheTrayIconAndEndsWithCodeZeroWithinOneSecond) {
    ASSERT_TRUE(program.postTrayEvent(WM_LBUTTONDBLCLK));
    HWND box = program.waitForMessageBox(kConfirmTitle, 5s);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(ProgramDriver::pressButton(box, IDYES));
    EXPECT_EQ(program.waitForExit(1000ms), std::optional<DWORD>(0));
    EXPECT_FALSE(trayIconPresent(overlay)) << "the icon was taken down, not left to the shell";
}

TEST_F(Ending, EscOnTheOverlayOrALabelEndsWithoutAsking) {
    for (bool onLabel : {false, true}) {
        if (onLabel) {
            ASSERT_TRUE(program.start());
            ASSERT_TRUE(program.dismissStartupHint());
            overlay = program.waitForOverlay();
            ASSERT_NE(overlay, nullptr);
        }
        ASSERT_TRUE(program.postEscape(onLabel ? program.label(3) : overlay));
        EXPECT_EQ(program.waitForExit(1000ms), std::optional<DWORD>(0)) << (onLabel ? "on a label" : "on the overlay");
        EXPECT_EQ(program.findMessageBox(kConfirmTitle), nullptr);
    }
}

TEST_F(Ending, EscTypedWhileTheOverlayIsActive) {
    ASSERT_TRUE(program.typeEscape());
    EXPECT_EQ(program.waitForExit(2000ms), std::optional<DWORD>(0));
}

TEST_F(Ending, TheTrayIconComesBackWhenTheTaskbarIsRecreated) {
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = overlay;
    icon.uID = kTrayIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &icon)) << "as if the shell had lost it";
    ASSERT_FALSE(trayIconPresent(overlay));
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(waitUntil([&] { return trayIconPresent(overlay); }, 5s));
    EXPECT_TRUE(program.running());
}

// A harvest that waits on a server that never answers does not hold up the end.
TEST(EndingWhileHarvesting, EndsWithinOneSecondWhileARequestHangs) {
    FakeNewsService silent = FakeNewsService::silent();
    ASSERT_TRUE(silent.listening());
    ProgramDriver program;
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.dismissStartupHint());
    ASSERT_NE(program.waitForOverlay(), nullptr);
    ASSERT_TRUE(silent.waitForRequests(1, 10s)) << "the harvest is waiting for its answer";
    ASSERT_TRUE(program.postEscape());
    EXPECT_EQ(program.waitForExit(1000ms), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace velmora::test
