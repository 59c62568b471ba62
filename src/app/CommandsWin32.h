#pragma once
// Handlers the main window routes commands to. Each lives with its
// subsystem; those of features still to come do nothing yet.
#include <windows.h>

// wake
void StartWakeRun(HWND mainWindow);
void RunCommandLine(HWND mainWindow, const char* commandLine);
// entries
void OnNewEntry(HWND mainWindow);
void OnEditEntry(HWND mainWindow);
void OnDeleteEntries(HWND mainWindow);
void ExportEntries(HWND mainWindow, const char* path);
void ImportEntries(HWND mainWindow, const char* path);
void WriteEntryListing(HWND mainWindow, const char* path);
void CopySelection(HWND mainWindow);
void PasteEntries(HWND mainWindow);
// tools
void StartToolRun(HWND mainWindow, int commandId);
LRESULT OnToolEvent(HWND mainWindow, WPARAM code, LPARAM value);
INT_PTR CALLBACK ToolsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
