#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "entries/EntryFields.h"
#include "net/Neighbour.h"

TEST(EntryFields, MacBoxes) {
    struct Case { const char* box; uint8_t octet; };
    const Case cases[] = {
        {"0a", 0x0A}, {"FF", 0xFF}, {"", 0x00}, {"G", 0x00}, {"1G", 0x01}, {"7", 0x07},
        {"fF", 0xFF}, {" 1", 0x00}, {"123", 0x12}, {"-1", 0x00},
    };
    for (const Case& c : cases) EXPECT_EQ(c.octet, ParseMacBox(c.box)) << '"' << c.box << '"';
    EXPECT_EQ(0, ParseMacBox(nullptr));
    EXPECT_EQ("0A", MacBoxText(0x0A));
    EXPECT_EQ("FF", MacBoxText(0xFF));
    EXPECT_EQ("00", MacBoxText(0));
}

TEST(EntryFields, PortBox) {
    struct Case { const char* box; int32_t port; };
    const Case cases[] = {
        {"2034", 2034}, {"0", 0}, {"9", 9}, {"65535", 65535}, {"65536", 65536}, {"100000", 100000},
        {"4294967295", -1}, {"4294967296", 0}, {"99999999999999999999", 0},
        {"", 0}, {"abc", 0}, {"12ab", 0}, {"-5", 0}, {" 42 ", 42}, {"007", 7},
    };
    for (const Case& c : cases) EXPECT_EQ(c.port, ParsePortBox(c.box)) << '"' << c.box << '"';
    EXPECT_EQ(0, ParsePortBox(nullptr));
    EXPECT_EQ("2034", PortBoxText(2034));
    EXPECT_EQ("4294967287", PortBoxText(-9));
    for (int32_t port : {0, 7, 65535, 70000, -1}) EXPECT_EQ(port, ParsePortBox(PortBoxText(port).c_str()));
}

TEST(EntryFields, AddressPacking) {
    const uint8_t octets[4] = {192, 168, 1, 7};
    EXPECT_EQ(0xC0A80107u, AddressControlValue(octets));
    uint8_t back[4] = {1, 1, 1, 1};
    PackAddress(0xC0A80107u, back);
    EXPECT_EQ(0, std::memcmp(octets, back, 4));
    PackAddress(0, back);
    EXPECT_TRUE(IsBlankAddress(back));
    const uint8_t lastOnly[4] = {0, 0, 0, 1};
    EXPECT_FALSE(IsBlankAddress(lastOnly));
    EXPECT_EQ(1u, AddressControlValue(lastOnly));
}

TEST(EntryFields, TimeText) {
    DateTime t = {2024, 3, 2, 5, 7, 8, 9, 123};
    EXPECT_EQ("2024/03/05 07:08:09", EntryTimeText(t));
    EXPECT_EQ("(未設定)", EntryTimeText(DateTime{}));
    // Only the year decides: a stamp without one was never set.
    t.year = 0;
    EXPECT_EQ("(未設定)", EntryTimeText(t));
}

TEST(EntryFields, FitTextNeverSplitsACharacter) {
    EXPECT_EQ("abc", FitText("abc", 3));
    EXPECT_EQ("ab", FitText("abc", 2));
    // "ア" is 83 41 in code page 932: a cut after its lead byte drops it whole.
    EXPECT_EQ("a", FitText("aア", 2));
    EXPECT_EQ("aア", FitText("aアb", 3));
    EXPECT_EQ(std::string(126, 'x'), FitText(std::string(126, 'x') + "ソソ", 127));
}

namespace {
WakeEntry Stored() {
    WakeEntry e;
    InitNewEntry(e);
    e.id = 5;
    std::memset(e.reserved, 0xEE, sizeof e.reserved);
    std::strcpy(e.place, "倉庫");
    std::strcpy(e.comment, "old");
    e.lastSentTime = {2023, 1, 0, 1, 2, 3, 4, 0};
    e.registeredTime = {2022, 1, 0, 1, 2, 3, 4, 0};
    return e;
}
}  // namespace

