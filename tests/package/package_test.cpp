// The zip a Windows user downloads: exactly the program and its user guide,
// and the program in it starts on a machine that never ran Nodelark and
// closes cleanly. tests/package/run.sh unpacks the zip where a user would
// and points NL_E2E_EXE at the unpacked program.
#include "AppFixture.h"
#include "TestEnv.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace e2e {
namespace {

uint32_t Le(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

struct ZipMember {
    std::string name;
    uint32_t size;  // unpacked
};

// The members as the zip's central directory lists them; false when the
// bytes are not a zip.
bool ZipMembers(const std::string& zip, std::vector<ZipMember>& members) {
    members.clear();
    if (zip.size() < 22) return false;
    size_t end = std::string::npos;
    for (size_t at = zip.size() - 22;; --at) {
        if (Le(zip, at, 4) == 0x06054b50) {
            end = at;
            break;
        }
        if (at == 0 || zip.size() - at > 22 + 65535) break;
    }
    if (end == std::string::npos) return false;
    const uint32_t count = Le(zip, end + 10, 2);
    size_t at = Le(zip, end + 16, 4);
    for (uint32_t i = 0; i < count; ++i) {
        if (at + 46 > end || Le(zip, at, 4) != 0x02014b50) return false;
        const size_t nameLength = Le(zip, at + 28, 2);
        if (at + 46 + nameLength > end) return false;
        members.push_back({zip.substr(at + 46, nameLength), Le(zip, at + 24, 4)});
        at += 46 + nameLength + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
    }
    return true;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Package, ZipHoldsExactlyTheProgramAndItsGuide) {
    const std::string zipPath = testenv::Variable("NL_PKG_ZIP");
    ASSERT_FALSE(zipPath.empty()) << "NL_PKG_ZIP is not set; run tests/package/run.sh";
    const std::string zip = ReadFileBytes(zipPath);
    std::vector<ZipMember> members;
    ASSERT_TRUE(ZipMembers(zip, members)) << zipPath << " is not a zip";
    std::vector<std::string> names;
    for (const ZipMember& m : members) names.push_back(m.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Nodelark.exe", "ReadMe.txt"}));

    // Unpacked into an empty folder, the two land side by side and alone.
    const std::string folder = ExeFolder();
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"Nodelark.exe", "ReadMe.txt"}));
    for (const ZipMember& m : members)
        EXPECT_EQ(ReadFileBytes(folder + m.name).size(), m.size) << m.name;

    // The guide F1 opens is the project's, in code page 932 as written.
    const std::string guide = ReadFileBytes(folder + "ReadMe.txt");
    EXPECT_FALSE(guide.empty());
    EXPECT_EQ(guide, ReadFileBytes(testenv::Variable("NL_PKG_README")));

    // A 64-bit Windows program with a window of its own.
    const std::string exe = ReadFileBytes(ExePath());
    ASSERT_GT(exe.size(), 0x200u);
    ASSERT_EQ(exe.compare(0, 2, "MZ"), 0);
    const size_t pe = Le(exe, 0x3C, 4);
    ASSERT_LT(pe + 0x60, exe.size());
    EXPECT_EQ(Le(exe, pe, 4), 0x00004550u) << "no PE signature";
    EXPECT_EQ(Le(exe, pe + 4, 2), 0x8664u) << "not x86-64";
    EXPECT_EQ(Le(exe, pe + 24, 2), 0x20Bu) << "not a PE32+ image";
    EXPECT_EQ(Le(exe, pe + 24 + 68, 2), 2u) << "not a GUI program";
}

using PackagedProgram = AppFixture;

TEST_F(PackagedProgram, StartsOnAnEmptyDataFolderAndClosesCleanly) {
    ASSERT_EQ(FolderEntries(DataFolder() + "\\"), std::vector<std::string>{}) << "the data folder is not empty";
    ASSERT_NO_FATAL_FAILURE(Launch());
    EXPECT_EQ(WindowText(app.Main()), "Nodelark");
    EXPECT_EQ(listview::Count(app.WakeList()), 0);
    EXPECT_EQ(LogLines(), std::vector<std::string>{"Nodelark 起動しました"});
    EXPECT_TRUE(ProcessDialogs(app.Pid()).empty()) << "a box opened at start";
    ASSERT_EQ(app.Close(), 0);
    EXPECT_TRUE(FileExists(DataFile()));
    EXPECT_EQ(ReadFileBytes(DataFile()), "");
    EXPECT_TRUE(FileExists(LogFile()));
}

}  // namespace
}  // namespace e2e
