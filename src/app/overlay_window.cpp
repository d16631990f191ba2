#include "app/overlay_window.h"

#include <utility>

#include "app/program_windows.h"

namespace velmora {
namespace {

constexpr UINT kDestroyRequest = WM_APP + 1;

constexpr wchar_t kStartupHint[] = L"双击托盘图标退出本程序";
constexpr wchar_t kStartupHintTitle[] = L"信息：";
constexpr wchar_t kTrayTip[] = L"Velmora by:quillon";
// Shown by every label until a lane worker writes a headline (never seen:
// the labels are parked outside the window before it is first shown).
constexpr wchar_t kDesignText[] = L"女子酒后被呕吐物堵塞窒息死亡 酒友赔钱";

RECT windowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

}  // namespace

DWORD layeredFlags(COLORREF key, int alpha) {
    if (key == 0) return LWA_ALPHA;
    return (alpha & 0xFF) == 0 ? LWA_COLORKEY : LWA_COLORKEY | LWA_ALPHA;
}

void makeLayered(HWND window, COLORREF key, int alpha) {
    SetWindowLongW(window, GWL_EXSTYLE, WS_EX_LAYERED);
    SetLayeredWindowAttributes(window, key, static_cast<BYTE>(alpha & 0xFF), layeredFlags(key, alpha));
}

OverlayWindow::OverlayWindow(HINSTANCE instance, OverlayEvents events) : instance_(instance), events_(std::move(events)) {}

OverlayWindow::~OverlayWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
    if (owner_ != nullptr && IsWindow(owner_)) DestroyWindow(owner_);
}

