#include <gtest/gtest.h>
#include "log/CommandLogText.h"

TEST(CommandLogExport, LineFormAndCuts) {
    EXPECT_EQ("07:08:09 Nodelark 起動しました\r\n", FormatExportLine("07:08:09", "Nodelark 起動しました"));
    EXPECT_EQ("07:08:09 \r\n", FormatExportLine("07:08:09", ""));
    std::string longText(2000, 'x');
    EXPECT_EQ("t " + std::string(1023, 'x') + "\r\n", FormatExportLine("t", longText));
    EXPECT_EQ(std::string(63, '9') + " a\r\n", FormatExportLine(std::string(80, '9'), "a"));
}

TEST(CommandLogCap, KeepsAtMost6145Lines) {
    EXPECT_FALSE(CommandLogMustDropOldest(0));
    EXPECT_FALSE(CommandLogMustDropOldest(6144));  // 6144 + new = 6145
    EXPECT_TRUE(CommandLogMustDropOldest(6145));
}

TEST(CommandLogText, BatchDropsJustEnoughOldLines) {
    const struct { int lines, incoming, drop; } cases[] = {
        {0, 1, 0}, {6144, 1, 0}, {6145, 1, 1}, {6000, 200, 55}, {6145, 6145, 6145}, {10, 6145, 10}, {6145, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.drop, CommandLogRowsToDrop(c.lines, c.incoming)) << c.lines << " + " << c.incoming;
}
