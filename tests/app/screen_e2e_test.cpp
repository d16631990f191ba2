// What the screen shows of the running program, and where clicks go.
#include <gtest/gtest.h>

#include "driver/program_driver.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

bool isMagenta(COLORREF colour) { return colour == RGB(255, 0, 255); }
bool isLit(COLORREF colour) { return GetRValue(colour) + GetGValue(colour) + GetBValue(colour) > 90; }

TEST(Screen, ShowsHeadlinesAndNotOneMagentaPixel) {
    FakeNewsService service{{L"屏幕测试标题一号", L"屏幕测试标题二号", L"屏幕测试标题三号"}};
    ASSERT_TRUE(service.listening());
    ProgramDriver program;
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.dismissStartupHint());
    ASSERT_NE(program.waitForOverlay(), nullptr);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    ASSERT_TRUE(waitUntil([&] { return program.labelLeft(1) < screenWidth - 200; }, 30s)) << "a headline is on screen";

    for (int shot = 0; shot < 3; ++shot) {
        const ScreenCapture capture = ScreenCapture::take(RECT{0, 0, screenWidth, 200});
        ASSERT_FALSE(capture.empty());
        EXPECT_EQ(capture.countPixels(isMagenta), 0) << "shot " << shot;
        EXPECT_GT(capture.countPixels(RECT{*program.labelLeft(1), 0, screenWidth, 25}, isLit), 0) << "shot " << shot;
        Sleep(300);
    }
}

// A window of the test process below a transparent part of the overlay.
class WindowBelow {
public:
    WindowBelow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VelmoraTestBelow";
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, L"VelmoraTestBelow", L"below", WS_POPUP | WS_VISIBLE, 300, 60, 400, 80, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    }
    ~WindowBelow() { DestroyWindow(window_); }
    WindowBelow(const WindowBelow&) = delete;
    WindowBelow& operator=(const WindowBelow&) = delete;
    HWND window() const { return window_; }
    static inline int clicks = 0;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_LBUTTONDOWN) ++clicks;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND window_;
};

TEST(Screen, AClickOnATransparentPartReachesTheWindowBelow) {
    FakeNewsService service{{}};  // no headlines: the overlay is transparent everywhere
    ASSERT_TRUE(service.listening());
    WindowBelow below;
    ProgramDriver program;
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.dismissStartupHint());
    HWND overlay = program.waitForOverlay();
    ASSERT_NE(overlay, nullptr);
    ASSERT_TRUE(waitUntil([&] { return (GetWindowLongW(overlay, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 3s));
    Sleep(300);

    // Inside both the overlay and the window below. (Wine's own hit-testing,
    // WindowFromPoint and injected input, ignores the colour key; the display
    // does not, so the click is made by the display.)
    ASSERT_TRUE(displayClick(500, 100));
    EXPECT_TRUE(waitUntil([] { return WindowBelow::clicks > 0; }, 3s));
}

}  // namespace
}  // namespace velmora::test
