#include "entries/EntryFiles.h"
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include "common/FixedText.h"
#include "entries/EntList.h"

const char kListingHeader[] =
    "\"No.\",\"名前\",\"IPｱﾄﾞﾚｽ\",\"ｻﾌﾞﾈｯﾄﾏｽｸ\",\"ﾎﾟｰﾄ番号\",\"MACｱﾄﾞﾚｽ\",\"ｺﾝﾋﾟｭｰﾀ名\",\"場所\",\"ｺﾒﾝﾄ\"\r\n";

namespace {

constexpr uint32_t kRecordSize = sizeof(WakeEntry);
// Bytes handed to the file per write: one call per piece or record is what
// makes a large file slow.
constexpr size_t kChunkBytes = 256 * kRecordSize;

char* PutDecimal(char* p, int64_t value) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* d = end;
    const bool negative = value < 0;
    uint64_t v = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        *--d = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    if (negative) *--d = '-';
    const size_t n = static_cast<size_t>(end - d);
    std::memcpy(p, d, n);
    return p + n;
}

char* PutOctets(char* p, const uint8_t octets[4]) {
    for (int i = 0; i < 4; ++i) {
        if (i) *p++ = '.';
        const unsigned v = octets[i];
        if (v >= 100) *p++ = static_cast<char>('0' + v / 100);
        if (v >= 10) *p++ = static_cast<char>('0' + v / 10 % 10);
        *p++ = static_cast<char>('0' + v % 10);
    }
    return p;
}

char* PutMac(char* p, const uint8_t mac[6]) {
    static const char hex[] = "0123456789ABCDEF";
    for (int i = 0; i < 6; ++i) {
        if (i) *p++ = '-';
        *p++ = hex[mac[i] >> 4];
        *p++ = hex[mac[i] & 15];
    }
    return p;
}

// Texts are short as a rule: one pass that copies up to the terminator (or
// the field's width) beats finding the end first and copying after. A quote
// inside is doubled, so that a spreadsheet reads the field whole, commas and
// line breaks included; 0x22 is never the second byte of a CP932 character.
// A text that a spreadsheet would take for a formula gets the usual guard, a
// leading apostrophe, which shows nothing there.
inline bool ReadsAsFormula(char first) {
    return first == '=' || first == '+' || first == '-' || first == '@' || first == '\t' || first == '\r';
}

template <size_t N>
char* PutQuoted(char* p, const char (&field)[N]) {
    *p++ = '"';
    if (ReadsAsFormula(field[0])) *p++ = '\'';
    for (size_t i = 0; i < N && field[i]; ++i) {
        if (field[i] == '"') *p++ = '"';
        *p++ = field[i];
    }
    *p++ = '"';
    return p;
}

// The longest listing line: four texts at their full widths, every byte a
// doubled quote, each with its formula guard, two addresses, a MAC address,
// two numbers and the punctuation.
constexpr size_t kListingLineMax = 2 * (128 + 3 * 256) + 4 + 2 * 15 + 17 + 2 * 21 + 40;
constexpr int kListingPieces = 9;

// Formats one line into `out` (room for kListingLineMax bytes); `ends` gets
// the offset just after each of the nine pieces. Returns the line's length.
size_t FormatListingLine(char* out, const WakeEntry& e, int rowNumber, uint16_t ends[kListingPieces]) {
    char* p = out;
    int piece = 0;
    auto end = [&] { ends[piece++] = static_cast<uint16_t>(p - out); };
    p = PutDecimal(p, rowNumber);
    *p++ = ',';
    end();
    p = PutQuoted(p, e.name);
    *p++ = ',';
    end();
    *p++ = '"';
    p = PutOctets(p, e.ipAddress);
    *p++ = '"';
    *p++ = ',';
    end();
    *p++ = '"';
    p = PutOctets(p, e.subnetMask);
    *p++ = '"';
    *p++ = ',';
    end();
    p = PutDecimal(p, e.port);
    *p++ = ',';
    end();
    *p++ = '"';
    p = PutMac(p, e.macAddress);
    *p++ = '"';
    *p++ = ',';
    end();
    p = PutQuoted(p, e.hostName);
    *p++ = ',';
    end();
    p = PutQuoted(p, e.place);
    *p++ = ',';
    end();
    p = PutQuoted(p, e.comment);
    *p++ = '\r';
    *p++ = '\n';
    end();
    return static_cast<size_t>(p - out);
}

