// The File menu's listing, export and import, through their file dialogs,
// with the files read back byte for byte.
#include "ExchangeDriver.h"

namespace e2e {
namespace {

const SYSTEMTIME kSent = {2024, 3, 2, 5, 7, 8, 9, 0};
const SYSTEMTIME kMade = {2023, 12, 0, 31, 23, 59, 58, 999};

const EntryFields kFields[] = {
    {"ｻｰﾊﾞ室 PC-1", {192, 168, 1, 7}, {255, 255, 255, 0}, 9, {0x00, 0x1B, 0x21, 0xAA, 0xBB, 0xCC}, "pc-1",
     "2階, 奥", "say \"hi\", ok\r\n2行目", kSent, kMade, kSent, 0},
    {"excluded", {10, 0, 0, 2}, {255, 0, 0, 0}, 0, {0xFF, 0xEE, 0xDD, 0x0C, 0x0B, 0x0A}, "", "", "", {}, {}, {}, 1},
    {"neg", {10, 1, 2, 3}, {255, 255, 0, 0}, -1, {1, 2, 3, 4, 5, 6}, "h", "p", "ソ", {}, kMade, {}, 0},
};

std::vector<EntryRecord> Records3() {
    std::vector<EntryRecord> records;
    for (const EntryFields& f : kFields) records.push_back(MakeRecord(f, 9));
    // Bytes after a terminator and in the reserved field travel too.
    records[0].reserved[2] = 0x5A;
    records[0].comment[200] = 'z';
    return records;
}

// A text field as a spreadsheet reads it back: in quotes, inner quotes doubled.
std::string Quoted(const char* text) {
    std::string field = "\"";
    for (const char* p = text; *p; ++p) field += *p == '"' ? std::string("\"\"") : std::string(1, *p);
    return field + "\"";
}

std::string CsvLine(const EntryRecord& r, int row) {
    return std::to_string(row) + "," + Quoted(r.name) + ",\"" + Dotted(r.ipAddress) + "\",\"" + Dotted(r.subnetMask) +
           "\"," + std::to_string(r.port) + ",\"" + MacText(r.macAddress) + "\"," + Quoted(r.hostName) + "," +
           Quoted(r.place) + "," + Quoted(r.comment) + "\r\n";
}

class ExchangeTest : public AppFixture {
protected:
    std::string Target(const char* name) {
        std::string path = TempFolder() + "\\" + name;
        DeleteFileA(path.c_str());
        return path;
    }
    bool WaitStatus(const char* text) {
        return WaitUntil([&] { return StatusText(app.StatusBar(), 0) == text; });
    }
    // Hides every 10.x.y.z row (and shows 192.168.1.x).
    void FilterTo192() {
        const uint8_t network[4] = {192, 168, 1, 0};
        SetFilter(app, network, "24", IDOK);
    }
};

TEST_F(ExchangeTest, ListingWritesEveryEntryEvenHiddenOnesByteForByte) {
    const std::vector<EntryRecord> records = Records3();
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    ASSERT_NO_FATAL_FAILURE(FilterTo192());
    ASSERT_EQ(listview::Count(app.WakeList()), 1);
    const std::string target = Target("listing.csv");
    ASSERT_TRUE(ChooseFile(app, kCmdListing, "一覧をﾌｧｲﾙに保存", target));
    ASSERT_TRUE(WaitStatus("一覧の保存を完了しました")) << StatusText(app.StatusBar(), 0);
    std::string expected =
        "\"No.\",\"名前\",\"IPｱﾄﾞﾚｽ\",\"ｻﾌﾞﾈｯﾄﾏｽｸ\",\"ﾎﾟｰﾄ番号\",\"MACｱﾄﾞﾚｽ\",\"ｺﾝﾋﾟｭｰﾀ名\",\"場所\",\"ｺﾒﾝﾄ\"\r\n";
    for (size_t i = 0; i < records.size(); ++i) expected += CsvLine(records[i], static_cast<int>(i) + 1);
    EXPECT_EQ(ReadFileBytes(target), expected);
    // The comment's quotes, comma and line break stay inside its field.
    const std::string first = CsvLine(records[0], 1);
    EXPECT_NE(first.find(",\"say \"\"hi\"\", ok\r\n2行目\"\r\n"), std::string::npos) << first;
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(app.Main(), 2014))) << "the progress bar is hidden again";
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(ExchangeTest, ExportThenImportIntoAnotherRunRenumbersOnlyTheIds) {
    const std::vector<EntryRecord> records = Records3();
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    const std::string target = Target("export.ent");
    ASSERT_TRUE(ChooseFile(app, kCmdExportEntries, "一覧のｴｸｽﾎﾟｰﾄ", target));
    ASSERT_TRUE(WaitStatus("一覧のｴｸｽﾎﾟｰﾄを完了しました")) << StatusText(app.StatusBar(), 0);
    const std::string exported = ReadFileBytes(target);
    std::string expected = "000003 @QORM.";
    for (int i = 0; i < 3; ++i) expected += WithId(records[i], i);
    EXPECT_EQ(exported, expected);
    EXPECT_EQ(app.Close(), 0);

    // A fresh run whose largest id is 4.
    std::vector<EntryRecord> others;
    for (int i = 0; i < 5; ++i) {
        EntryFields f = kFields[1];
        f.name = "other";
        others.push_back(MakeRecord(f, 0));
    }
    App second;
    ResetDataFolder();
    ASSERT_TRUE(WriteFileBytes(DataFile(), FileOf(others)));
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.WaitMainWindow());
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(second.WakeList()) == 5; }));
    ASSERT_TRUE(ChooseFile(second, kCmdImportEntries, "一覧のｲﾝﾎﾟｰﾄ", target));
    ASSERT_TRUE(WaitUntil([&] { return StatusText(second.StatusBar(), 0) == "一覧のｲﾝﾎﾟｰﾄを完了しました"; }));
    HWND list = second.WakeList();
    ASSERT_EQ(listview::Count(list), 8);
    for (int row = 5; row < 8; ++row) {
        EXPECT_EQ(listview::Param(list, row), row);
        EXPECT_EQ(listview::Text(list, row, 0), records[row - 5].name);
    }
    EXPECT_EQ(listview::Text(list, 5, 9), "2024/03/05 07:08:09") << "times come along";
    EXPECT_EQ(second.Close(), 0);
    std::vector<std::string> saved = Records(ReadFileBytes(DataFile()));
    ASSERT_EQ(saved.size(), 8u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(saved[5 + i], WithId(records[i], 5 + i)) << "record " << i;
}

