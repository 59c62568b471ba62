#pragma once
// A small stand-in for the main window, enough for the page code: a tab
// control with the main window's id holding the Wake List and the Command
// Log, the status bar, and a window procedure that does the main window's
// part where the pages and the wake run ask for it.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/MainWindowWin32.h"
#include "entries/DataSaverWin32.h"
#include "entries/EntList.h"
#include "entries/WakeListWin32.h"
#include "log/CommandLogWin32.h"
#include "resource.h"
#include "ui/AppContextWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/WindowPropWin32.h"
#include "wake/WakeRunWin32.h"

inline std::string CellText(HWND list, int row, int column) {
    char buffer[2048] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

inline int RowCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

inline bool Shown(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

struct StandInOptions {
    // A visible top-most window with the Command Log page in front, for tests
    // that give it real mouse input; otherwise a hidden window with the Wake
    // List in front, as at start.
    bool commandLogInFront = false;
};

class StandInWindow : public ::testing::Test {
protected:
    explicit StandInWindow(StandInOptions options = {}) : options_(options) {}

    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "NlStandInMain";
        RegisterClassA(&wc);  // fails harmlessly when already registered
        const bool front = options_.commandLogInFront;
        main_ = front ? CreateWindowExA(WS_EX_TOPMOST, "NlStandInMain", "stand-in", WS_POPUP | WS_VISIBLE, 20, 20, 700,
                                        460, nullptr, nullptr, nullptr, nullptr)
                      : CreateWindowExA(0, "NlStandInMain", "stand-in", WS_OVERLAPPEDWINDOW, 0, 0, 900, 600, nullptr,
                                        nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, main_);
        current_ = this;
        AppContext& app = App();
        app.mainWindow = main_;
        app.commandLineMode = 0;
        tab_ = CreateWindowExA(0, WC_TABCONTROLA, "Tab", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               front ? 700 : 800, front ? 460 : 500, main_, reinterpret_cast<HMENU>(IDC_TAB), nullptr,
                               nullptr);
        static const WORD left[] = {LVCFMT_LEFT, LVCFMT_LEFT, LVCFMT_LEFT};
        static const int widths[] = {100, 500, 100};
        static const char* const wakeTexts[] = {"名前", "IPｱﾄﾞﾚｽ", "ﾎﾟｰﾄ番号"};
        static const char* const logTexts[] = {"時間", "出力"};
        wakeList_ = CreateListPage(tab_, IDC_WAKE_LIST, "Wake List", 3, left, widths, wakeTexts, 0, true);
        log_ = CreateListPage(tab_, IDC_COMMAND_LOG, "Command Log", 2, left, widths, logTexts, LVS_NOSORTHEADER, false);
        AttachCommandLogQueue(log_);
        ResetWakeListSort(wakeList_);
        AddTab(0, wakeList_);
        AddTab(1, log_);
        const RECT page = front ? RECT{4, 30, 694, 450} : RECT{0, 30, 780, 430};
        for (HWND list : {wakeList_, log_})
            MoveWindow(list, page.left, page.top, page.right - page.left, page.bottom - page.top, front);
        SendMessageA(tab_, TCM_SETCURSEL, front ? 1 : 0, 0);
        ShowWindow(front ? wakeList_ : log_, SW_HIDE);
        ShowWindow(front ? log_ : wakeList_, SW_SHOW);
        static const int percent[] = {40, 30, 20, 10};
        status_ = new CProgStbar(GetModuleHandleA(nullptr), main_, IDC_STATUSBAR, IDC_PROGRESS, percent, 4, 2, "ﾚﾃﾞｨ");
        AttachObject(main_, kProgStbarProp, status_);
        if (front) SetForegroundWindow(main_);
    }

    void TearDown() override {
        delete DetachObject<CDataSaver>(main_, kDataSaverProp);
        delete DetachObject<CProgStbar>(main_, kProgStbarProp);
        delete DetachObject<CEntList>(main_, kEntListProp);
        FreeCommandLogQueue(log_);
        DestroyWindow(main_);
        App().mainWindow = nullptr;
        current_ = nullptr;
    }

    void AddWakeRow(int id, const char* name, const char* address = "", const char* port = "") {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = RowCount(wakeList_);
        item.pszText = const_cast<char*>(name);
        item.lParam = id;
        const int row = static_cast<int>(SendMessageA(wakeList_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        LVITEMA cell = {};
        cell.iSubItem = 1;
        cell.pszText = const_cast<char*>(address);
        SendMessageA(wakeList_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
        cell.iSubItem = 2;
        cell.pszText = const_cast<char*>(port);
        SendMessageA(wakeList_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
    }

    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        for (int i = 0, n = RowCount(log_); i < n; ++i) lines.push_back(CellText(log_, i, 1));
        return lines;
    }

    std::string Status(int part) const {
        char text[256] = {};
        SendMessageA(status_->StatusBar(), SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // One round of the message loop.
    void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        AfterPump();
    }
    // Runs the message loop until the condition holds (lines join the page
    // a moment after they were written) or the time runs out.
    template <class Ready>
    bool PumpUntil(Ready ready, DWORD timeoutMs = 10000) {
        const DWORD start = GetTickCount();
        while (!ready()) {
            if (GetTickCount() - start > timeoutMs) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            Pump();
        }
        return true;
    }
    // What a test watches between rounds.
    virtual void AfterPump() {}

    // The main window's answer to a context-menu request: recorded, with
    // whether the point was over the Command Log page.
    virtual void OnContextMenu(POINT) {}

    HWND main_ = nullptr, tab_ = nullptr, wakeList_ = nullptr, log_ = nullptr;
    CProgStbar* status_ = nullptr;

private:
    void AddTab(int index, HWND page) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = const_cast<char*>(index == 0 ? "一覧" : "出力");
        item.lParam = reinterpret_cast<LPARAM>(page);
        SendMessageA(tab_, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
    }

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_APP_WAKE_DONE) {
            OnWakeDone(window, wParam);
            return 0;
        }
        if (message == WM_APP_WAKE_ROWS) return OnWakeRows(window, lParam);
        if (message == WM_APP_WAKE_STAMP) return OnWakeStamp(window, lParam);
        if (OnCommandLogMessage(window, message, wParam)) return 0;
        if (OnDataSaverMessage(window, message, wParam)) return 0;
        if (message == WM_CONTEXTMENU && current_) {
            current_->OnContextMenu(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    StandInOptions options_;
    static inline StandInWindow* current_ = nullptr;
};
