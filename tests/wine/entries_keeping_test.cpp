// The data file on a real disk: one held by another handle is said with its
// path and code and left alone; the data folder does not follow the current
// directory.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "TempFolder.h"
#include "entries/EntList.h"
#include "entries/EntListWin32.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::string bytes;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "(cannot open)";
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
    CloseHandle(h);
    return bytes;
}

TEST(DataFileKeepingOnDisk, AFileHeldByAnotherHandleIsSaidAndLeftAlone) {
    const std::string root = MakeTempFolder("keeping");
    ASSERT_FALSE(root.empty());
    const std::string folder = root + "\\Morrowbel";
    const std::string path = folder + "\\Ent.dat";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string bytes(3 * sizeof(WakeEntry), 'e');
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(holder, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr));
    {
        CEntList store;
        store.OpenDataFileIn(folder.c_str());
        EXPECT_FALSE(store.HasDataFile());
        const std::string notice = store.DataFileNotice();
        EXPECT_NE(notice.find(path), std::string::npos) << notice;
        EXPECT_NE(notice.find("(ErrorCode:0x00000020)"), std::string::npos) << notice;
        WakeEntry entry = {};
        store.AddEntry(entry);
        store.SaveDataFile();
    }
    CloseHandle(holder);
    EXPECT_EQ(ReadAll(path), bytes);

    // Free again, the same file loads whole and says nothing.
    {
        CEntList store;
        store.OpenDataFileIn(folder.c_str());
        EXPECT_EQ(store.EntryCount(), 3);
        EXPECT_EQ(store.DataFileNotice(), "");
    }
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
    RemoveDirectoryA(root.c_str());
}

TEST(DataFileKeepingOnDisk, TheFallbackFolderIsMadeAbsoluteOnce) {
    const std::string root = MakeTempFolder("absolute");
    ASSERT_FALSE(root.empty());
    char previous[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, previous));
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    const std::string folder = AbsoluteFolder(ComposeDataFolder(nullptr));
    // A file dialog moving the current directory later changes nothing.
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(folder, root + "\\Morrowbel");
    EXPECT_EQ(AbsoluteFolder("C:\\already\\absolute"), "C:\\already\\absolute");
    RemoveDirectoryA(root.c_str());
}

}  // namespace
