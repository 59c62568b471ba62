// Sizes drawn for 96 DPI at other display scales, the image set each scale
// takes, and column widths that keep their proportion in Nodelark.ini.
#include <gtest/gtest.h>

#include <vector>

#include "ui/DpiScale.h"
#include "ui/ListColumns.h"

TEST(DpiScale, SizesFollowTheDpiRoundedToTheNearestPixel) {
    const struct {
        int value, from, to, expected;
    } cases[] = {
        {100, 96, 96, 100},   {100, 96, 144, 150},  {100, 96, 192, 200}, {100, 96, 120, 125},
        {75, 96, 144, 113},   // 112.5 rounds up
        {150, 144, 96, 100},  {151, 144, 96, 101},  {0, 96, 192, 0},
        {-11, 96, 144, -17},  // a font height: negative, rounded away from zero as its magnitude
        {-11, 144, 96, -7},   {100, 0, 144, 100},   {100, 96, 0, 100},  // no DPI known: unchanged
        {4096, 96, 288, 12288},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, RescaleForDpi(c.value, c.from, c.to)) << c.value << " from " << c.from << " to " << c.to;
    EXPECT_EQ(24, ScaleToDpi(16, 144));
}

TEST(DpiScale, ImagesAreTheLargestSetNotAboveTheScale) {
    const struct {
        int dpi, scale;
    } cases[] = {{72, 100}, {96, 100}, {120, 100}, {143, 100}, {144, 150},
                 {168, 150}, {191, 150}, {192, 200}, {288, 200}, {0, 100}};
    for (const auto& c : cases) EXPECT_EQ(c.scale, ImageScaleForDpi(c.dpi)) << c.dpi;
}

TEST(DpiScale, ColumnWidthsKeepTheirProportionAcrossScales) {
    const std::vector<int> shown144 = {150, 180, 0, 301};
    const std::vector<int> stored = RescaleColumnWidths(shown144, 144, kBaseDpi);
    EXPECT_EQ((std::vector<int>{100, 120, 0, 201}), stored);
    // The same file read at 200 % and at 100 %.
    EXPECT_EQ((std::vector<int>{200, 240, 0, 402}), RescaleColumnWidths(stored, kBaseDpi, 192));
    EXPECT_EQ(stored, RescaleColumnWidths(stored, kBaseDpi, kBaseDpi));
    // Read back at the scale it was written at, a width moves by a pixel at most.
    const std::vector<int> again = RescaleColumnWidths(stored, kBaseDpi, 144);
    for (size_t i = 0; i < shown144.size(); ++i) EXPECT_NEAR(shown144[i], again[i], 1);
}
