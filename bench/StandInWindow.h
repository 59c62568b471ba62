#pragma once
// A stand-in for the main window, enough for the page code: a tab control
// with the main window's id holding the Wake List and the Command Log as tab
// items, and the status bar. Shown and sized like the real window, so list
// views do the work they do for a user.
#include <windows.h>
#include "BenchClock.h"
#include <commctrl.h>
#include "log/CommandLogWin32.h"

#include "ui/AppContextWin32.h"
#include "app/MainWindowWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/WindowPropWin32.h"
#include "entries/WakeListColumns.h"
#include "resource.h"

inline void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The main window's part in the Command Log's repaint after a burst.
inline LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (OnCommandLogMessage(window, message, wParam)) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

class StandInWindow {
public:
    explicit StandInWindow(int shownPage) {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        AppContext& app = App();
        app.instance = GetModuleHandleA(nullptr);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = StandInProc;
        wc.hInstance = app.instance;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = "NlBenchStandIn";
        RegisterClassA(&wc);
        main_ = CreateWindowExA(0, "NlBenchStandIn", "stand-in", WS_OVERLAPPEDWINDOW, 0, 0, 1000, 700, nullptr,
                                nullptr, app.instance, nullptr);
        app.mainWindow = main_;
        app.listFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        app.smallImages = ImageList_Create(16, 16, ILC_COLOR16 | ILC_MASK, 4, 0);
        app.stateImages = ImageList_Create(16, 16, ILC_COLOR16 | ILC_MASK, 4, 0);
        tab_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TABCONTROLA, "Tab", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               980, 620, main_, reinterpret_cast<HMENU>(IDC_TAB), app.instance, nullptr);

        wakeList_ = CreateWakeListPage(tab_);
        log_ = CreateCommandLogPage(tab_);
        AddTab(0, "一覧", wakeList_);
        AddTab(1, "出力", log_);
        RECT page = {0, 0, 980, 620};
        SendMessageA(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
        for (HWND list : {wakeList_, log_})
            MoveWindow(list, page.left, page.top, page.right - page.left, page.bottom - page.top, FALSE);
        SendMessageA(tab_, TCM_SETCURSEL, shownPage, 0);
        ShowWindow(shownPage == 0 ? log_ : wakeList_, SW_HIDE);
        static const int percent[] = {40, 30, 20, 10};
        status_ = new CProgStbar(app.instance, main_, IDC_STATUSBAR, IDC_PROGRESS, percent, 4, 2, "ﾚﾃﾞｨ");
        AttachObject(main_, kProgStbarProp, status_);
        ShowWindow(main_, SW_SHOWNORMAL);
        UpdateWindow(main_);
        PumpMessages();
    }
    ~StandInWindow() {
        delete DetachObject<CProgStbar>(main_, kProgStbarProp);
        FreeCommandLogQueue(log_);
        DestroyWindow(main_);
    }
    StandInWindow(const StandInWindow&) = delete;
    StandInWindow& operator=(const StandInWindow&) = delete;

    HWND Main() const { return main_; }
    HWND WakeList() const { return wakeList_; }
    HWND CommandLog() const { return log_; }

private:
    void AddTab(int index, const char* text, HWND page) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = const_cast<char*>(text);
        item.lParam = reinterpret_cast<LPARAM>(page);
        SendMessageA(tab_, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
    }

    HWND main_ = nullptr, tab_ = nullptr, wakeList_ = nullptr, log_ = nullptr;
    CProgStbar* status_ = nullptr;
};
