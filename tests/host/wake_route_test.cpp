// Where a wake run sends each entry's packets, for the adapter layouts that
// the old single-subnet rule got wrong and the ones it got right.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "TestAdapters.h"
#include "common/TextFormat.h"
#include "entries/EntryFields.h"
#include "entries/WakeEntry.h"
#include "net/MagicPacket.h"
#include "net/WakeRoute.h"

namespace {

uint32_t Ip(const char* text) {
    unsigned a, b, c, d;
    EXPECT_EQ(4, std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d)) << text;
    return IPv4Value(static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c),
                     static_cast<uint8_t>(d));
}

struct Adapter {
    uint32_t type;
    std::vector<const char*> addresses;  // "a.b.c.d/m.m.m.m"
    bool up;
};

NetInfo Info(const std::vector<Adapter>& adapters) {
    std::vector<TestAdapter> built;
    for (const Adapter& a : adapters) built.push_back(TextAdapter(a.type, a.addresses, a.up));
    return MakeInfo(built);
}

// "source>destination" per packet, in plan order.
std::vector<std::string> Texts(const std::vector<WakeSend>& plan) {
    std::vector<std::string> texts;
    for (const WakeSend& s : plan) texts.push_back(FormatIPv4Value(s.source) + ">" + FormatIPv4Value(s.destination));
    return texts;
}

constexpr uint32_t kEthernet = 6, kWireless = 71, kPpp = 23;

// Routes as a stand-in routing table: a default route leaves from the
// wireless address when there is one.
std::map<std::string, std::string> g_routes;
uint32_t FakeRoute(uint32_t destination) {
    auto found = g_routes.find(FormatIPv4Value(destination));
    return found == g_routes.end() ? 0 : Ip(found->second.c_str());
}

struct PlanCase {
    const char* label;
    std::vector<Adapter> adapters;
    std::map<std::string, std::string> routes;  // destination -> source the system picks
    const char* entry;                          // "address/mask"
    std::vector<std::string> expected;
    bool legacy;  // exactly the one packet the old rule sent
};

}  // namespace

