// TransLabel in this process, on a colour-keyed parent like the overlay: the
// operations from a worker thread, and what reaches the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "app/overlay_window.h"
#include "app/trans_label.h"
#include "common/wide.h"
#include "driver/program_driver.h"

namespace velmora {
namespace {

using test::ScreenCapture;
using test::waitUntil;
using namespace std::chrono_literals;

LRESULT CALLBACK parentProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

bool isGreen(COLORREF c) { return GetGValue(c) > 120 && GetRValue(c) < 100 && GetBValue(c) < 100; }
bool isBlue(COLORREF c) { return GetBValue(c) > 120 && GetRValue(c) < 100 && GetGValue(c) < 100; }
bool isLit(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) > 90; }

// A keyed top-level window 1920 x 200 at (0, 0) with one label in lane 2 (y 24)
// and two empty neighbours, over the display's black root.
class LabelOnScreen : public ::testing::Test {
protected:
    static constexpr int kTop = 24;

    void SetUp() override {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = parentProcedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = L"VelmoraLabelTestParent";
        windowClass.hbrBackground = brush_.get() ? brush_.get() : nullptr;
        RegisterClassW(&windowClass);
        ASSERT_TRUE(TransLabel::registerClass(instance));
        parent_ = CreateWindowExW(WS_EX_TOPMOST, L"VelmoraLabelTestParent", L"", WS_POPUP, 0, 0, 1920, 200, nullptr, nullptr,
                                  instance, nullptr);
        ASSERT_NE(parent_, nullptr);
        above_ = TransLabel::create(parent_, 0, 0, 816, 25, L"", 1);
        label_ = TransLabel::create(parent_, 0, kTop, 816, 25, L"", 2);
        below_ = TransLabel::create(parent_, 0, 48, 816, 25, L"", 3);
        makeLayered(parent_, keyColour);
        ShowWindow(parent_, SW_SHOWNOACTIVATE);
        settle();
    }

    void TearDown() override {
        if (parent_ != nullptr) DestroyWindow(parent_);
        UnregisterClassW(L"VelmoraLabelTestParent", GetModuleHandleW(nullptr));
    }

    // Lets the window system bring the last change to the screen.
    static void settle() { waitUntil([] { return false; }, 150ms); }

    static ScreenCapture laneShot() {
        settle();
        return ScreenCapture::take(RECT{0, kTop, 1920, kTop + 24});
    }

    // Runs `work` on a thread of its own, as a lane worker does, and waits for it.
    static void onWorker(const std::function<void()>& work) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            work();
            done = true;
        });
        while (!done) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        }
        worker.join();
    }

    struct BrushOwner {
        HBRUSH brush = CreateSolidBrush(keyColour);
        ~BrushOwner() { DeleteObject(brush); }
        HBRUSH get() const { return brush; }
    } brush_;
    HWND parent_ = nullptr;
    TransLabel above_, label_, below_;
};

