// Where wake packets go when the computer sits on two subnets and a third one
// lies behind a router. Runs only in the step of tests/e2e/run.sh that builds
// that topology: 10.77.0.2/24 and 10.78.0.2/24 here, 10.79.0.0/24 behind the
// router at 10.78.0.1, a listener at each destination.
#include <winsock2.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "WakeListener.h"

namespace e2e {
namespace {

constexpr int kSentImage = 2;

// The old rule's address: the first address of the last Ethernet adapter, as
// the platform lists them here.
std::string LastEthernetAddress() {
    ULONG size = 0;
    if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW) return "";
    std::vector<char> buffer(size);
    auto* info = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (GetAdaptersInfo(info, &size) != NO_ERROR) return "";
    std::string last;
    for (; info; info = info->Next)
        if (info->Type == MIB_IF_TYPE_ETHERNET) last = info->IpAddressList.IpAddress.String;
    return last;
}

struct Packet {
    std::string source;
    std::string destination;
    int port;
    std::string payload;
};

class RoutedSubnets : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        logs = SubnetListenerLogs();
        for (const char* address : {"10.77.0.255", "10.78.0.255", "10.79.0.255", "10.79.0.2"})
            ASSERT_EQ(1u, logs.count(address)) << "no listener at " << address
                                               << "; run tests/e2e/run.sh (its several-subnets step)";
        for (const auto& log : logs) before[log.first] = ReadDatagrams(log.second).size();
    }

    std::vector<Datagram> Since(const std::string& address) const {
        std::vector<Datagram> all = ReadDatagrams(logs.at(address));
        return std::vector<Datagram>(all.begin() + static_cast<long>(std::min(before.at(address), all.size())),
                                     all.end());
    }

    std::map<std::string, std::string> logs;
    std::map<std::string, size_t> before;
};

struct Target {
    const char* name;
    uint8_t ip[4];
    uint8_t mask[4];
    int32_t port;
    uint8_t mac[6];
    uint8_t password[6];
};

TEST_F(RoutedSubnets, EachPacketReachesItsOwnSubnetFromTheRightAddress) {
    const std::string oldSource = LastEthernetAddress();
    ASSERT_TRUE(oldSource == "10.77.0.2" || oldSource == "10.78.0.2") << oldSource;
    const std::string oldDestination = oldSource.substr(0, oldSource.size() - 1) + "255";

    const Target targets[] = {
        {"LanA", {10, 77, 0, 20}, {255, 255, 255, 0}, 9, {0x02, 0x5A, 0, 0, 0, 0x01}, {}},
        {"LanB", {10, 78, 0, 20}, {255, 255, 255, 0}, 9, {0x02, 0x5A, 0, 0, 0, 0x02},
         {0x5E, 0xC0, 0x00, 0x4E, 0x00, 0x01}},
        {"Routed", {10, 79, 0, 50}, {255, 255, 255, 0}, 9, {0x02, 0x5A, 0, 0, 0, 0x03}, {}},
        {"OneHost", {10, 79, 0, 2}, {255, 255, 255, 255}, 0, {0x02, 0x5A, 0, 0, 0, 0x04}, {}},
        {"Stale", {10, 80, 0, 9}, {255, 255, 255, 0}, 9, {0x02, 0x5A, 0, 0, 0, 0x05}, {}},
    };
    std::vector<EntryRecord> records;
    const SYSTEMTIME stamp = {2024, 4, 0, 1, 9, 30, 0, 0};
    for (int i = 0; i < 5; ++i) {
        const Target& t = targets[i];
        EntryFields f = {t.name, {t.ip[0], t.ip[1], t.ip[2], t.ip[3]}, {t.mask[0], t.mask[1], t.mask[2], t.mask[3]},
                         t.port, {t.mac[0], t.mac[1], t.mac[2], t.mac[3], t.mac[4], t.mac[5]}, "", "", "",
                         stamp, stamp, stamp, 0};
        records.push_back(MakeRecord(f, i));
        std::memcpy(records.back().reserved, t.password, 6);
    }

    auto payload = [&](int i) {
        std::string hex = MagicPayload(targets[i].mac);
        static const char digits[] = "0123456789ABCDEF";
        bool any = false;
        for (uint8_t b : targets[i].password) any = any || b;
        if (any)
            for (uint8_t b : targets[i].password) {
                hex += digits[b >> 4];
                hex += digits[b & 15];
            }
        return hex;
    };
    // Per entry, in order: where its packets must go. The stale entry's own
    // broadcast (10.80.0.255) has no route here; only the old destination
    // carries it.
    const std::vector<std::vector<Packet>> expected = {
        {{"10.77.0.2", "10.77.0.255", 9, payload(0)}},
        {{"10.78.0.2", "10.78.0.255", 9, payload(1)}},
        {{"10.78.0.2", "10.79.0.255", 9, payload(2)}, {oldSource, oldDestination, 9, payload(2)}},
        {{"10.78.0.2", "10.79.0.2", 7, payload(3)}, {oldSource, oldDestination, 7, payload(3)}},
        {{oldSource, oldDestination, 9, payload(4)}},
    };

    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    app.PostCommand(kCmdWakeAll);
    ASSERT_TRUE(WaitUntil([&] {
        return IsWindowEnabled(app.Main()) && !LogLines().empty() && LogLines().back() == "WakeUpパケットの送信完了";
    }, 20000)) << "the run did not end";

    EXPECT_TRUE(WaitUntil([&] {
        size_t n = 0;
        for (const auto& log : logs) n += Since(log.first).size();
        return n >= 7;
    }, 5000)) << "fewer packets than expected arrived";
    std::map<std::string, std::vector<Packet>> byDestination;
    for (const auto& entry : expected)
        for (const Packet& p : entry) byDestination[p.destination].push_back(p);
    size_t total = 0;
    for (const auto& log : logs) {
        SCOPED_TRACE("listener at " + log.first);
        std::vector<Datagram> got = Since(log.first);
        const std::vector<Packet>& want = byDestination[log.first];
        total += got.size();
        EXPECT_EQ(want.size(), got.size());
        for (const Datagram& d : got) std::printf("  %s: from %s:%d to port %d, %d bytes\n", log.first.c_str(),
                                                  d.source.c_str(), d.sourcePort, d.destinationPort, d.length);
        for (size_t i = 0; i < got.size() && i < want.size(); ++i) {
            EXPECT_EQ(want[i].source, got[i].source);
            EXPECT_EQ(7, got[i].sourcePort);
            EXPECT_EQ(want[i].port, got[i].destinationPort);
            EXPECT_EQ(static_cast<int>(want[i].payload.size() / 2), got[i].length);
            EXPECT_EQ(want[i].payload, got[i].payload);
        }
    }
    EXPECT_EQ(7u, total);
    EXPECT_EQ(108, static_cast<int>(payload(1).size() / 2));

    // The old lines stay; a line per packet follows wherever a packet went
    // anywhere but the old single destination.
    std::vector<std::string> lines = {"WakeUpパケットの送信開始..."};
    for (int i = 0; i < 5; ++i) {
        const Target& t = targets[i];
        std::string address = std::to_string(t.ip[0]) + "." + std::to_string(t.ip[1]) + "." +
                              std::to_string(t.ip[2]) + "." + std::to_string(t.ip[3]);
        lines.push_back("[" + std::string(t.name) + "(" + address + ")]への送信成功の通知");
        const std::vector<Packet>& packets = expected[i];
        const bool legacy = packets.size() == 1 && packets[0].source == oldSource &&
                            packets[0].destination == oldDestination && i != 4;
        if (legacy) continue;
        for (const Packet& p : packets)
            lines.push_back("[" + std::string(t.name) + "(" + address + ")] " + p.source + ":7 から " +
                            p.destination + ":" + std::to_string(p.port) + " へ送信");
    }
    lines.push_back("WakeUpパケットの送信完了");
    std::vector<std::string> run = LogLines();
    run.erase(run.begin());
    // The watch after the run may already have said who answers (the far
    // namespace does); those lines are not the run's.
    run.erase(std::remove_if(run.begin(), run.end(),
                             [](const std::string& line) {
                                 return line.find("応答があります") != std::string::npos ||
                                        line.find("起動を確認") != std::string::npos;
                             }),
              run.end());
    EXPECT_EQ(lines, run);
    for (int row = 0; row < 5; ++row) EXPECT_EQ(kSentImage, listview::StateImage(app.WakeList(), row)) << row;
    EXPECT_EQ(0, app.Close());
}

