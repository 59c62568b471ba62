// Any bytes as the data file: the load takes exactly the whole records, the
// save writes them back as they were but for their ids, and a save onto a
// disk with little room never leaves fewer records than the file held.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzCheck.h"
#include "entries/EntList.h"

namespace {

constexpr size_t kRecord = sizeof(WakeEntry);

// A disk charges only for the bytes past the end of the file.
class SmallDiskFile : public RecordFile {
public:
    SmallDiskFile(std::string bytes, size_t room) : bytes(std::move(bytes)), room(room) {}
    bool Seek(uint64_t offset) override {
        pos = static_cast<size_t>(offset);
        return true;
    }
    bool Read(void* buffer, uint32_t size, uint32_t& done) override {
        done = pos < bytes.size() ? static_cast<uint32_t>(std::min<size_t>(size, bytes.size() - pos)) : 0;
        std::memcpy(buffer, bytes.data() + pos, done);
        pos += done;
        return true;
    }
    bool Write(const void* data, uint32_t size, uint32_t& done) override {
        const size_t inPlace = pos < bytes.size() ? std::min<size_t>(size, bytes.size() - pos) : 0;
        const size_t grown = std::min<size_t>(size - inPlace, room);
        room -= grown;
        done = static_cast<uint32_t>(inPlace + grown);
        if (bytes.size() < pos + done) bytes.resize(pos + done);
        std::memcpy(&bytes[pos], data, done);
        pos += done;
        return done == size;
    }
    bool Truncate() override {
        bytes.resize(pos);
        return true;
    }
    bool Size(uint64_t& size) override {
        size = bytes.size();
        return true;
    }
    std::string bytes;
    size_t pos = 0;
    size_t room;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t room = static_cast<size_t>(data[0]) * 64;  // 0 .. 16 KB of free disk
    const int added = data[1] % 4;
    const std::string original(reinterpret_cast<const char*>(data + 2), size - 2);
    const size_t whole = original.size() / kRecord;

    auto owned = std::make_unique<SmallDiskFile>(original, room);
    SmallDiskFile* file = owned.get();
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
