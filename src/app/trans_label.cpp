#include "app/trans_label.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "app/gdi_owners.h"
#include "common/wide.h"

namespace velmora {
namespace {

// Private messages of the label; each is sent, so the sender waits for it.
enum LabelMessage : UINT {
    kSetTextMessage = WM_USER + 1,  // lParam: const std::wstring*
    kSetColourMessage,              // wParam: COLORREF
    kSetLeftMessage,                // wParam: the new x, as int
    kGetTextMessage,                // lParam: std::wstring* to fill
    kGetColourMessage,              // result: COLORREF
};

struct LabelState {
    std::wstring text;
    COLORREF colour = TransLabel::kDefaultTextColour;
    LOGFONTW font = TransLabel::defaultFont();
};

LabelState* stateOf(HWND window) { return reinterpret_cast<LabelState*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

LRESULT CALLBACK labelProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// All zero for a window that is gone.
RECT rectInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// After a change, the parent's background under the old and the new place is
// painted again and every label over that area draws its text on it again,
// this one included, so no trace of an earlier place or text is left. All of
// it is composed off the screen and copied to the window in one piece, so the
// screen never holds the background without the text that belongs on it (a
// colour-keyed window would flash its key colour there). The update is made
// by a timer, one for all the changes until it fires. Bringing a colour-keyed
// window to the screen can cost far more than drawing it (some window systems
// rebuild the window's shape from every pixel, and every thread that waits
// for messages waits for that too), so the updates are spaced to take at most
// a tenth of the time: every 40 ms where they are cheap, less often where
// they are dear. Otherwise eight lanes stepping every 5 to 10 ms would keep
// the user-interface thread busy with nothing else: the lanes would crawl,
// and a posted Esc would wait behind them.
constexpr UINT_PTR kRepaintTimer = 1;
constexpr double kRepaintDelayMs = 40;
constexpr double kLongestRepaintDelayMs = 1000;
constexpr double kRepaintShare = 0.1;

double millisecondsNow() {
    LARGE_INTEGER now{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The areas of each parent that wait for their update, with the label whose
// timer will make it. Only the user-interface thread touches them.
struct PendingUpdate {
    RECT area;
    HWND timerLabel;
};
std::map<HWND, PendingUpdate>& pendingUpdates() {
    static std::map<HWND, PendingUpdate> updates;
    return updates;
}
// How long the last update of each parent took to reach the screen, in ms.
std::map<HWND, double>& updateCosts() {
    static std::map<HWND, double> costs;
    return costs;
}

UINT repaintDelayFor(HWND parent) {
    const auto found = updateCosts().find(parent);
    const double cost = found == updateCosts().end() ? 0.0 : found->second;
    const double spaced = cost * (1.0 - kRepaintShare) / kRepaintShare;
    return static_cast<UINT>(std::clamp(spaced, kRepaintDelayMs, kLongestRepaintDelayMs));
}

void drawText(HDC dc, const RECT& client, const LabelState& state);

// `area` of the parent composed off the screen (the background, then the
// text of every label over it, the lowest first) and put on the window in
// one copy, so that the screen never holds the erased background without the
// text that belongs on it.
void composeUpdate(HWND parent, const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    const WindowDc screen(parent);
    const MemoryDc memory(screen.get());
    const BitmapObject canvas(CreateCompatibleBitmap(screen.get(), width, height));
    if (!screen.get() || !memory.get() || !canvas) {
        RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return;
    }
    const SelectedObject selected(memory.get(), canvas.get());
    const RECT whole{0, 0, width, height};
    FillRect(memory.get(), &whole, reinterpret_cast<HBRUSH>(GetClassLongPtrW(parent, GCLP_HBRBACKGROUND)));
    std::vector<HWND> labels;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const bool isLabel = GetWindowLongPtrW(child, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(labelProcedure);
        if (isLabel && IsWindowVisible(child) && stateOf(child) != nullptr) labels.push_back(child);
    }
    for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
        RECT place = rectInParent(*label);
        RECT overlap{};
        if (!IntersectRect(&overlap, &place, &area)) continue;
        OffsetRect(&place, -area.left, -area.top);
        const SavedDc saved(memory.get());
        IntersectClipRect(memory.get(), place.left, place.top, place.right, place.bottom);
        drawText(memory.get(), place, *stateOf(*label));
    }
    BitBlt(screen.get(), area.left, area.top, width, height, memory.get(), 0, 0, SRCCOPY);
}

// Brings a parent's waiting area to the screen now, and notes what it cost.
// A wait for no time lets the window system put the drawing on the screen
// here rather than at the thread's next wait, so the cost counted is the
// whole of it.
void repaintNow(HWND parent) {
    auto found = pendingUpdates().find(parent);
    if (found == pendingUpdates().end()) return;
    const PendingUpdate update = found->second;
    pendingUpdates().erase(found);
    KillTimer(update.timerLabel, kRepaintTimer);
    const double started = millisecondsNow();
    composeUpdate(parent, update.area);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, 0);
    updateCosts()[parent] = millisecondsNow() - started;
}

void repaintSoon(HWND label, HWND parent, const RECT& area) {
    auto found = pendingUpdates().find(parent);
    if (found != pendingUpdates().end()) {
        UnionRect(&found->second.area, &found->second.area, &area);
        return;
    }
    if (SetTimer(label, kRepaintTimer, repaintDelayFor(parent), nullptr) == 0) {
        composeUpdate(parent, area);
        return;
    }
    pendingUpdates()[parent] = PendingUpdate{area, label};
}

// A label wholly outside its parent before and after (a parked lane) changes
// no pixel, and is left alone.
void repaintAround(HWND label, const RECT& before) {
    HWND parent = GetParent(label);
    const RECT after = rectInParent(label);
    RECT client{};
    RECT seen{};
    GetClientRect(parent, &client);
    if (!IntersectRect(&seen, &before, &client) && !IntersectRect(&seen, &after, &client)) return;
    RECT area{};
    UnionRect(&area, &before, &after);
    IntersectRect(&area, &area, &client);
    repaintSoon(label, parent, area);
}

// The label's text on `dc`, over `client` (the label's client rectangle in
// the DC's coordinates). The font lives for this drawing only.
void drawText(HDC dc, const RECT& client, const LabelState& state) {
    if (state.text.empty() || dc == nullptr) return;
    const LOGFONTW described = TransLabel::paintingFont(state.font);
    const FontObject font(CreateFontIndirectW(&described));
    const SelectedObject selected(dc, font ? static_cast<HGDIOBJ>(font.get()) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, state.colour);
    RECT area = client;
    DrawTextW(dc, state.text.c_str(), static_cast<int>(state.text.size()), &area, TransLabel::kDrawFlags);
}

void paint(HWND window, const LabelState& state) {
    const PaintCycle cycle(window);
    RECT client{};
    GetClientRect(window, &client);
    drawText(cycle.dc(), client, state);
}

LRESULT handleChange(HWND window, LabelState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    const RECT before = rectInParent(window);
    switch (message) {
        case kSetTextMessage:
            state.text = *reinterpret_cast<const std::wstring*>(lParam);
            DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state.text.c_str()));
            break;
        case kSetColourMessage:
            state.colour = static_cast<COLORREF>(wParam);
            break;
        default:  // kSetLeftMessage
            SetWindowPos(window, nullptr, static_cast<int>(wParam), before.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS);
            break;
    }
    repaintAround(window, before);
    return 1;
}

LRESULT CALLBACK labelProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LabelState* state = stateOf(window);
    switch (message) {
        case WM_NCCREATE: {
            auto fresh = std::unique_ptr<LabelState>(new (std::nothrow) LabelState());
            if (!fresh) return FALSE;
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            if (create->lpszName != nullptr) fresh->text = create->lpszName;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(fresh.release()));
            break;
        }
        case WM_NCDESTROY:
            if (auto found = pendingUpdates().find(GetParent(window));
                found != pendingUpdates().end() && found->second.timerLabel == window) {
                pendingUpdates().erase(found);  // its timer goes with it; the parent repaints itself
            }
            updateCosts().erase(GetParent(window));
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete state;
            break;
        case WM_PAINT:
            if (state == nullptr) break;
            paint(window, *state);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                SendMessageW(GetAncestor(window, GA_ROOT), WM_CLOSE, 0, 0);
                return 0;
            }
            break;
        case kSetTextMessage:
        case kSetColourMessage:
        case kSetLeftMessage:
            return state == nullptr ? 0 : handleChange(window, *state, message, wParam, lParam);
        case kGetTextMessage:
            if (state != nullptr) *reinterpret_cast<std::wstring*>(lParam) = state->text;
            return 1;
        case kGetColourMessage:
            return state == nullptr ? 0 : static_cast<LRESULT>(state->colour);
        case WM_TIMER:
            if (wParam != kRepaintTimer) break;
            repaintNow(GetParent(window));
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool TransLabel::registerClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    if (GetClassInfoExW(instance, kClassName, &windowClass)) return true;
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = labelProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
}

