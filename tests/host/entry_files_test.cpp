// The CSV listing, the exchange file and the copy rules, over files in memory.
#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "CsvFields.h"
#include "MemoryFile.h"
#include "common/FixedText.h"
#include "entries/EntList.h"
#include "entries/EntryCopy.h"
#include "entries/EntryFileDialogs.h"
#include "entries/EntryFiles.h"
#include "entries/WakeEntry.h"

namespace {

constexpr size_t kRecord = sizeof(WakeEntry);

WakeEntry Entry(const char* name, uint8_t a, uint8_t b, uint8_t c, uint8_t d, int32_t port) {
    WakeEntry e;
    std::memset(&e, 0, sizeof e);
    SetField(e.name, name);
    const uint8_t ip[4] = {a, b, c, d};
    std::memcpy(e.ipAddress, ip, 4);
    const uint8_t mask[4] = {255, 255, 255, 0};
    std::memcpy(e.subnetMask, mask, 4);
    e.port = port;
    return e;
}

// Every byte meaningful, bytes after the terminators included.
WakeEntry Pattern(int seed) {
    WakeEntry e;
    unsigned char* p = reinterpret_cast<unsigned char*>(&e);
    for (size_t i = 0; i < kRecord; ++i) p[i] = static_cast<unsigned char>(i * 13 + seed * 7 + 3);
    e.name[3] = 0;
    e.comment[40] = 0;
    e.id = 77;
    return e;
}

std::string Bytes(const WakeEntry& e) { return std::string(reinterpret_cast<const char*>(&e), kRecord); }

// A store holding these entries, with no data file.
std::unique_ptr<CEntList> StoreOf(const std::vector<WakeEntry>& entries) {
    auto store = std::make_unique<CEntList>();
    for (WakeEntry e : entries) store->AddEntry(e);
    return store;
}

std::string Listing(const WakeEntry& e, int row) {
    std::string line;
    AppendListingLine(line, e, row);
    return line;
}

TEST(Listing, HeaderLineIsFixed) {
    EXPECT_STREQ(kListingHeader,
                 "\"No.\",\"名前\",\"IPｱﾄﾞﾚｽ\",\"ｻﾌﾞﾈｯﾄﾏｽｸ\",\"ﾎﾟｰﾄ番号\",\"MACｱﾄﾞﾚｽ\","
                 "\"ｺﾝﾋﾟｭｰﾀ名\",\"場所\",\"ｺﾒﾝﾄ\"\r\n");
}

TEST(Listing, LinesAreNinePiecesWithPlainTextsAsTheyStand) {
    WakeEntry full = Entry("ｻｰﾊﾞ室 PC-1", 192, 168, 1, 7, 9);
    const uint8_t mac[6] = {0x00, 0x1b, 0x21, 0xaa, 0xbb, 0xcc};
    std::memcpy(full.macAddress, mac, 6);
    SetField(full.hostName, "pc-1");
    SetField(full.place, "2階, 奥");
    SetField(full.comment, "say \"hi\"");

    WakeEntry portZero = Entry("zero", 0, 0, 0, 0, 0);
    WakeEntry negative = Entry("neg", 255, 255, 255, 255, -1);

    WakeEntry unterminated = Entry("", 10, 0, 0, 1, 7);
    std::memset(unterminated.name, 'N', sizeof unterminated.name);
    std::memset(unterminated.comment, 'C', sizeof unterminated.comment);

    struct Case { const WakeEntry* entry; int row; std::string line; };
    const Case cases[] = {
        {&full, 1, "1,\"ｻｰﾊﾞ室 PC-1\",\"192.168.1.7\",\"255.255.255.0\",9,\"00-1B-21-AA-BB-CC\",\"pc-1\","
                   "\"2階, 奥\",\"say \"\"hi\"\"\"\r\n"},
        {&portZero, 12, "12,\"zero\",\"0.0.0.0\",\"255.255.255.0\",0,\"00-00-00-00-00-00\",\"\",\"\",\"\"\r\n"},
        {&negative, 3, "3,\"neg\",\"255.255.255.255\",\"255.255.255.0\",-1,\"00-00-00-00-00-00\",\"\",\"\",\"\"\r\n"},
        {&unterminated, 2, "2,\"" + std::string(128, 'N') + "\",\"10.0.0.1\",\"255.255.255.0\",7,"
                           "\"00-00-00-00-00-00\",\"\",\"\",\"" + std::string(256, 'C') + "\"\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(Listing(*c.entry, c.row), c.line);
}

TEST(Listing, WritesTheHeaderAndEveryEntryInStoreOrder) {
    auto store = StoreOf({Entry("a", 1, 2, 3, 4, 9), Entry("b", 5, 6, 7, 8, 7)});
    MemoryFile file;
    int afterHeader = 0, steps = 0;
    FileWriteResult r = WriteListing(*store, file, [&] { ++afterHeader; }, [&] { ++steps; });
    EXPECT_FALSE(r.headerFailed);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(afterHeader, 1);
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(file.bytes, std::string(kListingHeader) + Listing(*store->FindEntry(0), 1) +
                              Listing(*store->FindEntry(1), 2));
}

TEST(Listing, AFailedWriteEndsAfterTheLastWholePiece) {
    auto store = StoreOf({Entry("a", 1, 2, 3, 4, 9), Entry("b", 5, 6, 7, 8, 7)});
    const std::string header = kListingHeader;
    const std::string first = Listing(*store->FindEntry(0), 1);
    struct Case { size_t room; bool headerFailed; int count; std::string kept; };
    const Case cases[] = {
        {0, true, 0, ""},
        {header.size() - 1, true, 0, ""},
        {header.size(), false, 0, header},
        // "2," of the second line fits, the name piece does not.
        {header.size() + first.size() + 4, false, 1, header + first + "2,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.room);
        MemoryFile file;
        file.writeRoom = c.room;
        FileWriteResult r = WriteListing(*store, file, nullptr, nullptr);
        EXPECT_EQ(r.headerFailed, c.headerFailed);
        EXPECT_EQ(r.writeFailed, !c.headerFailed) << "a listing short of its entries must say so";
        EXPECT_EQ(r.count, c.count);
        if (!r.headerFailed) file.Truncate();
        if (!c.headerFailed) {
            EXPECT_EQ(file.bytes, c.kept);
        }
    }
}

TEST(Listing, AWholeListingSaysNothingFailed) {
    auto store = StoreOf({Entry("a", 1, 2, 3, 4, 9), Entry("b", 5, 6, 7, 8, 7)});
    MemoryFile file;
    file.writeRoom = std::string(kListingHeader).size() + Listing(*store->FindEntry(0), 1).size() +
                     Listing(*store->FindEntry(1), 2).size();
    FileWriteResult r = WriteListing(*store, file, nullptr, nullptr);
    EXPECT_FALSE(r.headerFailed);
    EXPECT_FALSE(r.writeFailed);
    EXPECT_EQ(r.count, 2);
}

// A spreadsheet must find the nine fields of every line, each text whole:
// quotes, commas and line breaks inside a text stay inside its field.
TEST(Listing, TextsReadBackWholeAsCsvFields) {
    WakeEntry quoted = Entry("a\"b", 10, 0, 0, 1, 9);
    SetField(quoted.hostName, "\"");
    SetField(quoted.place, "\"\"");
    SetField(quoted.comment, "say \"hi\", ok");
    WakeEntry lines = Entry("ｿﾌﾄ \"開発\"", 10, 0, 0, 2, 7);
    SetField(lines.comment, "1行目\r\n2行目 \"x\",\r\n");
    SetField(lines.place, ",,");
    WakeEntry allQuotes = Entry("", 10, 0, 0, 3, 0);
    std::memset(allQuotes.name, '"', sizeof allQuotes.name);
    std::memset(allQuotes.hostName, '"', sizeof allQuotes.hostName);
    std::memset(allQuotes.place, '"', sizeof allQuotes.place);
    std::memset(allQuotes.comment, '"', sizeof allQuotes.comment);
    WakeEntry plain = Entry("ｻｰﾊﾞ室 PC-1", 192, 168, 1, 7, 9);
    SetField(plain.comment, "ソ表");

    struct Case { const char* what; const WakeEntry* entry; std::string exact; };
    const Case cases[] = {
        {"quotes", &quoted,
         R"(4,"a""b","10.0.0.1","255.255.255.0",9,"00-00-00-00-00-00","""","""""","say ""hi"", ok")"
         "\r\n"},
        {"line breaks", &lines, ""},
        {"every byte a quote", &allQuotes, ""},
        {"plain", &plain, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string line = Listing(*c.entry, 4);
        if (!c.exact.empty()) {
            EXPECT_EQ(line, c.exact);
        }
        size_t at = 0;
        std::vector<std::string> fields;
        ASSERT_TRUE(ReadCsvRecord(line, at, fields)) << line;
        EXPECT_EQ(at, line.size()) << "one record per entry";
        const WakeEntry& e = *c.entry;
        const std::vector<std::string> expected = {
            "4", FieldText(e.name), "10.0.0." + std::to_string(e.ipAddress[3]), "255.255.255.0",
            std::to_string(e.port), "00-00-00-00-00-00", FieldText(e.hostName), FieldText(e.place),
            FieldText(e.comment)};
        if (c.entry != &plain) {
            EXPECT_EQ(fields, expected);
        }
    }
    // Without a quote inside, the bytes are those of the plain format.
    EXPECT_EQ(Listing(plain, 1), "1,\"ｻｰﾊﾞ室 PC-1\",\"192.168.1.7\",\"255.255.255.0\",9,\"00-00-00-00-00-00\","
                                 "\"\",\"\",\"ソ表\"\r\n");
}

// A text a spreadsheet would run as a formula is guarded by an apostrophe;
// the same characters anywhere but first, and every other text, stay as
// they are.
TEST(Listing, TextsThatReadAsFormulasGetALeadingApostrophe) {
    struct Case { const char* text; const char* field; };
    const Case cases[] = {
        {"=cmd|' /C calc'!A0", "\"'=cmd|' /C calc'!A0\""},
        {"+1", "\"'+1\""},
        {"-2+3", "\"'-2+3\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\tx", "\"'\tx\""},
        {"\r=1", "\"'\r=1\""},
        {"=\"a\"", "\"'=\"\"a\"\"\""},
        {"a=b-c", "\"a=b-c\""},
        {" =x", "\" =x\""},
        {"'quoted", "\"'quoted\""},
        {"", "\"\""},
        {"ソ=", "\"ソ=\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WakeEntry e = Entry("", 10, 0, 0, 1, 9);
        SetField(e.name, c.text);
        SetField(e.hostName, c.text);
        SetField(e.place, c.text);
        SetField(e.comment, c.text);
        const std::string f = c.field;
        EXPECT_EQ(Listing(e, 1), "1," + f + ",\"10.0.0.1\",\"255.255.255.0\",9,\"00-00-00-00-00-00\"," + f + "," + f +
                                     "," + f + "\r\n");
    }
    // Every field at its full width, each guarded and every other byte a
    // quote: the longest line still fits.
    WakeEntry widest = Entry("", 10, 0, 0, 1, 9);
    for (auto* field : {widest.name, widest.hostName, widest.place, widest.comment}) field[0] = '=';
    std::memset(widest.name + 1, '"', sizeof widest.name - 1);
    std::memset(widest.hostName + 1, '"', sizeof widest.hostName - 1);
    std::memset(widest.place + 1, '"', sizeof widest.place - 1);
    std::memset(widest.comment + 1, '"', sizeof widest.comment - 1);
    const std::string line = Listing(widest, 999999999);
    size_t at = 0;
    std::vector<std::string> fields;
    ASSERT_TRUE(ReadCsvRecord(line, at, fields));
    ASSERT_EQ(fields.size(), 9u);
    EXPECT_EQ(fields[8], "'=" + std::string(sizeof widest.comment - 1, '"'));
}

TEST(Listing, AWholeFileReadsBackAsTheHeaderAndOneRecordPerEntry) {
    WakeEntry a = Entry("a", 1, 2, 3, 4, 9);
    SetField(a.comment, "x\r\n\"y\"");
    auto store = StoreOf({a, Entry("b", 5, 6, 7, 8, 7)});
    MemoryFile file;
    ASSERT_EQ(WriteListing(*store, file, nullptr, nullptr).count, 2);
    std::vector<std::vector<std::string>> records;
    ASSERT_TRUE(ReadCsv(file.bytes, records));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0][1], "名前");
    EXPECT_EQ(records[1][8], "x\r\n\"y\"");
    EXPECT_EQ(records[2][1], "b");
    for (const auto& record : records) EXPECT_EQ(record.size(), 9u);
}

// The writers ask before they replace a file; the import, which only reads,
// takes any file that exists, a read-only one too (a dialog with "no
// read-only return" refuses it).
TEST(EntryFileDialogs, WritersConfirmReplacingAndTheImportTakesReadOnlyFiles) {
    struct Case { const FileDialogKind* kind; bool save; uint32_t flags; const char* extension; };
    const Case cases[] = {
        {&kListingDialog, true, 0x80006, "csv"},
        {&kExportDialog, true, 0x80006, "ent"},
        {&kImportDialog, false, kOfnExplorer | kOfnHideReadOnly | kOfnFileMustExist, "ent"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind->title);
        EXPECT_EQ(c.kind->save, c.save);
        EXPECT_EQ(c.kind->flags, c.flags);
        EXPECT_STREQ(c.kind->extension, c.extension);
    }
    EXPECT_EQ(kImportDialog.flags & kOfnNoReadOnlyReturn, 0u) << "the import would refuse a read-only file";
}

TEST(ExchangeHeader, FormatsSixDigitsASpaceAndTheToken) {
    EXPECT_EQ(FormatExchangeHeader(0), "000000 @QORM.");
    EXPECT_EQ(FormatExchangeHeader(3), "000003 @QORM.");
    EXPECT_EQ(FormatExchangeHeader(999999), "999999 @QORM.");
    // Seven digits would push the token's last byte out of the 13.
    EXPECT_EQ(FormatExchangeHeader(1000000), "999999 @QORM.");
    EXPECT_EQ(FormatExchangeHeader(5000000000LL), "999999 @QORM.");
}

TEST(ExchangeHeader, AcceptsOnlyACountAndExactlyTheToken) {
    struct Case { std::string bytes; bool ok; int count; };
    const Case cases[] = {
        {"000003 @QORM.", true, 3},
        {"999999 @QORM.", true, 999999},
        {"3      @QORM.", true, 3},
        {"000000 @QORM.", true, 0},
        {"000003 @QORM", false, 0},             // shorter than the header
        {"", false, 0},
        {"000003 @QORMX", false, 0},             // wrong token
        {"000003 @qorm.", false, 0},
        {"00003 @QORM.x", false, 0},             // longer token
        {"ABCDEF @QORM.", false, 0},             // no count
        {"-00001 @QORM.", true, 0},              // a negative count sizes nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::string& bytes = c.bytes;
        int count = -5;
        EXPECT_EQ(ParseExchangeHeader(bytes.data(), bytes.size(), &count), c.ok);
        EXPECT_EQ(count, c.count);
    }
    // The text ends at the count.
    const std::string nul("000003\0@QORM.", 13);
    EXPECT_FALSE(ParseExchangeHeader(nul.data(), nul.size(), nullptr));
    const std::string forced = FormatExchangeHeader(1234567);
    int count = 0;
    EXPECT_TRUE(ParseExchangeHeader(forced.data(), forced.size(), &count)) << "a forced count too large still imports";
    EXPECT_EQ(count, 999999);
}

std::string ExportOf(CEntList& store, int64_t forcedCount = -1) {
    MemoryFile file;
    FileWriteResult r = WriteExchange(store, file, nullptr, nullptr, forcedCount);
    EXPECT_FALSE(r.headerFailed);
    EXPECT_EQ(r.count, store.EntryCount());
    file.Truncate();
    return file.bytes;
}

TEST(Exchange, ExportWritesTheHeaderAndEveryRecordRaw) {
    auto empty = StoreOf({});
    EXPECT_EQ(ExportOf(*empty), "000000 @QORM.");

    auto store = StoreOf({Pattern(1), Pattern(2), Pattern(3)});
    std::string expected = "000003 @QORM.";
    for (int id = 0; id < 3; ++id) expected += Bytes(*store->FindEntry(id));
    EXPECT_EQ(ExportOf(*store), expected);
    EXPECT_EQ(ExportOf(*store, 1000000).substr(0, 13), "999999 @QORM.");
}

// A full disk part way: the file never claims more records than it holds.
TEST(Exchange, ExportStopsAtTheLastWholeRecordAndCountsOnlyThoseWhenTheDiskFills) {
    auto store = StoreOf({Pattern(1), Pattern(2), Pattern(3)});
    struct Case { size_t room; bool reportsNothing; int count; bool failed; };
    const Case cases[] = {
        {13 + 2 * kRecord + 100, false, 2, true},
        {13 + 2 * kRecord + 100, true, 0, true},
        {13 + 2 * kRecord, false, 2, true},
        {13 + 10, false, 0, true},
        {13, false, 0, true},
        {13 + 3 * kRecord, false, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.room << (c.reportsNothing ? " says nothing written" : ""));
        MemoryFile file;
        file.diskRoom = c.room;
        file.reportsNothingOnFailure = c.reportsNothing;
        FileWriteResult r = WriteExchange(*store, file, nullptr, nullptr);
        EXPECT_FALSE(r.headerFailed);
        EXPECT_EQ(r.writeFailed, c.failed);
        EXPECT_EQ(r.countMended, c.failed);
        EXPECT_EQ(r.count, c.count);
        file.Truncate();
        std::string expected = FormatExchangeHeader(c.count);
        for (int id = 0; id < c.count; ++id) expected += Bytes(*store->FindEntry(id));
        EXPECT_EQ(file.bytes, expected);
    }

    MemoryFile none;
    none.failWrites = true;
    EXPECT_TRUE(WriteExchange(*store, none, nullptr, nullptr).headerFailed);
}

struct Imported {
    ImportResult result;
    std::vector<int> begins;
    std::vector<int> addedIds;
};

Imported Import(CEntList& store, const std::string& bytes, size_t failReadsFrom = SIZE_MAX) {
    Imported out;
    MemoryFile file(bytes);
    file.failReadsFrom = failReadsFrom;
    out.result = ImportExchange(
        store, file, [&](int count) { out.begins.push_back(count); },
        [&](const WakeEntry& e) { out.addedIds.push_back(e.id); });
    return out;
}

TEST(Exchange, ImportAppendsWithNewIdsAndEveryOtherByteKept) {
    auto source = StoreOf({Pattern(1), Pattern(2), Pattern(3)});
    const std::string file = ExportOf(*source);

    // The target's largest id is 4.
    auto target = StoreOf({Entry("a", 1, 1, 1, 1, 0), Entry("b", 1, 1, 1, 2, 0), Entry("c", 1, 1, 1, 3, 0),
                           Entry("d", 1, 1, 1, 4, 0), Entry("e", 1, 1, 1, 5, 0)});
    target->RemoveEntry(2);
    Imported got = Import(*target, file);
    EXPECT_EQ(got.result.kind, ImportResult::kDone);
    EXPECT_EQ(got.result.added, 3);
    EXPECT_EQ(got.begins, std::vector<int>{3});
    EXPECT_EQ(got.addedIds, (std::vector<int>{5, 6, 7}));
    ASSERT_EQ(target->EntryCount(), 7);
    for (int i = 0; i < 3; ++i) {
        WakeEntry expected = *source->FindEntry(i);
        expected.id = 5 + i;
        EXPECT_EQ(Bytes(*target->FindEntry(5 + i)), Bytes(expected));
    }
}

TEST(Exchange, BadFilesNeverAddMoreThanTheirWholeRecords) {
    const std::string two = "000002 @QORM." + Bytes(Pattern(1)) + Bytes(Pattern(2));
    WakeEntry unterminated;
    std::memset(&unterminated, 0xFF, sizeof unterminated);

    struct Case {
        const char* what;
        std::string bytes;
        size_t failReadsFrom;
        ImportResult::Kind kind;
        int added;
        std::vector<int> begins;
    };
    const Case cases[] = {
        {"empty", "", SIZE_MAX, ImportResult::kNotExchange, 0, {}},
        {"shorter than the header", "000000 @QOR", SIZE_MAX, ImportResult::kNotExchange, 0, {}},
        {"wrong token", "000002 @QORN." + two.substr(13), SIZE_MAX, ImportResult::kNotExchange, 0, {}},
        {"longer token", "00002 @QORM.." + two.substr(13), SIZE_MAX, ImportResult::kNotExchange, 0, {}},
        {"header unreadable", two, 0, ImportResult::kReadFailed, 0, {}},
        {"only the header", "000000 @QORM.", SIZE_MAX, ImportResult::kDone, 0, {0}},
        {"trailing fragment", two + std::string(975, 'x'), SIZE_MAX, ImportResult::kDone, 2, {2}},
        {"count too large", "000009" + two.substr(6), SIZE_MAX, ImportResult::kDone, 2, {9}},
        {"count too small", "000000" + two.substr(6), SIZE_MAX, ImportResult::kDone, 2, {0}},
        {"unterminated texts", "000001 @QORM." + Bytes(unterminated), SIZE_MAX, ImportResult::kDone, 1, {1}},
        {"read fails in the records", two, 13 + kRecord, ImportResult::kDone, 0, {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto store = StoreOf({Entry("kept", 10, 0, 0, 1, 9)});
        const std::string before = Bytes(*store->FindEntry(0));
        Imported got = Import(*store, c.bytes, c.failReadsFrom);
        EXPECT_EQ(got.result.kind, c.kind);
        EXPECT_EQ(got.result.added, c.added);
        EXPECT_EQ(got.begins, c.begins);
        ASSERT_EQ(store->EntryCount(), 1 + c.added);
        EXPECT_EQ(Bytes(*store->FindEntry(0)), before);
    }
}

TEST(Exchange, AnUnterminatedRecordIsKeptByteForByte) {
    WakeEntry raw;
    std::memset(&raw, 0xFF, sizeof raw);
    auto store = StoreOf({});
    Import(*store, "000001 @QORM." + Bytes(raw));
    ASSERT_EQ(store->EntryCount(), 1);
    WakeEntry expected = raw;
    expected.id = 0;
    EXPECT_EQ(Bytes(*store->FindEntry(0)), Bytes(expected));
    EXPECT_EQ(EntryName(*store->FindEntry(0)).size(), 128u) << "read at its width only";
}

TEST(EntryCopyRule, PrefixesNamesUpTo120Bytes) {
    struct Case { size_t length; bool terminated; bool prefixed; };
    const Case cases[] = {{0, true, true}, {1, true, true}, {120, true, true},
                          {121, true, false}, {127, true, false}, {128, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        WakeEntry e = Pattern(4);
        std::memset(e.name, 0, sizeof e.name);
        std::memset(e.name, 'n', c.length);
        WakeEntry copy = MakeEntryCopy(e);
        const std::string name(c.length, 'n');
        if (c.prefixed) {
            EXPECT_EQ(EntryName(copy), "ｺﾋﾟｰ " + name);
            EXPECT_EQ(EntryName(copy).size(), c.length + 5);
        } else {
            EXPECT_EQ(std::string(copy.name, sizeof copy.name), std::string(e.name, sizeof e.name));
        }
        // Every other field is the entry's own.
        EXPECT_EQ(Bytes(copy).substr(132), Bytes(e).substr(132));
        EXPECT_EQ(copy.id, e.id);
    }
}

TEST(EntryCopyRule, ClipboardLinesAreTimeSpaceTextCrLf) {
    EXPECT_EQ(ClipboardLine("10:00:01", "alpha") + ClipboardLine("10:00:02", "beta"),
              "10:00:01 alpha\r\n10:00:02 beta\r\n");
    EXPECT_EQ(ClipboardLine("10:00:03", std::string(1500, 'x')), "10:00:03 " + std::string(1023, 'x') + "\r\n");
    EXPECT_EQ(ClipboardLine("", ""), " \r\n");
}

// Entries are never lost: a load that stopped early keeps what it did not
// reach, and a file that did not open is said at start.
std::string DataOf(int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += Bytes(Pattern(i));
    return bytes;
}

TEST(DataFileKeeping, ASaveAfterAStoppedLoadWritesTheUnreadRecordsBack) {
    const std::string data = DataOf(300);  // more than one chunk of reads
    struct Case { const char* what; int failingReads; bool kept; };
    const Case cases[] = {
        {"the tail reads at save", 1, true},
        {"the tail never reads", 1 << 30, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto owned = std::make_unique<MemoryPlace>(data);
        MemoryFile* file = owned->file;
        file->failReadsFrom = 280 * kRecord;
        file->failingReads = c.failingReads;
        CEntList store;
        store.AttachDataFile(std::move(owned));
        EXPECT_FALSE(store.LoadWhole());
        ASSERT_EQ(store.EntryCount(), 256) << "the first chunk loaded, the second failed";
        EXPECT_NE(store.DataFileNotice().find("(256件読み込み)"), std::string::npos) << store.DataFileNotice();

        store.RemoveEntry(0);
        WakeEntry added = Pattern(99);
        store.AddEntry(added);
        const std::string problem = store.SaveDataFile();
        if (!c.kept) {
            EXPECT_EQ(problem, "データファイルの残りが読めないため保存しませんでした");
            EXPECT_EQ(file->bytes, data) << "left alone when the tail cannot be had";
            continue;
        }
        EXPECT_EQ(problem, "");
        // Entries 1..255 as loaded, the new one, then records 256..299 untouched;
        // and so again at the next save, from the file the first one put in place.
        for (int save = 0; save < 2; ++save) {
            SCOPED_TRACE(save);
            ASSERT_EQ(file->bytes.size(), 300 * kRecord);
            for (int i = 1; i < 256; ++i) {
                WakeEntry expected = Pattern(i);
                expected.id = i;
                EXPECT_EQ(file->bytes.substr((i - 1) * kRecord, kRecord), Bytes(expected)) << i;
            }
            EXPECT_EQ(file->bytes.substr(256 * kRecord), data.substr(256 * kRecord));
            EXPECT_EQ(store.SaveDataFile(), "");
        }
        // Fewer entries: the unread records move up behind them.
        store.RemoveEntry(1);
        EXPECT_EQ(store.SaveDataFile(), "");
        ASSERT_EQ(file->bytes.size(), 299 * kRecord);
        EXPECT_EQ(file->bytes.substr(255 * kRecord), data.substr(256 * kRecord));
    }
}

TEST(DataFileKeeping, AWholeLoadSaysNothingAndAMissingFileSaysItsPathAndCode) {
    CEntList whole;
    whole.AttachDataFile(std::make_unique<MemoryPlace>(DataOf(2)));
    EXPECT_TRUE(whole.LoadWhole());
    EXPECT_EQ(whole.DataFileNotice(), "");

    CEntList none;
    none.SetOpenError(32);
    none.AttachDataFile(nullptr);
    const std::string notice = none.DataFileNotice();
    EXPECT_EQ(notice.find("データファイルがオープンできません"), 0u) << notice;
    EXPECT_NE(notice.find("(ErrorCode:0x00000020)"), std::string::npos) << notice;
}

}  // namespace
