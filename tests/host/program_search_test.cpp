// How a tool's program named without a folder is looked for: only in the
// system folders and PATH, never in the program's own folder or the current
// one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/ProgramSearch.h"

namespace {

TEST(ProgramSearch, ProgramIsTheFirstWordOrTheQuotedPath) {
    const struct { const char* line; const char* name; size_t end; } cases[] = {
        {"ping -n 1 10.0.0.1", "ping", 4},
        {"ping", "ping", 4},
        {"ping\t-t", "ping", 4},
        {"\"C:\\Program Files\\a.exe\" -x", "C:\\Program Files\\a.exe", 24},
        {"\"no end", "no end", 7},
        {"\"\" x", "", 2},
        {"", "", 0},
    };
    for (const auto& c : cases) {
        ProgramToken token = ProgramOf(c.line);
        EXPECT_EQ(0u, token.begin) << c.line;
        EXPECT_EQ(c.name, token.name) << c.line;
        EXPECT_EQ(c.end, token.end) << c.line;
    }
}

TEST(ProgramSearch, OnlyANameWithoutAnyFolderIsSearched) {
    const struct { const char* program; bool folder; } cases[] = {
        {"ping", false}, {"ping.exe", false}, {"my.tool", false},
        {"C:\\Windows\\ping.exe", true}, {".\\ping.exe", true}, {"bin/ping", true}, {"C:ping.exe", true},
        {"\\\\server\\share\\ping.exe", true},
        // ソ (83 5C) holds a 0x5C byte that is no backslash.
        {"ソフト.exe", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.folder, NamesFolder(c.program)) << c.program;
}

TEST(ProgramSearch, ExeIsAddedOnlyWithoutAnExtension) {
    EXPECT_EQ("ping.exe", ProgramFileName("ping"));
    EXPECT_EQ("ping.exe", ProgramFileName("ping.exe"));
    EXPECT_EQ("ping.com", ProgramFileName("ping.com"));
    EXPECT_EQ("backup.cmd", ProgramFileName("backup.cmd"));
}

TEST(ProgramSearch, FoldersAreSystemThenWindowsThenAbsolutePathEntriesButNeverTheProgramsOwn) {
    const std::string system = "C:\\Windows\\system32", windows = "C:\\Windows", own = "C:\\Users\\u\\Downloads",
                      current = "\\\\colleague\\share";
    const struct { const char* path; std::vector<std::string> folders; } cases[] = {
        {"", {system, windows}},
        {"C:\\Tools;D:\\bin\\", {system, windows, "C:\\Tools", "D:\\bin\\"}},
        // Empty and relative entries mean the current folder; "." too.
        {";.;bin;..\\x;C:rel;C:\\Tools;", {system, windows, "C:\\Tools"}},
        // The program's own folder and the current one, however written, and repeats.
        {"c:\\users\\U\\downloads\\;C:/Users/u/Downloads;C:\\WINDOWS\\System32;C:\\Tools;c:\\tools;\\\\COLLEAGUE\\share\\",
         {system, windows, "C:\\Tools"}},
        {"\"C:\\Program Files\\Git\\cmd\";\\\\server\\tools", {system, windows, "C:\\Program Files\\Git\\cmd",
                                                             "\\\\server\\tools"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.folders, ProgramSearchFolders(system, windows, c.path, {own, current})) << c.path;
    // A missing system folder is no reason to search a relative one.
    EXPECT_EQ((std::vector<std::string>{"C:\\Tools"}), ProgramSearchFolders("", "", "C:\\Tools", {"", ""}));
}

TEST(ProgramSearch, BatchFilesGetTheirPathAsTheFirstWordWithTheArgumentsKept) {
    EXPECT_TRUE(IsBatchFile("C:\\Tools\\backup.CMD"));
    EXPECT_TRUE(IsBatchFile("C:\\Tools\\backup.bat"));
    EXPECT_FALSE(IsBatchFile("C:\\Windows\\system32\\ping.exe"));
    EXPECT_FALSE(IsBatchFile("bat"));
    const std::string line = "backup.cmd  \"$x\" \\\\sv\\d";
    EXPECT_EQ("\"C:\\Tools\\backup.cmd\"  \"$x\" \\\\sv\\d", WithProgram(line, ProgramOf(line), "C:\\Tools\\backup.cmd"));
    EXPECT_EQ("C:\\Tools\\a.exe", JoinFolder("C:\\Tools", "a.exe"));
    EXPECT_EQ("C:\\a.exe", JoinFolder("C:\\", "a.exe"));
}

}  // namespace
