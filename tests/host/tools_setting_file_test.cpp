#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>
#include "common/DataPath.h"
#include "common/FixedText.h"
#include "tools/ToolSettingFile.h"
#include "ProfileReads.h"

namespace {

using profile_model::AsProfileReads;

// An INI file in memory with the private-profile reading rules.
class FakeProfile : public ProfileStore {
public:
    uint32_t GetInt(const char* section, const char* key, int defaultValue) override {
        auto it = values.find({section, key});
        if (it == values.end()) return static_cast<uint32_t>(defaultValue);
        return static_cast<uint32_t>(std::strtoul(it->second.c_str(), nullptr, 10));
    }
    size_t GetString(const char* section, const char* key, char* buffer, size_t size) override {
        auto it = values.find({section, key});
        std::string value = it == values.end() ? std::string() : AsProfileReads(it->second);
        size_t n = std::min(value.size(), size - 1);
        std::memcpy(buffer, value.data(), n);
        buffer[n] = '\0';
        return n;
    }
    bool WriteString(const char* section, const char* key, const char* value) override {
        if (failWrites) return false;
        values[{section, key}] = value;
        writes.push_back(std::string(section) + ":" + key + "=" + value);
        return true;
    }
    void Set(const char* section, const char* key, const std::string& value) { values[{section, key}] = value; }

    std::map<std::pair<std::string, std::string>, std::string> values;
    std::vector<std::string> writes;
    bool failWrites = false;
};

bool IsAllZero(const ToolSetting& s) {
    static const ToolSetting zero = {};
    return std::memcmp(&s, &zero, sizeof s) == 0;
}

void FillFull(FakeProfile& p, const char* section, const char* isEnable) {
    p.Set(section, "IsEnable", isEnable);
    p.Set(section, "Title", "Ping");
    p.Set(section, "ExecStyle", "2");
    p.Set(section, "Command", "ping.exe");
    p.Set(section, "Argv", "-n 1 $(IP)");
    p.Set(section, "ArgvFlag", "0x0000001f");
    p.Set(section, "WorkFolder", "C:\\Work");
    p.Set(section, "Timeout", "3000");
    p.Set(section, "ShowWindow", "6");
}

}  // namespace

TEST(ToolSettingFile, ParseArgvFlag) {
    const struct { const char* text; uint32_t value; } cases[] = {
        {"0x0000001f", 31}, {"0X1g", 1},   {"31", 0},          {"0x", 0},
        {"", 0},            {"x1f", 0},    {"0xABCdef", 0xabcdef}, {"00x1", 0},
        {"0xffffffff", 0xffffffffu},       {"0x123456789", 0x23456789u},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value, ParseArgvFlag(c.text)) << c.text;
    EXPECT_EQ(0u, ParseArgvFlag(nullptr));
}

TEST(ToolSettingFile, NamesAndTexts) {
    ToolSetting off = {};
    ToolSetting on = {};
    on.IsEnable = 1;
    SetField(on.Title, "Ping & Co");
    EXPECT_EQ("Tool1", ToolSectionName(1));
    EXPECT_EQ("Tool5", ToolSectionName(5));
    EXPECT_EQ(40014, ToolRunCommand(1));
    EXPECT_EQ(40018, ToolRunCommand(5));
    EXPECT_EQ("&1:「Ping & Co」の実行", ToolMenuText(1, on));
    EXPECT_EQ("&3:(未登録)", ToolMenuText(3, off));
    EXPECT_EQ("2.Ping & Co", ToolListText(2, on));
    EXPECT_EQ("5.(未登録)", ToolListText(5, off));

    ToolSetting untitled = {};
    untitled.IsEnable = 1;
    EXPECT_EQ("&1:「」の実行", ToolMenuText(1, untitled));
    // A title that fills its field without a terminator stays inside it.
    ToolSetting full = {};
    full.IsEnable = 1;
    std::memset(full.Title, 'T', sizeof full.Title);
    EXPECT_EQ("4." + std::string(260, 'T'), ToolListText(4, full));
}

TEST(ToolSettingFile, ReadRegisteredTool) {
    FakeProfile p;
    FillFull(p, "Tool2", "1");
    ToolSetting s;
    std::memset(&s, 0xCC, sizeof s);
    ASSERT_EQ(1, ReadToolSetting(p, "Tool2", &s));
    EXPECT_EQ(1u, s.IsEnable);
    EXPECT_STREQ("Ping", s.Title);
    EXPECT_EQ(2, s.ExecStyle);
    EXPECT_STREQ("ping.exe", s.Command);
    EXPECT_STREQ("-n 1 $(IP)", s.Argv);
    EXPECT_EQ(31u, s.ArgvFlag);
    EXPECT_STREQ("C:\\Work", s.WorkFolder);
    EXPECT_EQ(3000u, s.Timeout);
    EXPECT_EQ(6u, s.ShowWindow);
    // Bytes after each text's terminator are zero too.
    EXPECT_EQ(0, s.Title[259]);
    EXPECT_EQ(0, s.Title[5]);
}

