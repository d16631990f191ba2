// velmora-answer hint|quit [SECONDS]: for the demo on a virtual display, where
// nobody is there to answer. "hint" waits for the program's start-up hint and
// presses OK; "quit" closes the overlay with Esc. Exit code 0 when done, 1 when
// the window did not come within SECONDS (default 30).
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <cwchar>

#include "driver/program_driver.h"

namespace {

using velmora::test::className;
using velmora::test::waitUntil;
using velmora::test::windowText;

HWND findTopLevel(const wchar_t* wantedClass, const wchar_t* wantedTitle) {
    struct Search {
        const wchar_t* windowClass;
        const wchar_t* title;
        HWND found;
    } search{wantedClass, wantedTitle, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) CALLBACK -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            if (className(window) != s->windowClass) return TRUE;
            if (s->title != nullptr && windowText(window) != s->title) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::chrono::seconds patience(argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 30);
    HWND target = nullptr;
    if (std::wcscmp(argv[1], L"hint") == 0) {
        if (!waitUntil([&] { return (target = findTopLevel(L"#32770", velmora::test::kStartupHintTitle)) != nullptr; }, patience)) return 1;
        return velmora::test::ProgramDriver::pressButton(target, IDOK) ? 0 : 1;
    }
    if (std::wcscmp(argv[1], L"quit") == 0) {
        if (!waitUntil([&] { return (target = findTopLevel(velmora::test::kOverlayClass, nullptr)) != nullptr; }, patience)) return 1;
        PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);
        return 0;
    }
    return 2;
}
