// The save on exit when the disk has little or no room left.
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
    struct Case {
        const char* what;
        int before;       // records in the file
        int change;       // entries added (or removed when negative) before the save
        size_t room;      // bytes the disk can still take
        int after;        // records in the file after the save
        bool reported;    // the save says why it did not write
        bool saysNothingWritten;
    };
    const Case cases[] = {
        {"room for the growth", 3, 3, 3 * kRecord, 6, false, false},
        {"no room at all", 3, 3, 0, 3, true, false},
        {"room for half the growth", 3, 4, 2 * kRecord, 3, true, false},
        {"a failed write that says nothing was written", 3, 4, 2 * kRecord, 3, true, true},
        {"fewer entries need no room", 3, -1, 0, 2, false, false},
        {"the same number needs no room", 3, 0, 0, 3, false, true},
        {"a new file with no room", 0, 2, 0, 0, true, false},
    };
    for (const Case& c : cases) {
        const std::string original = FileOf(c.before);
        auto owned = std::make_unique<MemoryFile>(original);
        MemoryFile* file = owned.get();
        file->tellsSize = true;
        CEntList store;
        store.AttachDataFile(std::move(owned));
        for (int i = 0; i < c.change; ++i) {
            WakeEntry e = Numbered(100 + i);
            store.AddEntry(e);
        }
        for (int i = 0; i < -c.change; ++i) store.RemoveEntry(i);
        file->diskRoom = c.room;
        file->reportsNothingOnFailure = c.saysNothingWritten;

        const std::string problem = store.SaveDataFile();
        EXPECT_EQ(c.reported, !problem.empty()) << c.what << ": " << problem;
        ASSERT_EQ(c.after * kRecord, file->bytes.size()) << c.what;
        if (c.reported) {
            EXPECT_EQ(original, file->bytes) << c.what << ": the old content must stay as it was";
        } else {
            int index = 0;
            for (WakeEntry* e = store.FirstEntry(); e; e = store.NextEntry(), ++index)
                EXPECT_EQ(0, std::memcmp(e, file->bytes.data() + index * kRecord, kRecord)) << c.what << " " << index;
        }
    }
}

}  // namespace