TEST(ToolSettingFile, NotRegisteredReadsAllZero) {
    FakeProfile p;
    FillFull(p, "Tool1", "0");
    const char* missing[] = {"Tool1", "Tool4"};
    for (const char* section : missing) {
        ToolSetting s;
        std::memset(&s, 0xCC, sizeof s);
        EXPECT_EQ(0, ReadToolSetting(p, section, &s)) << section;
        EXPECT_TRUE(IsAllZero(s)) << section;
    }
}

TEST(ToolSettingFile, MissingKeysTakeDefaults) {
    FakeProfile p;
    p.Set("Tool1", "IsEnable", "1");
    ToolSetting s;
    ASSERT_EQ(1, ReadToolSetting(p, "Tool1", &s));
    ToolSetting expected = {};
    expected.IsEnable = 1;
    expected.ShowWindow = 1;
    EXPECT_EQ(0, std::memcmp(&expected, &s, sizeof s));
    EXPECT_EQ("&1:「」の実行", ToolMenuText(1, s));
}

TEST(ToolSettingFile, LongValuesAreCut) {
    FakeProfile p;
    p.Set("Tool1", "IsEnable", "1");
    p.Set("Tool1", "Title", std::string(300, 'a'));
    p.Set("Tool1", "WorkFolder", std::string(260, 'w'));
    // Only eleven characters are read: the twelfth digit is never seen.
    p.Set("Tool1", "ArgvFlag", "0x000000001f");
    ToolSetting s;
    ASSERT_EQ(1, ReadToolSetting(p, "Tool1", &s));
    EXPECT_EQ(std::string(259, 'a'), s.Title);
    EXPECT_EQ(std::string(259, 'w'), s.WorkFolder);
    EXPECT_EQ(1u, s.ArgvFlag);
}

TEST(ToolSettingFile, SaveWritesNineKeysInOrder) {
    FakeProfile p;
    ToolSetting s = {};
    SetField(s.Title, "T");
    SetField(s.Command, "c.exe");
    SetField(s.Argv, "$(MAC)");
    SetField(s.WorkFolder, "W");
    s.ExecStyle = -1;
    s.Timeout = 3000000000u;
    s.ShowWindow = 0;
    WriteToolSetting(p, "Tool3", s);
    const std::vector<std::string> expected = {
        "Tool3:IsEnable=1",  "Tool3:Title=T",          "Tool3:ExecStyle=-1",
        "Tool3:Command=c.exe", "Tool3:Argv=$(MAC)",    "Tool3:ArgvFlag=0x00000000",
        "Tool3:WorkFolder=W", "Tool3:Timeout=3000000000", "Tool3:ShowWindow=0",
    };
    EXPECT_EQ(expected, p.writes);

    s.ArgvFlag = 0xDEADBEEF;
    p.writes.clear();
    WriteToolSetting(p, "Tool3", s);
    EXPECT_EQ("Tool3:ArgvFlag=0xdeadbeef", p.writes[5]);

    ToolSetting back;
    ASSERT_EQ(1, ReadToolSetting(p, "Tool3", &back));
    EXPECT_EQ(0xDEADBEEFu, back.ArgvFlag);
    EXPECT_STREQ("$(MAC)", back.Argv);
}

