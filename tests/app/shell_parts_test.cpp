// The overlay shell's parts that need no running program: the tray event
// table, the tip, the icon and the resources, the layering rule and the
// headline queue's gate.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "app/guarded_queue.h"
#include "app/overlay_window.h"
#include "app/tray_icon.h"

namespace velmora {
namespace {

// A path of the build as this process sees it, through Wine's Z: drive.
std::wstring buildPath(const char* unixPath) {
    std::wstring wide = L"Z:";
    for (const char* c = unixPath; *c != 0; ++c) wide += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return wide;
}

std::vector<std::uint8_t> iconFileBytes() {
    std::ifstream file(std::filesystem::path(buildPath(VELMORA_ICON_FILE)), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct TrayCodeCase {
    UINT notification;
    std::optional<int> trayCode;
};

class TrayCodes : public ::testing::TestWithParam<TrayCodeCase> {};

TEST_P(TrayCodes, FollowTheTable) { EXPECT_EQ(trayCodeFor(GetParam().notification), GetParam().trayCode); }

INSTANTIATE_TEST_SUITE_P(Notifications, TrayCodes,
                         ::testing::Values(TrayCodeCase{WM_LBUTTONUP, 1}, TrayCodeCase{WM_LBUTTONDBLCLK, 2},
                                           TrayCodeCase{WM_RBUTTONUP, 3}, TrayCodeCase{WM_CONTEXTMENU, 3},
                                           TrayCodeCase{WM_LBUTTONDOWN, std::nullopt},
                                           TrayCodeCase{WM_RBUTTONDOWN, std::nullopt},
                                           TrayCodeCase{WM_RBUTTONDBLCLK, std::nullopt},
                                           TrayCodeCase{WM_MOUSEMOVE, std::nullopt},
                                           TrayCodeCase{WM_MBUTTONUP, std::nullopt}, TrayCodeCase{0, std::nullopt}));

struct TipCase {
    std::wstring tip;
    std::wstring fitted;
};

class TrayTips : public ::testing::TestWithParam<TipCase> {};

TEST_P(TrayTips, AreCutToSixtyTwoBytesAtACharacterBoundary) { EXPECT_EQ(fitTrayTip(GetParam().tip), GetParam().fitted); }

INSTANTIATE_TEST_SUITE_P(
    Tips, TrayTips,
    ::testing::Values(TipCase{L"Velmora by:quillon", L"Velmora by:quillon"}, TipCase{L"", L""},
                      TipCase{std::wstring(62, L'a'), std::wstring(62, L'a')},
                      TipCase{std::wstring(70, L'a'), std::wstring(62, L'a')},
                      // 40 Chinese characters are 80 bytes: 31 of them fit.
                      TipCase{std::wstring(40, L'中'), std::wstring(31, L'中')},
                      // A double-byte character that would straddle byte 62 is left out whole.
                      TipCase{std::wstring(61, L'a') + L"中", std::wstring(61, L'a')}));

TEST(TrayIconImage, IsMadeFromTheProgramsIconFile) {
    const std::vector<std::uint8_t> bytes = iconFileBytes();
    ASSERT_EQ(bytes.size(), 16958u) << VELMORA_ICON_FILE;
    EXPECT_EQ(bytes[2], 1) << "an icon, not a cursor";
    EXPECT_EQ(bytes[4], 1) << "one image";
    EXPECT_EQ(bytes[6], 64);
    EXPECT_EQ(bytes[7], 64);
    EXPECT_EQ(bytes[12] | (bytes[13] << 8), 32) << "32 bits per pixel";

    const IconHandle icon = iconFromIconFile(bytes);
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 64);
    EXPECT_EQ(colour.bmHeight, 64);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

TEST(TrayIconImage, BadIconFilesGiveNoIcon) {
    const std::vector<std::uint8_t> good = iconFileBytes();
    ASSERT_EQ(good.size(), 16958u);
    auto changed = [&](std::size_t offset, std::uint8_t value) {
        std::vector<std::uint8_t> bytes = good;
        bytes[offset] = value;
        return bytes;
    };
    const std::vector<std::vector<std::uint8_t>> bad = {
        {},
        std::vector<std::uint8_t>(good.begin(), good.begin() + 21),    // shorter than its directory
        std::vector<std::uint8_t>(good.begin(), good.end() - 1),       // the image runs past the end
        changed(2, 2),                                                 // a cursor file
        changed(4, 0),                                                 // no image
        changed(21, 0x7F),                                             // image offset far outside
        changed(17, 0x40),                                             // image size far beyond the file
    };
    for (std::size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(iconFromIconFile(bad[i])) << "case " << i;
}

// Both builds carry the icon file, a manifest and version information.
class ProgramResources : public ::testing::TestWithParam<const char*> {};

TEST_P(ProgramResources, HoldTheIconFileManifestAndVersion) {
    const std::wstring program = buildPath(GetParam());
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << GetParam();
    EXPECT_EQ(programIconFile(module).size(), 16958u);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(kProgramIconResource), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */), nullptr);
    HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))), SizeofResource(module, manifest));
    EXPECT_NE(text.find("asInvoker"), std::string::npos);
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    FreeLibrary(module);

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<std::uint8_t> version(size);
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, version.data()));
    wchar_t* product = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\040904B0\\ProductName", reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, L"Velmora");
}

