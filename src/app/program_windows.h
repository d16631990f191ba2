#pragma once
// The program's own windows and the loop-running flag: once the message loop
// has been entered, the destruction of the last window of the program posts
// the quit request (exit code 0) that ends the loop.
namespace velmora::programWindows {

void opened();
// Posts WM_QUIT with 0 when this was the last window and the loop is running.
void closed();
int count();
// Sets the loop-running flag (never cleared).
void loopEntered();

}  // namespace velmora::programWindows