TEST(WakeRoute, PlanPerEntry) {
    const std::vector<Adapter> twoLans = {{kEthernet, {"10.66.0.1/255.255.255.0"}, true},
                                          {kEthernet, {"10.67.0.1/255.255.255.0"}, true}};
    const PlanCase cases[] = {
        {"one Ethernet LAN: the old packet, from the old address",
         {{kEthernet, {"192.168.1.10/255.255.255.0"}, true}}, {}, "192.168.1.20/255.255.255.0",
         {"192.168.1.10>192.168.1.255"}, true},
        {"the entry's own mask does not matter on a local subnet",
         {{kEthernet, {"192.168.1.10/255.255.255.0"}, true}}, {}, "192.168.1.20/255.255.0.0",
         {"192.168.1.10>192.168.1.255"}, true},
        {"two adapters: an entry on the first leaves on the first", twoLans, {}, "10.66.0.9/255.255.255.0",
         {"10.66.0.1>10.66.0.255"}, false},
        {"two adapters: an entry on the last is the old case", twoLans, {}, "10.67.0.9/255.255.255.0",
         {"10.67.0.1>10.67.0.255"}, true},
        {"Wi-Fi only: its own subnet, not 255.255.255.255", {{kWireless, {"192.168.5.7/255.255.255.0"}, true}}, {},
         "192.168.5.30/255.255.255.0", {"192.168.5.7>192.168.5.255"}, false},
        {"second address of an adapter", {{kEthernet, {"10.1.0.1/255.255.0.0", "172.20.0.1/255.255.255.0"}, true}},
         {}, "172.20.0.40/255.255.255.0", {"172.20.0.1>172.20.0.255"}, false},
        {"the most specific subnet wins",
         {{kEthernet, {"10.0.0.1/255.0.0.0"}, true}, {kPpp, {"10.8.0.6/255.255.255.0"}, true}}, {},
         "10.8.0.20/255.255.255.0", {"10.8.0.6>10.8.0.255"}, false},
        {"a routed subnet: its own broadcast via the route, and the old one",
         twoLans, {{"10.79.0.255", "10.67.0.1"}}, "10.79.0.50/255.255.255.0",
         {"10.67.0.1>10.79.0.255", "10.67.0.1>10.67.0.255"}, false},
        {"mask 255.255.255.255: the address itself",
         twoLans, {{"203.0.113.9", "10.66.0.1"}}, "203.0.113.9/255.255.255.255",
         {"10.66.0.1>203.0.113.9", "10.67.0.1>10.67.0.255"}, false},
        {"no route: sent from any address, and the old one",
         twoLans, {}, "10.77.5.9/255.255.255.0", {"0.0.0.0>10.77.5.255", "10.67.0.1>10.67.0.255"}, false},
        {"Wi-Fi only, remote entry: the old 255.255.255.255 from the routed address",
         {{kWireless, {"192.168.5.7/255.255.255.0"}, true}},
         {{"10.9.9.255", "192.168.5.7"}, {"255.255.255.255", "192.168.5.7"}}, "10.9.9.9/255.255.255.0",
         {"192.168.5.7>10.9.9.255", "192.168.5.7>255.255.255.255"}, false},
        {"an adapter that is down does not count",
         {{kEthernet, {"10.66.0.1/255.255.255.0"}, false}, {kEthernet, {"10.67.0.1/255.255.255.0"}, true}},
         {{"10.66.0.255", "10.67.0.1"}}, "10.66.0.9/255.255.255.0",
         {"10.67.0.1>10.66.0.255", "10.67.0.1>10.67.0.255"}, false},
        {"no adapters at all: the old 255.255.255.255 with no route", {}, {}, "10.0.0.5/255.255.255.0",
         {"0.0.0.0>10.0.0.255", "0.0.0.0>255.255.255.255"}, false},
        {"addresses without a subnet are passed over",
         {{kEthernet, {"0.0.0.0/0.0.0.0"}, true}, {kEthernet, {"10.66.0.1/255.255.255.255"}, true}}, {},
         "10.66.0.1/255.255.255.0", {"0.0.0.0>10.66.0.255", "10.66.0.1>10.66.0.1"}, false},
        {"a /31 link has no broadcast: the entry's own address",
         {{kEthernet, {"10.70.0.0/255.255.255.254"}, true}, {kEthernet, {"192.168.1.10/255.255.255.0"}, true}}, {},
         "10.70.0.1/255.255.255.0", {"10.70.0.0>10.70.0.1"}, false},
        {"a /31 link, the lower address across it",
         {{kEthernet, {"10.70.0.1/255.255.255.254"}, true}}, {}, "10.70.0.0/255.255.255.254",
         {"10.70.0.1>10.70.0.0"}, false},
        {"a routed /31: its other end, and the old one",
         twoLans, {{"10.80.0.7", "10.67.0.1"}}, "10.80.0.7/255.255.255.254",
         {"10.67.0.1>10.80.0.7", "10.67.0.1>10.67.0.255"}, false},
        {"the same destination twice is sent once",
         {{kEthernet, {"10.66.0.1/255.255.255.255"}, true}}, {{"10.66.0.1", "10.66.0.1"}},
         "10.66.0.1/255.255.255.255", {"10.66.0.1>10.66.0.1"}, true},
    };
    for (const PlanCase& c : cases) {
        SCOPED_TRACE(c.label);
        g_routes = c.routes;
        std::string entry(c.entry);
        size_t slash = entry.find('/');
        const NetInfo info = Info(c.adapters);
        std::vector<WakeSend> plan =
            PlanWakeSends(info, Ip(entry.substr(0, slash).c_str()), Ip(entry.substr(slash + 1).c_str()), FakeRoute);
        EXPECT_EQ(c.expected, Texts(plan));
        EXPECT_EQ(c.legacy, IsLegacySend(info, plan));
    }
}

TEST(WakeRoute, LogLineNamesLocalAddressAndDestination) {
    WakeSend send = {Ip("10.78.0.2"), Ip("10.79.0.255")};
    EXPECT_EQ("[ﾃｽﾄ機(10.79.0.50)] 10.78.0.2:7 から 10.79.0.255:9 へ送信",
              WakeSendText("ﾃｽﾄ機", Ip("10.79.0.50"), send, 9));
}

