// The wake run's failure endings, in-process with a stand-in main window.
// No socket object is ever attached here, so nothing can be sent: this tier
// runs outside the test network namespaces.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/MainWindowWin32.h"
#include "entries/EntList.h"
#include "log/CommandLogWin32.h"
#include "resource.h"
#include "tools/ProcessWin32.h"
#include "tools/ToolRunWin32.h"
#include "ui/AppContextWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/WindowPropWin32.h"
#include "wake/WakeRunWin32.h"

namespace {

LRESULT CALLBACK WakeStandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP_WAKE_DONE) {
        OnWakeDone(window, wParam);
        return 0;
    }
    if (message == WM_APP_WAKE_ROWS) return OnWakeRows(window, lParam);
    if (OnCommandLogMessage(window, message, wParam)) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Pumps until the condition holds or ten seconds pass.
template <class Ready>
bool PumpUntil(Ready ready) {
    const DWORD start = GetTickCount();
    while (!ready()) {
        if (GetTickCount() - start > 10000) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Pump();
    }
    return true;
}

std::string Cell(HWND list, int row, int column) {
    char buffer[512] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

class WakeRunEndings : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WakeStandInProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "NlWakeStandIn";
        RegisterClassA(&wc);
        main_ = CreateWindowExA(0, "NlWakeStandIn", "stand-in", WS_OVERLAPPEDWINDOW, 0, 0, 900, 600, nullptr, nullptr,
                                nullptr, nullptr);
        ASSERT_NE(nullptr, main_);
        AppContext& app = App();
        app.mainWindow = main_;
        app.commandLineMode = 0;
        tab_ = CreateWindowExA(0, WC_TABCONTROLA, "Tab", WS_CHILD | WS_VISIBLE, 0, 0, 800, 500, main_,
                               reinterpret_cast<HMENU>(IDC_TAB), nullptr, nullptr);
        static const WORD left[] = {LVCFMT_LEFT, LVCFMT_LEFT};
        static const int widths[] = {100, 300};
        static const char* const texts[] = {"a", "b"};
        wakeList_ = CreateListPage(tab_, IDC_WAKE_LIST, "Wake List", 2, left, widths, texts, 0, true);
        log_ = CreateListPage(tab_, IDC_COMMAND_LOG, "Command Log", 2, left, widths, texts, LVS_NOSORTHEADER, false);
        AddTab(0, wakeList_);
        AddTab(1, log_);
        LVITEMA row = {};
        row.mask = LVIF_TEXT | LVIF_PARAM;
        row.pszText = const_cast<char*>("PC1");
        SendMessageA(wakeList_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
        static const int percent[] = {40, 30, 20, 10};
        status_ = new CProgStbar(GetModuleHandleA(nullptr), main_, IDC_STATUSBAR, IDC_PROGRESS, percent, 4, 2, "ﾚﾃﾞｨ");
        AttachObject(main_, kProgStbarProp, status_);
    }
    void TearDown() override {
        delete DetachObject<CProgStbar>(main_, kProgStbarProp);
        delete DetachObject<CEntList>(main_, kEntListProp);
        DestroyWindow(main_);
        App().mainWindow = nullptr;
    }
    void AddTab(int index, HWND page) {
        TCITEMA item = {};
        item.mask = TCIF_PARAM;
        item.lParam = reinterpret_cast<LPARAM>(page);
        SendMessageA(tab_, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
    }
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        for (int i = 0, n = static_cast<int>(SendMessageA(log_, LVM_GETITEMCOUNT, 0, 0)); i < n; ++i)
            lines.push_back(Cell(log_, i, 1));
        return lines;
    }
    std::string Status(int part) const {
        char text[256] = {};
        SendMessageA(status_->StatusBar(), SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
        return text;
    }
    bool RunOver() const { return !WakeRunActive() && IsWindowEnabled(main_); }

    HWND main_ = nullptr, tab_ = nullptr, wakeList_ = nullptr, log_ = nullptr;
    CProgStbar* status_ = nullptr;
};

TEST_F(WakeRunEndings, MissingObjectsEndTheRunWithTheirText) {
    struct Case { const char* label; bool store; const char* text; };
    const Case cases[] = {
        {"no store", false, "エントリ管理クラスが喪失しました(内部エラー)"},
        {"store but no socket", true, "ソケット通信クラスが喪失しました(内部エラー)"},
    };
    for (const Case& c : cases) {
        SendMessageA(log_, LVM_DELETEALLITEMS, 0, 0);
        if (c.store && !FindObject<CEntList>(main_, kEntListProp)) AttachObject(main_, kEntListProp, new CEntList());
        App().wakeSelectedOnly = 0;
        ASSERT_EQ(1, StartWakeRun(main_)) << c.label;
        ASSERT_TRUE(PumpUntil([&] { return RunOver(); })) << c.label << ": the window stayed disabled";
        // Lines join the page a moment after they were written.
        PumpUntil([&] { return LogLines().size() >= 3; });
        EXPECT_EQ(c.text, Status(0)) << c.label;
        EXPECT_EQ("", Status(1)) << c.label;
        EXPECT_FALSE(IsWindowVisible(status_->ProgressBar())) << c.label;
        const std::vector<std::string> expected = {"WakeUpパケットの送信開始...", c.text, "WakeUpパケットの送信完了"};
        EXPECT_EQ(expected, LogLines()) << c.label;
    }
}

TEST_F(WakeRunEndings, MissingStatusBarStillEnablesTheWindow) {
    delete DetachObject<CProgStbar>(main_, kProgStbarProp);
    status_ = nullptr;
    ASSERT_EQ(1, StartWakeRun(main_));
    // The worker tells the user in a box of its own before it reports.
    HWND box = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        box = FindWindowA("#32770", "Nodelark");
        return box != nullptr;
    }));
    char text[256] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_STREQ("ステータスバー操作クラスが喪失しました(内部エラー)", text);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntil([&] { return RunOver(); })) << "the window stayed disabled";
    PumpUntil([&] { return LogLines().size() >= 3; });
    const std::vector<std::string> expected = {"WakeUpパケットの送信開始...", "致命的なエラー", "WakeUpパケットの送信完了"};
    EXPECT_EQ(expected, LogLines());
}

