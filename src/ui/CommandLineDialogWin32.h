#pragma once
// The modeless box that tells the user a command-line request is running.
// Both the wake run and the tool run open it; the handle lives in
// AppContext::commandLineDialog.
#include <windows.h>

INT_PTR CALLBACK CommandLineDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Opens the box when command-line mode is set and none is open yet.
void OpenCommandLineDialog(HWND mainWindow);
// While a handed-over request runs, the box opens without taking the focus.
void SetCommandLineDialogQuiet(bool quiet);
// Destroys the box if it is open.
void CloseCommandLineDialog();
// Replaces the dialog's line of text (what a waiting run waits for).
void SetCommandLineDialogText(const char* text);

// A request handed over by another start of the program ends differently
// from the program's own command line: it is answered, and the window stays
// as it was. The one who carries such requests out registers here.
using HandedOverRunEnd = bool (*)(HWND mainWindow, int exitCode);
void SetHandedOverRunEnd(HandedOverRunEnd end);
// At the end of a command-line run: true when a handed-over request took
// `exitCode` (nothing more to do); false for the program's own command line,
// which then closes the program.
bool EndHandedOverRun(HWND mainWindow, int exitCode);
