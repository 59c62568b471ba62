#include "tools/ToolRunWin32.h"

// Tool runs come with their own work.
void StartToolRun(HWND, int) {}
LRESULT OnToolEvent(HWND, WPARAM, LPARAM) { return 0; }
