#pragma once
// The About box with the local network settings.
#include <windows.h>

INT_PTR CALLBACK AboutDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void PaintAbout(HWND dialog);
