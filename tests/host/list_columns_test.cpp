// The column order and widths as Nodelark.ini keeps them: what a start
// accepts, and that a damaged line leaves the list as made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/ListColumns.h"

TEST(ListColumns, OrderIsAcceptedOnlyWhenItNamesEveryColumnOnce) {
    const struct {
        const char* text;
        int count;
        std::vector<int> expected;
    } cases[] = {
        {"0,1,2", 3, {0, 1, 2}},
        {"11,0,1,2,3,4,5,6,7,8,9,10", 12, {11, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"1,0", 2, {1, 0}},
        {"", 2, {}},
        {"0,1", 3, {}},           // too few
        {"0,1,2,3", 3, {}},       // too many
        {"0,0,1", 3, {}},         // one twice
        {"0,1,3", 3, {}},         // no such column
        {"0,-1,2", 3, {}},        // a sign
        {"0, 1,2", 3, {}},        // a blank
        {"0,1,2,", 3, {}},        // a trailing comma
        {"0,,1", 3, {}},          // an empty field
        {"0,1,x", 3, {}},         // not a number
        {"0,1,999999", 3, {}},    // too long to be a column
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.expected, ParseColumnOrder(c.text, c.count));
    }
}

TEST(ListColumns, WidthsAreAcceptedOnlyWhenThereIsOneSaneWidthPerColumn) {
    const struct {
        const char* text;
        int count;
        std::vector<int> expected;
    } cases[] = {
        {"100,700", 2, {100, 700}},
        {"0,4096", 2, {0, kListColumnWidthMax}},
        {"100,4097", 2, {}},
        {"100", 2, {}},
        {"100,200,300", 2, {}},
        {"100,-5", 2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.expected, ParseColumnWidths(c.text, c.count));
    }
    const std::vector<int> order = {2, 0, 1};
    EXPECT_EQ("2,0,1", JoinColumnNumbers(order));
    EXPECT_EQ(order, ParseColumnOrder(JoinColumnNumbers(order), 3)) << "what is written is read back";
}
