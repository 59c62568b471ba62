// Entries reach Ent.dat while the program runs: an edit survives a killed
// process, an import of 100,000 entries is saved once, and a shutdown that
// is called off leaves the program running, with the change saved before
// the question was answered.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "EntryDialogDriver.h"
#include "ExchangeDriver.h"
#include "SaveWatch.h"

namespace e2e {
namespace {

const SYSTEMTIME kNever = {};
const SYSTEMTIME kStamp = {2024, 3, 2, 5, 7, 8, 9, 0};

EntryRecord Numbered(int i) {
    const std::string name = "PC" + std::to_string(i);
    const EntryFields f = {name.c_str(), {10, 77, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)},
                           {255, 255, 0, 0}, 9, {2, 0, 0, 0, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)},
                           "host", "", "", kNever, kStamp, kNever, 0};
    return MakeRecord(f, i);
}

std::vector<EntryRecord> Numbered(int first, int count) {
    std::vector<EntryRecord> records;
    for (int i = first; i < first + count; ++i) records.push_back(Numbered(i));
    return records;
}

// The file's length as the folder tells it, without opening it (the program
// holds it for itself).
long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

class SaveOnChange : public AppFixture {
protected:
    // A run killed on purpose ends with TerminateProcess's code; the run
    // that follows is closed by the test itself.
    void KillOnPurpose() {
        app.Kill();
        ASSERT_FALSE(app.Running());
        expectedExitCode = 255;
    }
};

TEST_F(SaveOnChange, AnEditSurvivesAKilledProcess) {
    ASSERT_NO_FATAL_FAILURE(LaunchWith(Numbered(0, 3)));
    SaveWatch watch(DataFolder());
    ASSERT_TRUE(watch.Watching());
    SelectRows(app.WakeList(), {1});
    app.PostCommand(kCmdEditEntry);
    HWND sheet = WaitEntrySheet(app.Pid());
    ASSERT_NE(sheet, nullptr);
    SetBox(DestinationPageOf(sheet), kEntryName, "ｻｰﾊﾞ室 編集後");
    ClickButton(sheet, IDOK);
    // The row changes in the same step as the entry (under Wine without a
    // window manager the sheet itself takes a while to go).
    ASSERT_TRUE(WaitUntil([&] { return listview::Text(app.WakeList(), 1, 0) == "ｻｰﾊﾞ室 編集後"; }));
    const DWORD edited = GetTickCount();
    EXPECT_EQ(watch.Saves(), 0);
    // On disk within about a second, while the program goes on.
    ASSERT_TRUE(WaitUntil([&] { return watch.Saves() >= 1; }, 3000)) << "no save after the edit";
    EXPECT_LT(GetTickCount() - edited, 1500u) << "the save came late";
    ASSERT_TRUE(WaitGone(sheet));
    EXPECT_FALSE(FileExists(DataFolder() + "\\Ent.new")) << "the new file took Ent.dat's place";
    ASSERT_NO_FATAL_FAILURE(KillOnPurpose());

    // The next start finds the edit, and the file holds exactly the entries.
    std::vector<EntryRecord> saved(3);
    const std::string bytes = ReadFileBytes(DataFile());
    ASSERT_EQ(bytes.size(), 3 * sizeof(EntryRecord));
    std::memcpy(saved.data(), bytes.data(), bytes.size());
    EXPECT_STREQ(saved[1].name, "ｻｰﾊﾞ室 編集後");
    EXPECT_NE(saved[1].updatedTime.wYear, 0) << "the edit's time came along";
    EXPECT_EQ(RecordBytes(saved[0]), RecordBytes(Numbered(0)));
    EXPECT_EQ(RecordBytes(saved[2]), RecordBytes(Numbered(2)));
    App next;
    ASSERT_TRUE(next.Start());
    ASSERT_TRUE(next.WaitMainWindow());
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(next.WakeList()) == 3; }));
    EXPECT_EQ(listview::Text(next.WakeList(), 1, 0), "ｻｰﾊﾞ室 編集後");
    EXPECT_EQ(next.Close(), 0);
}