TEST_F(WakeRunEndings, TheWorkerTakesTheWakeListAsItWasWhenTheRunStarted) {
    // The Wake List is empty and the Command Log holds a line; by the time
    // the worker asks for its page, the Command Log is the current one.
    SendMessageA(wakeList_, LVM_DELETEALLITEMS, 0, 0);
    AppendCommandLog(main_, "before");
    ASSERT_TRUE(PumpUntil([&] { return LogLines().size() == 1; }));
    App().wakeSelectedOnly = 0;
    ASSERT_EQ(1, StartWakeRun(main_));
    // Before this thread has answered any message of the worker.
    SendMessageA(tab_, TCM_SETCURSEL, 1, 0);
    ASSERT_TRUE(PumpUntil([&] { return RunOver(); }));
    EXPECT_EQ("WakeUp送信先が未登録です", Status(0));
}

TEST_F(WakeRunEndings, AToolRunGreysTheWakeCommandsUntilItEnds) {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, IDM_WAKE_ALL, "all");
    AppendMenuA(file, MF_STRING, IDM_WAKE_SELECTED, "selected");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "file");
    App().mainMenu = bar;
    auto greyed = [&](UINT command) { return (GetMenuState(bar, command, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    OnToolEvent(main_, TOOL_EVENT_STARTED, reinterpret_cast<LPARAM>("tool.exe"));
    EXPECT_TRUE(App().toolRunning);
    EXPECT_TRUE(greyed(IDM_WAKE_ALL));
    EXPECT_TRUE(greyed(IDM_WAKE_SELECTED));
    // An error notice re-enables the toolbar, but the run goes on.
    OnToolEvent(main_, TOOL_EVENT_ERROR, reinterpret_cast<LPARAM>("error"));
    EXPECT_TRUE(greyed(IDM_WAKE_ALL));
    OnToolEvent(main_, TOOL_EVENT_STOPPED, 0);
    EXPECT_FALSE(App().toolRunning);
    EXPECT_FALSE(greyed(IDM_WAKE_ALL));
    EXPECT_FALSE(greyed(IDM_WAKE_SELECTED));
    App().mainMenu = nullptr;
    DestroyMenu(bar);
}

}  // namespace
