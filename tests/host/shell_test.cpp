#include <gtest/gtest.h>
#include "app/ShellText.h"
#include "entries/WakeListColumns.h"
#include "ui/StatusParts.h"

TEST(StatusParts, EdgesFromPercentages) {
    struct Case { int width; std::vector<int> percent; std::vector<int> fixed; std::vector<int> edges; };
    const Case cases[] = {
        {980, {40, 30, 20, 10}, {}, {392, 686, 882, 980}},
        {500, {100}, {}, {500}},
        {0, {40, 30, 20, 10}, {}, {0, 0, 0, 0}},
        // a fixed part takes its pixels first; the others share the rest
        {1000, {50, 50, 0}, {200, 0, 0}, {200, 600, 1000}},
        // the last part's percentage plays no part
        {100, {10, 90}, {}, {10, 100}},
        // truncation toward zero
        {333, {33, 67}, {}, {109, 333}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.edges, ComputePartEdges(c.width, c.percent, c.fixed)) << "width " << c.width;
    EXPECT_TRUE(ComputePartEdges(100, {}, {}).empty());
}

TEST(ShellText, ReadMeBesideProgram) {
    EXPECT_EQ("C:\\Apps\\Nodelark\\ReadMe.txt", ReadMePathFor("C:\\Apps\\Nodelark\\Nodelark.exe"));
    // "ソ" is 83 5C in code page 932: its trail byte is not a separator.
    EXPECT_EQ("C:\\ソフト\\ReadMe.txt", ReadMePathFor("C:\\ソフト\\Nodelark.exe"));
    EXPECT_EQ("C:\\表ソ\\ReadMe.txt", ReadMePathFor("C:\\表ソ\\x.exe"));
    EXPECT_EQ("Nodelark.exe\\ReadMe.txt", ReadMePathFor("Nodelark.exe"));
}

TEST(ShellText, CellTextOrder) {
    struct Case { const char* a; const char* b; int ascending; };
    const Case cases[] = {
        {"10", "9", -1},      // byte order, not numeric
        {"abc", "abc", 0},
        {"ab", "abc", -1},    // shorter first
        {"\x83\x41", "A", 1}, // unsigned bytes: double-byte text after ASCII
        {"10.0.0.2", "9.0.0.1", -1},
        {"", "", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.ascending, CompareCellTexts(c.a, c.b, true)) << c.a << " vs " << c.b;
        EXPECT_EQ(-c.ascending, CompareCellTexts(c.a, c.b, false)) << c.a << " vs " << c.b;
    }
}
