#pragma once
// The Wake List page: rows built from the entry store, and the address filter.
#include <windows.h>

struct WakeEntry;

int RefreshEntryList(HWND mainWindow);
int InsertListItem(HWND mainWindow, const WakeEntry& entry);
void SetListItemColumns(HWND list, int index, const WakeEntry& entry);
bool EntryPassesFilter(const WakeEntry& entry);
INT_PTR CALLBACK FilterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Marks every column of the Wake List as not sorted yet, so that the first
// click on any of them sorts ascending.
void ResetWakeListSort(HWND list);
// Sorts the Wake List by one column, flipping that column's direction.
void SortWakeListByColumn(HWND mainWindow, HWND list, int column);
// Sorts the Wake List again by the column and in the direction the last
// header click chose; leaves the rows alone when none was clicked.
void ResortWakeList(HWND list);
