#pragma once
// Tool runs and the registration dialog.
#include <windows.h>

// Starts a run of the tool of a run-tool command (40014..40018). -1 when the
// tab control or the Wake List is missing, 0 after a refusal, otherwise what
// RunToolCommand returned.
int StartToolRun(HWND mainWindow, int commandId);
// Starts one command of the current run for a Wake List item (negative for
// none). 0, or -1 when the runner, the tab control or the list is missing.
int RunToolCommand(HWND mainWindow, int index);
LRESULT OnToolEvent(HWND mainWindow, WPARAM code, LPARAM value);
// The cancel command while no wake run is active: asks, then stops the
// command that still runs, or ends the run at the completion of one that
// ended while the question was open.
void OnToolCancel(HWND mainWindow);
INT_PTR CALLBACK ToolInputDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ToolsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
