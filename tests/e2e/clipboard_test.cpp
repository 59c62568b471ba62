// Copy and paste as a user does them: entries through the program's own copy
// buffer, Command Log lines through the system clipboard.
#include "ExchangeDriver.h"

namespace e2e {
namespace {

const SYSTEMTIME kSent = {2024, 3, 2, 5, 7, 8, 9, 0};
const SYSTEMTIME kMade = {2023, 12, 0, 31, 23, 59, 58, 999};
const SYSTEMTIME kEdited = {2024, 1, 1, 1, 12, 0, 0, 0};

const EntryFields kFields[] = {
    {"delta", {10, 0, 0, 4}, {255, 0, 0, 0}, 9, {1, 2, 3, 4, 5, 6}, "d-host", "here", "c1", kSent, kMade, kEdited, 0},
    {"alpha", {10, 0, 0, 1}, {255, 0, 0, 0}, 7, {6, 5, 4, 3, 2, 1}, "", "", "", kSent, kMade, {}, 1},
    {"charlie", {10, 0, 0, 3}, {255, 0, 0, 0}, 0, {0}, "", "", "", {}, {}, {}, 0},
    {"bravo", {10, 0, 0, 2}, {255, 0, 0, 0}, 2034, {0xAA, 0, 0, 0, 0, 0xBB}, "b", "", "", {}, kMade, kEdited, 0},
};

class ClipboardTest : public AppFixture {
protected:
    void LaunchWithFour() {
        for (const EntryFields& f : kFields) records.push_back(MakeRecord(f, 3));
        ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
        ASSERT_EQ(listview::Count(app.WakeList()), 4);
    }
    std::vector<std::string> Names() const { return listview::Column(app.WakeList(), 0); }
    std::vector<EntryRecord> records;
};

TEST_F(ClipboardTest, ThreeRowsCopiedAndPastedTwiceComeBackAsSixNewEntries) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithFour());
    HWND list = app.WakeList();
    SelectRows(list, {0, 2, 3});
    app.Command(kCmdCopy);
    EXPECT_EQ(listview::Count(list), 4) << "copy adds nothing";
    app.Command(kCmdPaste);
    app.Command(kCmdPaste);
    ASSERT_EQ(listview::Count(list), 10);
    const int copied[] = {0, 2, 3};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 3; ++i) {
            const int row = 4 + round * 3 + i;
            SCOPED_TRACE("row " + std::to_string(row));
            std::vector<std::string> expected = EntryCells(list, copied[i]);
            expected[0] = "ｺﾋﾟｰ " + expected[0];
            EXPECT_EQ(EntryCells(list, row), expected) << "every other column, times included, is the same";
            EXPECT_EQ(listview::Param(list, row), row) << "a new id each time";
            EXPECT_EQ(listview::Image(list, row), listview::Image(list, copied[i]));
        }
    }
    // On the Command Log page, paste adds nothing and copy leaves the entry
    // copy buffer as it was.
    app.Command(kCmdSwitchTab);
    app.Command(kCmdPaste);
    app.Command(kCmdSelectAll);
    app.Command(kCmdCopy);
    app.Command(kCmdSwitchTab);
    EXPECT_EQ(listview::Count(list), 10);
    app.Command(kCmdPaste);
    ASSERT_EQ(listview::Count(list), 13);
    EXPECT_EQ(listview::Text(list, 12, 0), "ｺﾋﾟｰ " + listview::Text(list, 3, 0));

    EXPECT_EQ(app.Close(), 0);
    std::vector<std::string> saved = Records(ReadFileBytes(DataFile()));
    ASSERT_EQ(saved.size(), 13u);
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 3; ++i) {
            EntryRecord expected = records[copied[i]];
            std::string name = std::string("ｺﾋﾟｰ ") + expected.name;
            memset(expected.name, 0, sizeof expected.name);
            memcpy(expected.name, name.data(), name.size());
            EXPECT_EQ(saved[4 + round * 3 + i], WithId(expected, 4 + round * 3 + i));
        }
    }
}

