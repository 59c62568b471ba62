#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/TextFormat.h"
#include "TestAdapters.h"
#include "net/MagicPacket.h"

namespace {

uint32_t Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return IPv4Value(a, b, c, d); }

const uint32_t kMask24 = Ip(255, 255, 255, 0);
const uint32_t kWireless = 71;

struct SubnetCase {
    const char* name;
    std::vector<TestAdapter> adapters;
    const char* address;
    const char* mask;
    const char* destination;
};

}  // namespace

TEST(WakeDestination, AdapterChoiceAndBroadcastAddress) {
    const SubnetCase cases[] = {
        {"no adapters", {}, "0.0.0.0", "0.0.0.0", "255.255.255.255"},
        {"one Ethernet /24", {{6, {Ip(192, 168, 1, 10)}, {kMask24}}},
         "192.168.1.10", "255.255.255.0", "192.168.1.255"},
        {"only a non-Ethernet adapter", {{kWireless, {Ip(192, 168, 1, 10)}, {kMask24}}},
         "0.0.0.0", "0.0.0.0", "255.255.255.255"},
        {"loopback and wireless are ignored",
         {{24, {Ip(127, 0, 0, 1)}, {Ip(255, 0, 0, 0)}},
          {6, {Ip(10, 77, 0, 2)}, {kMask24}},
          {kWireless, {Ip(172, 16, 5, 5)}, {Ip(255, 255, 0, 0)}}},
         "10.77.0.2", "255.255.255.0", "10.77.0.255"},
        {"two Ethernet: the last decides",
         {{6, {Ip(192, 168, 1, 10)}, {kMask24}},
          {6, {Ip(172, 16, 5, 5)}, {Ip(255, 255, 0, 0)}}},
         "172.16.5.5", "255.255.0.0", "172.16.255.255"},
        {"first address and mask of the adapter",
         {{6, {Ip(10, 1, 2, 3), Ip(192, 168, 7, 1)}, {Ip(255, 0, 0, 0), kMask24}}},
         "10.1.2.3", "255.0.0.0", "10.255.255.255"},
        {"Ethernet without address resets",
         {{6, {Ip(192, 168, 1, 10)}, {kMask24}}, {6, {}, {}}},
         "0.0.0.0", "0.0.0.0", "255.255.255.255"},
        {"a later Ethernet sets it again",
         {{6, {Ip(192, 168, 1, 10)}, {kMask24}}, {6, {}, {}},
          {6, {Ip(10, 0, 0, 9)}, {Ip(255, 255, 255, 252)}}},
         "10.0.0.9", "255.255.255.252", "10.0.0.11"},
        {"address without mask", {{6, {Ip(192, 168, 1, 10)}, {}}},
         "192.168.1.10", "0.0.0.0", "255.255.255.255"},
        {"/32 host mask", {{6, {Ip(192, 168, 1, 10)}, {Ip(255, 255, 255, 255)}}},
         "192.168.1.10", "255.255.255.255", "192.168.1.10"},
    };
    for (const SubnetCase& c : cases) {
        SCOPED_TRACE(c.name);
        LocalSubnet s = ChooseLocalSubnet(MakeInfo(c.adapters));
        EXPECT_EQ(c.address, FormatIPv4Value(s.address));
        EXPECT_EQ(c.mask, FormatIPv4Value(s.mask));
        EXPECT_EQ(c.destination, FormatIPv4Value(BroadcastDestination(s.address, s.mask)));
    }
}

TEST(WakeDestination, PortUsesLow16BitsAndDefaultsForZero) {
    const struct {
        uint32_t entryPort;
        uint16_t expected;
    } cases[] = {
        {0, 7}, {9, 9}, {7, 7}, {65535, 65535}, {65536 + 9, 9},
        {65536, 7},  // low bits 0: the default, never port 0
        {0xFFFFFFFFu, 65535},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entryPort);
        EXPECT_EQ(c.expected, DestinationPort(c.entryPort, kWakePort));
    }
}

TEST(MagicPacket, SixFFThenMacSixteenTimes) {
    const uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::string expected = "FFFFFFFFFFFF";
    for (int k = 0; k < 16; ++k) expected += "001122334455";

    MagicPacket p = BuildMagicPacket(mac);
    ASSERT_EQ(102u, p.size());
    std::string hex;
    char buf[3];
    for (uint8_t b : p) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        hex += buf;
    }
    EXPECT_EQ(expected, hex);
}

#include "entries/WakeEntry.h"
#include "wake/WakeRunText.h"

namespace {

WakeEntry TargetEntry() {
    WakeEntry e{};
    std::strcpy(e.name, "PC1");
    const uint8_t ip[4] = {10, 0, 0, 5}, mask[4] = {255, 255, 255, 0}, mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::memcpy(e.ipAddress, ip, 4);
    std::memcpy(e.subnetMask, mask, 4);
    std::memcpy(e.macAddress, mac, 6);
    return e;
}

TEST(WakeRunText, WhichEntriesAreSentTo) {
    struct Case { const char* label; void (*change)(WakeEntry&); bool target; };
    const Case cases[] = {
        {"complete", [](WakeEntry&) {}, true},
        {"no address", [](WakeEntry& e) { std::memset(e.ipAddress, 0, 4); }, false},
        {"no mask", [](WakeEntry& e) { std::memset(e.subnetMask, 0, 4); }, false},
        {"MAC all zero", [](WakeEntry& e) { std::memset(e.macAddress, 0, 6); }, false},
        {"one MAC octet is enough", [](WakeEntry& e) { std::memset(e.macAddress, 0, 5); }, true},
        {"excluded is still a target (it is shown, not sent)", [](WakeEntry& e) { e.excluded = 1; }, true},
    };
    for (const Case& c : cases) {
        WakeEntry e = TargetEntry();
        c.change(e);
        EXPECT_EQ(c.target, IsWakeTarget(e)) << c.label;
    }
}

TEST(WakeRunText, StatusAndLogTexts) {
    WakeEntry e = TargetEntry();
    EXPECT_EQ("00-11-22-33-44-55 は送信対象外です", ExcludedStatusText(e));
    EXPECT_EQ("00-11-22-33-44-55 にﾌﾞﾛｰﾄﾞｷｬｽﾄ送信", BroadcastStatusText(e));
    EXPECT_EQ("[PC1(10.0.0.5)]への送信成功の通知", WakeSuccessText(e));
    // A name that fills its field without a terminator is read at its width.
    std::memset(e.name, 'N', sizeof e.name);
    EXPECT_EQ("[" + std::string(128, 'N') + "(10.0.0.5)]への送信成功の通知", WakeSuccessText(e));
}

}  // namespace
