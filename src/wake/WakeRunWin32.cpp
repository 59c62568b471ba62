#include "wake/WakeRunWin32.h"

// The wake run arrives with its own work; until then the command is inert
// (and sends nothing).
void StartWakeRun(HWND) {}
void RunCommandLine(HWND, const char*) {}
