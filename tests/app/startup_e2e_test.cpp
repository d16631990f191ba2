// Start-up as the user meets it: the hint first, then the fitted, keyed overlay.
#include <gtest/gtest.h>

#include <cstdlib>

#include "driver/program_driver.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

class Startup : public ::testing::Test {
protected:
    FakeNewsService service{{}};  // answers every search with no titles: all lanes stay parked
    ProgramDriver program;
};

TEST_F(Startup, HintComesFirstWithTheOverlayHiddenAndNoLabelMoved) {
    ASSERT_TRUE(service.listening());
    ASSERT_TRUE(program.start());
    HWND hint = program.waitForMessageBox(kStartupHintTitle);
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(ProgramDriver::messageBoxText(hint), kStartupHintText);
    EXPECT_NE(GetDlgItem(hint, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(hint, IDCANCEL), nullptr);
    EXPECT_EQ(GetWindow(hint, GW_OWNER), nullptr) << "the hint has no owner";

    // Lane ticks run meanwhile; they must find no idle lane and move nothing.
    Sleep(500);
    HWND overlay = program.overlay();
    ASSERT_NE(overlay, nullptr);
    EXPECT_FALSE(IsWindowVisible(overlay));
    ASSERT_EQ(program.labels().size(), 8u);
    for (int lane = 1; lane <= kLaneCount; ++lane) {
        const RECT rect = *program.labelRect(lane);
        EXPECT_EQ(rect.left, 0) << "lane " << lane;
        EXPECT_EQ(rect.top, 24 * (lane - 1)) << "lane " << lane;
    }
    EXPECT_TRUE(service.requests().empty()) << "no harvest before the hint is dismissed";
}

TEST_F(Startup, AfterTheHintTheOverlayIsFittedKeyedAndHarvesting) {
    ASSERT_TRUE(service.listening());
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.dismissStartupHint());
    HWND overlay = program.waitForOverlay();
    ASSERT_NE(overlay, nullptr);

    const RECT rect = rectInParent(overlay);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom - rect.top, 200);
    EXPECT_EQ(windowText(overlay), L"");
    EXPECT_EQ(GetWindowLongW(overlay, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_BORDER), 0);

    EXPECT_EQ(GetWindowLongW(overlay, GWL_EXSTYLE) & ~WS_EX_TOPMOST, WS_EX_LAYERED);
    EXPECT_TRUE(waitUntil([&] { return (GetWindowLongW(overlay, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 2s))
        << "the lane timer keeps it topmost";
    EXPECT_EQ(GetWindowLongW(overlay, GWL_EXSTYLE), WS_EX_LAYERED | WS_EX_TOPMOST);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(overlay, &key, &alpha, &flags));
    EXPECT_EQ(key, 0x00FF00FFu);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY));

    // No taskbar button: owned by a window that is never shown.
    HWND owner = GetWindow(overlay, GW_OWNER);
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(IsWindowVisible(owner));

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    ASSERT_EQ(program.labels().size(), 8u);
    for (int lane = 1; lane <= kLaneCount; ++lane) {
        const RECT label = *program.labelRect(lane);
        HWND window = program.label(lane);
        EXPECT_EQ(label.left, screenWidth) << "lane " << lane << " is parked";
        EXPECT_EQ(label.right - label.left, 816) << "lane " << lane;
        EXPECT_EQ(label.bottom - label.top, 25) << "lane " << lane;
        EXPECT_EQ(label.top, 24 * (lane - 1)) << "lane " << lane;
        EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & ~WS_VISIBLE, WS_CHILD | WS_CLIPSIBLINGS) << "lane " << lane;
        EXPECT_EQ(GetWindowLongW(window, GWL_EXSTYLE), WS_EX_TRANSPARENT) << "lane " << lane;
        EXPECT_EQ(GetClassLongW(window, GCL_STYLE), static_cast<DWORD>(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));
    }
    EXPECT_TRUE(service.waitForRequests(1, 10s)) << "the first harvest starts with the overlay";
    const std::vector<std::string> requests = service.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().rfind("/s?tn=baidurt&rtt=4&wd=", 0), 0u) << requests.front();
}

// The screen-width cases run this on displays of other widths.
TEST_F(Startup, TheOverlayIsExactlyAsWideAsTheScreen) {
    if (const char* width = std::getenv("VELMORA_E2E_WIDTH")) {
        ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), std::atoi(width)) << "the display is not the one asked for";
    }
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.dismissStartupHint());
    HWND overlay = program.waitForOverlay();
    ASSERT_NE(overlay, nullptr);
    const RECT rect = rectInParent(overlay);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom - rect.top, 200);
    for (int lane = 1; lane <= kLaneCount; ++lane) EXPECT_EQ(program.labelLeft(lane), GetSystemMetrics(SM_CXSCREEN));
}

}  // namespace
}  // namespace velmora::test