TEST_F(ExchangeTest, ImportRefusesABadHeaderAndChangesNothing) {
    const std::vector<EntryRecord> records = Records3();
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    struct Case { const char* what; std::string bytes; };
    const Case cases[] = {
        {"longer token", "00001 @QORM.." + RecordBytes(records[0])},
        {"shorter than the header", "000001 @QOR"},
        {"wrong token", "000001 @QORN." + RecordBytes(records[0])},
    };
    const std::string target = Target("bad.ent");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(target, c.bytes));
        ASSERT_TRUE(ChooseFile(app, kCmdImportEntries, "一覧のｲﾝﾎﾟｰﾄ", target));
        EXPECT_EQ(AnswerMessageBox(app.Pid(), IDOK), "このﾌｧｲﾙはｲﾝﾎﾟｰﾄできません");
        EXPECT_EQ(listview::Count(app.WakeList()), 3);
    }
    EXPECT_EQ(app.Close(), 0);
    std::vector<std::string> saved = Records(ReadFileBytes(DataFile()));
    ASSERT_EQ(saved.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(saved[i], WithId(records[i], i));
}

// The import only reads: a file the user may not change imports as well.
TEST_F(ExchangeTest, ImportAcceptsAReadOnlyFile) {
    const std::vector<EntryRecord> records = Records3();
    ASSERT_NO_FATAL_FAILURE(LaunchWith({records[0]}));
    const std::string target = Target("read-only.ent");
    ASSERT_TRUE(WriteFileBytes(target, "000002 @QORM." + RecordBytes(records[1]) + RecordBytes(records[2])));
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    const bool chosen = ChooseFile(app, kCmdImportEntries, "一覧のｲﾝﾎﾟｰﾄ", target);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(chosen) << "the open dialog refused the read-only file";
    ASSERT_TRUE(WaitStatus("一覧のｲﾝﾎﾟｰﾄを完了しました")) << StatusText(app.StatusBar(), 0);
    EXPECT_EQ(listview::Count(app.WakeList()), 3);
    EXPECT_EQ(listview::Text(app.WakeList(), 2, 0), "neg");
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(ExchangeTest, ImportWhileAFilterHidesTheRowsStoresThemWithoutRows) {
    const std::vector<EntryRecord> records = Records3();
    ASSERT_NO_FATAL_FAILURE(LaunchWith({records[0]}));
    ASSERT_NO_FATAL_FAILURE(FilterTo192());
    // Two 10.x entries, a count that does not match, and a trailing fragment.
    const std::string target = Target("hidden.ent");
    ASSERT_TRUE(WriteFileBytes(target, "000007 @QORM." + RecordBytes(records[1]) + RecordBytes(records[2]) +
                                           std::string(100, 'x')));
    ASSERT_TRUE(ChooseFile(app, kCmdImportEntries, "一覧のｲﾝﾎﾟｰﾄ", target));
    ASSERT_TRUE(WaitStatus("一覧のｲﾝﾎﾟｰﾄを完了しました")) << StatusText(app.StatusBar(), 0);
    EXPECT_EQ(listview::Count(app.WakeList()), 1);
    EXPECT_EQ(app.Close(), 0);
    std::vector<std::string> saved = Records(ReadFileBytes(DataFile()));
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(ReadFileBytes(DataFile()).size(), 3 * sizeof(EntryRecord));
    EXPECT_EQ(saved[1], WithId(records[1], 1));
    EXPECT_EQ(saved[2], WithId(records[2], 2));
}

}  // namespace
}  // namespace e2e
