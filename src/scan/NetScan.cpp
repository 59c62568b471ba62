#include "scan/NetScan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/FixedText.h"
#include "entries/EntryFields.h"

namespace {

constexpr uint32_t kSoftwareLoopback = 24;

bool IsLoopback(uint32_t networkOrder) { return (HostOrder(networkOrder) >> 24) == 127; }

bool SameSubnet(uint32_t a, uint32_t b, uint32_t mask) { return ((a ^ b) & mask) == 0; }

// The default route with the lowest metric; false when there is none.
bool DefaultRoute(const std::vector<RouteRow>& routes, RouteRow* best) {
    bool found = false;
    for (const RouteRow& r : routes) {
        if (r.destination != 0 || r.mask != 0) continue;
        if (!found || r.metric < best->metric) *best = r;
        found = true;
    }
    return found;
}

}  // namespace

uint32_t HostOrder(uint32_t networkOrder) {
    uint8_t o[4];
    std::memcpy(o, &networkOrder, 4);
    return static_cast<uint32_t>(o[0]) << 24 | static_cast<uint32_t>(o[1]) << 16 |
           static_cast<uint32_t>(o[2]) << 8 | o[3];
}

uint32_t NetworkOrder(uint32_t hostOrder) {
    return IPv4Value(static_cast<uint8_t>(hostOrder >> 24), static_cast<uint8_t>(hostOrder >> 16),
                     static_cast<uint8_t>(hostOrder >> 8), static_cast<uint8_t>(hostOrder));
}

std::vector<ScanSubnet> ScanSubnets(const NetInfo& info, const std::vector<RouteRow>& routes) {
    std::vector<ScanSubnet> subnets;
    for (const NetAdapter& a : info.adapters) {
        if (a.type == kSoftwareLoopback) continue;
        for (size_t i = 0; i < a.ipAddresses.size() && i < a.subnetMasks.size(); ++i) {
            const ScanSubnet s = {a.ipAddresses[i], a.subnetMasks[i], a.index};
            if (s.address == 0 || s.mask == 0 || IsLoopback(s.address)) continue;
            bool known = std::any_of(subnets.begin(), subnets.end(), [&](const ScanSubnet& k) {
                return k.address == s.address && k.mask == s.mask;
            });
            if (!known) subnets.push_back(s);
        }
    }
    RouteRow route = {};
    if (!DefaultRoute(routes, &route)) return subnets;
    auto byGateway = std::find_if(subnets.begin(), subnets.end(), [&](const ScanSubnet& s) {
        return s.adapterIndex == route.adapterIndex && SameSubnet(s.address, route.nextHop, s.mask);
    });
    auto chosen = byGateway != subnets.end()
                      ? byGateway
                      : std::find_if(subnets.begin(), subnets.end(),
                                     [&](const ScanSubnet& s) { return s.adapterIndex == route.adapterIndex; });
    if (chosen != subnets.end()) std::rotate(subnets.begin(), chosen, chosen + 1);
    return subnets;
}

std::string SubnetLabel(const ScanSubnet& subnet) {
    return FormatIPv4Value(subnet.address) + " / " + FormatIPv4Value(subnet.mask);
}

ScanRange SubnetHosts(const ScanSubnet& subnet) {
    const uint32_t address = HostOrder(subnet.address);
    const uint32_t mask = HostOrder(subnet.mask);
    ScanRange range = {address & mask, (address & mask) | ~mask};
    if (range.last - range.first >= 3) {
        ++range.first;
        --range.last;
    }
    return range;
}

ScanRange DefaultScanRange(const ScanSubnet& subnet) {
    const ScanRange hosts = SubnetHosts(subnet);
    if (hosts.last - hosts.first < kScanLimit) return hosts;
    const uint32_t blockFirst = HostOrder(subnet.address) & ~(kScanLimit - 1);
    const uint32_t blockLast = blockFirst + (kScanLimit - 1);
    return {std::max(blockFirst, hosts.first), std::min(blockLast, hosts.last)};
}

RangeProblem CheckScanRange(const RangeEnd& from, const RangeEnd& to, ScanRange* range) {
    *range = {from.value, to.value};
    if (from.filledFields < 4) return RangeProblem::FromIncomplete;
    if (to.filledFields < 4) return RangeProblem::ToIncomplete;
    if (from.value > to.value) return RangeProblem::Reversed;
    if (to.value - from.value >= kScanLimit) return RangeProblem::TooLarge;
    return RangeProblem::None;
}

