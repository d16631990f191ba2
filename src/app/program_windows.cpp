#include "app/program_windows.h"

#include <windows.h>

namespace velmora::programWindows {
namespace {

// Only the user-interface thread creates and destroys the program's windows.
int openWindows = 0;
bool loopRunning = false;

}  // namespace

void opened() { ++openWindows; }

void closed() {
    if (--openWindows == 0 && loopRunning) PostQuitMessage(0);
}

int count() { return openWindows; }

void loopEntered() { loopRunning = true; }

}  // namespace velmora::programWindows
