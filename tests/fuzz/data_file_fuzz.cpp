// Any bytes as the data file: the load takes exactly the whole records, the
// save writes them back as they were but for their ids, and a save onto a
// disk with little room leaves the file exactly as it was.
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

    auto owned = std::make_unique<MemoryPlace>(original);
    MemoryPlace* place = owned.get();
    place->diskRoom = room;
    CEntList store;
    store.AttachDataFile(std::move(owned));
    FUZZ_CHECK(store.LoadWhole());
    FUZZ_CHECK(static_cast<size_t>(store.EntryCount()) == whole);
    int id = 0;
    for (const WakeEntry* e = store.FirstEntry(); e; e = store.NextEntry(), ++id) {
        FUZZ_CHECK(e->id == id);
        FUZZ_CHECK(std::memcmp(reinterpret_cast<const char*>(e) + 4, original.data() + id * kRecord + 4, kRecord - 4) == 0);
    }
    for (int i = 0; i < added; ++i) {
        WakeEntry extra{};
        std::memcpy(extra.name, "extra", 6);
        FUZZ_CHECK(store.AddEntry(extra) >= 0);
    }

    const std::string problem = store.SaveDataFile();
    const std::string& after = place->file->bytes;
    // Saved only when the whole new file fits; else refused, and not a byte
    // of the old file changed, a trailing fragment included.
    FUZZ_CHECK(problem.empty() == ((whole + added) * kRecord <= room));
    FUZZ_CHECK(!place->nextOpen);
    if (!problem.empty()) {
        FUZZ_CHECK(after == original);
        return 0;
    }
    FUZZ_CHECK(after.size() == (whole + added) * kRecord);
    // Every record the file held is still there, byte for byte past its id.
    for (size_t i = 0; i < whole; ++i)
        FUZZ_CHECK(std::memcmp(after.data() + i * kRecord + 4, original.data() + i * kRecord + 4, kRecord - 4) == 0);
    return 0;
}
