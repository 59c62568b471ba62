#include "net/MagicPacket.h"

#include <cstring>

MagicPacket BuildMagicPacket(const uint8_t mac[6]) {
    MagicPacket packet;
    std::memset(packet.data(), 0xFF, 6);
    for (size_t k = 0; k < 16; ++k) std::memcpy(packet.data() + 6 + 6 * k, mac, 6);
    return packet;
}

bool HasSecureOn(const uint8_t password[6]) {
    for (int i = 0; i < 6; ++i)
        if (password[i]) return true;
    return false;
}

std::vector<uint8_t> BuildWakePayload(const uint8_t mac[6], const uint8_t password[6]) {
    const bool secured = HasSecureOn(password);
    std::vector<uint8_t> payload(secured ? kSecureOnPacketSize : kMagicPacketSize);
    const MagicPacket packet = BuildMagicPacket(mac);
    std::memcpy(payload.data(), packet.data(), kMagicPacketSize);
    if (secured) std::memcpy(payload.data() + kMagicPacketSize, password, 6);
    return payload;
}

LocalSubnet ChooseLocalSubnet(const NetInfo& info) {
    LocalSubnet subnet = {0, 0};
    for (const NetAdapter& adapter : info.adapters) {
        if (adapter.type != kAdapterTypeEthernet) continue;
        subnet.address = adapter.ipAddresses.empty() ? 0 : adapter.ipAddresses.front();
        subnet.mask = adapter.subnetMasks.empty() ? 0 : adapter.subnetMasks.front();
    }
    return subnet;
}

uint32_t BroadcastDestination(uint32_t address, uint32_t mask) {
    return (address & mask) | ~mask;
}

uint16_t DestinationPort(uint32_t entryPort, uint16_t defaultPort) {
    uint16_t port = static_cast<uint16_t>(entryPort & 0xFFFFu);
    return port != 0 ? port : defaultPort;
}
