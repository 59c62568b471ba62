// The wake run's failure endings, in-process with a stand-in main window.
// No socket object is ever attached here, so nothing can be sent.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "StandInWindow.h"
#include "tools/ProcessWin32.h"
#include "tools/ToolRunWin32.h"

namespace {

class WakeRunEndings : public StandInWindow {
protected:
    void SetUp() override {
        StandInWindow::SetUp();
        AddWakeRow(0, "PC1");
    }
    bool RunOver() const { return !WakeRunActive() && IsWindowEnabled(main_); }
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
