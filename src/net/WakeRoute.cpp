#include "net/WakeRoute.h"

#include <bitset>

#include "common/TextFormat.h"
#include "net/MagicPacket.h"

namespace {

int PrefixLength(uint32_t mask) { return static_cast<int>(std::bitset<32>(mask).count()); }

constexpr uint32_t kAllOnes = 0xFFFFFFFFu;

// A point-to-point /31 has two addresses and no broadcast: its other end is
// reached at its own address.
uint32_t SubnetDestination(uint32_t entryAddress, uint32_t subnetAddress, uint32_t mask) {
    if (PrefixLength(mask) == 31) return entryAddress;
    return BroadcastDestination(subnetAddress, mask);
}

void AddOnce(std::vector<WakeSend>& plan, WakeSend send) {
    for (const WakeSend& s : plan)
        if (s == send) return;
    plan.push_back(send);
}

}  // namespace

std::vector<LocalAddress> UsableLocalAddresses(const NetInfo& info) {
    std::vector<LocalAddress> list;
    for (const NetAdapter& adapter : info.adapters) {
        if (!adapter.up) continue;
        for (size_t i = 0; i < adapter.ipAddresses.size() && i < adapter.subnetMasks.size(); ++i) {
            uint32_t address = adapter.ipAddresses[i], mask = adapter.subnetMasks[i];
            // No address, no mask, or a host route: there is no subnet to
            // broadcast into.
            if (address == 0 || mask == 0 || mask == kAllOnes) continue;
            list.push_back({address, mask});
        }
    }
    return list;
}

std::vector<WakeSend> PlanWakeSends(const NetInfo& info, uint32_t entryAddress, uint32_t entryMask,
                                    const RouteSourceFn& routeSource) {
    std::vector<WakeSend> plan;
    const LocalSubnet old = ChooseLocalSubnet(info);
    const LocalAddress* best = nullptr;
    const std::vector<LocalAddress> locals = UsableLocalAddresses(info);
    for (const LocalAddress& local : locals) {
        if ((entryAddress & local.mask) != (local.address & local.mask)) continue;
        // A tie goes to the old rule's address, so that case stays as it was.
        const int length = PrefixLength(local.mask), bestLength = best ? PrefixLength(best->mask) : -1;
        if (length > bestLength || (length == bestLength && local.address == old.address)) best = &local;
    }
    if (best) {
        plan.push_back({best->address, SubnetDestination(entryAddress, best->address, best->mask)});
        return plan;
    }
    const uint32_t own = SubnetDestination(entryAddress, entryAddress, entryMask);
    AddOnce(plan, {routeSource ? routeSource(own) : 0, own});
    const uint32_t oldDestination = BroadcastDestination(old.address, old.mask);
    uint32_t oldSource = old.address;
    if (oldSource == 0 && routeSource) oldSource = routeSource(oldDestination);
    AddOnce(plan, {oldSource, oldDestination});
    return plan;
}

bool IsLegacySend(const NetInfo& info, const std::vector<WakeSend>& plan) {
    const LocalSubnet old = ChooseLocalSubnet(info);
    return plan.size() == 1 && plan[0].source == old.address &&
           plan[0].destination == BroadcastDestination(old.address, old.mask);
}

std::string WakeSendText(const std::string& name, uint32_t entryAddress, const WakeSend& send, uint16_t port) {
    return "[" + name + "(" + FormatIPv4Value(entryAddress) + ")] " + FormatIPv4Value(send.source) + ":" +
           std::to_string(kWakePort) + " から " + FormatIPv4Value(send.destination) + ":" + std::to_string(port) +
           " へ送信";
}
