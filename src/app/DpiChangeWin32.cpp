// The main window on a monitor of another scale: everything drawn or sized
// in pixels is made again for the new DPI.
#include <windows.h>
#include <commctrl.h>

#include "app/MainWindowWin32.h"
#include "app/ToolStripWin32.h"
#include "resource.h"
#include "ui/AppContextWin32.h"
#include "ui/DlgbarWin32.h"
#include "ui/DpiWin32.h"
#include "ui/ListViewWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

namespace {

// Swaps `*held` for `made` when it was made, and frees what it held.
void Replace(HIMAGELIST* held, HIMAGELIST made) {
    if (!made) return;
    if (*held) ImageList_Destroy(*held);
    *held = made;
}

void Replace(HFONT* held, HFONT made) {
    if (!made) return;
    if (*held) DeleteObject(*held);
    *held = made;
}

}  // namespace

int OnDpiChanged(HWND mainWindow, WPARAM dpis, LPARAM suggestedRect) {
    AppContext& app = App();
    const UINT dpi = HIWORD(dpis);
    const UINT was = app.dpi ? app.dpi : WindowDpi(mainWindow);
    if (dpi && dpi != was) {
        HFONT listFont = CreateListFont(dpi);
        HFONT guiFont = CreateGuiFontForDpi(dpi);
        HFONT statusFont = CreateStatusFontForDpi(dpi);
        HIMAGELIST small = LoadImageStrip(mainWindow, BitmapForDpi(IDB_SMALL_IMAGES, dpi), 4);
        HIMAGELIST state = LoadImageStrip(mainWindow, BitmapForDpi(IDB_STATE_IMAGES, dpi), 4);
        HIMAGELIST header = LoadImageStrip(mainWindow, BitmapForDpi(IDB_HEADER_IMAGES, dpi), 2);

        HWND tab = TabControl(mainWindow);
        if (tab) {
            if (small) SendMessageA(tab, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(small));
            if (guiFont) SendMessageA(tab, WM_SETFONT, reinterpret_cast<WPARAM>(guiFont), FALSE);
        }
        for (int page = 0; page < 2; ++page) {
            HWND list = PageWindow(tab, page);
            if (!list) continue;
            if (small) SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small));
            if (page == 0 && state) SendMessageA(list, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(state));
            if (page == 0 && header) {
                if (HWND headerWindow = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)))
                    SendMessageA(headerWindow, HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(header));
            }
            if (listFont) SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(listFont), TRUE);
            RescaleColumns(list, was, dpi);
        }
        if (CDlgbar* bar = FindObject<CDlgbar>(mainWindow, kDlgbarProp)) RescaleToolStrip(app.instance, *bar, dpi, guiFont);
        if (CProgStbar* status = FindObject<CProgStbar>(mainWindow, kProgStbarProp)) status->SetFont(statusFont);

        // What the controls held before is freed only once they hold the new.
        Replace(&app.smallImages, small);
        Replace(&app.stateImages, state);
        Replace(&app.headerImages, header);
        Replace(&app.listFont, listFont);
        Replace(&app.guiFont, guiFont);
        Replace(&app.statusFont, statusFont);
        app.dpi = dpi;
    }

    // The system's rectangle keeps the window's size in proportion.
    if (const RECT* r = reinterpret_cast<const RECT*>(suggestedRect)) {
        SetWindowPos(mainWindow, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT client = {};
    GetClientRect(mainWindow, &client);
    LayoutMainWindow(mainWindow, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    InvalidateRect(mainWindow, nullptr, TRUE);
    return 0;
}
