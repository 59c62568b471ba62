#pragma once
// The Command Log page: every report to the user goes through here.
#include <windows.h>

constexpr int kCommandLogKeep = 6144;  // lines kept before the new one

// Callable from the main thread and from worker threads.
void AppendCommandLog(HWND mainWindow, const char* text);
// Lines written, 0 when the file cannot be created, -1 when the page or the
// status bar is missing.
int ExportCommandLog(HWND mainWindow, const char* path);
