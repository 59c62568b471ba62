// Saves when the data folder's disk is full: the save after a change and the
// one at exit. tests/e2e/run.sh runs this alone, with the data folder on a
// small file system of its own inside a mount namespace; the main run leaves
// it out.
#include <algorithm>
#include <cstdlib>

#include "AppFixture.h"
#include "ExchangeDriver.h"

namespace e2e {
namespace {

constexpr int kEntries = 150;
constexpr int kCmdSelectAll = 40021, kCmdCopy = 40039, kCmdPaste = 40040, kCmdDelete = 40011;

// The size tests/e2e/run.sh gave the small file system under the data
// folder; 0 when the test runs anywhere else.
unsigned long long SmallDiskSize() {
    char text[32] = {};
    const DWORD n = GetEnvironmentVariableA("NL_E2E_SMALL_DISK", text, sizeof text);
    return n > 0 && n < sizeof text ? std::strtoull(text, nullptr, 10) : 0;
}

struct DiskSpace {
    unsigned long long total = 0, free = 0;
};
DiskSpace SpaceOf(const std::string& folder) {
    ULARGE_INTEGER available = {}, total = {}, free = {};
    DiskSpace space;
    if (GetDiskFreeSpaceExA((folder + "\\").c_str(), &available, &total, &free)) {
        space.total = total.QuadPart;
        space.free = available.QuadPart;
    }
    return space;
}

// Writes zeros until the file system refuses more, in ever smaller pieces so
// that not even a byte is left; never more than `limit` bytes. The bytes it
// took.
unsigned long long FillDisk(const std::string& path, unsigned long long limit) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    std::string block(65536, '\0');
    unsigned long long total = 0;
    for (DWORD piece : {65536u, 4096u, 1u}) {
        while (total + piece <= limit) {
            DWORD written = 0;
            if (!WriteFile(file, block.data(), piece, &written, nullptr) || written == 0) break;
            total += written;
        }
    }
    CloseHandle(file);
    return total;
}

constexpr char kDiskFullText[] = "ディスクの空きが足りないためデータファイルを更新しませんでした";

std::vector<EntryRecord> Entries() {
    std::vector<EntryRecord> records;
    for (int i = 0; i < kEntries; ++i) {
        const std::string name = "PC" + std::to_string(i);
        EntryFields f = {name.c_str(), {10, 77, 0, static_cast<uint8_t>(i)}, {255, 255, 255, 0}, 9,
                         {2, 0, 0, 0, 0, static_cast<uint8_t>(i)}, "", "", "", {}, {}, {}, 0};
        records.push_back(MakeRecord(f, i));
    }
    return records;
}

class FullDisk : public AppFixture {
protected:
    // The data file holding `bytes`, on a file system with no room left.
    void FillAround(const std::string& bytes) {
        // Only a file system made for this test is ever filled: the data
        // folder must sit on one of the size tests/e2e/run.sh mounted.
        const unsigned long long smallDisk = SmallDiskSize();
        ASSERT_GT(smallDisk, 0u)
            << "NL_E2E_SMALL_DISK is not set; tests/e2e/run.sh runs this test on a small file system";
        const DiskSpace empty = SpaceOf(DataFolder());
        ASSERT_GT(empty.total, 0u) << "no size for " << DataFolder();
        ASSERT_LE(empty.total, smallDisk) << DataFolder() << " is not on the small file system";
        ASSERT_TRUE(WriteFileBytes(DataFile(), bytes));
        ASSERT_GT(FillDisk(Filler(), smallDisk), 0u);
        ASSERT_LT(SpaceOf(DataFolder()).free, sizeof(EntryRecord)) << "the filler left room for a record";
    }
    static std::string Filler() { return DataFolder() + "\\filler.bin"; }

