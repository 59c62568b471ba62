// A save when the disk has little or no room left.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "MemoryFile.h"
#include "entries/EntList.h"

namespace {

constexpr size_t kRecord = sizeof(WakeEntry);

WakeEntry Numbered(int n) {
    WakeEntry e{};
    std::snprintf(e.name, sizeof e.name, "PC%d", n);
    e.ipAddress[0] = 10;
    e.ipAddress[3] = static_cast<uint8_t>(n);
    return e;
}

std::string FileOf(int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        WakeEntry e = Numbered(i);
        e.id = i;
        bytes.append(reinterpret_cast<const char*>(&e), kRecord);
    }
    return bytes;
}

TEST(FullDisk, ASaveNeverLeavesFewerEntriesThanTheFileHeld) {
    // Every save writes a whole new file first: even one with fewer entries
    // needs room for all of them, and until it has it the old file stays.
    struct Case {
        const char* what;
        int before;       // records in the file
        int change;       // entries added (or removed when negative) before the save
        size_t room;      // bytes the disk can still take
        bool saysNothingWritten;
        bool saved;
    };
    const Case cases[] = {
        {"room for the whole new file", 3, 3, 6 * kRecord, false, true},
        {"no room at all", 3, 3, 0, false, false},
        {"room for the growth alone", 3, 3, 3 * kRecord, false, false},
        {"a failed write that says nothing was written", 3, 4, 2 * kRecord, true, false},
        {"fewer entries, no room", 3, -1, 0, false, false},
        {"fewer entries, room for them", 3, -1, 2 * kRecord, false, true},
        {"a new file with no room", 0, 2, 0, false, false},
        {"nothing at all needs no room", 0, 0, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string original = FileOf(c.before);
        auto owned = std::make_unique<MemoryPlace>(original);
        MemoryPlace* place = owned.get();
        CEntList store;
        store.AttachDataFile(std::move(owned));
        for (int i = 0; i < c.change; ++i) {
            WakeEntry e = Numbered(100 + i);
            store.AddEntry(e);
        }
        for (int i = 0; i < -c.change; ++i) store.RemoveEntry(i);
        place->diskRoom = c.room;
        place->reportsNothingOnFailure = c.saysNothingWritten;

        const std::string problem = store.SaveDataFile();
        if (!c.saved) {
            EXPECT_EQ(problem, "ディスクの空きが足りないためデータファイルを更新しませんでした");
            EXPECT_EQ(original, place->file->bytes) << "the old content must stay as it was";
            EXPECT_FALSE(place->nextOpen);
            continue;
        }
        EXPECT_EQ(problem, "");
        ASSERT_EQ(static_cast<size_t>(store.EntryCount()) * kRecord, place->file->bytes.size());
        int index = 0;
        for (const WakeEntry* e = store.FirstEntry(); e; e = store.NextEntry(), ++index)
            EXPECT_EQ(0, std::memcmp(e, place->file->bytes.data() + index * kRecord, kRecord)) << index;
    }
}

}  // namespace
