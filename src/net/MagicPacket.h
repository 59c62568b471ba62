#pragma once
// The wake payload and the rules that decide where it goes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/NetInfo.h"

constexpr size_t kMagicPacketSize = 102;
constexpr uint16_t kWakePort = 7;  // local source port and default destination port

using MagicPacket = std::array<uint8_t, kMagicPacketSize>;

// Six 0xFF bytes, then the MAC sixteen times.
MagicPacket BuildMagicPacket(const uint8_t mac[6]);

constexpr size_t kSecureOnPacketSize = 108;
// The magic packet, followed by the six SecureOn password bytes when the
// password is not all zero (108 bytes); without one, the 102 bytes as ever.
std::vector<uint8_t> BuildWakePayload(const uint8_t mac[6], const uint8_t password[6]);
bool HasSecureOn(const uint8_t password[6]);

struct LocalSubnet {
    uint32_t address;  // network order, 0 when unknown
    uint32_t mask;     // network order, 0 when unknown
};

// The last Ethernet adapter decides, with its first address and mask; one
// without an address resets both to 0. No Ethernet adapter at all leaves 0/0.
LocalSubnet ChooseLocalSubnet(const NetInfo& info);

// (A AND M) OR NOT M: the subnet's directed broadcast address, and
// 255.255.255.255 when nothing is known. Byte order does not matter here.
uint32_t BroadcastDestination(uint32_t address, uint32_t mask);

// Only the low 16 bits of an entry's port count; 0 falls back to the default,
// so a port like 65536 never turns into a send to port 0.
uint16_t DestinationPort(uint32_t entryPort, uint16_t defaultPort);
