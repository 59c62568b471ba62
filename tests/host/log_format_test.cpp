#include <gtest/gtest.h>
#include <string>
#include "log/LogFormat.h"

namespace {
const DateTime kMarch5 = {2024, 3, 2, 5, 7, 8, 9, 0};
const std::string kRule = "*" + std::string(60, '-') + "\r\n";
}

TEST(LogFormat, BannerIsFourCrLfLines) {
    EXPECT_EQ(kRule + "*\tNodelark\r\n*\t\x82\xa0\r\n" + kRule,
              FormatLogBanner("Nodelark", "\x82\xa0"));
    EXPECT_EQ(kRule + "*\t\r\n*\t\r\n" + kRule, FormatLogBanner(nullptr, nullptr));
}

TEST(LogFormat, LinesCarryPaddedTimeStamp) {
    EXPECT_EQ("2024/03/05 07:08:09 Nodelark 起動しました\r\n",
              FormatLogLine(kMarch5, "Nodelark 起動しました"));
    EXPECT_EQ("2024/03/05 07:08:09 x LastErrorCode=00000005\r\n", FormatLogErrorLine(kMarch5, "x", 5));
    // Codes with the top bit set stay positive decimals.
    EXPECT_EQ("2024/03/05 07:08:09 x LastErrorCode=2147942405\r\n",
              FormatLogErrorLine(kMarch5, "x", 0x80070005u));
    EXPECT_EQ("2024/03/05 07:08:09 x LastErrorCode=4294967295\r\n",
              FormatLogErrorLine(kMarch5, "x", 0xFFFFFFFFu));
}

TEST(LogFormat, TextIsWrittenWholeAndUnchanged) {
    std::string text(5000, 'a');
    text[1000] = '%';
    text[1001] = 's';
    text[2000] = '\t';
    text[3000] = '\x83';  // ソ: a lead byte followed by 0x5C
    text[3001] = '\x5c';
    std::string line = FormatLogLine(kMarch5, text);
    ASSERT_EQ(19u + 1 + text.size() + 2, line.size());
    EXPECT_EQ(text, line.substr(20, text.size()));
    EXPECT_EQ("\r\n", line.substr(line.size() - 2));

    std::string error = FormatLogErrorLine(kMarch5, text, 1);
    EXPECT_EQ(19u + 1 + text.size() + 1 + 22 + 2, error.size());
}

// A text holding a line break must not write a line of its own: every
// control character but the tab is written as an escape, in the file and
// on the Command Log alike.
TEST(LogFormat, ControlCharactersAreWrittenAsVisibleEscapes) {
    struct Case { std::string text; std::string shown; };
    const Case cases[] = {
        {"pc1\r\n2024/03/05 07:08:09 forged", "pc1<0x0D><0x0A>2024/03/05 07:08:09 forged"},
        {std::string("a\0b", 3), "a<0x00>b"},
        {"\x1b[31mred\x7f", "<0x1B>[31mred<0x7F>"},
        {"tab\tstays", "tab\tstays"},
        {"ソ表\x85\x5c", "ソ表\x85\x5c"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VisibleLogText(c.text), c.shown);
        EXPECT_EQ(FormatLogLine(kMarch5, c.text), "2024/03/05 07:08:09 " + c.shown + "\r\n");
        EXPECT_EQ(FormatLogErrorLine(kMarch5, c.text, 5), "2024/03/05 07:08:09 " + c.shown + " LastErrorCode=00000005\r\n");
    }
}

TEST(LogFormat, FilePathInDataFolder) {
    EXPECT_EQ("C:\\Data\\Morrowbel\\Nodelark.log", LogFilePath("C:\\Data\\Morrowbel"));
    EXPECT_EQ(".\\Nodelark.log", LogFilePath(".\\"));
    EXPECT_EQ("", LogFilePath(""));
}
