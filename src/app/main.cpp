// The program's entry: the ticker against the search service this build names.
#include <windows.h>

#include "app/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return velmora::runProgram(VELMORA_SEARCH_SERVICE_HOST); }
