#pragma once
// OverlayWindow: the program's only visible window. A borderless window as
// wide as the screen and 200 pixels high at the top of it, colour-keyed so
// that nothing but the text of its eight lane labels is seen, kept out of the
// taskbar by an owner window that is never shown. It owns the two timers that
// drive the program and the tray icon.
#include <windows.h>

#include <array>
#include <functional>
#include <memory>

#include "app/trans_label.h"
#include "app/tray_icon.h"

namespace velmora {

inline constexpr COLORREF keyColour = 0x00FF00FF;

// What the window calls out to; every call is made on the user-interface thread.
struct OverlayEvents {
    std::function<void()> startHarvest;        // the first harvest, and every harvest-timer tick
    std::function<void()> laneTick;            // every lane-timer tick
    std::function<void(int trayCode)> trayEvent;
    // Once the window and its controls exist, before anything else happens to them.
    std::function<void(HWND overlay, const std::array<HWND, 8>& laneLabels)> controlsCreated;
    // At the start of the window's destruction, before anything is torn down.
    std::function<void()> ending;
};

// Sets the window's extended style to exactly WS_EX_LAYERED and keys it:
// LWA_ALPHA when key is 0, else LWA_COLORKEY, plus LWA_ALPHA when the low
// byte of alpha is not 0.
void makeLayered(HWND window, COLORREF key, int alpha = 0);
DWORD layeredFlags(COLORREF key, int alpha);

class OverlayWindow {
public:
    static constexpr int kLaneCount = 8;
    static constexpr int kLabelWidth = 816;
    static constexpr int kLabelHeight = 25;
    static constexpr int kLaneSpacing = 24;
    static constexpr int kHeight = 200;
    static constexpr int kCreatedWidth = 1920;
    static constexpr UINT_PTR kLaneTimer = 1;     // "时钟1"
    static constexpr UINT_PTR kHarvestTimer = 2;  // "时钟2"
    static constexpr UINT kLaneInterval = 50;
    static constexpr UINT kHarvestInterval = 30000;
    static constexpr wchar_t kClassName[] = L"VelmoraOverlay";
    static constexpr wchar_t kOwnerClassName[] = L"VelmoraOwner";

    OverlayWindow(HINSTANCE instance, OverlayEvents events);
    ~OverlayWindow();
    OverlayWindow(const OverlayWindow&) = delete;
    OverlayWindow& operator=(const OverlayWindow&) = delete;

    // Creates the window hidden with its ten controls, runs onOverlayCreated,
    // then shows the window. False when the window cannot be created.
    bool create();
    HWND window() const { return window_; }
    const TransLabel& laneLabel(int lane) const { return labels_[static_cast<std::size_t>(lane - 1)]; }

    static int screenWidth();
    void setLeft(int x) const;
    void setTop(int y) const;
    void setWidth(int width) const;
    void setHeight(int height) const;
    void setTopmost(bool on) const;
    void showNormal() const;
    // Asks for the window's destruction; the message loop carries it out.
    void requestDestruction() const;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ownerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool registerClasses() const;
    void createControls();
    void onOverlayCreated();
    void putUpTrayIcon();
    void place(int x, int y, int width, int height) const;
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void beginEnding();
    void onDestroy();

    HINSTANCE instance_;
    OverlayEvents events_;
    HWND owner_ = nullptr;
    HWND window_ = nullptr;
    std::array<TransLabel, kLaneCount> labels_{};
    std::unique_ptr<TrayIcon> tray_;
    UINT taskbarCreated_ = 0;
    bool ending_ = false;
};

}  // namespace velmora
