// Nothing here may send: these tests run outside any test namespace, where a
// broadcast would leave through the machine's real interface.
#include <gtest/gtest.h>
#include "common/TextFormat.h"

#include <cstring>

#include "net/MagicPacket.h"
#include "net/NetInfoWin32.h"
#include "net/SocketCommWin32.h"

namespace {
uint32_t Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return IPv4Value(a, b, c, d); }
}  // namespace

TEST(CollectNetInfo, RecordsAreConsistent) {
    NetInfo info{};
    size_t count = CollectNetInfo(info);
    EXPECT_EQ(info.adapters.size(), count);
    EXPECT_NE(0u, std::strlen(info.hostName));
    EXPECT_NE(nullptr, std::memchr(info.domainName, 0, sizeof info.domainName));
    for (const NetAdapter& a : info.adapters) {
        SCOPED_TRACE(a.adapterName);
        EXPECT_NE(nullptr, std::memchr(a.adapterName, 0, sizeof a.adapterName));
        EXPECT_NE(nullptr, std::memchr(a.description, 0, sizeof a.description));
        EXPECT_EQ(a.ipAddresses.size(), a.subnetMasks.size());
        ASSERT_LE(a.addressLength, 8u);
        for (uint32_t k = a.addressLength; k < 8; ++k) EXPECT_EQ(0, a.hardwareAddress[k]);
    }
}

TEST(CollectNetInfo, EmptiesTheSnapshotFirst) {
    NetInfo info{};
    std::strcpy(info.hostName, "stale-host-name-that-is-long");
    info.nodeType = 99;
    info.dnsServers.assign(50, Ip(1, 2, 3, 4));
    NetAdapter stale{};
    stale.type = kAdapterTypeEthernet;
    stale.ipAddresses.push_back(Ip(192, 168, 99, 99));
    info.adapters.assign(50, stale);

    NetInfo fresh{};
    size_t count = CollectNetInfo(fresh);
    EXPECT_EQ(count, CollectNetInfo(info));
    EXPECT_STREQ(fresh.hostName, info.hostName);
    EXPECT_EQ(fresh.dnsServers, info.dnsServers);
    ASSERT_EQ(fresh.adapters.size(), info.adapters.size());
    for (size_t i = 0; i < fresh.adapters.size(); ++i)
        EXPECT_EQ(fresh.adapters[i].ipAddresses, info.adapters[i].ipAddresses);
}

TEST(SocketComm, NeverOpenedRefusesToSend) {
    CSocketComm comm;
    MagicPacket packet = BuildMagicPacket(reinterpret_cast<const uint8_t*>("\x00\x11\x22\x33\x44\x55"));
    EXPECT_FALSE(comm.IsStarted());
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(0, comm.DefaultPort());
    EXPECT_EQ(0, comm.LastError());
    EXPECT_EQ(-1, comm.SendPacket(packet.data(), 9));
    EXPECT_EQ(-1, comm.SendPacket(packet.data(), 0));
    comm.Close();  // harmless before Open
    EXPECT_FALSE(comm.IsStarted());
}

