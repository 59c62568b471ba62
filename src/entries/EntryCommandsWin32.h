#pragma once
// Entry commands: add, edit, delete, exchange files, listing, clipboard.
#include <windows.h>

void OnNewEntry(HWND mainWindow);
void OnEditEntry(HWND mainWindow);
void OnDeleteEntries(HWND mainWindow);
void ExportEntries(HWND mainWindow, const char* path);
void ImportEntries(HWND mainWindow, const char* path);
void WriteEntryListing(HWND mainWindow, const char* path);
void CopySelection(HWND mainWindow);
void PasteEntries(HWND mainWindow);