// Port 7 taken on one local address: the entries sent from it fail, the
// others go out as ever.
TEST_F(RoutedSubnets, BusyPortOnOneAddressFailsOnlyItsEntries) {
    const std::string oldSource = LastEthernetAddress();
    ASSERT_TRUE(oldSource == "10.77.0.2" || oldSource == "10.78.0.2") << oldSource;
    const std::string busy = oldSource == "10.77.0.2" ? "10.78.0.2" : "10.77.0.2";
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    SOCKET holder = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(INVALID_SOCKET, holder);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr(busy.c_str());
    local.sin_port = htons(7);
    ASSERT_EQ(0, bind(holder, reinterpret_cast<sockaddr*>(&local), sizeof local)) << WSAGetLastError();

    const SYSTEMTIME stamp = {2024, 4, 0, 1, 9, 30, 0, 0};
    auto record = [&](const char* name, const std::string& subnetOf, uint8_t last, int id) {
        uint8_t third = static_cast<uint8_t>(subnetOf == "10.77.0.2" ? 77 : 78);
        EntryFields f = {name, {10, third, 0, last}, {255, 255, 255, 0}, 9, {0x02, 0x5B, 0, 0, 0, last},
                         "", "", "", stamp, stamp, stamp, 0};
        return MakeRecord(f, id);
    };
    std::vector<EntryRecord> records = {record("OnBusy", busy, 30, 0), record("OnFree", oldSource, 31, 1)};
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    app.PostCommand(kCmdWakeAll);
    ASSERT_TRUE(WaitUntil([&] {
        return IsWindowEnabled(app.Main()) && !LogLines().empty() && LogLines().back() == "WakeUpパケットの送信完了";
    }, 20000)) << "the run did not end";
    EXPECT_EQ(3, listview::StateImage(app.WakeList(), 0)) << "the entry on " << busy;
    EXPECT_EQ(kSentImage, listview::StateImage(app.WakeList(), 1));
    const std::string freeBroadcast = oldSource.substr(0, oldSource.size() - 1) + "255";
    const std::string busyBroadcast = busy.substr(0, busy.size() - 1) + "255";
    EXPECT_TRUE(WaitUntil([&] { return Since(freeBroadcast).size() == 1; }, 5000));
    EXPECT_EQ(0u, Since(busyBroadcast).size());
    std::vector<std::string> run = LogLines();
    run.erase(run.begin());
    const std::vector<std::string> expected = {"WakeUpパケットの送信開始...",
                                               "[OnFree(10." + freeBroadcast.substr(3, 2) + ".0.31)]への送信成功の通知",
                                               "WakeUpパケットの送信完了"};
    EXPECT_EQ(expected, run);
    EXPECT_EQ(0, app.Close());
    closesocket(holder);
    WSACleanup();
}

}  // namespace
}  // namespace e2e
