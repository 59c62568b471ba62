#include <gtest/gtest.h>
#include <cstring>
#include "entries/WakeEntry.h"
#include "entries/WakeListColumns.h"

namespace {
WakeEntry SampleEntry() {
    WakeEntry e;
    std::memset(&e, 0, sizeof e);
    std::strcpy(e.name, "事務所PC");
    const uint8_t ip[4] = {192, 168, 1, 7}, mask[4] = {255, 255, 255, 0};
    const uint8_t mac[6] = {0x00, 0x1a, 0x2B, 0xc3, 0xD4, 0xff};
    std::memcpy(e.ipAddress, ip, 4);
    std::memcpy(e.subnetMask, mask, 4);
    std::memcpy(e.macAddress, mac, 6);
    std::strcpy(e.hostName, "OFFICE-01");
    std::strcpy(e.place, "２階");
    std::strcpy(e.comment, "ソフト開発");
    e.port = -9;
    e.updatedTime = {2024, 3, 2, 5, 7, 8, 9, 0};
    return e;
}
}  // namespace

TEST(WakeListColumns, CellTextsOfEveryColumn) {
    WakeEntry e = SampleEntry();
    const char* expected[kWakeListColumns] = {
        "事務所PC", "192.168.1.7", "255.255.255.0", "00-1A-2B-C3-D4-FF", "OFFICE-01", "２階",
        "ソフト開発", "-9", "0000/00/00 00:00:00", "2024/03/05 07:08:09", "0000/00/00 00:00:00",
        ""};  // the status is the checks', never the entry's
    for (int c = 0; c < kWakeListColumns; ++c) EXPECT_EQ(expected[c], WakeListCellText(e, c)) << "column " << c;
    EXPECT_EQ("", WakeListCellText(e, kWakeListColumns));
}

TEST(WakeListColumns, UnterminatedFieldsStopAtTheirWidth) {
    WakeEntry e = SampleEntry();
    std::memset(e.name, 'N', sizeof e.name);
    std::memset(e.comment, 'C', sizeof e.comment);
    EXPECT_EQ(std::string(128, 'N'), WakeListCellText(e, 0));
    EXPECT_EQ(std::string(256, 'C'), WakeListCellText(e, 6));
}

TEST(WakeListColumns, HeadersAndAlignment) {
    EXPECT_STREQ("名前", kWakeListColumnTable[0].header);
    EXPECT_STREQ("登録日時", kWakeListColumnTable[10].header);
    EXPECT_STREQ("状態", kWakeListColumnTable[11].header);
    EXPECT_EQ(12, kWakeListColumns);
    for (int c = 0; c < kWakeListColumns; ++c)
        EXPECT_EQ(c >= 7 && c < kWakeListEntryColumns, kWakeListColumnTable[c].rightAligned) << c;
}
