#pragma once
#include <windows.h>
#include "ui/DlgbarWin32.h"

// Builds the whole tool strip of the main window: images, labels, buttons,
// tooltips. Null when the strip itself could not be created.
// The images are the ones drawn for `dpi`'s scale.
CDlgbar* BuildToolStrip(HINSTANCE instance, HWND mainWindow, UINT dpi);
// The images, the labels' font (owned by the caller, null to keep it) and the
// band's size for another DPI.
void RescaleToolStrip(HINSTANCE instance, CDlgbar& bar, UINT dpi, HFONT font);
