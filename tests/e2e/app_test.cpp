// The application shell seen from outside: start, single instance, pages with
// their menus and toolbar states, ReadMe, and what closing leaves behind.
#include <gtest/gtest-spi.h>

#include "AppFixture.h"

namespace e2e {
namespace {

using StartTest = AppFixture;

TEST_F(StartTest, CleanStartShowsTheWakeListWithMenuAndOneLogLine) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    EXPECT_EQ(WindowText(app.Main()), "Nodelark");

    HWND tab = app.Tab();
    ASSERT_NE(tab, nullptr);
    ASSERT_EQ(tabs::Count(tab), 2);
    EXPECT_EQ(tabs::Caption(tab, 0), "一覧");
    EXPECT_EQ(tabs::Caption(tab, 1), "出力");
    EXPECT_EQ(tabs::Current(tab), 0);
    EXPECT_EQ(WindowText(app.WakeList()), "Wake List");
    EXPECT_EQ(WindowText(app.CommandLog()), "Command Log");
    EXPECT_TRUE(IsWindowVisible(app.WakeList()));
    EXPECT_FALSE(IsWindowVisible(app.CommandLog()));
    EXPECT_EQ(listview::Count(app.WakeList()), 0);

    EXPECT_NE(GetMenu(app.Main()), nullptr);

    HWND log = app.CommandLog();
    ASSERT_EQ(listview::Count(log), 1);
    EXPECT_TRUE(IsClock(listview::Text(log, 0, 0))) << listview::Text(log, 0, 0);
    EXPECT_EQ(listview::Text(log, 0, 1), "Nodelark 起動しました");

    EXPECT_EQ(StatusText(app.StatusBar(), 0), "ﾚﾃﾞｨ");
    for (int command : {kCmdWakeAll, kCmdNewEntry, kCmdTools, kCmdAbout})
        EXPECT_TRUE(ToolbarState(app.Toolbar(), command) & TBSTATE_ENABLED) << command;
}

TEST_F(StartTest, LogFileStartsWithBannerAndStartLine) {
    WriteFileBytes(LogFile(), "left over from an earlier run\r\n");
    ASSERT_NO_FATAL_FAILURE(Launch());
    std::vector<std::string> lines = CrLfLines(ReadFileBytes(LogFile()));
    ASSERT_EQ(lines.size(), 5u);
    const std::string rule = "*" + std::string(60, '-');
    EXPECT_EQ(lines[0], rule);
    EXPECT_EQ(lines[1], "*\tNodelark");
    EXPECT_EQ(lines[2].substr(0, 2), "*\t");
    EXPECT_GT(lines[2].size(), 2u) << "the banner's notice line is empty";
    EXPECT_EQ(lines[3], rule);
    EXPECT_TRUE(IsStamp(lines[4].substr(0, 19))) << lines[4];
    EXPECT_EQ(lines[4].substr(19), " Nodelark 起動しました");
    EXPECT_EQ(ReadFileBytes(LogFile()).substr(ReadFileBytes(LogFile()).size() - 2), "\r\n");
}

TEST_F(StartTest, SecondInstanceIsRefusedAndLeavesTheFirstAlone) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    App second;
    ASSERT_TRUE(second.Start());
    HWND box = WaitDialog(second.Pid(), "Nodelark");
    ASSERT_NE(box, nullptr) << "no message box from the second instance";
    EXPECT_EQ(MessageBoxText(box), "既に起動されています\n(ErrorCode:0x000000b7)");
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_EQ(FindMainWindow(second.Pid()), nullptr);
    ClickButton(box, IDOK);
    ASSERT_TRUE(second.WaitExit());
    EXPECT_EQ(second.ExitCode(), 0u);

    EXPECT_TRUE(app.Responds());
    EXPECT_TRUE(app.Running());
    EXPECT_EQ(LogLines(), std::vector<std::string>{"Nodelark 起動しました"});
    EXPECT_EQ(app.Close(), 0);
}

// The end of every test fails on a box nobody looked at, unless the test
// says it expects that very box, by caption and text; the program still
// closes cleanly behind it. The teardown itself is run here.
struct LeftOpen {
    const char* name;
    const char* caption;  // what the test says it expects; null for nothing
    const char* text;
    bool fails;
};

class TeardownTest : public AppFixture, public testing::WithParamInterface<LeftOpen> {};

