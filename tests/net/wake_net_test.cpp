// Sends real magic packets. Runs only under tests/net/run.sh, inside the
// namespace it made, with a listener bound to 10.77.0.255 in the peer one.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "NetworkGuard.h"
#include "common/TextFormat.h"
#include "net/MagicPacket.h"
#include "net/NetInfoWin32.h"
#include "net/SocketCommWin32.h"
#include "net/WakeRoute.h"

namespace {

std::string g_listenerLog;

struct Received {
    std::string source;
    int sourcePort = 0;
    int destinationPort = 0;
    int length = 0;
    std::string payload;
};

std::string Hex(const MagicPacket& packet) {
    std::string hex;
    char buf[3];
    for (uint8_t b : packet) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        hex += buf;
    }
    return hex;
}

std::vector<Received> ReadLog() {
    std::vector<Received> lines;
    std::ifstream in(g_listenerLog);
    std::string text;
    while (std::getline(in, text)) {
        std::istringstream fields(text);
        Received r;
        if (fields >> r.source >> r.sourcePort >> r.destinationPort >> r.length >> r.payload)
            lines.push_back(r);
    }
    return lines;
}

// Every case sends its own MAC, so a payload names the case that sent it.
std::vector<Received> ArrivalsOf(const MagicPacket& packet) {
    std::vector<Received> found;
    for (const Received& r : ReadLog())
        if (r.payload == Hex(packet)) found.push_back(r);
    return found;
}

std::vector<Received> WaitFor(const MagicPacket& packet, int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        std::vector<Received> found = ArrivalsOf(packet);
        if (!found.empty() || std::chrono::steady_clock::now() >= end) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

MagicPacket PacketFor(uint8_t tag) {
    const uint8_t mac[6] = {0x02, 0x4E, 0x4C, 0x00, 0x00, tag};
    return BuildMagicPacket(mac);
}

// Holds Windows Sockets started for the test's own sockets.
struct WinsockScope {
    WinsockScope() { WSADATA d; started = WSAStartup(MAKEWORD(2, 2), &d) == 0; }
    ~WinsockScope() { if (started) WSACleanup(); }
    bool started = false;
};

class WakeNet : public ::testing::Test {
protected:
    void SetUp() override { comm.Open(); }
    void TearDown() override { comm.Close(); }
    CSocketComm comm;
};

}  // namespace

TEST_F(WakeNet, ChoosesTheTestSubnet) {
    ASSERT_TRUE(comm.IsStarted());
    EXPECT_TRUE(comm.IsOpen());
    EXPECT_EQ("10.77.0.2", FormatIPv4Value(comm.LocalAddress()));
    EXPECT_EQ("255.255.255.0", FormatIPv4Value(comm.LocalMask()));
    EXPECT_EQ(7, comm.DefaultPort());
    EXPECT_EQ(0, comm.LastError());
}

TEST_F(WakeNet, PeerReceivesThePacketAtTheSubnetBroadcast) {
    const struct {
        int entryPort;
        int expectedPort;
        uint8_t tag;
    } cases[] = {
        {9, 9, 1},
        {0, 7, 2},
        {65536 + 9, 9, 3},
        {65536, 7, 4},  // low 16 bits 0: the default port, not port 0
    };
    ASSERT_TRUE(comm.IsOpen());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entryPort);
        MagicPacket packet = PacketFor(c.tag);
        ASSERT_EQ(102, comm.SendPacket(packet.data(), c.entryPort));
        std::vector<Received> got = WaitFor(packet, 5000);
        ASSERT_EQ(1u, got.size()) << "listener log: " << g_listenerLog;
        EXPECT_EQ("10.77.0.2", got[0].source);
        EXPECT_EQ(7, got[0].sourcePort);
        EXPECT_EQ(c.expectedPort, got[0].destinationPort);
        EXPECT_EQ(102, got[0].length);
    }
}

TEST_F(WakeNet, NothingLeavesAfterClose) {
    comm.Close();
    MagicPacket packet = PacketFor(5);
    EXPECT_EQ(-1, comm.SendPacket(packet.data(), 9));
    EXPECT_EQ(-1, comm.SendPacket(packet.data(), 0));
    EXPECT_TRUE(WaitFor(packet, 1000).empty());
}

TEST(WakeNetBusyPort, OpenCompletesAndEverySendFails) {
    WinsockScope winsock;
    ASSERT_TRUE(winsock.started);
    SOCKET blocker = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(INVALID_SOCKET, blocker);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(7);
    ASSERT_EQ(0, bind(blocker, reinterpret_cast<const sockaddr*>(&local), sizeof local))
        << WSAGetLastError();

    CSocketComm comm;
    comm.Open();
    EXPECT_TRUE(comm.IsStarted());
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(0, comm.DefaultPort());
    EXPECT_EQ(WSAEADDRINUSE, comm.LastError());
    EXPECT_EQ("10.77.0.2", FormatIPv4Value(comm.LocalAddress()));

    const int ports[] = {0, 7, 9, 65536 + 9};
    MagicPacket packet = PacketFor(6);
    for (int port : ports) EXPECT_EQ(-1, comm.SendPacket(packet.data(), port)) << port;
    comm.Close();
    closesocket(blocker);
    EXPECT_TRUE(WaitFor(packet, 1000).empty());
}

// A wake run's packet from a given local address: bound to that address
// and port 7, and with a SecureOn password 108 bytes long.
TEST(WakeNetSockets, PacketWithAPasswordLeavesFromItsAddress) {
    CSocketComm comm;
    comm.Open();
    ASSERT_TRUE(comm.IsOpen());
    comm.BeginRun();
    uint32_t address = inet_addr("10.77.0.40"), mask = inet_addr("255.255.255.0");
    const std::vector<WakeSend> plan = comm.PlanFor(address, mask);
    ASSERT_EQ(1u, plan.size());
    EXPECT_TRUE(comm.IsLegacy(plan));
    const uint8_t mac[6] = {0x02, 0x4E, 0x4C, 0x00, 0x00, 7};
    const uint8_t password[6] = {0x5E, 0xC0, 0x00, 0x4E, 0x00, 0x01};
    const std::vector<uint8_t> payload = BuildWakePayload(mac, password);
    ASSERT_EQ(108, comm.SendFrom(plan[0], 9, payload.data(), payload.size()));

    std::string hex;
    char buf[3];
    for (uint8_t b : payload) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        hex += buf;
    }
    std::vector<Received> got;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.empty() && std::chrono::steady_clock::now() < end) {
        for (const Received& r : ReadLog())
            if (r.payload == hex) got.push_back(r);
        if (got.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ("10.77.0.2", got[0].source);
    EXPECT_EQ(7, got[0].sourcePort);
    EXPECT_EQ(9, got[0].destinationPort);
    EXPECT_EQ(108, got[0].length);
    comm.Close();
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The last guard before anything is sent: only the namespace run.sh
    // made looks like this.
    if (!testnet::MayRun("nl_net_tests", "NL_NET_NAMESPACE", "tests/net/run.sh", {{{10, 77, 0, 0}, 24}})) return 2;
    const char* log = std::getenv("NL_NET_LISTENER_LOG");
    if (!log || !*log) {
        std::fprintf(stderr, "nl_net_tests: NL_NET_LISTENER_LOG is not set\n");
        return 2;
    }
    g_listenerLog = log;
    return RUN_ALL_TESTS();
}
