#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/FixedText.h"
#include "entries/WakeEntry.h"
#include "TestAdapters.h"
#include "scan/NetScan.h"

namespace {

uint32_t Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return IPv4Value(a, b, c, d); }
uint32_t Host(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return HostOrder(Ip(a, b, c, d)); }

const uint32_t kMask24 = Ip(255, 255, 255, 0);
const uint32_t kMask16 = Ip(255, 255, 0, 0);

RouteRow DefaultVia(uint32_t gateway, uint32_t adapter, uint32_t metric = 10) {
    return {0, 0, gateway, adapter, metric};
}

std::vector<std::string> Labels(const std::vector<ScanSubnet>& subnets) {
    std::vector<std::string> labels;
    for (const ScanSubnet& s : subnets) labels.push_back(SubnetLabel(s));
    return labels;
}

MacAddress Mac(uint8_t last) { return {0x02, 0x00, 0x5E, 0x10, 0x00, last}; }

ScanFound Found(uint32_t address, bool hasMac, MacAddress mac, const char* name) {
    return {address, hasMac, mac, name};
}

}  // namespace

TEST(NetScanSubnets, DefaultRouteFirstThenPlatformOrder) {
    const std::vector<TestAdapter> twoLinks = {
        {24, {Ip(127, 0, 0, 1)}, {Ip(255, 0, 0, 0)}, 1},
        {6, {Ip(10, 77, 0, 2)}, {kMask24}, 5},
        {6, {Ip(10, 78, 0, 2)}, {kMask24}, 7},
        {71, {Ip(172, 16, 5, 5)}, {kMask16}, 9},
    };
    struct Case {
        const char* name;
        std::vector<TestAdapter> adapters;
        std::vector<RouteRow> routes;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {"no adapters", {}, {DefaultVia(Ip(10, 0, 0, 1), 3)}, {}},
        {"no default route: the platform's order, loopback left out", twoLinks, {},
         {"10.77.0.2 / 255.255.255.0", "10.78.0.2 / 255.255.255.0", "172.16.5.5 / 255.255.0.0"}},
        {"default route through the second link", twoLinks,
         {{Ip(10, 77, 0, 0), kMask24, 0, 5, 1}, DefaultVia(Ip(10, 78, 0, 1), 7)},
         {"10.78.0.2 / 255.255.255.0", "10.77.0.2 / 255.255.255.0", "172.16.5.5 / 255.255.0.0"}},
        {"the lowest metric decides between two default routes", twoLinks,
         {DefaultVia(Ip(10, 77, 0, 1), 5, 50), DefaultVia(Ip(172, 16, 0, 1), 9, 20)},
         {"172.16.5.5 / 255.255.0.0", "10.77.0.2 / 255.255.255.0", "10.78.0.2 / 255.255.255.0"}},
        {"on an adapter with two addresses, the one beside the gateway",
         {{6, {Ip(192, 168, 1, 10), Ip(10, 1, 0, 10)}, {kMask24, kMask16}, 4}},
         {DefaultVia(Ip(10, 1, 200, 1), 4)},
         {"10.1.0.10 / 255.255.0.0", "192.168.1.10 / 255.255.255.0"}},
        {"a gateway beside no address: the adapter's first",
         {{6, {Ip(10, 77, 0, 2)}, {kMask24}, 3}, {6, {Ip(192, 168, 1, 10), Ip(10, 1, 0, 10)}, {kMask24, kMask16}, 4}},
         {DefaultVia(Ip(172, 31, 0, 1), 4)},
         {"192.168.1.10 / 255.255.255.0", "10.77.0.2 / 255.255.255.0", "10.1.0.10 / 255.255.0.0"}},
        {"a default route on an unknown adapter changes nothing", twoLinks, {DefaultVia(Ip(10, 9, 9, 1), 42)},
         {"10.77.0.2 / 255.255.255.0", "10.78.0.2 / 255.255.255.0", "172.16.5.5 / 255.255.0.0"}},
        {"unset addresses and masks, and repeats, are left out",
         {{6, {0, Ip(10, 0, 0, 5), Ip(10, 0, 0, 5)}, {kMask24, 0, kMask24}, 2}, {6, {Ip(10, 0, 0, 5)}, {kMask24}, 3},
          {6, {Ip(127, 0, 0, 2)}, {Ip(255, 0, 0, 0)}, 4}, {6, {Ip(10, 0, 1, 5)}, {}, 5}},
         {},
         {"10.0.0.5 / 255.255.255.0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.labels, Labels(ScanSubnets(MakeInfo(c.adapters), c.routes)));
    }
}

TEST(NetScanRange, SubnetHostsLeaveOutNetworkAndBroadcast) {
    struct Case {
        uint32_t address, mask, first, last;
    };
    const Case cases[] = {
        {Ip(10, 78, 0, 2), kMask24, Host(10, 78, 0, 1), Host(10, 78, 0, 254)},
        {Ip(172, 16, 37, 9), Ip(255, 255, 240, 0), Host(172, 16, 32, 1), Host(172, 16, 47, 254)},
        {Ip(10, 0, 0, 9), Ip(255, 255, 255, 252), Host(10, 0, 0, 9), Host(10, 0, 0, 10)},
        {Ip(10, 0, 0, 9), Ip(255, 255, 255, 254), Host(10, 0, 0, 8), Host(10, 0, 0, 9)},
        {Ip(10, 0, 0, 9), Ip(255, 255, 255, 255), Host(10, 0, 0, 9), Host(10, 0, 0, 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatIPv4Value(c.address) + " / " + FormatIPv4Value(c.mask));
        ScanRange r = SubnetHosts({c.address, c.mask, 1});
        EXPECT_EQ(FormatIPv4Value(NetworkOrder(c.first)), FormatIPv4Value(NetworkOrder(r.first)));
        EXPECT_EQ(FormatIPv4Value(NetworkOrder(c.last)), FormatIPv4Value(NetworkOrder(r.last)));
    }
}

TEST(NetScanRange, DefaultRangeStaysWithinTheLimit) {
    struct Case {
        uint32_t address, mask;
        const char* first;
        const char* last;
    };
    const Case cases[] = {
        {Ip(10, 78, 0, 2), kMask24, "10.78.0.1", "10.78.0.254"},
        // a /20 holds 4,094 computers: all of them
        {Ip(172, 16, 37, 9), Ip(255, 255, 240, 0), "172.16.32.1", "172.16.47.254"},
        // a /16: the 4,096 addresses around the own one
        {Ip(10, 1, 37, 9), kMask16, "10.1.32.0", "10.1.47.255"},
        {Ip(10, 1, 2, 9), kMask16, "10.1.0.1", "10.1.15.255"},
        {Ip(10, 1, 250, 9), kMask16, "10.1.240.0", "10.1.255.254"},
        {Ip(10, 200, 1, 1), Ip(255, 0, 0, 0), "10.200.0.0", "10.200.15.255"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatIPv4Value(c.address) + " / " + FormatIPv4Value(c.mask));
        ScanRange r = DefaultScanRange({c.address, c.mask, 1});
        EXPECT_EQ(c.first, FormatIPv4Value(NetworkOrder(r.first)));
        EXPECT_EQ(c.last, FormatIPv4Value(NetworkOrder(r.last)));
        ScanRange checked = {};
        EXPECT_EQ(RangeProblem::None, CheckScanRange({r.first, 4}, {r.last, 4}, &checked));
    }
}

TEST(NetScanRange, ChecksAndTheLimit) {
    struct Case {
        const char* name;
        RangeEnd from, to;
        RangeProblem problem;
    };
    const uint32_t base = Host(172, 16, 32, 0);
    const Case cases[] = {
        {"one address", {base, 4}, {base, 4}, RangeProblem::None},
        {"a /24", {Host(10, 78, 0, 1), 4}, {Host(10, 78, 0, 254), 4}, RangeProblem::None},
        {"exactly 4,096", {base, 4}, {base + 4095, 4}, RangeProblem::None},
        {"4,097", {base, 4}, {base + 4096, 4}, RangeProblem::TooLarge},
        {"the whole address space", {0, 4}, {0xFFFFFFFFu, 4}, RangeProblem::TooLarge},
        {"from left blank", {0, 0}, {base, 4}, RangeProblem::FromIncomplete},
        {"from with a blank field", {base, 3}, {base, 4}, RangeProblem::FromIncomplete},
        {"to with a blank field", {base, 4}, {base + 5, 2}, RangeProblem::ToIncomplete},
        {"reversed", {base + 1, 4}, {base, 4}, RangeProblem::Reversed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanRange range = {};
        RangeProblem problem = CheckScanRange(c.from, c.to, &range);
        EXPECT_EQ(c.problem, problem);
        EXPECT_EQ(problem == RangeProblem::None, RangeProblemText(problem, range).empty());
    }
}

TEST(NetScanRange, TooLargeTextNamesBothCounts) {
    ScanRange range = {};
    ASSERT_EQ(RangeProblem::TooLarge, CheckScanRange({0, 4}, {0xFFFFFFFFu, 4}, &range));
    EXPECT_EQ("検索範囲が広すぎます (4294967296ｱﾄﾞﾚｽ)\n一度に検索できるのは4096ｱﾄﾞﾚｽまでです",
              RangeProblemText(RangeProblem::TooLarge, range));
    ASSERT_EQ(RangeProblem::TooLarge, CheckScanRange({Host(10, 0, 0, 0), 4}, {Host(10, 0, 31, 255), 4}, &range));
    EXPECT_NE(std::string::npos, RangeProblemText(RangeProblem::TooLarge, range).find("(8192ｱﾄﾞﾚｽ)"));
}

TEST(NetScanRange, TargetsInOrderWithoutTheOwnAddresses) {
    struct Case {
        const char* name;
        ScanRange range;
        std::vector<uint32_t> local;
        std::vector<uint32_t> targets;
    };
    const Case cases[] = {
        {"own address in the middle", {Host(10, 78, 0, 1), Host(10, 78, 0, 4)}, {Ip(10, 78, 0, 2), Ip(10, 77, 0, 2)},
         {Ip(10, 78, 0, 1), Ip(10, 78, 0, 3), Ip(10, 78, 0, 4)}},
        {"across an octet", {Host(10, 0, 0, 254), Host(10, 0, 1, 1)}, {},
         {Ip(10, 0, 0, 254), Ip(10, 0, 0, 255), Ip(10, 0, 1, 0), Ip(10, 0, 1, 1)}},
        {"at the top of the address space", {0xFFFFFFFEu, 0xFFFFFFFFu}, {}, {Ip(255, 255, 255, 254), Ip(255, 255, 255, 255)}},
        {"only the own address", {Host(10, 0, 0, 9), Host(10, 0, 0, 9)}, {Ip(10, 0, 0, 9)}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.targets, ScanTargets(c.range, c.local));
    }
    EXPECT_EQ(4094u, ScanTargets(SubnetHosts({Ip(172, 16, 37, 9), Ip(255, 255, 240, 0), 1}), {}).size());
}

TEST(NetScanRows, SortedByAddressAndMarkedByMac) {
    ScanRows rows({Mac(0x12), Mac(0x99)});
    struct Step {
        ScanFound found;
        size_t row;
        bool inserted;
    };
    const Step steps[] = {
        {Found(Ip(10, 78, 0, 20), true, Mac(0x20), "c"), 0, true},
        {Found(Ip(10, 78, 0, 3), true, Mac(0x12), "a"), 0, true},
        // 10.78.0.100 sorts after 10.78.0.20 although its text sorts before
        {Found(Ip(10, 78, 0, 100), false, {}, ""), 2, true},
        {Found(Ip(10, 78, 0, 11), true, {}, ""), 1, true},
        {Found(Ip(9, 255, 255, 255), true, Mac(0x33), ""), 0, true},
        // a second report of an address replaces the first
        {Found(Ip(10, 78, 0, 20), true, Mac(0x99), "c2"), 3, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(FormatIPv4Value(s.found.address));
        bool inserted = false;
        EXPECT_EQ(s.row, rows.Put(s.found, &inserted));
        EXPECT_EQ(s.inserted, inserted);
    }
    struct Want {
        const char* address;
        ScanState state;
        bool checkable, checked;
        const char* name;
    };
    const Want want[] = {
        {"9.255.255.255", ScanState::New, true, true, ""},
        {"10.78.0.3", ScanState::Registered, true, false, "a"},
        {"10.78.0.11", ScanState::NoMac, false, false, ""},  // all-zero hardware address
        {"10.78.0.20", ScanState::Registered, true, false, "c2"},
        {"10.78.0.100", ScanState::NoMac, false, false, ""},
    };
    ASSERT_EQ(std::size(want), rows.Rows().size());
    for (size_t i = 0; i < std::size(want); ++i) {
        SCOPED_TRACE(want[i].address);
        const ScanRow& row = rows.Rows()[i];
        EXPECT_EQ(want[i].address, FormatIPv4Value(row.found.address));
        EXPECT_EQ(want[i].state, row.state);
        EXPECT_EQ(want[i].checkable, ScanRowCheckable(row));
        EXPECT_EQ(want[i].checked, ScanRowCheckedAtFirst(row));
        EXPECT_EQ(want[i].name, row.found.computerName);
    }
    EXPECT_STREQ("新規", ScanStateText(ScanState::New));
    EXPECT_STREQ("登録済み", ScanStateText(ScanState::Registered));
}

TEST(NetScanRows, ANameFillsInOnlyTheRowOfItsAddress) {
    ScanRows rows({Mac(0x12)});
    bool inserted = false;
    rows.Put(Found(Ip(10, 78, 0, 3), true, Mac(0x12), ""), &inserted);
    rows.Put(Found(Ip(10, 78, 0, 20), true, Mac(0x20), ""), &inserted);
    EXPECT_TRUE(rows.SetName({Ip(10, 78, 0, 20), "late.test"}));
    // no row: a name from a scan since cleared, or an address between rows
    EXPECT_FALSE(rows.SetName({Ip(10, 78, 0, 4), "none.test"}));
    EXPECT_FALSE(rows.SetName({Ip(10, 78, 0, 21), "none.test"}));
    ASSERT_EQ(2u, rows.Rows().size());
    EXPECT_EQ("", rows.Rows()[0].found.computerName);
    EXPECT_EQ(ScanState::Registered, rows.Rows()[0].state);
    EXPECT_EQ("late.test", rows.Rows()[1].found.computerName);
    EXPECT_EQ(ScanState::New, rows.Rows()[1].state);
    rows.Clear();
    EXPECT_FALSE(rows.SetName({Ip(10, 78, 0, 20), "late.test"}));
}

TEST(NetScanRows, RegisteredMacsSkipEntriesWithoutOne) {
    WakeEntry a, b, c;
    InitNewEntry(a);
    InitNewEntry(b);
    InitNewEntry(c);
    std::memcpy(a.macAddress, Mac(1).data(), 6);
    std::memcpy(c.macAddress, Mac(3).data(), 6);
    EXPECT_EQ((std::vector<MacAddress>{Mac(1), Mac(3)}), RegisteredMacs({&a, &b, &c}));
}

TEST(NetScanEntries, MaskOfTheSubnetTheAddressLiesIn) {
    const std::vector<ScanSubnet> subnets = {{Ip(10, 78, 0, 2), kMask24, 7}, {Ip(10, 77, 0, 2), kMask16, 5}};
    struct Case {
        uint32_t address;
        size_t chosen;
        uint32_t mask;
    };
    const Case cases[] = {
        {Ip(10, 78, 0, 9), 0, kMask24},
        {Ip(10, 77, 3, 9), 0, kMask16},       // the other local subnet's
        {Ip(192, 168, 3, 9), 1, kMask16},     // in none: the chosen one's
        {Ip(10, 78, 0, 9), 1, kMask24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatIPv4Value(c.address));
        EXPECT_EQ(FormatIPv4Value(c.mask), FormatIPv4Value(MaskFor(c.address, subnets, subnets[c.chosen])));
    }
}

TEST(NetScanEntries, FieldsOfTheNewEntry) {
    const DateTime now = {2026, 12, 4, 10, 17, 5, 9, 120};
    struct Case {
        const char* what;
        ScanFound found;
        std::string name;
        std::string hostName;
    };
    const std::string longName = std::string(126, 'x') + "ソ" + "tail";  // the double-byte character would straddle 127
    const Case cases[] = {
        {"with a computer name", Found(Ip(10, 78, 0, 11), true, Mac(0x11), "peer-one.test"), "peer-one.test",
         "peer-one.test"},
        {"without one: the address", Found(Ip(10, 78, 0, 13), true, Mac(0x13), ""), "10.78.0.13", ""},
        {"a long name is cut at a character", Found(Ip(10, 78, 0, 14), true, Mac(0x14), longName.c_str()),
         std::string(126, 'x'), longName},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WakeEntry e = ScanEntry(c.found, kMask24, now);
        WakeEntry defaults;
        InitNewEntry(defaults);
        EXPECT_EQ(c.name, EntryName(e));
        EXPECT_EQ(c.hostName, EntryHostName(e));
        EXPECT_EQ(FormatIPv4Value(c.found.address), FormatIPv4(e.ipAddress));
        EXPECT_EQ("255.255.255.0", FormatIPv4(e.subnetMask));
        EXPECT_EQ(FormatMac(c.found.mac.data()), FormatMac(e.macAddress));
        EXPECT_EQ(kNewEntryPort, e.port);
        EXPECT_EQ(0, std::memcmp(&now, &e.registeredTime, sizeof now));
        EXPECT_TRUE(IsNever(e.updatedTime));
        EXPECT_TRUE(IsNever(e.lastSentTime));
        EXPECT_EQ(0, e.excluded);
        EXPECT_EQ("", EntryPlace(e));
        EXPECT_EQ("", EntryComment(e));
        // every byte after the texts' terminators stays zero, as in a record the new-entry command makes
        const size_t nameLength = FieldLength(e.name);
        for (size_t i = nameLength; i < sizeof e.name; ++i) ASSERT_EQ(0, e.name[i]) << i;
        EXPECT_EQ(0, std::memcmp(e.reserved, defaults.reserved, sizeof e.reserved));
    }
}
