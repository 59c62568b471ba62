#include <gtest/gtest.h>
#include "TempFolder.h"
#include <windows.h>
#include <shlobj.h>
#include <cstring>
#include <string>
#include <vector>
#include "entries/EntList.h"
#include "entries/EntListWin32.h"

namespace {

constexpr DWORD kRecord = sizeof(WakeEntry);

// A fresh temporary folder; the data folder inside it does not exist yet.
class DataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = MakeTempFolder("entries");
        ASSERT_FALSE(root_.empty());
        folder_ = root_ + "\\Morrowbel";
        file_ = folder_ + "\\Ent.dat";
    }
    void TearDown() override {
        DeleteFileA(file_.c_str());
        RemoveDirectoryA(folder_.c_str());
        RemoveDirectoryA(root_.c_str());
    }

    void WriteRaw(const std::string& bytes) {
        CreateDirectoryA(folder_.c_str(), nullptr);
        HANDLE h = CreateFileA(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD done = 0;
        ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr));
        CloseHandle(h);
    }
    std::string ReadRaw() {
        std::string bytes;
        HANDLE h = CreateFileA(file_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return "(cannot open)";
        char buf[4096];
        DWORD got = 0;
        while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
        CloseHandle(h);
        return bytes;
    }

    std::string root_, folder_, file_;
};

WakeEntry Record(int seed, int32_t id) {
    WakeEntry e;
    unsigned char* p = reinterpret_cast<unsigned char*>(&e);
    for (DWORD i = 0; i < kRecord; ++i) p[i] = static_cast<unsigned char>(i * 13 + seed);
    e.id = id;
    e.name[3] = 0;
    return e;
}

std::string Raw(const WakeEntry& e) { return std::string(reinterpret_cast<const char*>(&e), kRecord); }

}  // namespace

TEST_F(DataFileTest, AbsentFolderAndFileAreCreatedEmpty) {
    {
        CEntList store;
        store.OpenDataFileIn(folder_.c_str());
        EXPECT_TRUE(store.HasDataFile());
        EXPECT_EQ(0, store.EntryCount());
        EXPECT_EQ(folder_, store.DataFolder());
        EXPECT_EQ(file_, store.DataFilePath());
        DWORD attributes = GetFileAttributesA(folder_.c_str());
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
        store.SaveDataFile();
    }
    EXPECT_EQ("", ReadRaw());
}

TEST_F(DataFileTest, FragmentIsDroppedAtSave) {
    WriteRaw(Raw(Record(1, 7)) + Raw(Record(2, 7)) + std::string(kRecord / 2, 'x'));
    {
        CEntList store;
        store.OpenDataFileIn(folder_.c_str());
        EXPECT_EQ(2, store.EntryCount());
        store.SaveDataFile();
    }
    EXPECT_EQ(2 * kRecord, ReadRaw().size());
}

TEST_F(DataFileTest, RoundTripKeepsEveryByteButTheId) {
    const std::vector<WakeEntry> records = {Record(1, 7), Record(2, 7), Record(3, -1)};
    std::string raw;
    for (const auto& r : records) raw += Raw(r);
    WriteRaw(raw + raw);  // twice as long as what will be saved
    WakeEntry added = Record(4, 0);
    {
        CEntList store;
        store.OpenDataFileIn(folder_.c_str());
        ASSERT_EQ(6, store.EntryCount());
        for (int id : {3, 4, 5}) store.RemoveEntry(id);
        store.AddEntry(added);
        EXPECT_EQ(3, added.id);
        store.SaveDataFile();
    }
    std::string expected;
    for (int i = 0; i < 3; ++i) {
        WakeEntry e = records[i];
        e.id = i;
        expected += Raw(e);
    }
    expected += Raw(added);
    EXPECT_TRUE(expected == ReadRaw());
}

TEST_F(DataFileTest, FileIsHeldUnsharedWhileTheStoreLives) {
    WriteRaw(Raw(Record(1, 0)));
    {
        CEntList store;
        store.OpenDataFileIn(folder_.c_str());
        ASSERT_TRUE(store.HasDataFile());
        SetLastError(0);
        HANDLE other = CreateFileA(file_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, other);
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
        if (other != INVALID_HANDLE_VALUE) CloseHandle(other);

        // A second store cannot have it: it stays empty and writes nothing.
        {
            CEntList second;
            second.OpenDataFileIn(folder_.c_str());
            EXPECT_FALSE(second.HasDataFile());
            EXPECT_EQ(0, second.EntryCount());
            second.SaveDataFile();
        }
        EXPECT_EQ(1, store.EntryCount());
    }
    EXPECT_EQ(kRecord, ReadRaw().size()) << "the file is free again and untouched";
}

TEST_F(DataFileTest, ASaveIsANewFilePutInPlaceAndTheFileStaysHeld) {
    WriteRaw(Raw(Record(1, 0)) + Raw(Record(2, 1)));
    const std::string next = folder_ + "\\Ent.new";
    {
        CEntList store;
        store.OpenDataFileIn(folder_.c_str());
        ASSERT_EQ(2, store.EntryCount());
        store.RemoveEntry(0);
        WakeEntry added = Record(3, 0);
        store.AddEntry(added);
        EXPECT_EQ("", store.SaveDataFile());
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(next.c_str())) << "the new file took the old one's place";
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(GetFileAttributesExA(file_.c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(2 * kRecord, data.nFileSizeLow);
        // Held again at once: no one else may open it.
        SetLastError(0);
        HANDLE other = CreateFileA(file_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, other);
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
        if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
        // And a second save goes the same way.
        EXPECT_EQ("", store.SaveDataFile());
    }
    WakeEntry second = Record(2, 1), added = Record(3, 2);
    EXPECT_TRUE(Raw(second) + Raw(added) == ReadRaw());
}

TEST_F(DataFileTest, ASaveThatCannotMakeItsNewFileLeavesTheOldOne) {
    const std::string before = Raw(Record(1, 0)) + Raw(Record(2, 1));
    WriteRaw(before);
    // A folder where the new file would go: it cannot be made.
    const std::string next = folder_ + "\\Ent.new";
    ASSERT_TRUE(CreateDirectoryA(next.c_str(), nullptr));
    {
        CEntList store;
        store.OpenDataFileIn(folder_.c_str());
        store.RemoveEntry(0);
        const std::string problem = store.SaveDataFile();
        EXPECT_EQ(0u, problem.find("データファイルの書き込みに失敗しました (ErrorCode:0x")) << problem;
    }
    RemoveDirectoryA(next.c_str());
    EXPECT_TRUE(before == ReadRaw());
}

TEST_F(DataFileTest, RelativeFallbackFolderIsUnderTheCurrentDirectory) {
    char previous[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, previous));
    ASSERT_TRUE(SetCurrentDirectoryA(root_.c_str()));
    {
        CEntList store;
        store.OpenDataFileIn(ComposeDataFolder(nullptr).c_str());
        EXPECT_STREQ(".\\Morrowbel", store.DataFolder());
        EXPECT_STREQ(".\\Morrowbel\\Ent.dat", store.DataFilePath());
        EXPECT_TRUE(store.HasDataFile());
    }
    SetCurrentDirectoryA(previous);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file_.c_str()));
}

TEST(DataFolder, LiesUnderApplicationData) {
    char appData[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE));
    const std::string folder = LocateDataFolder();
    EXPECT_EQ(std::string(appData) + "\\Morrowbel", folder);
}
