// The Command Log page's export through the save dialog.
#include "AppFixture.h"

namespace e2e {
namespace {

using LogExportTest = AppFixture;

TEST_F(LogExportTest, WritesEveryLineAsTimeSpaceTextCrLf) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    const std::string target = TempFolder() + "\\exported.txt";
    DeleteFileA(target.c_str());

    app.Command(kCmdSwitchTab);
    app.PostCommand(kCmdExportLog);
    HWND dialog = WaitDialog(app.Pid(), "出力をﾌｧｲﾙに保存");
    ASSERT_NE(dialog, nullptr) << "the save dialog did not open";
    ASSERT_TRUE(ConfirmFile(dialog, target)) << "no file name field, or the save dialog stayed open";
    ASSERT_TRUE(WaitUntil([&] {
        return StatusText(app.StatusBar(), 0) == "出力のｴｸｽﾎﾟｰﾄを完了しました";
    })) << StatusText(app.StatusBar(), 0);

    HWND log = app.CommandLog();
    std::string expected;
    for (int i = 0, n = listview::Count(log); i < n; ++i)
        expected += listview::Text(log, i, 0) + " " + listview::Text(log, i, 1) + "\r\n";
    std::string written = ReadFileBytes(target);
    EXPECT_EQ(written, expected);
    std::vector<std::string> lines = CrLfLines(written);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(IsClock(lines[0].substr(0, 8))) << lines[0];
    EXPECT_EQ(lines[0].substr(8), " Nodelark 起動しました");
    DeleteFileA(target.c_str());
}

TEST_F(LogExportTest, CancelWritesNothing) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    app.PostCommand(kCmdExportLog);
    HWND dialog = WaitDialog(app.Pid(), "出力をﾌｧｲﾙに保存");
    ASSERT_NE(dialog, nullptr);
    // A name typed and then cancelled must not become a file.
    const std::string target = TempFolder() + "\\cancelled.txt";
    DeleteFileA(target.c_str());
    HWND field = FileNameField(dialog);
    ASSERT_NE(field, nullptr) << "no file name field in the save dialog";
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(target.c_str()));
    ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_TRUE(app.Responds());
    EXPECT_EQ(StatusText(app.StatusBar(), 0), "ﾚﾃﾞｨ");
    EXPECT_FALSE(FileExists(target));
    EXPECT_FALSE(FileExists(ExeFolder() + "cancelled.txt"));
}

}  // namespace
}  // namespace e2e