TransLabel TransLabel::create(HWND parent, int x, int y, int width, int height, std::wstring_view text, int controlId) {
    const std::wstring wide(text);
    HWND window = CreateWindowExW(WS_EX_TRANSPARENT, kClassName, wide.c_str(), WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE, x,
                                  y, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                                  reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    return TransLabel(window);
}

// Read from the window itself, on the calling thread: the window system holds
// its place for every thread, and a move sent by any thread has been made
// when its call returns. (A message to the label's thread would cost every
// lane step a second wait for that thread.)
int TransLabel::left() const { return rectInParent(window_).left; }

int TransLabel::width() const {
    RECT rect{};
    if (!GetWindowRect(window_, &rect)) return 0;
    return rect.right - rect.left;
}

void TransLabel::setLeft(int x) const {
    SendMessageW(window_, kSetLeftMessage, static_cast<WPARAM>(x), 0);
}

void TransLabel::setText(const Text& text) const {
    const std::wstring wide = toWide(text);
    SendMessageW(window_, kSetTextMessage, 0, reinterpret_cast<LPARAM>(&wide));
}

void TransLabel::setTextColour(COLORREF colour) const { SendMessageW(window_, kSetColourMessage, colour, 0); }

std::wstring TransLabel::text() const {
    std::wstring text;
    SendMessageW(window_, kGetTextMessage, 0, reinterpret_cast<LPARAM>(&text));
    return text;
}

COLORREF TransLabel::textColour() const { return static_cast<COLORREF>(SendMessageW(window_, kGetColourMessage, 0, 0)); }

LOGFONTW TransLabel::defaultFont() {
    LOGFONTW font{};
    font.lfHeight = -27;
    font.lfWidth = 0;
    font.lfWeight = FW_BOLD;
    font.lfItalic = FALSE;
    font.lfUnderline = FALSE;
    font.lfStrikeOut = FALSE;
    return font;
}

LOGFONTW TransLabel::paintingFont(const LOGFONTW& described) {
    LOGFONTW font = described;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH;
    return font;
}

}  // namespace velmora
