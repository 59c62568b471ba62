#pragma once
// Snapshot of the local network configuration. Addresses are IPv4 values in
// network order, exactly as inet_addr gives them.
#include <cstdint>
#include <vector>

struct NetAdapter {
    uint32_t index;
    char adapterName[260];
    char description[132];
    uint32_t addressLength;  // valid leading bytes of hardwareAddress, at most 8
    uint8_t hardwareAddress[8];
    uint32_t type;  // interface type as the platform reports it
    std::vector<uint32_t> ipAddresses;
    std::vector<uint32_t> subnetMasks;  // the n-th mask belongs to the n-th address
    std::vector<uint32_t> gateways;
    uint32_t dhcpEnabled;
    std::vector<uint32_t> dhcpServers;
    // false only when the platform says the link is down; the wake run does
    // not send from such an adapter's addresses.
    bool up = true;
};

struct NetInfo {
    char hostName[132];
    char domainName[132];
    uint32_t nodeType;
    uint32_t enableRouting;
    uint32_t enableProxy;
    uint32_t enableDns;
    std::vector<uint32_t> dnsServers;
    std::vector<NetAdapter> adapters;
};

constexpr uint32_t kAdapterTypeEthernet = 6;

// Empties every field, as a fresh snapshot starts.
void ResetNetInfo(NetInfo& info);
