#include "app/program.h"

#include <windows.h>

#include <cstdlib>
#include <new>

#include "app/overlay_surface.h"
#include "app/overlay_window.h"
#include "app/program_windows.h"
#include "harvest/harvest.h"
#include "lanes/lanes.h"

namespace velmora {
namespace {

constexpr wchar_t kConfirmText[] = L"确定要退出Velmora吗？";
constexpr wchar_t kConfirmTitle[] = L"提示";
constexpr wchar_t kStartFailureText[] = L"Velmora could not create its window and ends.";
constexpr wchar_t kStartFailureTitle[] = L"Velmora";

// The overlay while runProgram runs (the tray handler's owner window).
OverlayWindow* overlay = nullptr;

// The lanes' surface lives until the process exits: workers may still hold it
// after the message loop has ended.
OverlaySurface& laneSurface() {
    static OverlaySurface* const surface = new OverlaySurface(headlineQueue());
    return *surface;
}

void runMessageLoop() {
    programWindows::loopEntered();
    if (programWindows::count() == 0) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

GuardedHeadlineQueue& headlineQueue() {
    // Never destroyed: a worker may pass the gate's check after the end of main.
    static GuardedHeadlineQueue* const queue = new GuardedHeadlineQueue();
    return *queue;
}

void destroyHeadlineQueue() { headlineQueue().destroy(); }

void onTrayEvent(int trayCode) {
    if (trayCode != 2 || overlay == nullptr) return;
    const int answer = MessageBoxW(overlay->window(), kConfirmText, kConfirmTitle, MB_YESNO | MB_TASKMODAL);
    if (answer == IDYES && overlay != nullptr) overlay->requestDestruction();
}

int runProgram(const Text& searchHost) {
    headlineQueue().create();
    std::atexit(destroyHeadlineQueue);

    OverlaySurface& surface = laneSurface();
    OverlayEvents events;
    events.startHarvest = [searchHost] {
        startHarvestWorker(searchHost, [](const Text& title) { headlineQueue().addText(title, true); });
    };
    events.laneTick = [&surface] { LaneScheduler(surface); };
    events.trayEvent = onTrayEvent;
    events.controlsCreated = [&surface](HWND window, const std::array<HWND, 8>& labels) { surface.attach(window, labels); };
    events.ending = [&surface] { surface.markEnding(); };

    OverlayWindow window(GetModuleHandleW(nullptr), std::move(events));
    overlay = &window;
    if (!window.create()) {
        overlay = nullptr;
        MessageBoxW(nullptr, kStartFailureText, kStartFailureTitle, MB_OK | MB_ICONERROR | MB_TASKMODAL);
        return 0;
    }
    runMessageLoop();
    overlay = nullptr;
    return 0;
}

}  // namespace velmora
