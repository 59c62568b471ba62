// Any bytes as an exchange file: the import adds exactly the whole records
// after a good header, each as it stands but for its id, and nothing else;
// the listing (read back as CSV) and the copy rule then read every record
// within its fields, and an export of the result imports back to the same
// records.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "../host/CsvFields.h"
#include "../host/MemoryFile.h"
#include "FuzzCheck.h"
#include "common/FixedText.h"
#include "entries/EntList.h"
#include "entries/EntryCopy.h"
#include "entries/EntryFiles.h"

namespace {


constexpr size_t kRecord = sizeof(WakeEntry);

std::string Bytes(const WakeEntry& e) { return std::string(reinterpret_cast<const char*>(&e), kRecord); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    CEntList store;
    WakeEntry first;
    InitNewEntry(first);
    store.AddEntry(first);
    const std::string firstBytes = Bytes(first);

    MemoryFile input(file);
    int begun = 0;
    const ImportResult result = ImportExchange(store, input, [&](int) { ++begun; }, nullptr);
    const bool good = size >= kExchangeHeaderSize && ParseExchangeHeader(file.data(), kExchangeHeaderSize, nullptr);
    const int whole = good ? static_cast<int>((size - kExchangeHeaderSize) / kRecord) : 0;
    FUZZ_CHECK(result.kind == (good ? ImportResult::kDone : ImportResult::kNotExchange));
    FUZZ_CHECK(begun == (good ? 1 : 0));
    FUZZ_CHECK(result.added == whole);
    FUZZ_CHECK(store.EntryCount() == 1 + whole);
    FUZZ_CHECK(Bytes(*store.FindEntry(0)) == firstBytes);
    for (int i = 0; i < whole; ++i) {
        const WakeEntry* entry = store.FindEntry(1 + i);
        FUZZ_CHECK(entry != nullptr);
        FUZZ_CHECK(Bytes(*entry).substr(4) == file.substr(kExchangeHeaderSize + i * kRecord + 4, kRecord - 4));

        const WakeEntry copy = MakeEntryCopy(*entry);
        const size_t length = FieldLength(entry->name);
        if (length <= kCopyPrefixMaxName) FUZZ_CHECK(EntryName(copy) == "ｺﾋﾟｰ " + EntryName(*entry));
        else FUZZ_CHECK(std::memcmp(copy.name, entry->name, sizeof copy.name) == 0);
    }

    MemoryFile listing;
    const FileWriteResult lines = WriteListing(store, listing, nullptr, nullptr);
    FUZZ_CHECK(!lines.headerFailed && !lines.writeFailed && lines.count == store.EntryCount());
    // Read as a spreadsheet reads it, every line gives back its entry's texts
    // whole, whatever quotes, commas or line breaks they hold.
    std::vector<std::vector<std::string>> rows;
    FUZZ_CHECK(ReadCsv(listing.bytes, rows));
    FUZZ_CHECK(rows.size() == static_cast<size_t>(store.EntryCount()) + 1);
    for (int id = 0; id < store.EntryCount(); ++id) {
        const WakeEntry& entry = *store.FindEntry(id);
        const std::vector<std::string>& row = rows[id + 1];
        FUZZ_CHECK(row.size() == 9);
        FUZZ_CHECK(row[0] == std::to_string(id + 1));
        // A text a spreadsheet would take for a formula has its guard.
        auto listed = [](const std::string& text) {
            const bool formula = !text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos;
            return formula ? "'" + text : text;
        };
        FUZZ_CHECK(row[1] == listed(FieldText(entry.name)));
        FUZZ_CHECK(row[6] == listed(FieldText(entry.hostName)));
        FUZZ_CHECK(row[7] == listed(FieldText(entry.place)));
        FUZZ_CHECK(row[8] == listed(FieldText(entry.comment)));
    }

    MemoryFile exported;
    const FileWriteResult records = WriteExchange(store, exported, nullptr, nullptr);
    FUZZ_CHECK(!records.writeFailed && records.count == store.EntryCount());
    FUZZ_CHECK(exported.bytes.size() == kExchangeHeaderSize + store.EntryCount() * kRecord);
    CEntList again;
    MemoryFile back(exported.bytes);
    FUZZ_CHECK(ImportExchange(again, back, nullptr, nullptr).added == store.EntryCount());
    for (int id = 0; id < store.EntryCount(); ++id) FUZZ_CHECK(Bytes(*again.FindEntry(id)) == Bytes(*store.FindEntry(id)));
    return 0;
}
