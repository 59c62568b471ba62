#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>
#include "MemoryFile.h"
#include "entries/EntList.h"
#include "entries/WakeEntry.h"

// Scalar nothrow new is what the store takes its blocks with; a budget lets a
// test make the n-th block fail. Unlimited unless a test sets it.
static int g_blockBudget = -1;

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_blockBudget == 0) return nullptr;
    if (g_blockBudget > 0) --g_blockBudget;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

constexpr size_t kRecord = sizeof(WakeEntry);

std::string Bytes(const WakeEntry& e) { return std::string(reinterpret_cast<const char*>(&e), kRecord); }

// A record with every byte meaningful: texts with bytes after their
// terminators, reserved bytes set, and a given id.
WakeEntry PatternRecord(int seed, int32_t id) {
    WakeEntry e;
    unsigned char* p = reinterpret_cast<unsigned char*>(&e);
    for (size_t i = 0; i < kRecord; ++i) p[i] = static_cast<unsigned char>(i * 7 + seed * 31 + 1);
    e.id = id;
    e.name[5] = 0;
    e.hostName[9] = 0;
    e.place[0] = 0;
    e.comment[255] = 0;
    return e;
}

std::string FileOf(const std::vector<WakeEntry>& records, size_t extra = 0) {
    std::string bytes;
    for (const auto& r : records) bytes += Bytes(r);
    return bytes + std::string(extra, '\x5A');
}

struct StoreWithFile {
    CEntList store;
    MemoryPlace* place = nullptr;
    MemoryFile* file = nullptr;
    explicit StoreWithFile(std::string bytes) {
        auto owned = std::make_unique<MemoryPlace>(std::move(bytes));
        place = owned.get();
        file = owned->file;
        store.AttachDataFile(std::move(owned));
    }
};

std::vector<int> Ids(CEntList& store) {
    std::vector<int> ids;
    for (const WakeEntry* e = store.FirstEntry(); e; e = store.NextEntry()) ids.push_back(e->id);
    return ids;
}

}  // namespace

TEST(WakeEntry, FieldsLieAtTheirFileOffsets) {
    WakeEntry e = {};
    e.id = 0x01020304;
    std::memcpy(e.name, "NM", 2);
    const uint8_t ip[4] = {192, 168, 1, 20};
    std::memcpy(e.ipAddress, ip, 4);
    const uint8_t mask[4] = {255, 255, 255, 0};
    std::memcpy(e.subnetMask, mask, 4);
    e.port = 0x0A0B0C0D;
    const uint8_t mac[6] = {0x00, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
    std::memcpy(e.macAddress, mac, 6);
    e.reserved[0] = 0xEE;
    e.reserved[5] = 0xEF;
    std::memcpy(e.hostName, "HN", 2);
    std::memcpy(e.place, "PL", 2);
    std::memcpy(e.comment, "CM", 2);
    e.lastSentTime.year = 0x07E8;
    e.lastSentTime.milliseconds = 0x0102;
    e.registeredTime.month = 0x0C;
    e.updatedTime.second = 0x3B;
    e.excluded = 0x11223344;

    struct Case { size_t offset; std::vector<uint8_t> bytes; };
    const Case cases[] = {
        {0, {0x04, 0x03, 0x02, 0x01}},
        {4, {'N', 'M', 0}},
        {132, {192, 168, 1, 20}},
        {136, {255, 255, 255, 0}},
        {140, {0x0D, 0x0C, 0x0B, 0x0A}},
        {144, {0x00, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}},
        {150, {0xEE, 0, 0, 0, 0, 0xEF}},
        {156, {'H', 'N', 0}},
        {412, {'P', 'L', 0}},
        {668, {'C', 'M', 0}},
        {924, {0xE8, 0x07}},
        {938, {0x02, 0x01}},
        {942, {0x0C, 0x00}},
        {968, {0x3B, 0x00}},
        {972, {0x44, 0x33, 0x22, 0x11}},
    };
    const std::string raw = Bytes(e);
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(c.bytes.begin(), c.bytes.end()), raw.substr(c.offset, c.bytes.size()))
            << "offset " << c.offset;
    }
}