TEST_P(TeardownTest, FailsOnABoxLeftOpenUnlessThatBoxIsExpected) {
    constexpr int kCmdEditEntry = 40010;
    const char kBox[] = "編集対象を選択してください";
    ASSERT_NO_FATAL_FAILURE(Launch());
    app.PostCommand(kCmdEditEntry);  // nothing selected: a box says so
    ASSERT_NE(WaitDialog(app.Pid(), "Nodelark"), nullptr);
    if (GetParam().caption) ExpectOpenAtEnd(GetParam().caption, GetParam().text);
    if (GetParam().fails) {
        EXPECT_NONFATAL_FAILURE(TearDown(), "a window was left open at the end: \"Nodelark\" saying \"" +
                                                std::string(kBox) + "\"");
    } else {
        TearDown();
    }
    EXPECT_FALSE(app.Running()) << "the teardown left the program open";
    EXPECT_EQ(0u, app.ExitCode()) << "the program did not close cleanly behind the box";
    // The teardown runs once more after this test; the box is known by now.
    ExpectOpenAtEnd("Nodelark", kBox);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TeardownTest,
    testing::Values(LeftOpen{"NothingExpected", nullptr, nullptr, true},
                    LeftOpen{"AnotherBoxOfTheSameCaption", "Nodelark", "既に起動されています", true},
                    LeftOpen{"ThatBox", "Nodelark", "編集対象を選択してください", false},
                    LeftOpen{"ThatBoxByTheStartOfItsText", "Nodelark", "編集対象を", false}),
    [](const testing::TestParamInfo<LeftOpen>& info) { return info.param.name; });

// Ctrl+Tab both as the menu command and as the real key stroke.
struct SwitchWay { const char* name; bool realKey; };

class PageSwitchTest : public AppFixture, public testing::WithParamInterface<SwitchWay> {};

TEST_P(PageSwitchTest, PagesCycleWithTheirMenusAndToolbarStates) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    auto next = [&] {
        if (GetParam().realKey) {
            ASSERT_TRUE(BringToFront(app.Main()));
            PressKey(VK_TAB, {VK_CONTROL});
        } else {
            app.Command(kCmdSwitchTab);
        }
    };
    HWND tab = app.Tab();
    HWND toolbar = app.Toolbar();
    ASSERT_NE(toolbar, nullptr);

    const HMENU mainMenu = GetMenu(app.Main());
    ASSERT_NE(mainMenu, nullptr);
    ASSERT_NO_FATAL_FAILURE(next());
    ASSERT_TRUE(WaitUntil([&] { return tabs::Current(tab) == 1; })) << "still on page " << tabs::Current(tab);
    const HMENU logMenu = GetMenu(app.Main());
    EXPECT_NE(logMenu, nullptr);
    EXPECT_NE(logMenu, mainMenu) << "the menu bar was not swapped";
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(app.CommandLog()) && !IsWindowVisible(app.WakeList()); }));
    for (int command : {kCmdWakeAll, kCmdNewEntry})
        EXPECT_FALSE(ToolbarState(toolbar, command) & TBSTATE_ENABLED) << command;
    EXPECT_TRUE(ToolbarState(toolbar, kCmdTools) & TBSTATE_ENABLED);

    ASSERT_NO_FATAL_FAILURE(next());
    ASSERT_TRUE(WaitUntil([&] { return tabs::Current(tab) == 0; })) << "pages do not cycle";
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(app.WakeList()) && !IsWindowVisible(app.CommandLog()); }));
    EXPECT_EQ(GetMenu(app.Main()), mainMenu) << "menu 101 is not back";
    for (int command : {kCmdWakeAll, kCmdNewEntry})
        EXPECT_TRUE(ToolbarState(toolbar, command) & TBSTATE_ENABLED) << command;
}

INSTANTIATE_TEST_SUITE_P(Ways, PageSwitchTest,
                         testing::Values(SwitchWay{"Command", false}, SwitchWay{"CtrlTab", true}),
                         [](const testing::TestParamInfo<SwitchWay>& info) { return info.param.name; });

// Top-level windows of other processes whose title mentions the ReadMe file.
std::vector<HWND> ReadMeViewers(DWORD appPid) {
    return ShownTopWindows([&](HWND window) {
        return WindowPid(window) != appPid && WindowPid(window) != GetCurrentProcessId() &&
               WindowText(window).find("ReadMe") != std::string::npos;
    });
}

