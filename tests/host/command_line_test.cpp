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