TEST(WakeEntry, NewEntryDefaults) {
    WakeEntry e;
    std::memset(&e, 0xCC, sizeof e);
    InitNewEntry(e);
    std::string expected(kRecord, '\0');
    const std::string name = "新規@送信先";
    expected.replace(4, name.size(), name);
    expected[140] = static_cast<char>(0xF2);  // 2034, little-endian
    expected[141] = 0x07;
    EXPECT_EQ(expected, Bytes(e));
    EXPECT_EQ("\x90\x56\x8B\x4B@\x91\x97\x90\x4D\x90\xE6", EntryName(e));
}

TEST(WakeEntry, UnterminatedTextsStopAtTheirWidth) {
    WakeEntry e;
    std::memset(&e, 'A', sizeof e);
    std::memset(e.hostName, 'H', sizeof e.hostName);
    std::memset(e.place, 'P', sizeof e.place);
    std::memset(e.comment, 'C', sizeof e.comment);
    e.excluded = 0;  // the byte after the comment is not a terminator for it
    EXPECT_EQ(std::string(128, 'A'), EntryName(e));
    EXPECT_EQ(std::string(256, 'H'), EntryHostName(e));
    EXPECT_EQ(std::string(256, 'P'), EntryPlace(e));
    EXPECT_EQ(std::string(256, 'C'), EntryComment(e));

    // Such a record is still kept as it stands.
    StoreWithFile s(Bytes(e));
    ASSERT_EQ(1, s.store.EntryCount());
    EXPECT_EQ(std::string(128, 'A'), EntryName(*s.store.FirstEntry()));
    s.store.SaveDataFile();
    e.id = 0;
    EXPECT_EQ(Bytes(e), s.file->bytes);
}

TEST(EntList, IdsAreOneMoreThanTheLargestHeld) {
    CEntList store;
    WakeEntry e = PatternRecord(1, 99);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(i + 1, store.AddEntry(e));
        EXPECT_EQ(i, e.id) << "the caller's record carries the new id";
    }
    store.RemoveEntry(3);  // the largest: its id comes back
    EXPECT_EQ(4, store.AddEntry(e));
    EXPECT_EQ(3, e.id);
    store.RemoveEntry(1);  // any other: no reuse
    store.AddEntry(e);
    EXPECT_EQ(4, e.id);
    EXPECT_EQ((std::vector<int>{0, 2, 3, 4}), Ids(store));
    store.RemoveEntry(42);
    EXPECT_EQ(4, store.EntryCount());
    for (int id : {0, 2, 3, 4}) store.RemoveEntry(id);
    store.AddEntry(e);
    EXPECT_EQ(0, e.id);
}

TEST(EntList, FindEntryAndStoredCopies) {
    CEntList store;
    WakeEntry a = PatternRecord(1, 0), b = PatternRecord(2, 0);
    store.AddEntry(a);
    store.AddEntry(b);
    const WakeEntry* found = store.FindEntry(b.id);
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(Bytes(b), Bytes(*found));
    b.port = 1;  // the store keeps its own copy
    EXPECT_NE(1, found->port);
    EXPECT_EQ(nullptr, store.FindEntry(7));
    store.RemoveEntry(a.id);
    EXPECT_EQ(found, store.FindEntry(b.id));
}

// The look-up halves the list; every id must still be found after removals
// from the front, the middle and the end, and after an add that follows them.
TEST(EntList, FindEntryAfterRemovalsAnywhere) {
    CEntList store;
    WakeEntry e = PatternRecord(1, 0);
    for (int i = 0; i < 50; ++i) store.AddEntry(e);
    for (int id : {0, 49, 25, 26, 1, 48}) store.RemoveEntry(id);
    store.AddEntry(e);
    EXPECT_EQ(48, e.id) << "the largest id held was 47";
    for (int id = -1; id <= 50; ++id) {
        const bool held = id >= 2 && id <= 48 && id != 25 && id != 26;
        const WakeEntry* found = store.FindEntry(id);
        EXPECT_EQ(held, found != nullptr) << id;
        if (found) {
            EXPECT_EQ(id, found->id);
        }
    }
}