// Collects lines or records in a buffer and writes it a chunk at a time.
// When a write fails or falls short, the file position goes back to the end
// of the last piece that reached the file whole, so the caller's truncation
// leaves no half piece behind.
class PieceWriter {
public:
    // Takes all its memory here, so that nothing fails half way through.
    explicit PieceWriter(RecordFile& file) : file_(file) {
        buffer_.reset(new (std::nothrow) char[kChunkBytes + kListingLineMax]);
        try {
            // A chunk holds far fewer units than this: a listing line has at
            // least 50 bytes.
            units_.reserve(kChunkBytes / 32);
        } catch (const std::bad_alloc&) {
            buffer_.reset();
        }
    }
    bool Ready() const { return buffer_ != nullptr; }

    // Room for one more unit of up to kListingLineMax bytes.
    char* Tail() { return buffer_.get() + used_; }
    // The next `size` bytes at Tail() are one unit made of `pieces` pieces
    // ending at `ends`; `counted` when it is a line or a record.
    void Take(size_t size, const uint16_t* ends, int pieces, bool counted) {
        Unit unit;
        unit.start = used_;
        unit.pieces = static_cast<uint8_t>(pieces);
        unit.counted = counted;
        for (int i = 0; i < pieces; ++i) unit.ends[i] = ends[i];
        units_.push_back(unit);
        used_ += size;
    }
    void Put(const void* bytes, size_t size, bool counted) {
        std::memcpy(Tail(), bytes, size);
        const uint16_t end = static_cast<uint16_t>(size);
        Take(size, &end, 1, counted);
    }
    bool Full() const { return used_ >= kChunkBytes; }
    int Count() const { return count_; }
    bool Failed() const { return failed_; }

    bool Flush() {
        if (failed_) return false;
        if (used_ == 0) return true;
        uint32_t done = 0;
        const bool ok = file_.Write(buffer_.get(), static_cast<uint32_t>(used_), done);
        if (done > used_) done = static_cast<uint32_t>(used_);
        size_t keep = 0;
        for (const Unit& unit : units_) {
            if (unit.start + unit.ends[unit.pieces - 1] <= done) {
                keep = unit.start + unit.ends[unit.pieces - 1];
                count_ += unit.counted ? 1 : 0;
                continue;
            }
            for (int i = 0; i < unit.pieces && unit.start + unit.ends[i] <= done; ++i) keep = unit.start + unit.ends[i];
            break;
        }
        if (ok && done == used_) {
            base_ += used_;
            used_ = 0;
            units_.clear();
            return true;
        }
        file_.Seek(base_ + keep);
        failed_ = true;
        return false;
    }

private:
    struct Unit {
        size_t start;
        uint16_t ends[kListingPieces];
        uint8_t pieces;
        bool counted;
    };
    RecordFile& file_;
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
    std::vector<Unit> units_;
    uint64_t base_ = 0;
    int count_ = 0;
    bool failed_ = false;
};

}  // namespace

void AppendListingLine(std::string& out, const WakeEntry& entry, int rowNumber, std::vector<size_t>* pieceEnds) {
    char line[kListingLineMax];
    uint16_t ends[kListingPieces];
    const size_t length = FormatListingLine(line, entry, rowNumber, ends);
    if (pieceEnds)
        for (uint16_t end : ends) pieceEnds->push_back(out.size() + end);
    out.append(line, length);
}

std::string FormatExchangeHeader(int64_t count) {
    if (count < 0) count = 0;
    if (count > kExchangeCountMax) count = kExchangeCountMax;
    char text[32];
    std::snprintf(text, sizeof text, "%06d %s", static_cast<int>(count), kExchangeToken);
    return std::string(text, kExchangeHeaderSize);
}

bool ParseExchangeHeader(const char* bytes, size_t size, int* count) {
    if (count) *count = 0;
    // A shorter file has no room for the token where the records begin.
    if (!bytes || size != kExchangeHeaderSize) return false;
    char text[kExchangeHeaderSize + 1];
    std::memcpy(text, bytes, kExchangeHeaderSize);
    text[kExchangeHeaderSize] = 0;
    int value = 0;
    char token[kExchangeHeaderSize + 1] = {};
    if (std::sscanf(text, "%06d %13s", &value, token) != 2) return false;
    if (std::strcmp(token, kExchangeToken) != 0) return false;
    if (count) *count = value < 0 ? 0 : value;
    return true;
}

