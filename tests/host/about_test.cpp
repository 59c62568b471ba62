#include <gtest/gtest.h>
#include "common/TextFormat.h"
#include <cstring>
#include "about/AboutText.h"

namespace {
uint32_t Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return IPv4Value(a, b, c, d); }

struct AboutFixture : ::testing::Test {
    NetInfo info{};
    NetAdapter adapter{};
    void SetUp() override {
        std::strcpy(info.hostName, "pc01");
        std::strcpy(info.domainName, "example.test");
        info.enableDns = 1;
        info.dnsServers = {Ip(192, 168, 1, 1)};
        adapter.type = 6;
        adapter.ipAddresses = {Ip(192, 168, 1, 20)};
        adapter.subnetMasks = {Ip(255, 255, 255, 0)};
        adapter.gateways = {Ip(192, 168, 1, 254)};
        adapter.dhcpEnabled = 1;
        adapter.dhcpServers = {Ip(192, 168, 1, 2)};
    }
};
}  // namespace

TEST_F(AboutFixture, FullBlock) {
    EXPECT_EQ("IP Address ... 192.168.1.20\nSubnet Mask ... 255.255.255.0\n"
              "Default Gateway ... 192.168.1.254\nPrimary DNS Server ... 192.168.1.1\n"
              "Primary DHCP Server ... 192.168.1.2\nHost Name ... pc01\nDomain Name ... example.test\n"
              "Broadcast Address ... 192.168.1.255\n",
              FormatAdapterBlock(info, adapter));
}

TEST_F(AboutFixture, UnusedServersAndMissingMask) {
    info.enableDns = 0;
    adapter.dhcpEnabled = 0;
    adapter.subnetMasks.clear();
    adapter.ipAddresses = {Ip(10, 0, 0, 5)};
    std::string block = FormatAdapterBlock(info, adapter);
    EXPECT_NE(std::string::npos, block.find("Primary DNS Server ... UnUse\n"));
    EXPECT_NE(std::string::npos, block.find("Primary DHCP Server ... UnUse\n"));
    EXPECT_NE(std::string::npos, block.find("Subnet Mask ... \n"));
    EXPECT_NE(std::string::npos, block.find("Broadcast Address ... 255.255.255.255\n"));
    // flag set but nothing listed: an empty value
    info.enableDns = 1;
    info.dnsServers.clear();
    EXPECT_NE(std::string::npos, FormatAdapterBlock(info, adapter).find("Primary DNS Server ... \n"));
}

TEST_F(AboutFixture, AdaptersWithoutAddressAreLeftOut) {
    NetAdapter none{};
    NetAdapter zero{};
    zero.ipAddresses = {0};
    zero.subnetMasks = {0};
    NetAdapter second = adapter;
    second.ipAddresses = {Ip(10, 77, 0, 2)};
    info.adapters = {none, adapter, zero, second};
    auto blocks = AboutNetworkBlocks(info);
    ASSERT_EQ(2u, blocks.size());
    EXPECT_EQ(0u, blocks[0].find("IP Address ... 192.168.1.20\n"));
    EXPECT_EQ(0u, blocks[1].find("IP Address ... 10.77.0.2\n"));
    EXPECT_NE(std::string::npos, blocks[1].find("Broadcast Address ... 10.77.0.255\n"));
}

TEST_F(AboutFixture, UnterminatedHostNameIsCut) {
    std::memset(info.hostName, 'h', sizeof info.hostName);
    EXPECT_NE(std::string::npos, FormatAdapterBlock(info, adapter).find("Host Name ... " + std::string(132, 'h') + "\n"));
}
