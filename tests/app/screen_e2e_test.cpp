// What the screen shows of the running program, and where clicks go.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/program_driver.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

bool isMagenta(COLORREF colour) { return colour == RGB(255, 0, 255); }
bool isLit(COLORREF colour) { return GetRValue(colour) + GetGValue(colour) + GetBValue(colour) > 90; }

// Magenta pixels of a capture of the screen's top, but for those under the
// shell's own windows: Wine draws a tray window of its own at the top left
// when no desktop has a notification area, and its caption icon holds exact
// magenta.
int magentaPixelsOfTheOverlay(const ScreenCapture& capture) {
    std::vector<RECT> shell;
    for (const wchar_t* trayClass : {L"Shell_TrayWnd", L"NotifyIconOverflowWindow"}) {
        HWND tray = FindWindowW(trayClass, nullptr);
        if (tray != nullptr && IsWindowVisible(tray)) shell.push_back(rectInParent(tray));
    }
    int count = 0;
    for (int y = 0; y < capture.height(); ++y) {
        for (int x = 0; x < capture.width(); ++x) {
            const POINT point{x, y};
            const bool underShell = std::any_of(shell.begin(), shell.end(), [&](const RECT& r) { return PtInRect(&r, point); });
            if (!underShell && isMagenta(capture.pixel(x, y))) ++count;
        }
    }
    return count;
}

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
        EXPECT_EQ(magentaPixelsOfTheOverlay(capture), 0) << "shot " << shot;
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

namespace velmora::test {
namespace {

// The headline a lane shows is the title as the service sent it, whatever the
// system's code page.
TEST(Labels, ShowTheHeadlinesAsTheServiceSentThem) {
    const std::vector<std::wstring> titles = {L"科学家发现新物种 & 新线索", L"天文台开放日"};
    FakeNewsService service{titles};
    ASSERT_TRUE(service.listening());
    ProgramDriver program;
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.dismissStartupHint());
    ASSERT_NE(program.waitForOverlay(), nullptr);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    ASSERT_TRUE(waitUntil([&] { return program.labelLeft(1) < screenWidth && program.labelLeft(2) < screenWidth; }, 30s));
    const std::wstring first = windowText(program.label(1));
    const std::wstring second = windowText(program.label(2));
    EXPECT_EQ(first, titles[0]);
    EXPECT_EQ(second, titles[1]);
}

}  // namespace
}  // namespace velmora::test
