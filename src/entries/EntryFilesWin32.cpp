#include "entries/EntryCommandsWin32.h"

// Exchange files and the listing come with their own work.
void ExportEntries(HWND, const char*) {}
void ImportEntries(HWND, const char*) {}
void WriteEntryListing(HWND, const char*) {}
