#include "entries/AddressFilter.h"

namespace {
uint32_t HostOrder(const uint8_t o[4]) {
    return (uint32_t(o[0]) << 24) | (uint32_t(o[1]) << 16) | (uint32_t(o[2]) << 8) | uint32_t(o[3]);
}
}  // namespace

bool AddressPassesFilter(const uint8_t address[4], const uint8_t network[4], int prefixBits) {
    if (prefixBits <= 0) return true;
    int bits = prefixBits > 32 ? 32 : prefixBits;
    uint32_t mask = bits == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> bits);
    return (HostOrder(address) & mask) == (HostOrder(network) & mask);
}
