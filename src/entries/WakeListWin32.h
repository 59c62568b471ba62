#pragma once
// The Wake List page: rows built from the entry store, and the address filter.
#include <windows.h>

struct WakeEntry;

int RefreshEntryList(HWND mainWindow);
int InsertListItem(HWND mainWindow, const WakeEntry& entry);
void SetListItemColumns(HWND list, int index, const WakeEntry& entry);
bool EntryPassesFilter(const WakeEntry& entry);
INT_PTR CALLBACK FilterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
