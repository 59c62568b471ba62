#pragma once
// The wake run on its worker thread, and command-line mode.
#include <windows.h>

void StartWakeRun(HWND mainWindow);
void RunCommandLine(HWND mainWindow, const char* commandLine);
