// Start-up as the user meets it: the hint first, then the fitted, keyed overlay.
#include <gtest/gtest.h>

#include "driver/program_driver.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

class Startup : public ::testing::Test {
protected:
    FakeNewsService service{{L"测试标题一"}};
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

    // Lane ticks run meanwhile; they must find no idle lane and move nothing.
    Sleep(500);
    HWND overlay = program.overlay();
    ASSERT_NE(overlay, nullptr);
    EXPECT_FALSE(IsWindowVisible(overlay));
    const std::vector<HWND> labels = program.labels();
    ASSERT_EQ(labels.size(), 8u);
    for (int lane = 1; lane <= kLaneCount; ++lane) {
        const RECT rect = *program.labelRect(lane);
        EXPECT_EQ(rect.left, 0) << "lane " << lane;
        EXPECT_EQ(rect.top, 24 * (lane - 1)) << "lane " << lane;
    }
    EXPECT_TRUE(service.requests().empty()) << "no harvest before the hint is dismissed";
}

TEST_F(Startup, AfterTheHintTheOverlayIsFittedKeyedAndHarvesting) {
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.dismissStartupHint());
    HWND overlay = program.waitForOverlay();
    ASSERT_NE(overlay, nullptr);

    const RECT rect = rectInParent(overlay);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom - rect.top, 200);

    const LONG exStyle = GetWindowLongW(overlay, GWL_EXSTYLE);
    EXPECT_EQ(exStyle & ~WS_EX_TOPMOST, WS_EX_LAYERED);
    EXPECT_TRUE(waitUntil([&] { return (GetWindowLongW(overlay, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 2s))
        << "the lane timer keeps it topmost";
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(overlay, &key, &alpha, &flags));
    EXPECT_EQ(key, 0x00FF00FFu);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY));

    HWND owner = GetWindow(overlay, GW_OWNER);
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(IsWindowVisible(owner));

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    for (int lane = 1; lane <= kLaneCount; ++lane) {
        const RECT label = *program.labelRect(lane);
        EXPECT_EQ(label.right - label.left, 816) << "lane " << lane;
        EXPECT_EQ(label.bottom - label.top, 25) << "lane " << lane;
        EXPECT_EQ(label.top, 24 * (lane - 1)) << "lane " << lane;
    }
    // The fake service's one title occupies one lane; the others stay parked.
    int parked = 0;
    for (int lane = 1; lane <= kLaneCount; ++lane) parked += *program.labelLeft(lane) == screenWidth ? 1 : 0;
    EXPECT_GE(parked, 7);
    EXPECT_TRUE(service.waitForRequests(1, 10s)) << "the first harvest starts with the overlay";
}

}  // namespace
}  // namespace velmora::test