TEST(SecureOn, PacketIs108BytesWithAPasswordAnd102Without) {
    const uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    const uint8_t none[6] = {};
    const uint8_t password[6] = {0xA1, 0x00, 0xB2, 0x00, 0x00, 0x07};
    const MagicPacket magic = BuildMagicPacket(mac);

    std::vector<uint8_t> plain = BuildWakePayload(mac, none);
    EXPECT_EQ(std::vector<uint8_t>(magic.begin(), magic.end()), plain);

    std::vector<uint8_t> secured = BuildWakePayload(mac, password);
    ASSERT_EQ(kSecureOnPacketSize, secured.size());
    EXPECT_EQ(0, std::memcmp(magic.data(), secured.data(), kMagicPacketSize));
    EXPECT_EQ(0, std::memcmp(password, secured.data() + kMagicPacketSize, 6));
}

TEST(SecureOn, PasswordBoxes) {
    WakeEntry e;
    InitNewEntry(e);
    std::string texts[6];
    PasswordBoxTexts(e, texts);
    for (const std::string& t : texts) EXPECT_EQ("", t) << "no password shows empty boxes";

    const uint8_t password[6] = {0x0A, 0x00, 0xFF, 0x10, 0x00, 0x01};
    std::memcpy(e.reserved, password, 6);
    PasswordBoxTexts(e, texts);
    const char* shown[6] = {"0A", "00", "FF", "10", "00", "01"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(shown[i], texts[i]);

    struct Case { const char* boxes[6]; uint8_t bytes[6]; };
    const Case cases[] = {
        {{"", "", "", "", "", ""}, {0, 0, 0, 0, 0, 0}},
        {{"a1", "B2", "", "G", "1G", "7"}, {0xA1, 0xB2, 0, 0, 0x01, 0x07}},
    };
    for (const Case& c : cases) {
        std::string boxes[6];
        for (int i = 0; i < 6; ++i) boxes[i] = c.boxes[i];
        WakeEntry before = e;
        ApplyPassword(boxes, e);
        EXPECT_EQ(0, std::memcmp(c.bytes, e.reserved, 6)) << c.boxes[0];
        // Nothing but the six bytes.
        std::memcpy(before.reserved, e.reserved, 6);
        EXPECT_EQ(0, std::memcmp(&before, &e, sizeof e));
    }
}

#include "entries/EntryFiles.h"

TEST(SecureOn, ListingDoesNotShowThePassword) {
    WakeEntry e;
    InitNewEntry(e);
    const uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::memcpy(e.macAddress, mac, 6);
    std::string without;
    AppendListingLine(without, e, 1);
    const uint8_t password[6] = {0xAB, 0xCD, 0xEF, 0x12, 0x34, 0x56};
    std::memcpy(e.reserved, password, 6);
    std::string with;
    AppendListingLine(with, e, 1);
    EXPECT_EQ(without, with);
    EXPECT_EQ(std::string::npos, with.find("AB-CD")) << with;
}

// The subnet test the status checks and the scan share: the address against
// each link's own mask, network order throughout.
TEST(WakeRoute, OnLinkIsTheSubnetOfAnyLink) {
    struct Link {
        uint32_t address, mask;
    };
    const auto net = [](uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        const uint8_t bytes[4] = {a, b, c, d};
        uint32_t value;
        std::memcpy(&value, bytes, 4);
        return value;
    };
    const std::vector<Link> links = {{net(192, 168, 1, 10), net(255, 255, 255, 0)},
                                     {net(10, 0, 0, 1), net(255, 255, 255, 254)}};
    const struct {
        uint32_t address;
        bool onLink;
    } cases[] = {{net(192, 168, 1, 200), true}, {net(192, 168, 2, 200), false}, {net(10, 0, 0, 0), true},
                 {net(10, 0, 0, 2), false},     {net(192, 168, 1, 10), true}};
    for (const auto& c : cases) EXPECT_EQ(c.onLink, OnLink(c.address, links)) << std::hex << c.address;
    EXPECT_FALSE(OnLink(net(192, 168, 1, 1), std::vector<Link>{}));
}
