// The address filter over arbitrary addresses, networks and prefixes.
#include "FuzzCheck.h"
#include "entries/AddressFilter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint8_t address[4], network[4];
    for (uint8_t& b : address) b = in.Byte();
    for (uint8_t& b : network) b = in.Byte();
    const int prefix = static_cast<int>(in.U32());
    const bool passes = AddressPassesFilter(address, network, prefix);
    if (prefix <= 0) FUZZ_CHECK(passes);
    FUZZ_CHECK(AddressPassesFilter(address, address, prefix));
    // A longer prefix never lets through what a shorter one keeps out.
    if (prefix > 1 && prefix <= 64 && passes) FUZZ_CHECK(AddressPassesFilter(address, network, prefix - 1));
    if (prefix >= 32) {
        bool same = true;
        for (int i = 0; i < 4; ++i) same = same && address[i] == network[i];
        FUZZ_CHECK(passes == same);
    }
    // Whole octets: 8, 16 and 24 bits compare the leading octets exactly.
    if (prefix == 8 || prefix == 16 || prefix == 24) {
        bool same = true;
        for (int i = 0; i < prefix / 8; ++i) same = same && address[i] == network[i];
        FUZZ_CHECK(passes == same);
    }
    return 0;
}