TEST(EntList, CursorsOnEmptyAndFilledSequences) {
    CEntList store;
    EXPECT_EQ(nullptr, store.FirstEntry());
    EXPECT_EQ(nullptr, store.NextEntry());
    EXPECT_EQ(nullptr, store.FirstCopy());
    EXPECT_EQ(nullptr, store.NextCopy());

    WakeEntry e = PatternRecord(3, 0);
    for (int i = 0; i < 3; ++i) store.AddEntry(e);
    for (int port : {10, 11}) {
        e.port = port;
        EXPECT_EQ(port - 9, store.AddToCopyBuffer(e));
    }
    // The two enumerations run side by side without disturbing each other.
    EXPECT_EQ(0, store.FirstEntry()->id);
    EXPECT_EQ(10, store.FirstCopy()->port);
    EXPECT_EQ(1, store.NextEntry()->id);
    EXPECT_EQ(11, store.NextCopy()->port);
    EXPECT_EQ(nullptr, store.NextCopy());
    EXPECT_EQ(2, store.NextEntry()->id);
    EXPECT_EQ(nullptr, store.NextEntry());
    EXPECT_EQ(nullptr, store.NextEntry());
    EXPECT_EQ(0, store.FirstEntry()->id);

    store.ClearCopyBuffer();
    EXPECT_EQ(0, store.CopyCount());
    EXPECT_EQ(nullptr, store.NextCopy());
    EXPECT_EQ(3, store.EntryCount());
}

TEST(EntList, LoadTakesWholeRecordsAndSaveTruncates) {
    struct Case { const char* what; size_t records; size_t extra; int loaded; };
    const Case cases[] = {
        {"empty file", 0, 0, 0},
        {"fragment only", 0, 975, 0},
        {"two and a half records", 2, kRecord / 2, 2},
        {"more than one chunk", 600, 100, 600},
    };
    for (const auto& c : cases) {
        std::vector<WakeEntry> records;
        for (size_t i = 0; i < c.records; ++i) records.push_back(PatternRecord(static_cast<int>(i), 5));
        StoreWithFile s(FileOf(records, c.extra));
        EXPECT_EQ(c.loaded, s.store.EntryCount()) << c.what;
        s.store.SaveDataFile();
        EXPECT_EQ(c.loaded * kRecord, s.file->bytes.size()) << c.what;
    }
}

TEST(EntList, IdsInTheFileAreIgnored) {
    StoreWithFile s(FileOf({PatternRecord(1, 7), PatternRecord(2, 7), PatternRecord(3, 7)}));
    EXPECT_EQ((std::vector<int>{0, 1, 2}), Ids(s.store));
}

TEST(EntList, SaveAndLoadKeepEveryByteButTheId) {
    const std::vector<WakeEntry> records = {PatternRecord(1, -5), PatternRecord(2, 1000), PatternRecord(3, 7)};
    StoreWithFile first(FileOf(records));
    WakeEntry added = PatternRecord(4, 0);
    first.store.AddEntry(added);
    first.store.SaveDataFile();

    StoreWithFile second(first.file->bytes);
    ASSERT_EQ(4, second.store.EntryCount());
    std::vector<WakeEntry> expected = records;
    expected.push_back(added);
    int i = 0;
    for (const WakeEntry* e = second.store.FirstEntry(); e; e = second.store.NextEntry(), ++i) {
        WakeEntry want = expected[i];
        want.id = i;
        EXPECT_EQ(Bytes(want), Bytes(*e)) << "record " << i;
    }
}

