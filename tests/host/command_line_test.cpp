#include <gtest/gtest.h>

#include <string>

#include "wake/CommandLine.h"

namespace {

struct Case {
    const char* label;
    std::string text;
    bool found;
    int command;
    std::string name;
};

TEST(CommandLine, FirstKnownOptionAndItsName) {
    const std::string longName(200, 'N');
    // 126 single bytes and then a double-byte character: taking it would make
    // 128 bytes, so the cut falls before it.
    const std::string straddling = std::string(126, 'a') + "\x83\x5C" + "tail";
    const Case cases[] = {
        {"no arguments", "", false, 0, ""},
        {"wake all", "/w", true, 40006, ""},
        {"plus and capital, two spaces: empty name", "+W  PC1", true, 40006, ""},
        {"name attached", "/wPC1", true, 40033, "PC1"},
        {"name after one space", "/w PC1", true, 40033, "PC1"},
        {"name ends at the next space", "/w PC1 PC2", true, 40033, "PC1"},
        {"quoted name with a space", "/w \"My PC\"", true, 40033, "My PC"},
        {"unterminated quote runs to the end", "/w \"My PC", true, 40033, "My PC"},
        {"unknown option skipped", "/x /t2 PC1", true, 40015, "PC1"},
        {"tool 6 is no option", "/t6", false, 0, ""},
        {"tool 6 then wake", "/t6 /w", true, 40006, ""},
        {"capital T, attached name", "/T5name", true, 40018, "name"},
        {"tool 1 without a name", "+t1", true, 40014, ""},
        {"text before the option", "junk /wA", true, 40033, "A"},
        {"lone slash at the end", "/", false, 0, ""},
        {"only the first option counts", "/t3 A /w B", true, 40016, "A"},
        {"double-byte name", "/w \x83\x5C\x83\x74\x83\x67", true, 40033, "\x83\x5C\x83\x74\x83\x67"},
        {"200-byte name cut to 127", "/w " + longName, true, 40033, longName.substr(0, 127)},
        {"cut never splits a double-byte character", "/w" + straddling, true, 40033, std::string(126, 'a')},
    };
    for (const Case& c : cases) {
        CommandLineRequest r = ParseCommandLine(c.text.c_str());
        EXPECT_EQ(c.found, r.found) << c.label;
        EXPECT_EQ(c.command, r.command) << c.label;
        EXPECT_EQ(c.name, r.name) << c.label;
        EXPECT_LE(r.name.size(), kCommandLineNameMax) << c.label;
    }
}

TEST(CommandLine, ToolNumberAndWakeFlag) {
    CommandLineRequest tool = ParseCommandLine("/t4 PC1");
    EXPECT_FALSE(tool.wake);
    EXPECT_EQ(4, tool.tool);
    CommandLineRequest wake = ParseCommandLine("+w");
    EXPECT_TRUE(wake.wake);
    EXPECT_EQ(0, wake.tool);
    EXPECT_FALSE(ParseCommandLine(nullptr).found);
}

}  // namespace

TEST(CommandLine, BrokenDoubleByteTextStillEndsTheNameAtASpace) {
    // 0xE1 is a lead byte, but a space is no trail byte: the name is "\xE1".
    CommandLineRequest r = ParseCommandLine("/x /t2\xE1 PC1");
    EXPECT_EQ(40015, r.command);
    EXPECT_EQ("\xE1", r.name);
}

TEST(CommandLine, WaitOption) {
    const struct {
        const char* text;
        int command;
        const char* name;
        bool wait;
        uint32_t seconds;
        bool invalid;
    } cases[] = {
        {"/w", 40006, "", false, 0, false},
        {"/w PC1", 40033, "PC1", false, 0, false},
        {"/w PC1 /wait", 40033, "PC1", true, 300, false},
        {"/w /wait", 40006, "", true, 300, false},
        {"/wait /w", 40006, "", true, 300, false},
        {"+W PC1 +WAIT:60", 40033, "PC1", true, 60, false},
        {"/w PC1 /Wait:1", 40033, "PC1", true, 1, false},
        {"/w PC1 /wait:3600", 40033, "PC1", true, 3600, false},
        {"/w PC1 /wait:0", 40033, "PC1", true, 0, true},
        {"/w PC1 /wait:3601", 40033, "PC1", true, 0, true},
        {"/w PC1 /wait:99999999999", 40033, "PC1", true, 0, true},
        {"/w PC1 /wait:", 40033, "PC1", true, 0, true},
        {"/w PC1 /wait:1m", 40033, "PC1", true, 0, true},
        {"/w \"My PC\" /wait:10", 40033, "My PC", true, 10, false},
        // Without a space before it, or with more letters, it is no wait option.
        {"/waitress", 40033, "aitress", false, 0, false},
        {"/w PC1/wait", 40033, "PC1/wait", false, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CommandLineRequest r = ParseCommandLine(c.text);
        EXPECT_TRUE(r.found);
        EXPECT_EQ(c.command, r.command);
        EXPECT_EQ(c.name, r.name);
        EXPECT_EQ(c.wait, r.wait);
        EXPECT_EQ(c.seconds, r.waitSeconds);
        EXPECT_EQ(c.invalid, r.waitInvalid);
    }
    EXPECT_FALSE(ParseCommandLine("/wait").found) << "waiting alone wakes nothing";
    EXPECT_FALSE(ParseCommandLine("/t1 PC1 /wait").wait) << "only a wake waits";
}

// A typo after /w must not wake the whole list, and a quoted name is a name
// whatever its first character.
TEST(CommandLine, WordsAfterTheWakeOption) {
    const struct {
        const char* text;
        int command;
        const char* name;
        const char* unknown;
        bool wait;
    } cases[] = {
        {"/w /wiat", 40006, "", "/wiat", false},
        {"/w /x", 40006, "", "/x", false},
        {"/w +t1", 40006, "", "+t1", false},
        {"/w PC1 /wait /x", 40033, "PC1", "/x", true},
        {"/w PC1 /wait:30 +", 40033, "PC1", "+", true},
        {"/w \"/srv\"", 40033, "/srv", "", false},
        {"/w \"+srv\" /wait:5", 40033, "+srv", "", true},
        {"/w\"/srv\"", 40033, "/srv", "", false},
        {"/w \"My /wait PC\"", 40033, "My /wait PC", "", false},
        {"/w \"a\" \"/b\"", 40033, "a", "", false},
        {"/w PC1 PC2", 40033, "PC1", "", false},
        {"/w PC1 /wait", 40033, "PC1", "", true},
        {"/x /w PC1", 40033, "PC1", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CommandLineRequest r = ParseCommandLine(c.text);
        EXPECT_TRUE(r.found);
        EXPECT_EQ(c.command, r.command);
        EXPECT_EQ(c.name, r.name);
        EXPECT_EQ(c.unknown, r.unknownOption);
        EXPECT_EQ(c.wait, r.wait);
    }
    const std::string longWord = "/w /" + std::string(200, 'x');
    EXPECT_EQ(64u, ParseCommandLine(longWord.c_str()).unknownOption.size());
    EXPECT_EQ("", ParseCommandLine("/t1 PC1 /x").unknownOption) << "tools keep skipping";
}
