#include "net/Neighbour.h"

#include <cstring>

bool FindNeighbourMac(const std::vector<NeighbourRow>& rows, uint32_t address, uint8_t mac[6]) {
    static const uint8_t zero[6] = {};
    for (const NeighbourRow& row : rows) {
        if (row.address != address || row.type == kNeighbourInvalid || row.physLength < 6) continue;
        if (std::memcmp(row.phys, zero, 6) == 0) continue;
        std::memcpy(mac, row.phys, 6);
        return true;
    }
    return false;
}