TEST_F(ClipboardTest, PasteKeepsTheOrderTheLastHeaderClickChose) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithFour());
    HWND list = app.WakeList();
    auto addresses = [&] { return listview::Column(list, 1); };
    auto rowOf = [&](const std::string& name) {
        std::vector<std::string> names = Names();
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) return static_cast<int>(i);
        return -1;
    };
    // Without a sorted column the copies go to the end.
    SelectRows(list, {1});
    app.Command(kCmdCopy);
    app.Command(kCmdPaste);
    EXPECT_EQ(Names(), (std::vector<std::string>{"delta", "alpha", "charlie", "bravo", "ｺﾋﾟｰ alpha"}));

    ASSERT_TRUE(BringToFront(app.Main()));
    ASSERT_TRUE(listview::ClickHeader(list, 1));  // address, ascending
    const std::vector<std::string> up = {"10.0.0.1", "10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"};
    ASSERT_TRUE(WaitUntil([&] { return addresses() == up; }, 3000));
    SelectRows(list, {rowOf("charlie")});
    app.Command(kCmdCopy);
    app.Command(kCmdPaste);
    EXPECT_EQ(addresses(), (std::vector<std::string>{"10.0.0.1", "10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.3",
                                                     "10.0.0.4"}));
    EXPECT_GE(rowOf("ｺﾋﾟｰ charlie"), 3);
    EXPECT_LE(rowOf("ｺﾋﾟｰ charlie"), 4);

    ASSERT_TRUE(listview::ClickHeader(list, 1));  // descending
    const std::vector<std::string> down = {"10.0.0.4", "10.0.0.3", "10.0.0.3", "10.0.0.2", "10.0.0.1", "10.0.0.1"};
    ASSERT_TRUE(WaitUntil([&] { return addresses() == down; }, 3000));
    SelectRows(list, {});
    app.Command(kCmdCopy);  // nothing selected: the buffer empties, paste still sorts
    app.Command(kCmdPaste);
    EXPECT_EQ(addresses(), down);
    SelectRows(list, {rowOf("bravo")});
    app.Command(kCmdCopy);
    app.Command(kCmdPaste);
    EXPECT_EQ(addresses(), (std::vector<std::string>{"10.0.0.4", "10.0.0.3", "10.0.0.3", "10.0.0.2", "10.0.0.2",
                                                     "10.0.0.1", "10.0.0.1"}));
    EXPECT_GE(rowOf("ｺﾋﾟｰ bravo"), 3);
    EXPECT_LE(rowOf("ｺﾋﾟｰ bravo"), 4);
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(ClipboardTest, CommandLogLinesReachTheClipboardByteForByte) {
    // A data file held by another handle gives a second line at start.
    ResetDataFolder();
    ASSERT_TRUE(WriteFileBytes(DataFile(), FileOf({MakeRecord(kFields[0], 0)})));
    HANDLE holder = CreateFileA(DataFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(app.WaitMainWindow());
    HWND log = app.CommandLog();
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(log) >= 2; })) << "no line about the data file";
    const std::string notice = listview::Text(log, 1, 1);
    EXPECT_EQ(notice, "データファイルがオープンできません " + DataFile() +
                          " (ErrorCode:0x00000020) この実行中のエントリは保存されません");
    EXPECT_EQ(listview::Count(app.WakeList()), 0);

    ASSERT_TRUE(PutClipboardText("left alone"));
    app.Command(kCmdSwitchTab);
    app.Command(kCmdCopy);
    EXPECT_EQ(ClipboardTextBytes(), std::string("left alone") + '\0') << "no line selected, nothing copied";
    app.Command(kCmdSelectAll);
    app.Command(kCmdCopy);
    std::string expected;
    for (int i = 0; i < listview::Count(log); ++i)
        expected += listview::Text(log, i, 0) + " " + listview::Text(log, i, 1) + "\r\n";
    expected += '\0';
    EXPECT_EQ(ClipboardTextBytes(), expected);
    ASSERT_EQ(CrLfLines(expected).size(), 3u);  // two lines and the zero byte
    EXPECT_TRUE(IsClock(expected.substr(0, 8)));

    // The clipboard held by someone else.
    ASSERT_TRUE(OpenClipboard(nullptr));
    app.PostCommand(kCmdCopy);
    EXPECT_EQ(AnswerMessageBox(app.Pid(), IDOK), "クリップボードがオープンできません");
    CloseClipboard();

    EXPECT_EQ(app.Close(), 0);
    CloseHandle(holder);
    EXPECT_EQ(ReadFileBytes(DataFile()), FileOf({MakeRecord(kFields[0], 0)})) << "the held file is left alone";
    const std::string logFile = ReadFileBytes(LogFile());
    EXPECT_NE(logFile.find(notice), std::string::npos) << "the notice reaches the log file";
    EXPECT_EQ(logFile.find(notice), logFile.rfind(notice)) << "said once";
}

}  // namespace
}  // namespace e2e
