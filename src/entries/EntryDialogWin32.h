#pragma once
// The entry dialog: a modal property sheet over one record its caller owns.
// The record changes only when the user presses OK.
#include <windows.h>

struct WakeEntry;

// Each page window holds the record being edited under this property.
constexpr char kEntryDataProp[] = "WakeEntryData";

// Positive on OK, 0 on cancel, -1 when the sheet could not be shown.
INT_PTR ShowEntryDialog(HWND owner, WakeEntry& entry);

INT_PTR CALLBACK DestinationPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DetailsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void LookUpMacAddress(HWND page);
void LookUpComputerName(HWND page);