    int LinesSaying(const std::string& text) const {
        int n = 0;
        for (const std::string& line : LogLines()) n += line == text;
        return n;
    }
    // Deletes the row of this entry, answering the question.
    void DeleteRow(const std::string& name) {
        HWND list = app.WakeList();
        const std::vector<std::string> names = listview::Column(list, 0);
        const auto at = std::find(names.begin(), names.end(), name);
        ASSERT_NE(at, names.end()) << name;
        SelectRows(list, {static_cast<int>(at - names.begin())});
        app.PostCommand(kCmdDelete);
        ASSERT_EQ("エントリーを削除します", AnswerMessageBox(app.Pid(), IDYES));
    }
    // A run killed on purpose: no save at exit can hide what the run's own
    // saves did.
    void KillOnPurpose() {
        app.Kill();
        ASSERT_FALSE(app.Running());
        expectedExitCode = 255;
    }
};

TEST_F(FullDisk, ASaveAfterAChangeWithoutRoomIsSaidOnceAndLeavesTheFileAsItWas) {
    const std::string before = FileOf(Entries());
    ASSERT_NO_FATAL_FAILURE(FillAround(before));
    ASSERT_NO_FATAL_FAILURE(Launch());
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.WakeList()) == kEntries; }));

    ASSERT_NO_FATAL_FAILURE(DeleteRow("PC0"));
    ASSERT_TRUE(WaitUntil([&] { return LinesSaying(kDiskFullText) == 1; }, 5000)) << "the failed save was not said";
    EXPECT_EQ(StatusText(app.StatusBar(), 0), kDiskFullText);
    // The next change tries again, and says nothing new.
    ASSERT_NO_FATAL_FAILURE(DeleteRow("PC1"));
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.WakeList()) == kEntries - 2; }));
    Sleep(2500);
    EXPECT_EQ(LinesSaying(kDiskFullText), 1) << "said more than once";
    EXPECT_TRUE(app.Responds());
    EXPECT_FALSE(FileExists(DataFolder() + "\\Ent.new")) << "a failed save leaves no new file behind";
    ASSERT_NO_FATAL_FAILURE(KillOnPurpose());

    EXPECT_EQ(before, ReadFileBytes(DataFile())) << "a failed save changed the file";
    DeleteFileA(Filler().c_str());
}

TEST_F(FullDisk, ASaveWorksAgainOnceThereIsRoomAndSaysSo) {
    ASSERT_NO_FATAL_FAILURE(FillAround(FileOf(Entries())));
    ASSERT_NO_FATAL_FAILURE(Launch());
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.WakeList()) == kEntries; }));
    ASSERT_NO_FATAL_FAILURE(DeleteRow("PC0"));
    ASSERT_TRUE(WaitUntil([&] { return LinesSaying(kDiskFullText) == 1; }, 5000));

    ASSERT_TRUE(DeleteFileA(Filler().c_str()));
    ASSERT_NO_FATAL_FAILURE(DeleteRow("PC1"));
    ASSERT_TRUE(WaitUntil([&] { return LinesSaying("データファイルを保存しました") == 1; }, 5000))
        << "the save that worked again was not said";
    EXPECT_EQ(StatusText(app.StatusBar(), 0), "データファイルを保存しました");
    ASSERT_NO_FATAL_FAILURE(KillOnPurpose());

    std::vector<EntryRecord> expected = Entries();
    expected.erase(expected.begin(), expected.begin() + 2);
    std::vector<std::string> saved = Records(ReadFileBytes(DataFile()));
    ASSERT_EQ(saved.size(), expected.size());
    for (size_t i = 0; i < saved.size(); ++i) EXPECT_EQ(saved[i], WithId(expected[i], static_cast<int32_t>(i + 2)));
}

TEST_F(FullDisk, SaveWithoutRoomLeavesTheFileAsItWas) {
    const std::vector<EntryRecord> records = Entries();
    const std::string before = FileOf(records);
    ASSERT_NO_FATAL_FAILURE(FillAround(before));

    ASSERT_NO_FATAL_FAILURE(Launch());
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.WakeList()) == kEntries; }));
    // Twice the entries: the save needs room the disk does not have.
    app.Command(kCmdSelectAll);
    app.Command(kCmdCopy);
    app.Command(kCmdPaste);
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.WakeList()) == 2 * kEntries; }));
    // And the first entry deleted, so that even the front of the file would
    // change: a save that wrote what fits would mix old and new.
    HWND list = app.WakeList();
    const std::vector<std::string> names = listview::Column(list, 0);
    SelectRows(list, {static_cast<int>(std::find(names.begin(), names.end(), "PC0") - names.begin())});
    app.PostCommand(kCmdDelete);
    ASSERT_EQ("エントリーを削除します", AnswerMessageBox(app.Pid(), IDYES));
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(list) == 2 * kEntries - 1; }));
    ASSERT_EQ(0, app.Close(20000));

    // No room for the new content: the file holds exactly what it held.
    EXPECT_EQ(before, ReadFileBytes(DataFile())) << "the save changed the file on a full disk";
    DeleteFileA(Filler().c_str());
}

