// Faults of the machine the program must live through.
#include "AppFixture.h"

namespace e2e {
namespace {

using MachineFaultTest = AppFixture;

TEST_F(MachineFaultTest, LogFileThatCannotBeMadeStillLeavesTheCommandLog) {
    // A folder where the log file should be: the file cannot be created.
    ASSERT_TRUE(CreateDirectoryA(LogFile().c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_NO_FATAL_FAILURE(Launch());
    EXPECT_EQ(std::vector<std::string>{"Nodelark 起動しました"}, LogLines());
    app.Command(kCmdSwitchTab);
    app.Command(kCmdSwitchTab);
    EXPECT_TRUE(app.Responds());
    EXPECT_EQ(0, app.Close());
    EXPECT_TRUE(GetFileAttributesA(LogFile().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryA(LogFile().c_str());
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

constexpr int kSmallImagesBitmap = 107;

// A copy of the program whose small images are no bitmap: the main window's
// construction fails the way a damaged installation would make it fail.
std::string BrokenCopy() {
    const std::string copy = ExeFolder() + "Nodelark-no-images.exe";
    if (!CopyFileA(ExePath().c_str(), copy.c_str(), FALSE)) return "";
    HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
    if (!update) return "";
    // Four bytes that are no bitmap, under the program's own language.
    static const char kNoBitmap[4] = {};
    const bool removed = UpdateResourceA(update, reinterpret_cast<LPCSTR>(RT_BITMAP), MAKEINTRESOURCEA(kSmallImagesBitmap),
                                         MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), const_cast<char*>(kNoBitmap),
                                         sizeof kNoBitmap) != FALSE;
    if (!EndUpdateResourceA(update, !removed) || !removed) return "";
    return copy;
}

TEST(StartFailure, TheWindowFailureBoxStaysUntilItIsAnswered) {
    ResetDataFolder();
    const std::string copy = BrokenCopy();
    ASSERT_FALSE(copy.empty()) << "cannot make the broken copy";
    {
        HMODULE check = LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, check);
        HRSRC found = FindResourceA(check, MAKEINTRESOURCEA(kSmallImagesBitmap), reinterpret_cast<LPCSTR>(RT_BITMAP));
        EXPECT_EQ(4u, found ? SizeofResource(check, found) : 0u) << "the bitmap is still in the copy";
        FreeLibrary(check);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string line = "\"" + copy + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));

    // First the construction's own box, then the start-up's.
    HWND first = WaitDialog(info.dwProcessId, "Nodelark");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ("ｲﾒｰｼﾞﾘｽﾄ作成失敗", MessageBoxText(first));
    ClickButton(first, IDOK);
    HWND second = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND d : ProcessDialogs(info.dwProcessId))
            if (d != first && MessageBoxText(d).rfind("ｳｨﾝﾄﾞｳ作成に失敗", 0) == 0) second = d;
        return second != nullptr;
    })) << "the window failure box did not appear, or closed by itself";
    EXPECT_NE(std::string::npos, MessageBoxText(second).find("(ErrorCode:0x"));
    // It waits for the user: the program has not ended behind it.
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(info.hProcess, 1000));
    EXPECT_TRUE(IsWindowVisible(second));
    ClickButton(second, IDOK);
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(info.hProcess, kWaitMs));
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(0u, code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    DeleteFileA(copy.c_str());
}

// A start for a waiting caller (a script) that fails shows no box that would
// hold the script up: it ends by itself with 2 and the log says why. With a
// request but no /wait the boxes stay, and the code is still 2: nothing was
// sent.
TEST(StartFailure, AWaitingRequestThatCannotStartEndsWithTwoAndNoBox) {
    ResetDataFolder();
    const std::string copy = BrokenCopy();
    ASSERT_FALSE(copy.empty()) << "cannot make the broken copy";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string line = "\"" + copy + "\" /w PC1 /wait:30";
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    bool boxSeen = false;
    WaitUntil([&] {
        boxSeen = boxSeen || !ProcessDialogs(info.dwProcessId).empty();
        return WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0;
    });
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(info.hProcess, 0)) << "it waits for a click";
    EXPECT_FALSE(boxSeen);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(2u, code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    const std::string log = ReadFileBytes(DataFolder() + "\\Nodelark.log");
    EXPECT_NE(std::string::npos, log.find(" ｲﾒｰｼﾞﾘｽﾄ作成失敗\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find(" ｳｨﾝﾄﾞｳ作成に失敗<0x0A>(ErrorCode:0x")) << log;

    line = "\"" + copy + "\" /w PC1";
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    for (const char* text : {"ｲﾒｰｼﾞﾘｽﾄ作成失敗", "ｳｨﾝﾄﾞｳ作成に失敗"}) {
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            for (HWND d : ProcessDialogs(info.dwProcessId))
                if (MessageBoxText(d).rfind(text, 0) == 0) box = d;
            return box != nullptr;
        })) << text;
        ClickButton(box, IDOK);
    }
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(info.hProcess, kWaitMs));
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(2u, code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    DeleteFileA(copy.c_str());
}

}  // namespace
}  // namespace e2e