bool OverlayWindow::registerClasses() const {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.hInstance = instance_;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpfnWndProc = ownerProcedure;
    windowClass.lpszClassName = kOwnerClassName;
    if (!GetClassInfoExW(instance_, kOwnerClassName, &windowClass) && !RegisterClassExW(&windowClass)) return false;

    windowClass = WNDCLASSEXW{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.hInstance = instance_;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = kClassName;
    if (!GetClassInfoExW(instance_, kClassName, &windowClass)) {
        // The class brush lives as long as the class, that is the process.
        windowClass.hbrBackground = CreateSolidBrush(keyColour);
        if (!RegisterClassExW(&windowClass)) return false;
    }
    return TransLabel::registerClass(instance_);
}

bool OverlayWindow::create() {
    if (!registerClasses()) return false;
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    owner_ = CreateWindowExW(0, kOwnerClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_, nullptr);
    const int x = (screenWidth() - kCreatedWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    CreateWindowExW(0, kClassName, L"", WS_POPUP, x, y, kCreatedWidth, kHeight, owner_, nullptr, instance_, this);
    if (window_ == nullptr) return false;
    createControls();
    if (events_.controlsCreated) {
        std::array<HWND, kLaneCount> handles{};
        for (int lane = 1; lane <= kLaneCount; ++lane) handles[static_cast<std::size_t>(lane - 1)] = laneLabel(lane).window();
        events_.controlsCreated(window_, handles);
    }
    onOverlayCreated();
    if (window_ != nullptr) ShowWindow(window_, SW_SHOW);
    return true;
}

// The ten controls in their order: the harvest timer, lanes 8 down to 2, the
// lane timer, lane 1.
void OverlayWindow::createControls() {
    SetTimer(window_, kHarvestTimer, kHarvestInterval, nullptr);
    for (int lane = kLaneCount; lane >= 2; --lane) {
        labels_[static_cast<std::size_t>(lane - 1)] =
            TransLabel::create(window_, 0, kLaneSpacing * (lane - 1), kLabelWidth, kLabelHeight, kDesignText, lane);
    }
    SetTimer(window_, kLaneTimer, kLaneInterval, nullptr);
    labels_[0] = TransLabel::create(window_, 0, 0, kLabelWidth, kLabelHeight, kDesignText, 1);
}

void OverlayWindow::onOverlayCreated() {
    MessageBoxW(nullptr, kStartupHint, kStartupHintTitle, MB_OK | MB_TASKMODAL);
    if (window_ == nullptr) return;
    setWidth(screenWidth());
    setHeight(kHeight);
    setLeft(0);
    setTop(0);
    for (int lane = 1; lane <= kLaneCount; ++lane) laneLabel(lane).setLeft(screenWidth());
    makeLayered(window_, keyColour);
    if (events_.startHarvest) events_.startHarvest();
    putUpTrayIcon();
}

void OverlayWindow::putUpTrayIcon() {
    tray_ = std::make_unique<TrayIcon>(window_, iconFromIconFile(programIconFile(instance_)), kTrayTip);
    tray_->add();
}

int OverlayWindow::screenWidth() { return GetSystemMetrics(SM_CXSCREEN); }

void OverlayWindow::place(int x, int y, int width, int height) const { MoveWindow(window_, x, y, width, height, TRUE); }

void OverlayWindow::setLeft(int x) const {
    const RECT rect = windowRect(window_);
    place(x, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

void OverlayWindow::setTop(int y) const {
    const RECT rect = windowRect(window_);
    place(rect.left, y, rect.right - rect.left, rect.bottom - rect.top);
}

void OverlayWindow::setWidth(int width) const {
    const RECT rect = windowRect(window_);
    place(rect.left, rect.top, width, rect.bottom - rect.top);
}

void OverlayWindow::setHeight(int height) const {
    const RECT rect = windowRect(window_);
    place(rect.left, rect.top, rect.right - rect.left, height);
}

void OverlayWindow::setTopmost(bool on) const {
    SetWindowPos(window_, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// Restores a minimised or maximised overlay; one already shown normally is
// left alone (ShowWindow would activate it on every call), a hidden one too.
void OverlayWindow::showNormal() const {
    if (IsWindowVisible(window_) && (IsIconic(window_) || IsZoomed(window_))) ShowWindow(window_, SW_SHOWNORMAL);
}

void OverlayWindow::requestDestruction() const { PostMessageW(window_, kDestroyRequest, 0, 0); }

void OverlayWindow::beginEnding() {
    if (ending_) return;
    ending_ = true;
    if (events_.ending) events_.ending();
}

// The tray icon goes first, then the timers; the controls go with the window.
// The owner is closed from the message loop once the overlay is gone; the
// last of the two to go ends the loop.
void OverlayWindow::onDestroy() {
    beginEnding();
    if (tray_) tray_->remove();
    KillTimer(window_, kHarvestTimer);
    KillTimer(window_, kLaneTimer);
    if (owner_ != nullptr) PostMessageW(owner_, WM_CLOSE, 0, 0);
}

LRESULT OverlayWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        if (tray_) tray_->add();  // the shell was restarted: the icon is put back
        return 0;
    }
    switch (message) {
        case WM_TIMER:
            if (wParam == kHarvestTimer && events_.startHarvest) events_.startHarvest();
            if (wParam == kLaneTimer && events_.laneTick) events_.laneTick();
            return 0;
        case kTrayCallbackMessage:
            if (const auto trayCode = trayCodeFor(LOWORD(lParam)); trayCode && events_.trayEvent) {
                events_.trayEvent(*trayCode);
            }
            return 0;
        case kDestroyRequest:
            beginEnding();
            DestroyWindow(window_);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                SendMessageW(window_, WM_CLOSE, 0, 0);
                return 0;
            }
            break;
        case WM_CLOSE:
            beginEnding();
            DestroyWindow(window_);
            return 0;
        case WM_DESTROY:
            onDestroy();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK OverlayWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<OverlayWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<OverlayWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        programWindows::opened();
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (self != nullptr) self->window_ = nullptr;
        programWindows::closed();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (self == nullptr || self->window_ != window) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT CALLBACK OverlayWindow::ownerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) programWindows::opened();
    if (message == WM_NCDESTROY) programWindows::closed();
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace velmora
