#include <gtest/gtest.h>
#include <string>
#include "tools/ToolsDialogText.h"

TEST(ToolsDialogText, ListMappings) {
    const struct { int item; int32_t style; } styles[] = {{-1, 0}, {0, 0}, {1, 1}, {2, 2}, {3, 0}};
    for (const auto& c : styles) EXPECT_EQ(c.style, ExecStyleFromListItem(c.item)) << c.item;
    const struct { int32_t style; int item; } styleItems[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {-1, 0}};
    for (const auto& c : styleItems) EXPECT_EQ(c.item, ListItemFromExecStyle(c.style)) << c.style;

    // Normal, minimized, maximized, hidden.
    const struct { int item; uint32_t show; } shows[] = {{-1, 1}, {0, 1}, {1, 6}, {2, 3}, {3, 0}, {4, 1}};
    for (const auto& c : shows) EXPECT_EQ(c.show, ShowWindowFromListItem(c.item)) << c.item;
    const struct { uint32_t show; int item; } showItems[] = {{0, 3}, {1, 0}, {3, 2}, {5, 0}, {6, 1}, {7, 0}};
    for (const auto& c : showItems) EXPECT_EQ(c.item, ListItemFromShowWindow(c.show)) << c.show;
}

TEST(ToolsDialogText, TimeoutText) {
    const struct { const char* text; uint32_t ms; } cases[] = {
        {"", 0}, {"0", 0}, {"99", 99}, {"100", 100}, {" 5000 ", 5000}, {"4294967295", 4294967295u},
        {"4294967296", 0}, {"99999999999999999999", 0}, {"12a", 0}, {"-5", 0}, {"1 2", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.ms, ParseTimeoutText(c.text)) << c.text;
    EXPECT_TRUE(TimeoutNeedsConfirmation(0));
    EXPECT_TRUE(TimeoutNeedsConfirmation(99));
    EXPECT_FALSE(TimeoutNeedsConfirmation(100));
}

TEST(ToolsDialogText, CutNeverSplitsADoubleByteCharacter) {
    EXPECT_EQ("abc", CutAtCharBoundary("abc", 3));
    EXPECT_EQ("ab", CutAtCharBoundary("abc", 2));
    // "aソ" is 61 83 5C: two bytes would end inside ソ.
    EXPECT_EQ("a", CutAtCharBoundary("aソ", 2));
    EXPECT_EQ("aソ", CutAtCharBoundary("aソb", 3));
    const std::string wide(300, '\x82');  // lead bytes only: pairs of them
    EXPECT_EQ(258u, CutAtCharBoundary(wide, 259).size());
}

TEST(ToolsDialogText, PlaceholdersJoinAtTheVeryEnd) {
    std::string joined;
    ASSERT_TRUE(AppendToArgv("-n 1 host", PlaceholderForCommand(40024), &joined));
    EXPECT_EQ("-n 1 host$(IP)", joined);  // no space added
    ASSERT_TRUE(AppendToArgv("", PlaceholderForCommand(40031), &joined));
    EXPECT_EQ("$(INPUT)", joined);
    EXPECT_STREQ("$(MASK)", PlaceholderForCommand(40025));
    EXPECT_STREQ("$(MAC)", PlaceholderForCommand(40026));
    EXPECT_STREQ("$(HOST)", PlaceholderForCommand(40027));
    EXPECT_EQ(nullptr, PlaceholderForCommand(40036));

    // An insertion may fill the field the file keeps, never more: what does
    // not fit leaves the text as it was, so nothing is cut at the save.
    const std::string room(kToolTextMax - 8, 'x');
    ASSERT_TRUE(AppendToArgv(room, "$(INPUT)", &joined));
    EXPECT_EQ(room + "$(INPUT)", joined);
    EXPECT_EQ(kToolTextMax, joined.size());
    joined = "unchanged";
    EXPECT_FALSE(AppendToArgv(room + "x", "$(INPUT)", &joined));
    EXPECT_EQ("unchanged", joined);
    EXPECT_FALSE(AppendToArgv(room, QuotedPath("C:\\Tools\\a.exe"), &joined));
    EXPECT_EQ("unchanged", joined);
    ASSERT_TRUE(AppendToArgv("-f ", QuotedPath("C:\\My Tools\\a b.txt"), &joined));
    EXPECT_EQ("-f \"C:\\My Tools\\a b.txt\"", joined);
}

TEST(ToolsDialogText, FolderForBrowsingDropsOneTrailingBackslash) {
    const struct { const char* folder; const char* expected; } cases[] = {
        {"C:\\Work\\", "C:\\Work"}, {"C:\\Work", "C:\\Work"}, {"C:\\Work\\\\", "C:\\Work\\"},
        {"C:\\ソ", "C:\\ソ"},  // its trail byte is 0x5C, no backslash
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, FolderForBrowsing(c.folder)) << c.folder;
}

TEST(ToolsDialogText, BrowsedCommandWithABlankIsQuotedAndUnquotedForTheNextBrowse) {
    const struct { const char* path; const char* command; } cases[] = {
        {"C:\\Tools\\ping.exe", "C:\\Tools\\ping.exe"},
        {"C:\\Program Files\\a.exe", "\"C:\\Program Files\\a.exe\""},
        {"C:\\Tab\there\\a.exe", "\"C:\\Tab\there\\a.exe\""},
        // ソ's trail byte is 0x5C, no blank: left alone.
        {"C:\\ソフト\\a.exe", "C:\\ソフト\\a.exe"},
        {"C:\\ソフト 2\\a.exe", "\"C:\\ソフト 2\\a.exe\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.command, CommandForBrowsedPath(c.path)) << c.path;
        EXPECT_EQ(c.path, BrowsedPathForCommand(CommandForBrowsedPath(c.path))) << c.path;
    }
    // A command typed with quotes of its own inside stays as typed.
    EXPECT_EQ("\"C:\\a b\\x.exe\" -q", BrowsedPathForCommand("\"C:\\a b\\x.exe\" -q"));
}
