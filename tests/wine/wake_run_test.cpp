// The wake run's failure endings, in-process with a stand-in main window.
// No socket object is ever attached here, so nothing can be sent.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "StandInWindow.h"

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

}  // namespace
