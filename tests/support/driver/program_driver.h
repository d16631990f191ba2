#pragma once
// Drives the real program from a second process for end-to-end tests.
//
//   ProgramDriver program;                 // velmora-loopback.exe, found beside the test or built by CMake
//   ASSERT_TRUE(program.start());
//   ASSERT_TRUE(program.dismissStartupHint());   // waits for "信息：" and presses OK
//   HWND overlay = program.waitForOverlay();     // the visible overlay
//   std::vector<HWND> lanes = program.labels();  // lane 1 .. 8, top to bottom
//   int x = program.labelLeft(1);
//   program.postTrayEvent(WM_LBUTTONDBLCLK);     // as the tray icon would
//   HWND box = program.waitForMessageBox(L"提示");
//   program.pressButton(box, IDYES);
//   std::optional<DWORD> code = program.waitForExit(1000ms);  // exit code, or nullopt on time-out
//   program.postEscape();                        // Esc on the overlay (or on a label given)
//
// The destructor kills the program if it is still running, whatever the test did.
// Everything here is plain Win32 and fails softly: a missing window gives nullptr,
// a failed wait gives std::nullopt, so the test's own expectations report it.
//
// ScreenCapture::take() copies the screen into a 32-bpp DIB; pixel(x, y) gives a COLORREF.
// FakeNewsService listens on 127.0.0.1:18936 (the loopback build's service), answers
// every search with a result page holding the titles it was given (or never answers,
// when silent) and records the request paths. trayIconPresent(overlay) tells whether the
// tray icon exists (as far as Wine shows it); displayClick(x, y) clicks through the X
// display itself, which honours the colour key (Wine's own hit-testing does not).
//
// Run such tests through the e2e runner (velmora_e2e_test in this folder's CMakeLists),
// which gives each one its own virtual display (no window manager, no MIT-SHM) and a
// fresh Wine server, one run at a time on the machine; SAMPLE_SERVICE runs the bundled
// sample news service beside the test instead of a FakeNewsService.
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/win_handle.h"

namespace velmora::test {

inline constexpr UINT kTrayCallbackMessage = 0x8064;
inline constexpr UINT kTrayIconId = 100;
inline constexpr int kLaneCount = 8;

inline constexpr wchar_t kOverlayClass[] = L"VelmoraOverlay";
inline constexpr wchar_t kLabelClass[] = L"VelmoraTransLabel";
inline constexpr wchar_t kStartupHintTitle[] = L"信息：";
inline constexpr wchar_t kStartupHintText[] = L"双击托盘图标退出本程序";
inline constexpr wchar_t kConfirmTitle[] = L"提示";
inline constexpr wchar_t kConfirmText[] = L"确定要退出Velmora吗？";
inline constexpr wchar_t kTrayTip[] = L"Velmora by:quillon";

// Polls `condition` every 10 ms until it holds or `timeout` has passed, handling
// this thread's messages meanwhile; true when it held.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// The window's text, read with WM_GETTEXT (works across processes).
std::wstring windowText(HWND window);
std::wstring className(HWND window);
// A window's rectangle in its parent's client coordinates (screen ones for a top-level window).
RECT rectInParent(HWND window);

class ProgramDriver {
public:
    // The loopback build of the program: beside the running test if it is there,
    // otherwise the one CMake built.
    static std::wstring defaultProgramPath();

    explicit ProgramDriver(std::wstring programPath = defaultProgramPath());
    ~ProgramDriver();
    ProgramDriver(const ProgramDriver&) = delete;
    ProgramDriver& operator=(const ProgramDriver&) = delete;

    bool start();
    DWORD processId() const { return processId_; }
    HANDLE process() const { return process_.get(); }
    bool running() const;
    // Exit code once the program has ended within `timeout`, otherwise nullopt.
    std::optional<DWORD> waitForExit(std::chrono::milliseconds timeout);
    void kill();

