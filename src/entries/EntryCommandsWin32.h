#pragma once
// Entry commands: add, edit, delete, exchange files, listing, clipboard.
#include <windows.h>

// 1 when the command ran to its end (also after a cancel), 0 after an error
// the user was shown.
// Sent to the main window when an edit gave an entry another address: wParam
// the entry's id. What was known about the old address is no longer true.
constexpr UINT WM_APP_ENTRY_READDRESSED = WM_APP + 0x2C1;

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
