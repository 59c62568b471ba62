#include "entries/EntryCommandsWin32.h"

// Add, edit and delete come with their own work.
void OnNewEntry(HWND) {}
void OnEditEntry(HWND) {}
void OnDeleteEntries(HWND) {}
