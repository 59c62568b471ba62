// Arranges the tool strip, the tab control with its pages and the status bar.
#include "ui/DlgbarWin32.h"
#include "app/MainWindowWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/WindowPropWin32.h"

int LayoutMainWindow(HWND mainWindow, WPARAM kind, LPARAM packedSize) {
    RECT client = {};
    GetClientRect(mainWindow, &client);
    const int edgeX = GetSystemMetrics(SM_CXEDGE);
    const int edgeY = GetSystemMetrics(SM_CYEDGE);

    int top = 0;
    CDlgbar* bar = FindObject<CDlgbar>(mainWindow, kDlgbarProp);
    if (bar && bar->Strip()) {
        RECT stripWindow = {};
        GetWindowRect(bar->Strip(), &stripWindow);
        MoveWindow(bar->Strip(), 0, 0, LOWORD(packedSize), stripWindow.bottom - stripWindow.top, TRUE);
        RECT stripClient = {};
        GetClientRect(bar->Strip(), &stripClient);
        top = stripClient.bottom + edgeY;
    }

    int statusHeight = 0;
    if (CProgStbar* status = FindObject<CProgStbar>(mainWindow, kProgStbarProp)) {
        status->Resize(kind, packedSize);
        statusHeight = status->Height();
    }

    HWND tab = TabControl(mainWindow);
    if (!tab) return 0;
    MoveWindow(tab, 0, top, client.right, client.bottom - statusHeight - top, TRUE);

    RECT display = {};
    GetClientRect(mainWindow, &display);
    SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        HWND page = PageWindow(tab, i);
        if (!page) continue;
        MoveWindow(page, display.left, display.top + edgeX, display.right - display.left - 3 * edgeX,
                   display.bottom - display.top - 4 * edgeY - statusHeight - top, TRUE);
    }
    return 0;
}
