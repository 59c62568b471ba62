// A tool's program named without a folder is found in the system folders
// and PATH only: a file of that name in the current folder or beside the
// program is never taken, not even when PATH names that folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TempFolder.h"
#include "common/SystemLibraryWin32.h"
#include "tools/ProgramSearchWin32.h"

namespace {

std::string SystemFolder() {
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, sizeof folder);
    return folder;
}

std::string OwnFolder() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self);
    return path.substr(0, path.rfind('\\'));
}

bool Touch(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

class ToolProgramSearch : public ::testing::Test {
protected:
    void SetUp() override {
        char cwd[MAX_PATH] = {};
        GetCurrentDirectoryA(sizeof cwd, cwd);
        oldCwd_ = cwd;
        char oldPath[8192] = {};
        GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);
        oldPath_ = oldPath;
        current_ = MakeTempFolder("cwd");
        onPath_ = MakeTempFolder("path");
        ASSERT_FALSE(current_.empty());
        ASSERT_FALSE(onPath_.empty());
        // A file of a system program's name, and of names found nowhere
        // else, in the current folder and beside this program.
        for (const char* name : {"\\ping.exe", "\\nl-current-only.exe"}) ASSERT_TRUE(Touch(current_ + name));
        ownOnly_ = OwnFolder() + "\\nl-own-only.exe";
        ASSERT_TRUE(Touch(ownOnly_));
        ASSERT_TRUE(Touch(onPath_ + "\\nl-on-path.exe"));
        ASSERT_TRUE(Touch(onPath_ + "\\nl-batch.cmd"));
        ASSERT_TRUE(SetCurrentDirectoryA(current_.c_str()));
        // PATH names the program's own folder and the current one too: the
        // search leaves them out all the same.
        const std::string path = onPath_ + ";.;" + OwnFolder() + ";" + current_ + ";" + oldPath_;
        SetEnvironmentVariableA("PATH", path.c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryA(oldCwd_.c_str());
        SetEnvironmentVariableA("PATH", oldPath_.c_str());
        DeleteFileA(ownOnly_.c_str());
    }
    std::string oldCwd_, oldPath_, current_, onPath_, ownOnly_;
};

TEST_F(ToolProgramSearch, ProgramsWithoutAFolderComeFromTheSystemFoldersAndPathOnly) {
    const struct {
        const char* commandLine;
        bool found;
        std::string application;    // empty: none
        std::string startedLine;    // empty: the command line unchanged
    } cases[] = {
        {"ping -n 1 127.0.0.1", true, SystemFolder() + "\\ping.exe", ""},
        {"PING.exe -n 1", true, SystemFolder() + "\\PING.exe", ""},
        {"nl-on-path /x", true, onPath_ + "\\nl-on-path.exe", ""},
        {"nl-batch.cmd \"a b\" c", true, "", "\"" + onPath_ + "\\nl-batch.cmd\" \"a b\" c"},
        // Written with a folder: started as written, wherever it points.
        {".\\nl-current-only.exe -q", true, "", ""},
        {"\"C:\\Program Files\\x.exe\" -q", true, "", ""},
        {"nl-current-only", false, "", ""},
        {"nl-own-only -x", false, "", ""},
        {"no-such-tool-here.exe -x 1", false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        ToolStart start;
        SetLastError(0);
        ASSERT_EQ(c.found, ResolveToolStart(c.commandLine, &start));
        if (!c.found) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
            continue;
        }
        EXPECT_EQ(0, _stricmp(c.application.c_str(), start.application.c_str())) << start.application;
        EXPECT_EQ(c.startedLine.empty() ? std::string(c.commandLine) : c.startedLine, start.commandLine);
    }
}

TEST_F(ToolProgramSearch, ToolsWithoutAWorkingFolderStartInTheSystemFolder) {
    EXPECT_EQ(SystemFolder(), DefaultToolFolder());
}

TEST(SystemLibrary, LoadsFromTheSystemFolderAndFailsPlainlyWithoutTheFile) {
    HMODULE library = LoadSystemLibrary("iphlpapi.dll");
    ASSERT_NE(nullptr, library);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(library, path, sizeof path);
    const std::string expected = SystemFolder() + "\\iphlpapi.dll";
    EXPECT_EQ(0, _stricmp(expected.c_str(), path)) << path;
    EXPECT_NE(nullptr, SystemProc<FARPROC>(library, "GetAdaptersInfo"));
    EXPECT_EQ(nullptr, SystemProc<FARPROC>(library, "NoSuchFunction"));
    FreeLibrary(library);
    EXPECT_EQ(nullptr, LoadSystemLibrary("nl-no-such-library.dll"));
    EXPECT_EQ(nullptr, SystemProc<FARPROC>(nullptr, "GetAdaptersInfo"));
}

}  // namespace