TEST_F(LabelOnScreen, IsAChildWithoutBackgroundOfItsOwn) {
    HWND window = label_.window();
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND)), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetClassLongW(window, GCL_STYLE), static_cast<DWORD>(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(GetWindowLongW(window, GWL_STYLE), static_cast<LONG>(WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongW(window, GWL_EXSTYLE), WS_EX_TRANSPARENT);
    EXPECT_EQ(label_.textColour(), RGB(255, 0, 0)) << "red until a worker sets another";
    const LOGFONTW font = TransLabel::defaultFont();
    EXPECT_EQ(font.lfHeight, -27);
    EXPECT_EQ(font.lfWidth, 0);
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
    EXPECT_EQ(font.lfFaceName[0], L'\0');
    const LOGFONTW painted = TransLabel::paintingFont(font);
    EXPECT_EQ(painted.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(painted.lfOutPrecision, OUT_DEFAULT_PRECIS);
    EXPECT_EQ(painted.lfClipPrecision, CLIP_DEFAULT_PRECIS);
    EXPECT_EQ(painted.lfQuality, PROOF_QUALITY);
    EXPECT_EQ(painted.lfPitchAndFamily, DEFAULT_PITCH);
    EXPECT_EQ(painted.lfHeight, -27);
}

TEST_F(LabelOnScreen, OperationsFromAWorkerHaveTakenEffectWhenTheyReturn) {
    const Text headline = fromWide(L"工人发明新型节水灌溉装置");
    int leftSeen = -1;
    onWorker([&] {
        label_.setText(headline);
        label_.setTextColour(RGB(0, 255, 0));
        label_.setLeft(300);
        leftSeen = label_.left();
    });
    EXPECT_EQ(leftSeen, 300);
    EXPECT_EQ(label_.left(), 300);
    EXPECT_EQ(label_.width(), 816);
    EXPECT_EQ(label_.text(), L"工人发明新型节水灌溉装置");
    EXPECT_EQ(label_.textColour(), RGB(0, 255, 0));
    ScreenCapture shot = laneShot();
    EXPECT_GT(shot.countPixels(RECT{300, 0, 1116, 24}, isGreen), 100);
    EXPECT_EQ(shot.countPixels(RECT{0, 0, 300, 24}, isLit), 0);

    // Moved on by the worker: nothing is left at the old place.
    onWorker([&] { label_.setLeft(1000); });
    shot = laneShot();
    EXPECT_EQ(shot.countPixels(RECT{0, 0, 1000, 24}, isLit), 0);
    EXPECT_GT(shot.countPixels(RECT{1000, 0, 1816, 24}, isGreen), 100);

    // A new colour replaces the old one everywhere.
    onWorker([&] { label_.setTextColour(RGB(0, 0, 255)); });
    shot = laneShot();
    EXPECT_EQ(shot.countPixels(isGreen), 0);
    EXPECT_GT(shot.countPixels(isBlue), 100);

    // A shorter text leaves nothing of the longer one behind.
    onWorker([&] { label_.setText(fromWide(L"短")); });
    shot = laneShot();
    EXPECT_GT(shot.countPixels(RECT{1000, 0, 1040, 24}, isBlue), 10);
    EXPECT_EQ(shot.countPixels(RECT{1060, 0, 1920, 24}, isLit), 0);
}

TEST_F(LabelOnScreen, NeighboursKeepTheirTextWhenALabelMovesPastThem) {
    onWorker([&] {
        above_.setText(fromWide(L"上面一条标题上面一条标题"));
        above_.setTextColour(RGB(0, 255, 0));
        below_.setText(fromWide(L"下面一条标题下面一条标题"));
        below_.setTextColour(RGB(0, 255, 0));
        label_.setText(fromWide(L"中间这条标题在移动"));
        label_.setTextColour(RGB(0, 0, 255));
    });
    settle();
    const ScreenCapture before = ScreenCapture::take(RECT{0, 0, 1920, 73});
    for (int x = 0; x < 200; x += 7) label_.setLeft(x);
    label_.setLeft(1920);
    settle();
    const ScreenCapture after = ScreenCapture::take(RECT{0, 0, 1920, 73});
    EXPECT_EQ(after.countPixels(RECT{0, 0, 1920, 24}, isGreen), before.countPixels(RECT{0, 0, 1920, 24}, isGreen));
    EXPECT_EQ(after.countPixels(RECT{0, 49, 1920, 73}, isGreen), before.countPixels(RECT{0, 49, 1920, 73}, isGreen));
    EXPECT_EQ(after.countPixels(isBlue), 0) << "the parked label left nothing behind";
}

TEST_F(LabelOnScreen, ATextWiderThanTheLabelIsCutAtItsRightEdge) {
    std::wstring wide;
    for (int i = 0; i < 12; ++i) wide += L"一条很长的新闻标题";
    label_.setText(fromWide(wide));
    label_.setTextColour(RGB(0, 255, 0));
    const ScreenCapture shot = laneShot();
    EXPECT_GT(shot.countPixels(RECT{700, 0, 816, 24}, isGreen), 20) << "the text runs up to the edge";
    EXPECT_EQ(shot.countPixels(RECT{816, 0, 1920, 24}, isLit), 0) << "and not beyond it";
}

TEST_F(LabelOnScreen, AnAmpersandIsShownAsItIs) {
    // Eight ampersands: with prefix processing they would come out as four.
    label_.setText("&&&&&&&&");
    label_.setTextColour(RGB(0, 255, 0));
    const ScreenCapture shot = laneShot();
    int rightmost = -1;
    for (int x = 0; x < 816; ++x) {
        for (int y = 0; y < 24; ++y) {
            if (isGreen(shot.pixel(x, y))) rightmost = x;
        }
    }
    HDC dc = GetDC(label_.window());
    const LOGFONTW described = TransLabel::paintingFont(TransLabel::defaultFont());
    HFONT font = CreateFontIndirectW(&described);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE eight{};
    GetTextExtentPoint32W(dc, L"&&&&&&&&", 8, &eight);
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(label_.window(), dc);
    EXPECT_GT(rightmost, eight.cx * 3 / 4) << "eight '&' are " << eight.cx << " px wide";
}

// How far up the GDI handle table 1000 new objects reach. Freed slots are
// handed out again first, so objects that painting leaks in between push the
// reach of the next probe up by their number.
int gdiTableReach() {
    std::vector<HBRUSH> probes;
    int reach = 0;
    for (int i = 0; i < 1000; ++i) {
        HBRUSH brush = CreateSolidBrush(RGB(i % 256, 0, 0));
        if (brush == nullptr) break;
        reach = std::max(reach, static_cast<int>(reinterpret_cast<UINT_PTR>(brush) & 0xFFFF));
        probes.push_back(brush);
    }
    for (HBRUSH brush : probes) DeleteObject(brush);
    return reach;
}

TEST_F(LabelOnScreen, PaintingReleasesEveryFontBrushAndDcItTakes) {
    label_.setText(fromWide(L"画图不泄漏资源"));
    auto paintMany = [&] {
        for (int x = 0; x < 300; ++x) {
            label_.setLeft(x);
            label_.setTextColour(RGB(x % 256, 255, 0));
        }
        settle();
    };
    paintMany();  // whatever the system keeps for good is taken by now
    const DWORD objectsBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const int reachBefore = gdiTableReach();
    paintMany();
    const int reachAfter = gdiTableReach();
    const DWORD objectsAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    EXPECT_LE(reachAfter, reachBefore + 10) << "600 repaints kept GDI objects";
    EXPECT_LE(objectsAfter, objectsBefore + 2);  // where the system counts them (Wine reports 0)
}

TEST_F(LabelOnScreen, OperationsOnADestroyedLabelDoNothing) {
    const TransLabel gone = TransLabel::create(parent_, 0, 96, 816, 25, L"x", 9);
    DestroyWindow(gone.window());
    onWorker([&] {
        gone.setText("late");
        gone.setLeft(5);
        gone.setTextColour(RGB(1, 2, 3));
        EXPECT_EQ(gone.left(), 0);
        EXPECT_EQ(gone.width(), 0);
    });
}

}  // namespace
}  // namespace velmora
