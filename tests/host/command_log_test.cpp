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
