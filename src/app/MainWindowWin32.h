#pragma once
// The main window: construction, routing, layout and shutdown.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/AppContextWin32.h"
#include "ui/ListViewWin32.h"
#include "ui/ShellWin32.h"

// The two lists' column layouts as the start found them in Nodelark.ini; the
// shutdown writes back only what the user changed since.
struct ColumnLayouts {
    std::string iniPath;
    ListColumnLayout wakeList;
    ListColumnLayout commandLog;
};
constexpr char kColumnLayoutsProp[] = "ColumnLayouts_Class";
constexpr char kWakeListSection[] = "WakeList";
constexpr char kCommandLogSection[] = "CommandLog";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int OnCreate(HWND mainWindow);
int OnDestroy(HWND mainWindow);
// True once the main window is being torn down: a late close request from a
// finishing worker must not destroy it a second time.
bool ShutdownInProgress();
int LayoutMainWindow(HWND mainWindow, WPARAM kind, LPARAM packedSize);

HIMAGELIST LoadImageStrip(HWND window, int bitmapId, int imageCount);
// The strip drawn for the scale of `dpi` in place of the 100 % one named.
int BitmapForDpi(int bitmapId, UINT dpi);
HFONT CreateListFont(UINT dpi);
// The dialog font made for the window's DPI, the stock one until it is made.
inline HFONT GuiFont() {
    return App().guiFont ? App().guiFont : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}
// The window moved to a monitor of another scale (WM_DPICHANGED): fonts,
// images, columns and the tool strip are made again for the new DPI, the
// window takes the rectangle the system suggests.
int OnDpiChanged(HWND mainWindow, WPARAM dpis, LPARAM suggestedRect);
HWND CreateListPage(HWND tab, int id, const char* name, int columnCount, const WORD* alignments,
                    const int* widths, const char* const* texts, DWORD extraStyle, bool stateImages);
bool ApplyExplorerTheme(HWND window);
// The Wake List page with its eleven columns, not yet sorted by any.
HWND CreateWakeListPage(HWND tab);
// The Command Log page with its time and output columns.
HWND CreateCommandLogPage(HWND tab);