struct ReadMeWay { const char* name; bool realKey; };
class ReadMeTest : public AppFixture, public testing::WithParamInterface<ReadMeWay> {
protected:
    void TearDown() override {
        for (HWND viewer : ReadMeViewers(app.Pid())) PostMessageA(viewer, WM_CLOSE, 0, 0);
        AppFixture::TearDown();
    }
};

TEST_P(ReadMeTest, OpensTheReadMeBesideTheProgram) {
    ASSERT_TRUE(FileExists(ExeFolder() + "ReadMe.txt")) << "ReadMe.txt is not beside " << ExePath();
    ASSERT_NO_FATAL_FAILURE(Launch());
    if (GetParam().realKey) {
        ASSERT_TRUE(BringToFront(app.Main()));
        PressKey(VK_F1);
    } else {
        app.PostCommand(kCmdReadMe);
    }
    EXPECT_TRUE(WaitUntil([&] { return !ReadMeViewers(app.Pid()).empty(); }))
        << "no window shows ReadMe.txt";
    for (HWND viewer : ReadMeViewers(app.Pid())) PostMessageA(viewer, WM_CLOSE, 0, 0);
    EXPECT_TRUE(app.Responds());
    EXPECT_TRUE(app.Running());
    EXPECT_EQ(app.Close(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, ReadMeTest,
                         testing::Values(ReadMeWay{"Command", false}, ReadMeWay{"F1", true}),
                         [](const testing::TestParamInfo<ReadMeWay>& info) { return info.param.name; });

// Every way the main window can end must log the end and save the entries.
struct CloseWay { const char* name; UINT message; WPARAM wParam; };

class CloseTest : public AppFixture, public testing::WithParamInterface<CloseWay> {};

TEST_P(CloseTest, LogsTheEndAndRewritesTheDataFile) {
    const SYSTEMTIME never = {};
    const SYSTEMTIME stamp = {2024, 3, 2, 5, 7, 8, 9, 123};
    std::vector<EntryRecord> records;
    const EntryFields entries[] = {
        {"ｻｰﾊﾞ室 PC-1", {192, 168, 1, 7}, {255, 255, 255, 0}, 9, {0, 0x1B, 0x21, 0xAA, 0xBB, 0xCC},
         "host-1", "場所", "ｺﾒﾝﾄ", stamp, stamp, never, 0},
        {"ソ表示", {10, 0, 0, 2}, {255, 0, 0, 0}, 7, {1, 2, 3, 4, 5, 6}, "", "", "", never, never, never, 1},
        {"third", {0, 0, 0, 0}, {0, 0, 0, 0}, 0, {}, "", "", "", never, never, never, 0},
    };
    for (const EntryFields& fields : entries) records.push_back(MakeRecord(fields, 7));
    // Bytes past each terminator and the reserved bytes must survive too.
    records[0].reserved[0] = 0x5A;
    records[0].comment[200] = 'x';
    std::string input = FileOf(records) + std::string(488, '\x11');
    ASSERT_NO_FATAL_FAILURE(Launch(&input));
    ASSERT_EQ(listview::Count(app.WakeList()), 3);

    PostMessageA(app.Main(), GetParam().message, GetParam().wParam, 0);
    ASSERT_TRUE(app.WaitExit()) << "the program did not end";
    EXPECT_EQ(app.ExitCode(), 0u);

    std::string expected;
    for (size_t i = 0; i < records.size(); ++i) {
        EntryRecord saved = records[i];
        saved.id = static_cast<int32_t>(i);
        expected += RecordBytes(saved);
    }
    std::string saved = ReadFileBytes(DataFile());
    ASSERT_EQ(saved.size(), expected.size());
    for (size_t r = 0; r < records.size(); ++r)
        EXPECT_EQ(saved.substr(r * 976 + 4, 972), expected.substr(r * 976 + 4, 972)) << "record " << r;

    std::vector<std::string> lines = CrLfLines(ReadFileBytes(LogFile()));
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(IsStamp(lines.back().substr(0, 19))) << lines.back();
    EXPECT_EQ(lines.back().substr(19), " Nodelark 終了します");
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseTest,
                         testing::Values(CloseWay{"Close", WM_CLOSE, 0},
                                         CloseWay{"ExitCommand", WM_COMMAND, kCmdExit},
                                         CloseWay{"EndSession", WM_ENDSESSION, TRUE}),
                         [](const testing::TestParamInfo<CloseWay>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