TEST(EntList, ASaveThatFailsAnywhereLeavesTheFileAsItWas) {
    struct Case {
        const char* what;
        void (*arrange)(MemoryPlace&);
        const char* problem;
        int discarded;
    };
    const Case cases[] = {
        {"short write mid-record", [](MemoryPlace& p) { p.writeRoom = 2 * kRecord + 100; },
         "データファイルの書き込みに失敗しました (ErrorCode:0x0000001d)", 1},
        {"short write in a later chunk", [](MemoryPlace& p) { p.writeRoom = 1100 * kRecord + 1; },
         "データファイルの書き込みに失敗しました (ErrorCode:0x0000001d)", 1},
        {"failing write", [](MemoryPlace& p) { p.failWrites = true; },
         "データファイルの書き込みに失敗しました (ErrorCode:0x0000001d)", 1},
        {"no room on the disk", [](MemoryPlace& p) { p.diskRoom = 0; },
         "ディスクの空きが足りないためデータファイルを更新しませんでした", 1},
        {"room for all but the last record", [](MemoryPlace& p) { p.diskRoom = 1198 * kRecord + 500; },
         "ディスクの空きが足りないためデータファイルを更新しませんでした", 1},
        {"a write that says nothing was written", [](MemoryPlace& p) {
             p.diskRoom = 10 * kRecord;
             p.reportsNothingOnFailure = true;
         },
         "ディスクの空きが足りないためデータファイルを更新しませんでした", 1},
        {"the new file cannot be made (the folder went away)", [](MemoryPlace& p) { p.failCreate = true; },
         "データファイルの書き込みに失敗しました (ErrorCode:0x00000003)", 0},
        {"the new file cannot take the old one's place", [](MemoryPlace& p) { p.failReplace = true; },
         "データファイルの書き込みに失敗しました (ErrorCode:0x00000020)", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<WakeEntry> records;
        for (int i = 0; i < 1200; ++i) records.push_back(PatternRecord(i, i));
        // The file holds more than will be written: nothing may cut it.
        const std::string before = FileOf(records) + FileOf(records);
        StoreWithFile s(before);
        s.store.RemoveEntry(0);
        c.arrange(*s.place);
        EXPECT_EQ(s.store.SaveDataFile(), c.problem);
        EXPECT_TRUE(before == s.file->bytes);
        EXPECT_EQ(s.place->replaced, 0);
        EXPECT_EQ(s.place->discarded, c.discarded);
        EXPECT_FALSE(s.place->nextOpen) << "no new file is left behind";
    }
}

TEST(EntList, ASaveWritesEveryEntryIntoANewFileAndPutsItInPlace) {
    StoreWithFile s(FileOf({PatternRecord(1, 0), PatternRecord(2, 0), PatternRecord(3, 0)}) + "frag");
    s.store.RemoveEntry(1);
    EXPECT_EQ(s.store.SaveDataFile(), "");
    EXPECT_EQ(s.place->created, 1);
    EXPECT_EQ(s.place->replaced, 1);
    WakeEntry first = PatternRecord(1, 0), third = PatternRecord(3, 2);
    EXPECT_TRUE(FileOf({first, third}) == s.file->bytes) << "fewer records, no fragment";
    EXPECT_EQ(s.store.SaveDataFile(), "");
    EXPECT_EQ(s.place->replaced, 2) << "every save is a whole new file";
}

TEST(EntList, EveryChangeIsCountedAndToldOnce) {
    StoreWithFile s(FileOf({PatternRecord(1, 0), PatternRecord(2, 0)}));
    EXPECT_EQ(s.store.ChangeCount(), 0u) << "the load is no change";
    int told = 0;
    s.store.SetChangeHook([&] { ++told; });
    WakeEntry e = PatternRecord(3, 0);
    struct Step { const char* what; std::function<void()> act; bool changes; };
    const DateTime when = {2024, 5, 3, 2, 10, 11, 12, 13};
    WakeEntry edited = *s.store.FindEntry(1);
    edited.port = 4711;
    WakeEntry stranger = edited;
    stranger.id = 42;
    const Step steps[] = {
        {"add", [&] { s.store.AddEntry(e); }, true},
        {"remove", [&] { s.store.RemoveEntry(0); }, true},
        {"remove an id nobody has", [&] { s.store.RemoveEntry(42); }, false},
        {"replace", [&] { EXPECT_TRUE(s.store.ReplaceEntry(edited)); }, true},
        {"replace an id nobody has", [&] { EXPECT_FALSE(s.store.ReplaceEntry(stranger)); }, false},
        {"stamp", [&] { EXPECT_TRUE(s.store.StampLastSent(1, when)); }, true},
        {"stamp an id nobody has", [&] { EXPECT_FALSE(s.store.StampLastSent(42, when)); }, false},
        {"copy buffer", [&] { s.store.AddToCopyBuffer(e); s.store.ClearCopyBuffer(); }, false},
    };
    uint64_t count = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const int toldBefore = told;
        step.act();
        if (step.changes) ++count;
        EXPECT_EQ(s.store.ChangeCount(), count);
        EXPECT_EQ(told - toldBefore, step.changes ? 1 : 0);
    }
    EXPECT_EQ(s.store.FindEntry(1)->port, 4711);
    EXPECT_EQ(0, std::memcmp(&s.store.FindEntry(1)->lastSentTime, &when, sizeof when));

    DataFileSnapshot snapshot;
    ASSERT_TRUE(s.store.TakeSnapshot(snapshot));
    EXPECT_EQ(snapshot.version, count);
    ASSERT_EQ(snapshot.records.size(), 2u);
    EXPECT_EQ(Bytes(snapshot.records[0]), Bytes(*s.store.FindEntry(1)));
    EXPECT_EQ(Bytes(snapshot.records[1]), Bytes(*s.store.FindEntry(2)));

    s.store.AttachDataFile(std::make_unique<MemoryPlace>(FileOf({PatternRecord(4, 0)})));
    EXPECT_EQ(s.store.ChangeCount(), 0u) << "loading again starts the count again";
}

