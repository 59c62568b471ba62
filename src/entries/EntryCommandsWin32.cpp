#include "entries/EntryCommandsWin32.h"

// Entry editing, exchange files and the clipboard come with their own work.
void OnNewEntry(HWND) {}
void OnEditEntry(HWND) {}
void OnDeleteEntries(HWND) {}
void ExportEntries(HWND, const char*) {}
void ImportEntries(HWND, const char*) {}
void WriteEntryListing(HWND, const char*) {}
void CopySelection(HWND) {}
void PasteEntries(HWND) {}