std::string RangeProblemText(RangeProblem problem, const ScanRange& range) {
    switch (problem) {
    case RangeProblem::None: return std::string();
    case RangeProblem::FromIncomplete: return "検索範囲の開始ｱﾄﾞﾚｽを入力してください";
    case RangeProblem::ToIncomplete: return "検索範囲の終了ｱﾄﾞﾚｽを入力してください";
    case RangeProblem::Reversed: return "検索範囲の開始ｱﾄﾞﾚｽが終了ｱﾄﾞﾚｽより後ろです";
    case RangeProblem::TooLarge: {
        // The whole IPv4 space has one more address than 32 bits can count.
        const unsigned long long count = static_cast<unsigned long long>(range.last) - range.first + 1;
        char text[160];
        std::snprintf(text, sizeof text, "検索範囲が広すぎます (%lluｱﾄﾞﾚｽ)\n一度に検索できるのは%uｱﾄﾞﾚｽまでです",
                      count, static_cast<unsigned>(kScanLimit));
        return text;
    }
    }
    return std::string();
}

std::vector<uint32_t> ScanTargets(const ScanRange& range, const std::vector<uint32_t>& localAddresses) {
    std::vector<uint32_t> targets;
    if (range.first > range.last) return targets;
    for (uint32_t a = range.first;; ++a) {
        const uint32_t address = NetworkOrder(a);
        if (std::find(localAddresses.begin(), localAddresses.end(), address) == localAddresses.end())
            targets.push_back(address);
        if (a == range.last) break;
    }
    return targets;
}

const char* ScanStateText(ScanState state) {
    switch (state) {
    case ScanState::New: return "新規";
    case ScanState::Registered: return "登録済み";
    case ScanState::NoMac: return "MAC不明";
    }
    return "";
}

ScanRows::ScanRows(std::vector<MacAddress> registered) : registered_(std::move(registered)) {}

ScanState ScanRows::StateOf(const ScanFound& found) const {
    static const MacAddress zero = {};
    if (!found.hasMac || found.mac == zero) return ScanState::NoMac;
    bool known = std::find(registered_.begin(), registered_.end(), found.mac) != registered_.end();
    return known ? ScanState::Registered : ScanState::New;
}

std::vector<ScanRow>::iterator ScanRows::Find(uint32_t address) {
    return std::lower_bound(rows_.begin(), rows_.end(), HostOrder(address),
                            [](const ScanRow& r, uint32_t k) { return HostOrder(r.found.address) < k; });
}

size_t ScanRows::Put(const ScanFound& found, bool* inserted) {
    auto at = Find(found.address);
    const ScanRow row = {found, StateOf(found)};
    *inserted = at == rows_.end() || at->found.address != found.address;
    if (*inserted) at = rows_.insert(at, row);
    else *at = row;
    return static_cast<size_t>(at - rows_.begin());
}

bool ScanRows::SetName(const ScanName& name) {
    auto at = Find(name.address);
    if (at == rows_.end() || at->found.address != name.address) return false;
    at->found.computerName = name.computerName;
    return true;
}

std::vector<MacAddress> RegisteredMacs(const std::vector<const WakeEntry*>& entries) {
    static const MacAddress zero = {};
    std::vector<MacAddress> macs;
    for (const WakeEntry* e : entries) {
        MacAddress mac;
        std::memcpy(mac.data(), e->macAddress, mac.size());
        if (mac != zero) macs.push_back(mac);
    }
    return macs;
}

uint32_t MaskFor(uint32_t address, const std::vector<ScanSubnet>& subnets, const ScanSubnet& chosen) {
    if (SameSubnet(address, chosen.address, chosen.mask)) return chosen.mask;
    for (const ScanSubnet& s : subnets)
        if (SameSubnet(address, s.address, s.mask)) return s.mask;
    return chosen.mask;
}

WakeEntry ScanEntry(const ScanFound& found, uint32_t mask, const DateTime& now) {
    WakeEntry entry;
    InitNewEntry(entry);
    const std::string name = found.computerName.empty() ? FormatIPv4Value(found.address) : found.computerName;
    SetField(entry.name, FitText(name, sizeof entry.name - 1));
    SetField(entry.hostName, FitText(found.computerName, sizeof entry.hostName - 1));
    std::memcpy(entry.ipAddress, &found.address, 4);
    std::memcpy(entry.subnetMask, &mask, 4);
    if (found.hasMac) std::memcpy(entry.macAddress, found.mac.data(), 6);
    entry.registeredTime = now;
    return entry;
}