TEST(EntList, NoFileOrUnseekableFile) {
    CEntList none;
    WakeEntry e = PatternRecord(1, 0);
    none.AttachDataFile(nullptr);
    EXPECT_FALSE(none.HasDataFile());
    none.AddEntry(e);
    none.SaveDataFile();

    auto place = std::make_unique<MemoryPlace>(FileOf({e, e}));
    MemoryFile* raw = place->file;
    raw->failSeek = true;
    CEntList store;
    store.AttachDataFile(std::move(place));
    EXPECT_EQ(0, store.EntryCount());
    store.AddEntry(e);
    EXPECT_EQ("データファイルの残りが読めないため保存しませんでした", store.SaveDataFile());
    EXPECT_EQ(FileOf({e, e}), raw->bytes);
}

TEST(EntList, LoadingAgainReplacesTheEntries) {
    StoreWithFile s(FileOf({PatternRecord(1, 0), PatternRecord(2, 0)}));
    WakeEntry e = PatternRecord(3, 0);
    s.store.AddEntry(e);
    s.store.AttachDataFile(std::make_unique<MemoryPlace>(FileOf({PatternRecord(4, 0)})));
    EXPECT_EQ((std::vector<int>{0}), Ids(s.store));
}

TEST(EntList, BlockAllocationFailure) {
    std::vector<WakeEntry> records;
    for (int i = 0; i < 5; ++i) records.push_back(PatternRecord(i, 0));
    CEntList store;
    g_blockBudget = 3;
    store.AttachDataFile(std::make_unique<MemoryPlace>(FileOf(records)));
    g_blockBudget = -1;
    EXPECT_EQ(3, store.EntryCount()) << "loading stops at the first block it cannot have";

    WakeEntry e = PatternRecord(9, 0);
    g_blockBudget = 0;
    EXPECT_EQ(-1, store.AddEntry(e));
    EXPECT_EQ(-1, store.AddToCopyBuffer(e));
    g_blockBudget = -1;
    EXPECT_EQ(3, store.EntryCount());
    EXPECT_EQ(0, store.CopyCount());
    EXPECT_EQ(4, store.AddEntry(e));
    EXPECT_EQ(3, e.id) << "a failed add uses up no id";
}

TEST(DataFolder, Composition) {
    struct Case { const char* base; std::string folder; };
    const Case cases[] = {
        {"C:\\Users\\u\\AppData\\Roaming", "C:\\Users\\u\\AppData\\Roaming\\Morrowbel"},
        {"C:\\Data\\", "C:\\Data\\Morrowbel"},
        {nullptr, ".\\Morrowbel"},
        {"", ".\\Morrowbel"},
        // The second byte of ソ is 0x5C but is no separator.
        {"C:\\ソ", "C:\\ソ\\Morrowbel"},
        {"C:\\表\\", "C:\\表\\Morrowbel"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.folder, ComposeDataFolder(c.base)) << (c.base ? c.base : "(none)");

    const std::string tooLong = "C:\\" + std::string(250, 'x');
    EXPECT_EQ(".\\Morrowbel", ComposeDataFolder(tooLong.c_str()));
    EXPECT_EQ("C:\\D\\Morrowbel\\Ent.dat", ComposeDataFilePath("C:\\D\\Morrowbel"));
    EXPECT_EQ("", ComposeDataFilePath(std::string(252, 'x').c_str()));
    EXPECT_EQ(std::string(251, 'x') + "\\Ent.dat", ComposeDataFilePath(std::string(251, 'x').c_str()));
}
