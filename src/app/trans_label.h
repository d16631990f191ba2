#pragma once
// TransLabel: a child window that draws nothing but its text, in one line,
// left-aligned and centred vertically, over whatever its parent painted.
// The operations may be called from any thread. Each change is sent to the
// label's window and carried out by the thread that owns it (the
// user-interface thread): it has been made when the call returns, and reaches
// the screen with the window's next update. left() and width() read the
// window's place on the calling thread. On a window that is gone the
// operations do nothing (left() and width() then give 0).
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "common/text.h"

namespace velmora {

class TransLabel {
public:
    static constexpr COLORREF kDefaultTextColour = RGB(255, 0, 0);
    static constexpr wchar_t kClassName[] = L"VelmoraTransLabel";

    // Registers the window class once (null background brush,
    // CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW).
    static bool registerClass(HINSTANCE instance);
    // A visible label at (x, y) of `parent`, with the given text, red text and
    // the bold 27-pixel font; an empty label (no window) when it cannot be made.
    static TransLabel create(HWND parent, int x, int y, int width, int height, std::wstring_view text, int controlId);

    TransLabel() = default;
    explicit TransLabel(HWND window) : window_(window) {}
    HWND window() const { return window_; }

    int left() const;
    int width() const;
    void setLeft(int x) const;
    void setText(const Text& text) const;
    void setTextColour(COLORREF colour) const;
    // The text as drawn (UTF-16) and the colour, as the label holds them.
    std::wstring text() const;
    COLORREF textColour() const;

    // The label's font description: lfHeight -27, lfWidth 0, bold, no face name.
    static LOGFONTW defaultFont();
    // The font painting makes from a label's font description.
    static LOGFONTW paintingFont(const LOGFONTW& described);
    static constexpr UINT kDrawFlags = DT_SINGLELINE | DT_VCENTER | DT_NOCLIP | DT_LEFT | DT_NOPREFIX;

private:
    HWND window_ = nullptr;
};

}  // namespace velmora