FileWriteResult WriteListing(CEntList& store, RecordFile& file, const std::function<void()>& afterHeader,
                             const std::function<void()>& step) {
    FileWriteResult result;
    PieceWriter writer(file);
    if (!writer.Ready()) {
        result.headerFailed = true;
        return result;
    }
    writer.Put(kListingHeader, sizeof kListingHeader - 1, false);
    if (!writer.Flush()) {
        result.headerFailed = true;
        return result;
    }
    if (afterHeader) afterHeader();
    uint16_t ends[kListingPieces];
    int row = 0;
    auto put = [&](const WakeEntry& entry) {
        const size_t length = FormatListingLine(writer.Tail(), entry, ++row, ends);
        writer.Take(length, ends, kListingPieces, true);
        if (step) step();
        return !writer.Full() || writer.Flush();
    };
    // The records lie scattered over the heap: their text lines are asked
    // for a few records ahead of the one being formatted. Without room for
    // the list of records, they go one by one.
    std::vector<const WakeEntry*> entries;
    bool listed = true;
    try {
        entries.reserve(store.EntryCount());
    } catch (const std::bad_alloc&) {
        listed = false;
    }
    if (listed) {
        for (const WakeEntry* entry = store.FirstEntry(); entry; entry = store.NextEntry()) entries.push_back(entry);
        constexpr size_t kAhead = 4;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (i + kAhead < entries.size()) {
                const WakeEntry* ahead = entries[i + kAhead];
                for (const char* line : {ahead->name, ahead->hostName, ahead->place, ahead->comment})
                    __builtin_prefetch(line);
            }
            if (!put(*entries[i])) break;
        }
    } else {
        for (const WakeEntry* entry = store.FirstEntry(); entry; entry = store.NextEntry())
            if (!put(*entry)) break;
    }
    writer.Flush();
    result.count = writer.Count();
    result.writeFailed = writer.Failed();
    return result;
}

FileWriteResult WriteExchange(CEntList& store, RecordFile& file, const std::function<void()>& afterHeader,
                              const std::function<void()>& step, int64_t forcedCount) {
    FileWriteResult result;
    PieceWriter writer(file);
    if (!writer.Ready()) {
        result.headerFailed = true;
        return result;
    }
    const std::string header = FormatExchangeHeader(forcedCount >= 0 ? forcedCount : store.EntryCount());
    writer.Put(header.data(), header.size(), false);
    if (!writer.Flush()) {
        result.headerFailed = true;
        return result;
    }
    if (afterHeader) afterHeader();
    for (const WakeEntry* entry = store.FirstEntry(); entry; entry = store.NextEntry()) {
        writer.Put(entry, kRecordSize, true);
        if (step) step();
        if (writer.Full() && !writer.Flush()) break;
    }
    writer.Flush();
    result.count = writer.Count();
    result.writeFailed = writer.Failed();
    if (result.writeFailed) {
        // The header counted every entry: it is rewritten in place (no new
        // room needed) to count the records that are there, and the file
        // ends after the last of them.
        const std::string mended = FormatExchangeHeader(result.count);
        uint32_t done = 0;
        result.countMended = file.Seek(0) && file.Write(mended.data(), static_cast<uint32_t>(mended.size()), done) &&
                             done == mended.size();
        file.Seek(kExchangeHeaderSize + static_cast<uint64_t>(result.count) * kRecordSize);
    }
    return result;
}

ImportResult ImportExchange(CEntList& store, RecordFile& file, const std::function<void(int)>& begin,
                            const std::function<void(const WakeEntry&)>& added) {
    ImportResult result;
    char header[kExchangeHeaderSize];
    uint32_t done = 0;
    if (!file.Seek(0) || !file.Read(header, sizeof header, done)) {
        result.kind = ImportResult::kReadFailed;
        return result;
    }
    if (!ParseExchangeHeader(header, done, &result.headerCount)) {
        result.kind = ImportResult::kNotExchange;
        return result;
    }
    if (begin) begin(result.headerCount);

    constexpr uint32_t kChunkRecords = 256;
    std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[kChunkRecords * kRecordSize]);
    unsigned char one[kRecordSize];
    unsigned char* buffer = chunk ? chunk.get() : one;
    const uint32_t want = (chunk ? kChunkRecords : 1) * kRecordSize;
    for (;;) {
        done = 0;
        if (!file.Read(buffer, want, done)) break;
        if (done > want) done = want;
        for (uint32_t at = 0; at + kRecordSize <= done; at += kRecordSize) {
            WakeEntry entry;
            std::memcpy(&entry, buffer + at, kRecordSize);
            if (store.AddEntry(entry) < 0) continue;
            ++result.added;
            if (added) added(entry);
        }
        if (done < want) break;
    }
    return result;
}