    // Top-level windows of the program, visible or not.
    std::vector<HWND> topLevelWindows() const;
    // A message box (dialog class #32770) of the program with this title.
    HWND findMessageBox(std::wstring_view title) const;
    HWND waitForMessageBox(std::wstring_view title, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // The message text shown in a message box.
    static std::wstring messageBoxText(HWND box);
    // Clicks one of its buttons (IDOK, IDYES, IDNO); false when it has no such button.
    static bool pressButton(HWND box, int buttonId);
    // Waits for the start-up hint and presses OK.
    bool dismissStartupHint(std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // The overlay, visible or not (nullptr while it does not exist).
    HWND overlay() const;
    // Waits until the overlay is visible.
    HWND waitForOverlay(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // The eight lane labels, lane 1 first (ordered by their y position); fewer if missing.
    std::vector<HWND> labels() const;
    HWND label(int lane) const;               // lane 1 .. 8
    std::optional<int> labelLeft(int lane) const;
    std::optional<RECT> labelRect(int lane) const;  // in the overlay's client coordinates

    // As the tray icon does: the callback message with the mouse message in lParam.
    bool postTrayEvent(UINT mouseMessage) const;
    // Esc as a key press posted to `target` (the overlay when nullptr).
    bool postEscape(HWND target = nullptr) const;
    // Esc typed on the keyboard while the overlay is the foreground window.
    bool typeEscape() const;

private:
    std::wstring programPath_;
    UniqueHandle process_;
    DWORD processId_ = 0;
};

// A left click at (x, y) made by the display itself (xdotool, through Wine's
// support for starting Unix programs), so that the display's own idea of which
// window lies under the pointer decides where it goes. Returns once the click is
// on its way (false when xdotool could not be started): wait for its effect.
bool displayClick(int x, int y);

// True when the notification area holds an icon (owner, id): probed with NIM_MODIFY,
// which succeeds only for an icon that exists.
bool trayIconPresent(HWND owner, UINT id = kTrayIconId);

class ScreenCapture {
public:
    // The whole primary screen, or `area` (screen coordinates) of it.
    static ScreenCapture take();
    static ScreenCapture take(const RECT& area);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return pixels_.empty(); }
    // COLORREF (0x00BBGGRR) at (x, y) of the captured area.
    COLORREF pixel(int x, int y) const;
    // Number of pixels in `area` (capture coordinates) for which `test` holds.
    int countPixels(const RECT& area, const std::function<bool(COLORREF)>& test) const;
    int countPixels(const std::function<bool(COLORREF)>& test) const;
    // Writes the capture as a 24-bit BMP file (handy when a test fails).
    bool saveBmp(const std::wstring& path) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;  // top-down, 0x00RRGGBB as the DIB holds them
};

// A loopback stand-in for the news service, on its own thread.
class FakeNewsService {
public:
    static constexpr std::uint16_t kDefaultPort = 18936;

    // Answers every search with a result page holding `titles` (UTF-16; sent as UTF-8).
    explicit FakeNewsService(std::vector<std::wstring> titles, std::uint16_t port = kDefaultPort);
    // Accepts connections and never answers them (a server that hangs).
    static FakeNewsService silent(std::uint16_t port = kDefaultPort);
    ~FakeNewsService();
    FakeNewsService(FakeNewsService&&) noexcept;
    FakeNewsService(const FakeNewsService&) = delete;
    FakeNewsService& operator=(const FakeNewsService&) = delete;
    FakeNewsService& operator=(FakeNewsService&&) = delete;

    bool listening() const;
    // Request targets seen so far, e.g. "/s?tn=baidurt&rtt=4&wd=...".
    std::vector<std::string> requests() const;
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    struct State;

private:
    FakeNewsService() = default;
    std::unique_ptr<State> state_;
};

// The result page the fake service sends for `titles`, in the service's layout (UTF-8).
std::string resultPage(const std::vector<std::wstring>& titles);

}  // namespace velmora::test
