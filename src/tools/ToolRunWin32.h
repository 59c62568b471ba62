#pragma once
// Tool runs and the registration dialog.
#include <windows.h>

void StartToolRun(HWND mainWindow, int commandId);
LRESULT OnToolEvent(HWND mainWindow, WPARAM code, LPARAM value);
INT_PTR CALLBACK ToolsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
