#pragma once
// Entry commands: add, edit, delete, exchange files, listing, clipboard.
#include <windows.h>

// 1 when the command ran to its end (also after a cancel), 0 after an error
// the user was shown.
int OnNewEntry(HWND mainWindow);
int OnEditEntry(HWND mainWindow);
int OnDeleteEntries(HWND mainWindow);
void ExportEntries(HWND mainWindow, const char* path);
void ImportEntries(HWND mainWindow, const char* path);
void WriteEntryListing(HWND mainWindow, const char* path);
void CopySelection(HWND mainWindow);
void PasteEntries(HWND mainWindow);
