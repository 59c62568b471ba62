#include "about/AboutText.h"

#include <cstdio>

#include "common/FixedText.h"
#include "common/TextFormat.h"

namespace {

std::string FirstAddress(const std::vector<uint32_t>& list) {
    return list.empty() ? std::string() : FormatIPv4Value(list.front());
}

}  // namespace

std::string FormatAdapterBlock(const NetInfo& info, const NetAdapter& adapter) {
    std::string ip = FirstAddress(adapter.ipAddresses);
    std::string mask = FirstAddress(adapter.subnetMasks);
    std::string gateway = FirstAddress(adapter.gateways);
    std::string dns = info.enableDns ? FirstAddress(info.dnsServers) : std::string("UnUse");
    std::string dhcp = adapter.dhcpEnabled ? FirstAddress(adapter.dhcpServers) : std::string("UnUse");
    uint32_t broadcast = 0xFFFFFFFFu;
    if (!ip.empty() && !mask.empty()) {
        uint32_t a = adapter.ipAddresses.front();
        uint32_t m = adapter.subnetMasks.front();
        broadcast = (a & m) | ~m;
    }
    std::string text;
    text += "IP Address ... " + ip + "\n";
    text += "Subnet Mask ... " + mask + "\n";
    text += "Default Gateway ... " + gateway + "\n";
    text += "Primary DNS Server ... " + dns + "\n";
    text += "Primary DHCP Server ... " + dhcp + "\n";
    text += "Host Name ... " + FieldText(info.hostName) + "\n";
    text += "Domain Name ... " + FieldText(info.domainName) + "\n";
    text += "Broadcast Address ... " + FormatIPv4Value(broadcast) + "\n";
    return text;
}

std::vector<std::string> AboutNetworkBlocks(const NetInfo& info) {
    std::vector<std::string> blocks;
    for (const NetAdapter& adapter : info.adapters) {
        if (adapter.ipAddresses.empty() || adapter.ipAddresses.front() == 0) continue;
        blocks.push_back(FormatAdapterBlock(info, adapter));
    }
    return blocks;
}
