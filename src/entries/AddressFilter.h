#pragma once
// The Wake List's address filter: which entry addresses lie in one network.
#include <cstdint>

// True when `address` lies in the network `network`/`prefixBits`. Prefix 0
// means no filter. Any prefix compares the leading bits of the two addresses,
// first octet first (8, 16, 24 and 32 compare whole octets); a prefix above
// 32 compares all 32 bits, and a negative one means no filter.
bool AddressPassesFilter(const uint8_t address[4], const uint8_t network[4], int prefixBits);
