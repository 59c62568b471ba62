// Any bytes as the data file: the load takes exactly the whole records, the
// save writes them back as they were but for their ids, and a save onto a
// disk with little room never leaves fewer records than the file held.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "../host/MemoryFile.h"
#include "FuzzCheck.h"
#include "entries/EntList.h"

namespace {

constexpr size_t kRecord = sizeof(WakeEntry);


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t room = static_cast<size_t>(data[0]) * 64;  // 0 .. 16 KB of free disk
    const int added = data[1] % 4;
    const std::string original(reinterpret_cast<const char*>(data + 2), size - 2);
    const size_t whole = original.size() / kRecord;

    auto owned = std::make_unique<MemoryFile>(original);
    MemoryFile* file = owned.get();
    file->diskRoom = room;
    file->tellsSize = true;
    CEntList store;
    store.AttachDataFile(std::move(owned));
    FUZZ_CHECK(store.LoadWhole());
    FUZZ_CHECK(static_cast<size_t>(store.EntryCount()) == whole);
    int id = 0;
    for (WakeEntry* e = store.FirstEntry(); e; e = store.NextEntry(), ++id) {
        FUZZ_CHECK(e->id == id);
        FUZZ_CHECK(std::memcmp(reinterpret_cast<const char*>(e) + 4, original.data() + id * kRecord + 4, kRecord - 4) == 0);
    }
    for (int i = 0; i < added; ++i) {
        WakeEntry extra{};
        std::memcpy(extra.name, "extra", 6);
        FUZZ_CHECK(store.AddEntry(extra) >= 0);
    }

    const std::string problem = store.SaveDataFile();
    const std::string& after = file->bytes;
    FUZZ_CHECK(after.size() % kRecord == 0 || !problem.empty());
    FUZZ_CHECK(after.size() / kRecord >= whole);
    // Every record the file held is still there, byte for byte past its id.
    for (size_t i = 0; i < whole; ++i)
        FUZZ_CHECK(std::memcmp(after.data() + i * kRecord + 4, original.data() + i * kRecord + 4, kRecord - 4) == 0);
    if (problem.empty()) {
        FUZZ_CHECK(after.size() == (whole + added) * kRecord);
    } else {
        // Refused: the file keeps its length; only a trailing fragment, which
        // no load ever takes, may have been written over.
        FUZZ_CHECK(after.size() == original.size());
    }
    return 0;
}
