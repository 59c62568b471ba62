#pragma once
// The modeless box that tells the user a command-line request is running.
// Both the wake run and the tool run open it; the handle lives in
// AppContext::commandLineDialog.
#include <windows.h>

INT_PTR CALLBACK CommandLineDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Opens the box when command-line mode is set and none is open yet.
void OpenCommandLineDialog(HWND mainWindow);
// Destroys the box if it is open.
void CloseCommandLineDialog();
// Replaces the dialog's line of text (what a waiting run waits for).
void SetCommandLineDialogText(const char* text);
