#pragma once
#include <windows.h>
#include "ui/DlgbarWin32.h"

// Builds the whole tool strip of the main window: images, labels, buttons,
// tooltips. Null when the strip itself could not be created.
CDlgbar* BuildToolStrip(HINSTANCE instance, HWND mainWindow);
