#pragma once
// The program's start, life and end on the user-interface thread.
#include "app/guarded_queue.h"
#include "common/text.h"

namespace velmora {

// The one headline queue, shared by every worker. The object itself lives
// until the process exits; the queue inside it from runProgram's first step
// to destroyHeadlineQueue.
GuardedHeadlineQueue& headlineQueue();
// Run once at the end of the program (registered at start-up): destroys the queue.
void destroyHeadlineQueue();

// Brings the program up against the news service at `searchHost`, runs the
// message loop while the overlay exists, and returns 0.
int runProgram(const Text& searchHost);

// The overlay's tray event: a left double-click (trayCode 2) asks whether to
// quit and, on Yes, has the overlay destroyed; every other code does nothing.
void onTrayEvent(int trayCode);

}  // namespace velmora