INSTANTIATE_TEST_SUITE_P(Builds, ProgramResources, ::testing::Values(VELMORA_PROGRAM, VELMORA_LOOPBACK_PROGRAM));

struct LayeredCase {
    COLORREF key;
    int alpha;
    DWORD flags;
    BYTE alphaUsed;
};

class Layering : public ::testing::TestWithParam<LayeredCase> {};

TEST_P(Layering, SetsExactlyTheLayeredStyleAndTheChosenFlags) {
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_APPWINDOW | WS_EX_TRANSPARENT, L"Static", L"", WS_POPUP, 0, 0, 50, 50,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    makeLayered(window, GetParam().key, GetParam().alpha);
    EXPECT_EQ(GetWindowLongW(window, GWL_EXSTYLE), WS_EX_LAYERED);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(window, &key, &alpha, &flags));
    EXPECT_EQ(flags, GetParam().flags);
    if (flags & LWA_COLORKEY) {
        EXPECT_EQ(key, GetParam().key);
    }
    if (flags & LWA_ALPHA) {
        EXPECT_EQ(alpha, GetParam().alphaUsed);
    }
    DestroyWindow(window);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Layering,
    ::testing::Values(LayeredCase{keyColour, 0, LWA_COLORKEY, 0},               // the program's one call
                      LayeredCase{0, 0, LWA_ALPHA, 0},                          // key 0: alpha only
                      LayeredCase{0, 0x80, LWA_ALPHA, 0x80},
                      LayeredCase{0x00123456, 0x80, LWA_COLORKEY | LWA_ALPHA, 0x80},
                      LayeredCase{0x00123456, 0x100, LWA_COLORKEY, 0},          // only the low byte counts
                      LayeredCase{0x00123456, 0x1FF, LWA_COLORKEY | LWA_ALPHA, 0xFF}));

TEST(HeadlineGate, PassesOperationsWhileOpenAndNoneOnceDestroyed) {
    GuardedHeadlineQueue queue;
    Text out = "stale";
    EXPECT_FALSE(queue.addText("before creation"));
    EXPECT_FALSE(queue.takeText(out));
    EXPECT_TRUE(out.empty());
    queue.create();
    EXPECT_TRUE(queue.addText("one", true));
    EXPECT_FALSE(queue.addText("one", true)) << "a duplicate still waiting is refused";
    EXPECT_TRUE(queue.addText("two"));
    EXPECT_TRUE(queue.takeText(out));
    EXPECT_EQ(out, Text("one"));
    queue.destroy();
    EXPECT_FALSE(queue.isOpen());
    EXPECT_FALSE(queue.addText("late"));
    out = "stale";
    EXPECT_FALSE(queue.takeText(out)) << "what waited went with the queue";
    EXPECT_TRUE(out.empty());
    queue.create();
    EXPECT_FALSE(queue.isOpen()) << "a destroyed queue is not made again";
}

TEST(HeadlineGate, DestructionWhileWorkersAddAndTakeIsClean) {
    GuardedHeadlineQueue queue;
    queue.create();
    std::atomic<bool> go{true};
    std::atomic<int> refusedAfterEnd{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 6; ++w) {
        workers.emplace_back([&, w] {
            Text item;
            for (int i = 0; go; ++i) {
                const bool done = (w % 2 == 0) ? queue.addText(Text(std::to_string(w * 100000 + i)), true) : queue.takeText(item);
                if (!queue.isOpen() && !done) ++refusedAfterEnd;
            }
        });
    }
    Sleep(100);
    queue.destroy();
    Sleep(50);
    go = false;
    for (std::thread& worker : workers) worker.join();
    EXPECT_GT(refusedAfterEnd.load(), 0);
    EXPECT_FALSE(queue.addText("after"));
}

}  // namespace
}  // namespace velmora
