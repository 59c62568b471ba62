#pragma once
// Entry commands: add, edit, delete, exchange files, listing, clipboard.
#include <windows.h>

// 1 when the command ran to its end (also after a cancel), 0 after an error
// the user was shown.
int OnNewEntry(HWND mainWindow);
int OnEditEntry(HWND mainWindow);
int OnDeleteEntries(HWND mainWindow);
// Each returns the entries written or added; 0 after a failure it reported;
// -1 when the status bar or the store is missing.
int ExportEntries(HWND mainWindow, const char* path);
int ImportEntries(HWND mainWindow, const char* path);
int WriteEntryListing(HWND mainWindow, const char* path);
void CopySelection(HWND mainWindow);
void PasteEntries(HWND mainWindow);
