#pragma once
// The neighbour (ARP) table as the look-ups read it, apart from the platform
// call that fills it.
#include <cstdint>
#include <vector>

// One row of the platform's neighbour (ARP) table.
struct NeighbourRow {
    uint32_t address;       // network order, as it lies in memory
    uint32_t type;          // 2 invalid, 3 dynamic, 4 static; others as reported
    uint32_t physLength;
    uint8_t phys[8];
};
constexpr uint32_t kNeighbourInvalid = 2;
// The hardware address the table knows for `address`: a row of that address
// that is not invalid and carries at least six bytes that are not all zero.
bool FindNeighbourMac(const std::vector<NeighbourRow>& rows, uint32_t address, uint8_t mac[6]);