TEST(EntryFields, ApplyDestinationWritesItsFieldsOnly) {
    WakeEntry e = Stored();
    const WakeEntry before = e;
    DestinationBoxes boxes;
    boxes.name = "サーバ室";
    boxes.ipAddress = 0x0A4D0001;
    boxes.subnetMask = 0xFFFFFF00;
    boxes.port = "70000";
    const char* mac[6] = {"0a", "FF", "", "G", "1G", "7"};
    for (int i = 0; i < 6; ++i) boxes.mac[i] = mac[i];
    boxes.hostName = "peerhost.test";
    boxes.excluded = true;
    ApplyDestination(boxes, e);

    EXPECT_STREQ("サーバ室", e.name);
    const uint8_t ip[4] = {10, 77, 0, 1}, mask[4] = {255, 255, 255, 0};
    const uint8_t macBytes[6] = {0x0A, 0xFF, 0x00, 0x00, 0x01, 0x07};
    EXPECT_EQ(0, std::memcmp(ip, e.ipAddress, 4));
    EXPECT_EQ(0, std::memcmp(mask, e.subnetMask, 4));
    EXPECT_EQ(0, std::memcmp(macBytes, e.macAddress, 6));
    EXPECT_EQ(70000, e.port);
    EXPECT_STREQ("peerhost.test", e.hostName);
    EXPECT_EQ(1, e.excluded);
    // Id, reserved bytes, place, comment and times belong to others.
    EXPECT_EQ(before.id, e.id);
    EXPECT_EQ(0, std::memcmp(before.reserved, e.reserved, sizeof e.reserved));
    EXPECT_EQ(0, std::memcmp(&before.place, &e.place, offsetof(WakeEntry, excluded) - offsetof(WakeEntry, place)));

    boxes = DestinationBoxes();
    ApplyDestination(boxes, e);
    EXPECT_STREQ("", e.name);
    EXPECT_TRUE(IsBlankAddress(e.ipAddress));
    EXPECT_EQ(0, e.port);
    EXPECT_EQ(0, e.excluded);
}

TEST(EntryFields, ApplyCutsOverlongTextsAtTheirFields) {
    WakeEntry e = Stored();
    DestinationBoxes boxes;
    boxes.name = std::string(300, 'n');
    boxes.hostName = std::string(300, 'h');
    ApplyDestination(boxes, e);
    EXPECT_EQ(std::string(127, 'n'), EntryName(e));
    EXPECT_EQ('\0', e.name[127]);
    EXPECT_EQ(std::string(255, 'h'), EntryHostName(e));
    ApplyDetails(std::string(256, 'p'), "1行目\r\n2行目", e);
    EXPECT_EQ(std::string(255, 'p'), EntryPlace(e));
    EXPECT_EQ("1行目\r\n2行目", EntryComment(e));
    EXPECT_EQ(2023, e.lastSentTime.year);
}

TEST(EntryFields, NeighbourTable) {
    const uint32_t peer = 0x01004D0A;  // 10.77.0.1 as it lies in memory
    auto row = [](uint32_t address, uint32_t type, uint32_t length, uint8_t first) {
        NeighbourRow r = {address, type, length, {first, 0x11, 0x22, 0x33, 0x44, 0x55, 0, 0}};
        return r;
    };
    struct Case { const char* name; std::vector<NeighbourRow> rows; bool found; uint8_t first; };
    const Case cases[] = {
        {"dynamic", {row(peer, 3, 6, 0xAA)}, true, 0xAA},
        {"static", {row(peer, 4, 6, 0xAB)}, true, 0xAB},
        {"other address only", {row(peer + 1, 3, 6, 0xAA)}, false, 0},
        {"invalid entry", {row(peer, 2, 6, 0xAA)}, false, 0},
        {"unresolved, no bytes", {row(peer, 3, 0, 0xAA)}, false, 0},
        {"unresolved, zero bytes", {NeighbourRow{peer, 3, 6, {}}}, false, 0},
        {"skips a stale row", {row(peer, 2, 6, 0xAA), row(peer, 3, 6, 0xBB)}, true, 0xBB},
        {"empty table", {}, false, 0},
    };
    for (const Case& c : cases) {
        uint8_t mac[6] = {};
        EXPECT_EQ(c.found, FindNeighbourMac(c.rows, peer, mac)) << c.name;
        if (c.found) {
            const uint8_t want[6] = {c.first, 0x11, 0x22, 0x33, 0x44, 0x55};
            EXPECT_EQ(0, std::memcmp(want, mac, 6)) << c.name;
        }
    }
}