TEST_F(SaveOnChange, AnImportOfAHundredThousandEntriesIsSavedOnce) {
    constexpr int kImported = 100000;
    // The exchange file, written a piece at a time: a header counting the
    // records, then the records.
    const std::string source = TempFolder() + "\\hundred-thousand.ent";
    {
        HANDLE file = CreateFileA(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        char header[16];
        std::snprintf(header, sizeof header, "%06d @QORM.", kImported);
        std::string piece = header;
        bool written = true;
        for (int i = 0; i < kImported && written; ++i) {
            piece += RecordBytes(Numbered(i));
            if (piece.size() < (1u << 20) && i + 1 < kImported) continue;
            DWORD done = 0;
            written = WriteFile(file, piece.data(), static_cast<DWORD>(piece.size()), &done, nullptr) &&
                      done == piece.size();
            piece.clear();
        }
        CloseHandle(file);
        ASSERT_TRUE(written) << "cannot write " << source;
    }

    ASSERT_NO_FATAL_FAILURE(LaunchWith(Numbered(0, 2)));
    SaveWatch watch(DataFolder());
    ASSERT_TRUE(watch.Watching());
    ASSERT_TRUE(ChooseFile(app, kCmdImportEntries, "一覧のｲﾝﾎﾟｰﾄ", source));
    ASSERT_TRUE(WaitUntil([&] { return StatusText(app.StatusBar(), 0) == "一覧のｲﾝﾎﾟｰﾄを完了しました"; }, 120000))
        << StatusText(app.StatusBar(), 0);
    ASSERT_EQ(listview::Count(app.WakeList()), kImported + 2);
    const long long whole = static_cast<long long>(kImported + 2) * sizeof(EntryRecord);
    ASSERT_TRUE(WaitUntil([&] { return watch.Saves() >= 1 && FileSize(DataFile()) == whole; }, 10000))
        << watch.Saves() << " saves, " << FileSize(DataFile()) << " bytes";
    // Time for any further save to show.
    Sleep(3000);
    EXPECT_EQ(watch.Saves(), 1) << "the import made more than one save";
    EXPECT_EQ(app.Close(60000), 0);
    DeleteFileA(source.c_str());
    EXPECT_EQ(FileSize(DataFile()), whole);
}

TEST_F(SaveOnChange, ACalledOffShutdownLeavesTheProgramRunning) {
    ASSERT_NO_FATAL_FAILURE(LaunchWith(Numbered(0, 2)));
    SaveWatch watch(DataFolder());
    ASSERT_TRUE(watch.Watching());
    HWND list = app.WakeList();
    SelectRows(list, {0});
    app.Command(kCmdCopy);
    app.Command(kCmdPaste);
    ASSERT_EQ(listview::Count(list), 3);

    // Asked whether the session may end, the program says yes and saves what
    // is not on disk yet before it answers: the ending may come at once.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(app.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000,
                                    &answer));
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
    EXPECT_EQ(FileSize(DataFile()), static_cast<long long>(3 * sizeof(EntryRecord)))
        << "the change was not saved before the answer";

    // The shutdown is called off: nothing ends.
    PostMessageA(app.Main(), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
    Sleep(1500);
    EXPECT_EQ(watch.Saves(), 1) << "one save for the one change";
    ASSERT_TRUE(app.Running()) << "the program ended although the shutdown was called off";
    EXPECT_TRUE(IsWindow(app.Main()) && IsWindowVisible(app.Main()));
    EXPECT_TRUE(app.Responds());
    app.Command(kCmdPaste);
    EXPECT_EQ(listview::Count(list), 4) << "the program goes on as it was";
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(FileSize(DataFile()), static_cast<long long>(4 * sizeof(EntryRecord)));
}

}  // namespace
}  // namespace e2e
