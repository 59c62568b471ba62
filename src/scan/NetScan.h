#pragma once
// The network scan's rules: which local subnets it offers, which addresses a
// range holds, how found computers are listed and what entries they become.
// Addresses in network order are IPv4 values as they lie in memory (as
// inet_addr gives them); "host order" values are plain numbers a.b.c.d =
// a << 24 | b << 16 | c << 8 | d, which sort and count as addresses do.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/TextFormat.h"
#include "entries/WakeEntry.h"
#include "net/NetInfo.h"

// More than this many addresses would keep the network busy for minutes.
constexpr uint32_t kScanLimit = 4096;

uint32_t HostOrder(uint32_t networkOrder);
uint32_t NetworkOrder(uint32_t hostOrder);

struct ScanSubnet {
    uint32_t address;  // the local address, network order
    uint32_t mask;     // network order
    uint32_t adapterIndex;
};

// One row of the platform's routing table, addresses in network order.
struct RouteRow {
    uint32_t destination;
    uint32_t mask;
    uint32_t nextHop;
    uint32_t adapterIndex;
    uint32_t metric;
};

// Every local address with its mask, once each; loopback addresses and
// addresses without a mask are left out. The subnet the default route
// leaves through comes first (on its adapter the address whose subnet holds
// the gateway), the others follow in the platform's order.
std::vector<ScanSubnet> ScanSubnets(const NetInfo& info, const std::vector<RouteRow>& routes);
// "10.78.0.2 / 255.255.255.0"
std::string SubnetLabel(const ScanSubnet& subnet);

// Host order, both ends included.
struct ScanRange {
    uint32_t first;
    uint32_t last;
};
// The computers a subnet can hold: without its network and broadcast
// addresses where it has them (masks up to /30).
ScanRange SubnetHosts(const ScanSubnet& subnet);
// What the box scans when it opens: the subnet's computers, or, in a subnet
// larger than the limit, those of the aligned block of kScanLimit addresses
// that holds the computer's own address.
ScanRange DefaultScanRange(const ScanSubnet& subnet);

// One end of the range as the address box gives it: its value (host order)
// and how many of its four fields were filled in.
struct RangeEnd {
    uint32_t value;
    int filledFields;
};
enum class RangeProblem { None, FromIncomplete, ToIncomplete, Reversed, TooLarge };
RangeProblem CheckScanRange(const RangeEnd& from, const RangeEnd& to, ScanRange* range);
// What the user reads about a refused range.
std::string RangeProblemText(RangeProblem problem, const ScanRange& range);

// The addresses to ask, in order, network order; the computer's own
// addresses are left out.
std::vector<uint32_t> ScanTargets(const ScanRange& range, const std::vector<uint32_t>& localAddresses);

using MacAddress = std::array<uint8_t, 6>;

// A computer that answered, with what could be learnt about it.
struct ScanFound {
    uint32_t address;  // network order
    bool hasMac;
    MacAddress mac;
    std::string computerName;  // empty when the reverse look-up found none
};

// A computer's name, learnt after its row was made.
struct ScanName {
    uint32_t address;  // network order
    std::string computerName;
};

enum class ScanState { New, Registered, NoMac };

struct ScanRow {
    ScanFound found;
    ScanState state;
};

// "新規", "登録済み", "MAC不明"
const char* ScanStateText(ScanState state);
// Only a computer with a hardware address can become an entry.
inline bool ScanRowCheckable(const ScanRow& row) { return row.state != ScanState::NoMac; }
// New computers start checked; the registered ones and those that cannot be
// added do not.
inline bool ScanRowCheckedAtFirst(const ScanRow& row) { return row.state == ScanState::New; }

// The found computers, sorted by address; a computer is registered when an
// entry holds its hardware address.
class ScanRows {
public:
    explicit ScanRows(std::vector<MacAddress> registered = {});
    // Puts a report in its place, replacing an earlier one of the same
    // address. Returns its row; `inserted` tells whether the row is new.
    size_t Put(const ScanFound& found, bool* inserted);
    // Gives the row of the name's address its computer name; false when
    // there is no such row.
    bool SetName(const ScanName& name);
    const std::vector<ScanRow>& Rows() const { return rows_; }
    void Clear() { rows_.clear(); }

private:
    ScanState StateOf(const ScanFound& found) const;
    std::vector<ScanRow>::iterator Find(uint32_t address);
    std::vector<MacAddress> registered_;
    std::vector<ScanRow> rows_;
};

// The hardware addresses of these entries, all-zero ones left out.
std::vector<MacAddress> RegisteredMacs(const std::vector<const WakeEntry*>& entries);

// The mask an added computer gets: that of the local subnet it lies in,
// otherwise the one of the subnet the user chose.
uint32_t MaskFor(uint32_t address, const std::vector<ScanSubnet>& subnets, const ScanSubnet& chosen);

// The new entry a found computer becomes: the new-entry defaults; as name
// its computer name, or its address when it has none; its address, `mask`,
// hardware address and computer name; registered at `now`.
WakeEntry ScanEntry(const ScanFound& found, uint32_t mask, const DateTime& now);
