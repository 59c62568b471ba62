#pragma once
// Where one entry's wake packets go, given the adapters of this run. Pure
// arithmetic on the snapshot, so it is the same on every platform.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/NetInfo.h"

// One packet: the local address its socket is bound to (port 7) and the
// address it is sent to. Both in network order; a source of 0 means "any".
struct WakeSend {
    uint32_t source;
    uint32_t destination;
    bool operator==(const WakeSend& o) const { return source == o.source && destination == o.destination; }
};

// Asked for the local address the system would send to `destination` from;
// 0 when it has no route (or cannot tell).
using RouteSourceFn = std::function<uint32_t(uint32_t destination)>;

// The local addresses a run may send from: every address with a usable mask
// on an adapter that is up.
struct LocalAddress {
    uint32_t address;
    uint32_t mask;
};
std::vector<LocalAddress> UsableLocalAddresses(const NetInfo& info);

// Whether `address` lies in the subnet of one of `links`: anything with an
// address and a mask, both in network order (a local address, a scanned
// subnet). The status checks and the scan ask the neighbour table there.
template <class Link>
bool OnLink(uint32_t address, const std::vector<Link>& links) {
    for (const Link& link : links)
        if (((address ^ link.address) & link.mask) == 0) return true;
    return false;
}

// 1. An entry inside the subnet of a local address gets that subnet's directed
//    broadcast from that address (the most specific subnet wins). On a
//    one-adapter LAN this is exactly the old single destination. A /31 has
//    no broadcast: the entry's own address takes its place.
// 2. Anything else gets its own directed broadcast (a routed subnet, or one
//    address with mask 255.255.255.255), from the address the route gives,
//    and also the old destination (the last Ethernet adapter's subnet, else
//    255.255.255.255), so a stale stored address on this LAN still wakes.
std::vector<WakeSend> PlanWakeSends(const NetInfo& info, uint32_t entryAddress, uint32_t entryMask,
                                    const RouteSourceFn& routeSource);

// True when the plan is the single packet the old rule sent, from the old
// rule's address: nothing new for the Command Log to say.
bool IsLegacySend(const NetInfo& info, const std::vector<WakeSend>& plan);

// "[%s(%d.%d.%d.%d)] %d.%d.%d.%d:7 から %d.%d.%d.%d:%d へ送信": the entry's name
// and address, the local address and port, the destination and its port.
std::string WakeSendText(const std::string& name, uint32_t entryAddress, const WakeSend& send, uint16_t port);
