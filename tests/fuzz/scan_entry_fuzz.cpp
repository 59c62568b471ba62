// What a scan learns from the network, as any computer on the LAN may shape
// it: reverse names of any bytes and neighbour-table rows of any content.
// The entries made from them keep every text inside its field on whole
// characters, take a hardware address only from a usable row of their own
// address, and the found list stays sorted with one row per address.
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "common/FixedText.h"
#include "entries/EntryFields.h"
#include "net/Neighbour.h"
#include "scan/NetScan.h"

namespace {

template <size_t N>
void CheckField(const char (&field)[N], const std::string& source) {
    const size_t length = FieldLength(field);
    FUZZ_CHECK(length < N);
    const std::string text(field, length);
    // A prefix of what was found, never cut inside a character.
    FUZZ_CHECK(source.compare(0, text.size(), text) == 0);
    if (text.size() < source.size() && source[text.size()] != '\0')
        FUZZ_CHECK(!EndsInLoneLeadByte(text) || !IsCp932TrailByte(static_cast<unsigned char>(source[text.size()])));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint32_t address = in.U32();
    const uint32_t mask = in.U32();
    const uint8_t rowCount = in.Byte() % 16;
    std::vector<NeighbourRow> rows;
    for (uint8_t i = 0; i < rowCount; ++i) {
        NeighbourRow row = {};
        row.address = (in.Byte() & 1) ? address : in.U32();
        row.type = in.Byte();
        row.physLength = in.U32();
        for (uint8_t& b : row.phys) b = in.Byte();
        rows.push_back(row);
    }
    const std::string name = in.Line();

    ScanFound found = {};
    found.address = address;
    found.hasMac = FindNeighbourMac(rows, address, found.mac.data());
    if (found.hasMac) {
        bool fromARow = false;
        for (const NeighbourRow& row : rows)
            fromARow |= row.address == address && row.type != kNeighbourInvalid && row.physLength >= 6 &&
                        std::memcmp(row.phys, found.mac.data(), 6) == 0;
        FUZZ_CHECK(fromARow);
        static const uint8_t zero[6] = {};
        FUZZ_CHECK(std::memcmp(found.mac.data(), zero, 6) != 0);
    }
    found.computerName = name;

    const DateTime now = {2026, 12, 5, 11, 5, 9, 30, 0};
    const WakeEntry entry = ScanEntry(found, mask, now);
    CheckField(entry.hostName, name);
    CheckField(entry.name, name.empty() ? FormatIPv4Value(address) : name);
    FUZZ_CHECK(std::memcmp(entry.ipAddress, &address, 4) == 0);
    FUZZ_CHECK(std::memcmp(entry.subnetMask, &mask, 4) == 0);
    if (found.hasMac) FUZZ_CHECK(std::memcmp(entry.macAddress, found.mac.data(), 6) == 0);

    // The same computers reported again, in the order the rows give.
    ScanRows list({found.mac});
    for (const NeighbourRow& row : rows) {
        ScanFound other = found;
        other.address = row.address;
        bool inserted = false;
        const size_t at = list.Put(other, &inserted);
        FUZZ_CHECK(at < list.Rows().size() && list.Rows()[at].found.address == row.address);
    }
    bool inserted = false;
    list.Put(found, &inserted);
    const std::vector<ScanRow>& sorted = list.Rows();
    for (size_t i = 1; i < sorted.size(); ++i)
        FUZZ_CHECK(HostOrder(sorted[i - 1].found.address) < HostOrder(sorted[i].found.address));
    return 0;
}