TEST(ToolSettingFile, TextsWithQuotesAndBlanksReadBackByteForByte) {
    // The command as the "参照..." button writes it, arguments and titles
    // with quotes of either kind, blanks at either end, and values the
    // reader leaves alone that must stay unwrapped.
    const struct { std::string text; std::string stored; } cases[] = {
        {"\"C:\\Program Files\\a.exe\"", "\"\"C:\\Program Files\\a.exe\"\""},
        {"\"a b\" -x \"c d\"", "\"\"a b\" -x \"c d\"\""},
        {"'single'", "\"'single'\""},
        {"\"\"", "\"\"\"\""},
        {" padded ", "\" padded \""},
        {"\ttab", "\"\ttab\""},
        {"\"open only", "\"open only"},
        {"close only\"", "close only\""},
        {"\"mixed'", "\"mixed'"},
        {"\"", "\""},
        {"plain text", "plain text"},
        {"\x83\x5c\"\x83\x5c\"", "\x83\x5c\"\x83\x5c\""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.stored, ProfileTextValue(c.text)) << c.text;
        FakeProfile p;
        ToolSetting s = {};
        SetField(s.Title, c.text);
        SetField(s.Command, c.text);
        SetField(s.Argv, c.text);
        SetField(s.WorkFolder, c.text);
        ASSERT_TRUE(WriteToolSetting(p, "Tool1", s));
        ToolSetting back;
        ASSERT_EQ(1, ReadToolSetting(p, "Tool1", &back));
        EXPECT_EQ(c.text, back.Title) << c.text;
        EXPECT_EQ(c.text, back.Command) << c.text;
        EXPECT_EQ(c.text, back.Argv) << c.text;
        EXPECT_EQ(c.text, back.WorkFolder) << c.text;
    }
    // A quoted value that fills its field still comes back whole, and a
    // value a hand-edited file quoted once reads without its quotes.
    const std::string full = "\"" + std::string(257, 'q') + "\"";
    FakeProfile p;
    ToolSetting s = {};
    SetField(s.Command, full);
    ASSERT_TRUE(WriteToolSetting(p, "Tool2", s));
    p.Set("Tool2", "Argv", "\"once\"");
    ToolSetting back;
    ASSERT_EQ(1, ReadToolSetting(p, "Tool2", &back));
    EXPECT_EQ(full, back.Command);
    EXPECT_STREQ("once", back.Argv);
}

TEST(ToolSettingFile, LongValuesAreCutAtACharacterBoundary) {
    FakeProfile p;
    p.Set("Tool1", "IsEnable", "1");
    // 258 single bytes, then "ア" in two bytes: 260 in all, one too many.
    p.Set("Tool1", "Title", std::string(258, 'a') + "\x83\x41");
    ToolSetting s;
    ASSERT_EQ(1, ReadToolSetting(p, "Tool1", &s));
    EXPECT_EQ(std::string(258, 'a'), s.Title);
}

TEST(ToolSettingFile, DeleteWritesOnlyIsEnable) {
    FakeProfile p;
    FillFull(p, "Tool3", "1");
    WriteToolDeleted(p, "Tool3");
    EXPECT_EQ(std::vector<std::string>{"Tool3:IsEnable=0"}, p.writes);
    EXPECT_EQ("Ping", (p.values[{"Tool3", "Title"}]));
    ToolSetting s;
    EXPECT_EQ(0, ReadToolSetting(p, "Tool3", &s));
}

TEST(ToolSettingFile, FailedWritesAreReported) {
    FakeProfile p;
    ToolSetting s = {};
    EXPECT_TRUE(WriteToolSetting(p, "Tool1", s));
    EXPECT_TRUE(WriteToolDeleted(p, "Tool1"));
    p.failWrites = true;
    EXPECT_FALSE(WriteToolSetting(p, "Tool1", s));
    EXPECT_FALSE(WriteToolDeleted(p, "Tool1"));
}

TEST(DataPath, JoinsFolderAndName) {
    const std::string at260(260, 'd');
    const struct { std::string folder; std::string path; } cases[] = {
        {"C:\\Users\\a\\Morrowbel", "C:\\Users\\a\\Morrowbel\\Tools.ini"},
        {"C:\\Users\\a\\Morrowbel\\", "C:\\Users\\a\\Morrowbel\\Tools.ini"},
        {".\\", ".\\Tools.ini"},
        // ソ ends in byte 0x5C but is no backslash.
        {"C:\\\x83\x5c", "C:\\\x83\x5c\\Tools.ini"},
        {"C:\\\x83\x5c\\", "C:\\\x83\x5c\\Tools.ini"},
        {"", ""},
        // Too long a folder, or a joined path that would not fit 260.
        {at260, ""},
        {std::string(261, 'd'), ""},
        {std::string(250, 'd'), std::string(250, 'd') + "\\Tools.ini"},
        {std::string(251, 'd'), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.path, ToolSettingsPath(c.folder)) << c.folder;
}

TEST(DataPath, NextVersionIsAsLongAsThePathItReplaces) {
    const struct { std::string path; std::string next; } cases[] = {
        {"C:\\Users\\a\\Morrowbel\\Ent.dat", "C:\\Users\\a\\Morrowbel\\Ent.new"},
        {"C:\\Users\\a\\Morrowbel\\Tools.ini", "C:\\Users\\a\\Morrowbel\\Tools.new"},
        {".\\Morrowbel\\Ent.dat", ".\\Morrowbel\\Ent.new"},
        {std::string(251, 'd') + "\\Ent.dat", std::string(251, 'd') + "\\Ent.new"},
        // No three-letter extension of the file's own.
        {"C:\\a.dir\\Ent", ""},
        {"C:\\Morrowbel\\Ent.data", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.next, NextVersionPath(c.path)) << c.path;
        if (!c.next.empty()) EXPECT_EQ(c.next.size(), c.path.size());
    }
}
