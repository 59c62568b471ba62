#pragma once
// Adapter snapshots for the tests of what is chosen from them: each adapter
// its type and its addresses with their masks, and where it matters its index
// and whether its link is up.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/TextFormat.h"
#include "net/NetInfo.h"

struct TestAdapter {
    uint32_t type;
    std::vector<uint32_t> ips;
    std::vector<uint32_t> masks;  // the n-th mask belongs to the n-th address
    uint32_t index = 0;
    bool up = true;
};

inline NetInfo MakeInfo(const std::vector<TestAdapter>& adapters) {
    NetInfo info{};
    for (const TestAdapter& s : adapters) {
        NetAdapter a{};
        a.index = s.index;
        a.type = s.type;
        a.ipAddresses = s.ips;
        a.subnetMasks = s.masks;
        a.up = s.up;
        info.adapters.push_back(a);
    }
    return info;
}

// "a.b.c.d" in network order; 0 for text that is no address.
inline uint32_t TestIp(const char* text) {
    unsigned a, b, c, d;
    if (std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d) != 4) return 0;
    return IPv4Value(static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c),
                     static_cast<uint8_t>(d));
}

// An adapter from "a.b.c.d/m.m.m.m" pairs.
inline TestAdapter TextAdapter(uint32_t type, const std::vector<const char*>& pairs, bool up = true) {
    TestAdapter adapter{type, {}, {}};
    adapter.up = up;
    for (const char* pair : pairs) {
        const std::string text(pair);
        const size_t slash = text.find('/');
        adapter.ips.push_back(TestIp(text.substr(0, slash).c_str()));
        adapter.masks.push_back(slash == std::string::npos ? 0 : TestIp(text.substr(slash + 1).c_str()));
    }
    return adapter;
}
