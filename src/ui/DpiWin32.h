#pragma once
// The DPI a window is shown at, and the fonts made for it.
#include <windows.h>

// The DPI of the window's monitor where the system tells it per window
// (Windows 10 1607 and later), the system's DPI otherwise.
UINT WindowDpi(HWND window);

// The dialog font the stock DEFAULT_GUI_FONT is, at `dpi`: the stock one is
// made for the system's DPI only.
HFONT CreateGuiFontForDpi(UINT dpi);

// The status bar font of the system's settings at `dpi`; null where the
// system cannot tell it per DPI (the status bar keeps its own then).
HFONT CreateStatusFontForDpi(UINT dpi);
