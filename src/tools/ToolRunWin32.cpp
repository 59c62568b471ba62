#include "tools/ToolRunWin32.h"

// Tool runs and the registration dialog come with their own work.
void StartToolRun(HWND, int) {}
LRESULT OnToolEvent(HWND, WPARAM, LPARAM) { return 0; }
INT_PTR CALLBACK ToolsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
