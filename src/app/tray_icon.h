#pragma once
// The program's notification-area icon, and the icon it shows, which is made
// from an icon file held in the program's resources.
#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr UINT kTrayIconId = 100;
inline constexpr UINT kTrayCallbackMessage = WM_APP + 100;  // 0x8064
inline constexpr int kTrayTipLimitBytes = 62;               // in code page 936
inline constexpr int kProgramIconFileResource = 2;          // RCDATA: the whole .ico file
inline constexpr int kProgramIconResource = 1;              // ICON, for the program file itself

// The tray event for a mouse notification of the icon: 1 left button up,
// 2 left double-click, 3 right button up or context menu; nothing for any other.
std::optional<int> trayCodeFor(UINT mouseNotification);

// `tip` cut, at a character boundary, to at most 62 bytes of code page 936.
std::wstring fitTrayTip(std::wstring_view tip);

// An icon owned until its owner goes (DestroyIcon).
class IconHandle {
public:
    IconHandle() = default;
    explicit IconHandle(HICON icon) : icon_(icon) {}
    IconHandle(IconHandle&& other) noexcept;
    IconHandle& operator=(IconHandle&& other) noexcept;
    IconHandle(const IconHandle&) = delete;
    IconHandle& operator=(const IconHandle&) = delete;
    ~IconHandle();
    HICON get() const { return icon_; }
    explicit operator bool() const { return icon_ != nullptr; }

private:
    HICON icon_ = nullptr;
};

// An icon made from the first image of an icon file (.ico bytes); empty when
// the bytes are not an icon file or its image does not lie inside them.
IconHandle iconFromIconFile(std::span<const std::uint8_t> file);
// The icon file held in the program (resource kProgramIconFileResource).
std::span<const std::uint8_t> programIconFile(HINSTANCE instance);

class TrayIcon {
public:
    TrayIcon(HWND owner, IconHandle icon, std::wstring_view tip);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // NIM_ADD; also used to put the icon back when the taskbar was re-created.
    bool add();
    // NIM_DELETE, once after the icon was put up (whether or not that took).
    bool remove();

private:
    NOTIFYICONDATAW data_{};
    IconHandle icon_;
    bool added_ = false;
};

}  // namespace velmora
