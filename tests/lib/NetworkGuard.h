#pragma once
// The last check a Wine test program makes before its first test: the
// network Windows reports must be that of a namespace its runner made, so no
// test can reach the machine's own interfaces. Reads the adapter list only;
// sends nothing.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace testnet {

struct Subnet {
    uint8_t network[4];
    int bits;
};

inline bool InSubnet(const uint8_t address[4], const Subnet& subnet) {
    uint32_t a = 0, n = 0;
    for (int i = 0; i < 4; ++i) {
        a = a << 8 | address[i];
        n = n << 8 | subnet.network[i];
    }
    const uint32_t mask = subnet.bits == 0 ? 0 : ~uint32_t{0} << (32 - subnet.bits);
    return (a & mask) == (n & mask);
}

inline std::string AddressText(const sockaddr* address) {
    char text[64] = {};
    if (address->sa_family == AF_INET) {
        const uint8_t* o = reinterpret_cast<const uint8_t*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", o[0], o[1], o[2], o[3]);
    } else {
        const uint8_t* o = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr;
        std::snprintf(text, sizeof text, "%02x%02x:%02x%02x:...", o[0], o[1], o[2], o[3]);
    }
    return text;
}

// Why this program must not run here; empty when every adapter that is up,
// loopback aside, holds IPv4 addresses of the test subnets only (IPv6 link-
// local addresses come with every link and reach no further). With no test
// subnets, any such adapter is refused: loopback alone. With some, at least
// one address in them must be there, or this is not the runner's namespace.
inline std::string ForeignNetwork(const std::vector<Subnet>& testSubnets) {
    ULONG size = 16 * 1024;
    std::vector<char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result = GetAdaptersAddresses(AF_UNSPEC,
                                      GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                      nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result == ERROR_NO_DATA) return testSubnets.empty() ? "" : "no network adapter at all";
    if (result != NO_ERROR) return "GetAdaptersAddresses failed with " + std::to_string(result);
    bool sawTestSubnet = false;
    for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
        if (a->IfType == IF_TYPE_SOFTWARE_LOOPBACK || a->OperStatus != IfOperStatusUp) continue;
        char name[256] = "?";
        if (a->FriendlyName) WideCharToMultiByte(CP_ACP, 0, a->FriendlyName, -1, name, sizeof name - 1, nullptr, nullptr);
        if (testSubnets.empty()) return "adapter " + std::string(name) + " is up beside loopback";
        for (auto* u = a->FirstUnicastAddress; u; u = u->Next) {
            const sockaddr* address = u->Address.lpSockaddr;
            if (address->sa_family == AF_INET6) {
                const uint8_t* o = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr;
                if (o[0] == 0xFE && (o[1] & 0xC0) == 0x80) continue;
                return "adapter " + std::string(name) + " has address " + AddressText(address) + ", outside the test network";
            }
            if (address->sa_family != AF_INET) continue;
            const uint8_t* o = reinterpret_cast<const uint8_t*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
            bool inside = false;
            for (const Subnet& subnet : testSubnets) inside |= InSubnet(o, subnet);
            if (!inside) return "adapter " + std::string(name) + " has address " + AddressText(address) + ", outside the test network";
            sawTestSubnet = true;
        }
    }
    if (!testSubnets.empty() && !sawTestSubnet) return "no adapter in the test network";
    return "";
}

// "10.77.0.0/24 10.78.0.0/24"; false on anything else.
inline bool ParseSubnets(const char* text, std::vector<Subnet>& subnets) {
    subnets.clear();
    for (const char* p = text; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        unsigned o[4] = {}, bits = 0;
        int used = 0;
        if (std::sscanf(p, "%u.%u.%u.%u/%u%n", &o[0], &o[1], &o[2], &o[3], &bits, &used) != 5 || bits > 32 ||
            o[0] > 255 || o[1] > 255 || o[2] > 255 || o[3] > 255)
            return false;
        subnets.push_back({{uint8_t(o[0]), uint8_t(o[1]), uint8_t(o[2]), uint8_t(o[3])}, int(bits)});
        p += used;
    }
    return !subnets.empty();
}

// Prints why and returns false when the program must not run: outside the
// namespace its runner made (`variable` names it; null when the runner sets
// none) or beside an address outside the test subnets. A runner whose
// namespace holds more subnets than `testSubnets` names them all in
// `variable`_SUBNETS ("10.77.0.0/24 10.78.0.0/24").
inline bool MayRun(const char* program, const char* variable, const char* runner,
                   std::vector<Subnet> testSubnets) {
    std::string why;
    if (variable) {
        const char* value = std::getenv(variable);
        if (!value || !*value) why = std::string(variable) + " is not set: start this program through " + runner;
        const std::string subnetsVariable = std::string(variable) + "_SUBNETS";
        const char* subnets = std::getenv(subnetsVariable.c_str());
        if (why.empty() && subnets && !ParseSubnets(subnets, testSubnets))
            why = subnetsVariable + " is not a list of subnets: " + subnets;
    }
    if (why.empty()) why = ForeignNetwork(testSubnets);
    if (why.empty()) return true;
    std::fprintf(stderr, "%s: refusing to run: %s\n", program, why.c_str());
    std::fflush(stderr);
    return false;
}

}  // namespace testnet
