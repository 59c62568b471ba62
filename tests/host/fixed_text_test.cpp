#include <gtest/gtest.h>
#include <cstring>
#include "common/FixedText.h"

TEST(FixedText, LengthStopsAtTerminatorOrWidth) {
    char terminated[8] = {'a', 'b', 0, 'x', 'y', 0, 0, 0};
    char full[4] = {'a', 'b', 'c', 'd'};
    char empty[4] = {};
    EXPECT_EQ(2u, FieldLength(terminated));
    EXPECT_EQ(4u, FieldLength(full));
    EXPECT_EQ(std::string("abcd"), FieldText(full));
    EXPECT_EQ(0u, FieldLength(empty));
}

TEST(FixedText, SetFieldCutsAndZeroFills) {
    char field[5];
    std::memset(field, 'z', sizeof field);
    SetField(field, "abcdefg");
    EXPECT_EQ(0, std::memcmp(field, "abcd\0", 5));
    SetField(field, "x");
    EXPECT_EQ(0, std::memcmp(field, "x\0\0\0\0", 5));
    SetField(field, static_cast<const char*>(nullptr));
    EXPECT_EQ(0u, FieldLength(field));
}

#include "common/TextFormat.h"

TEST(TextFormat, FixedForms) {
    DateTime t = {2024, 3, 2, 5, 7, 8, 9, 123};
    EXPECT_EQ("2024/03/05 07:08:09", FormatDateTime(t));
    EXPECT_EQ("07:08:09", FormatClock(t));
    EXPECT_FALSE(IsNever(t));
    EXPECT_TRUE(IsNever(DateTime{}));
    const uint8_t ip[4] = {192, 168, 1, 255};
    EXPECT_EQ("192.168.1.255", FormatIPv4(ip));
    const uint8_t mac[6] = {0x00, 0x11, 0xAA, 0xbb, 0x0c, 0xFF};
    EXPECT_EQ("00-11-AA-BB-0C-FF", FormatMac(mac));
}
