#include "app/tray_icon.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace velmora {
namespace {

// Icon file layout: a 6-byte header (reserved 0, type 1, count), then one
// 16-byte directory entry per image, whose last 8 bytes give the image's size
// and offset within the file.
constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kEntrySize = 16;

std::uint32_t readLittle(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
}

int bytesInCodePage936(wchar_t character) {
    char bytes[4];
    const int size = WideCharToMultiByte(936, 0, &character, 1, bytes, sizeof bytes, nullptr, nullptr);
    return size > 0 ? size : 1;
}

}  // namespace

std::optional<int> trayCodeFor(UINT mouseNotification) {
    switch (mouseNotification) {
        case WM_LBUTTONUP:
            return 1;
        case WM_LBUTTONDBLCLK:
            return 2;
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU:
            return 3;
        default:
            return std::nullopt;
    }
}

std::wstring fitTrayTip(std::wstring_view tip) {
    std::wstring fitted;
    int bytes = 0;
    for (wchar_t character : tip) {
        bytes += bytesInCodePage936(character);
        if (bytes > kTrayTipLimitBytes) break;
        fitted += character;
    }
    return fitted;
}

IconHandle::IconHandle(IconHandle&& other) noexcept : icon_(std::exchange(other.icon_, nullptr)) {}

IconHandle& IconHandle::operator=(IconHandle&& other) noexcept {
    if (this != &other) {
        if (icon_ != nullptr) DestroyIcon(icon_);
        icon_ = std::exchange(other.icon_, nullptr);
    }
    return *this;
}

IconHandle::~IconHandle() {
    if (icon_ != nullptr) DestroyIcon(icon_);
}

IconHandle iconFromIconFile(std::span<const std::uint8_t> file) {
    if (file.size() < kHeaderSize + kEntrySize) return IconHandle();
    if (readLittle(file, 0, 2) != 0 || readLittle(file, 2, 2) != 1 || readLittle(file, 4, 2) < 1) return IconHandle();
    const std::size_t entry = kHeaderSize;
    const int width = file[entry] == 0 ? 256 : file[entry];
    const int height = file[entry + 1] == 0 ? 256 : file[entry + 1];
    const std::uint32_t size = readLittle(file, entry + 8, 4);
    const std::uint32_t offset = readLittle(file, entry + 12, 4);
    if (size == 0 || offset > file.size() || size > file.size() - offset) return IconHandle();
    // The API takes a writable pointer although it only reads.
    auto* image = const_cast<PBYTE>(file.data() + offset);
    return IconHandle(CreateIconFromResourceEx(image, size, TRUE, 0x00030000, width, height, LR_DEFAULTCOLOR));
}

std::span<const std::uint8_t> programIconFile(HINSTANCE instance) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(kProgramIconFileResource), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(instance, found);  // resources are not freed: they are part of the image
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return {};
    return {static_cast<const std::uint8_t*>(bytes), SizeofResource(instance, found)};
}

TrayIcon::TrayIcon(HWND owner, IconHandle icon, std::wstring_view tip) : icon_(std::move(icon)) {
    data_.cbSize = sizeof data_;
    data_.hWnd = owner;
    data_.uID = kTrayIconId;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = kTrayCallbackMessage;
    data_.hIcon = icon_.get();
    const std::wstring fitted = fitTrayTip(tip);
    const std::size_t length = std::min(fitted.size(), std::size(data_.szTip) - 1);
    std::memcpy(data_.szTip, fitted.data(), length * sizeof(wchar_t));
}

TrayIcon::~TrayIcon() { remove(); }

bool TrayIcon::add() {
    added_ = true;
    return Shell_NotifyIconW(NIM_ADD, &data_) != FALSE;
}

bool TrayIcon::remove() {
    if (!added_) return false;
    added_ = false;
    return Shell_NotifyIconW(NIM_DELETE, &data_) != FALSE;
}

}  // namespace velmora
