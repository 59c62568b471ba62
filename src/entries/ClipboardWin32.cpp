#include "entries/EntryCommandsWin32.h"

// Copy and paste come with their own work.
void CopySelection(HWND) {}
void PasteEntries(HWND) {}