// A listing or an export that the disk cannot take whole, whether the first
// line fails or a later one: the user is told, the status says it failed,
// and no file is left that passes for a whole one.
TEST_F(FullDisk, AListingOrExportWithoutRoomIsReportedAndLeavesNoFile) {
    std::vector<EntryRecord> records;
    const std::string text(250, 't');
    for (int i = 0; i < 60; ++i) {
        const std::string name = "PC" + std::to_string(i);
        EntryFields f = {name.c_str(), {10, 77, 0, static_cast<uint8_t>(i)}, {255, 255, 255, 0}, 9,
                         {2, 0, 0, 0, 0, static_cast<uint8_t>(i)}, text.c_str(), text.c_str(), "say \"hi\"", {}, {}, {}, 0};
        records.push_back(MakeRecord(f, i));
    }
    ASSERT_TRUE(WriteFileBytes(DataFile(), FileOf(records)));
    // Room that a later case frees: enough for the first line or the
    // header and a few records, far from enough for 60 entries.
    const std::string room = DataFolder() + "\\room.bin";
    ASSERT_TRUE(WriteFileBytes(room, std::string(8192, 'r')));
    const unsigned long long smallDisk = SmallDiskSize();
    ASSERT_GT(smallDisk, 0u) << "NL_E2E_SMALL_DISK is not set; tests/e2e/run.sh runs this test on a small file system";
    ASSERT_LE(SpaceOf(DataFolder()).total, smallDisk) << DataFolder() << " is not on the small file system";
    ASSERT_GT(FillDisk(DataFolder() + "\\filler.bin", smallDisk), 0u);
    ASSERT_NO_FATAL_FAILURE(Launch());
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.WakeList()) == 60; }));

    struct Case {
        const char* what;
        bool room;
        int command;
        const char* title;
        const char* file;
        const char* status;
    };
    const Case cases[] = {
        {"listing, no room for the first line", false, kCmdListing, "一覧をﾌｧｲﾙに保存", "list.csv",
         "一覧の保存に失敗しました"},
        {"export, no room for the header", false, kCmdExportEntries, "一覧のｴｸｽﾎﾟｰﾄ", "list.ent",
         "一覧のｴｸｽﾎﾟｰﾄに失敗しました"},
        {"listing, room for a few lines", true, kCmdListing, "一覧をﾌｧｲﾙに保存", "list.csv",
         "一覧の保存に失敗しました"},
        {"export, room for a few records", true, kCmdExportEntries, "一覧のｴｸｽﾎﾟｰﾄ", "list.ent",
         "一覧のｴｸｽﾎﾟｰﾄに失敗しました"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.room) DeleteFileA(room.c_str());
        // No room at all, or room for the first line or the header but far
        // from the whole file.
        ULARGE_INTEGER left = {};
        ASSERT_TRUE(GetDiskFreeSpaceExA((DataFolder() + "\\").c_str(), &left, nullptr, nullptr));
        if (c.room) {
            ASSERT_GE(left.QuadPart, 4096u);
            ASSERT_LT(left.QuadPart, 20000u);
        } else {
            ASSERT_EQ(left.QuadPart, 0u);
        }
        const std::string path = DataFolder() + "\\" + c.file;
        ASSERT_TRUE(ChooseFile(app, c.command, c.title, path));
        EXPECT_EQ(AnswerMessageBox(app.Pid(), IDOK), "ファイルの出力に失敗しました");
        EXPECT_EQ(StatusText(app.StatusBar(), 0), c.status);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(app.Main(), 2014))) << "the progress bar is hidden again";
        EXPECT_FALSE(FileExists(path)) << ReadFileBytes(path).substr(0, 13);
    }
    EXPECT_EQ(listview::Count(app.WakeList()), 60);
    ASSERT_EQ(0, app.Close(20000));
    EXPECT_EQ(FileOf(records), ReadFileBytes(DataFile()));
    DeleteFileA((DataFolder() + "\\filler.bin").c_str());
}

}  // namespace
}  // namespace e2e
