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

void AppendDecimal(std::string& out, int64_t value) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    const bool negative = value < 0;
    uint64_t v = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    if (negative) *--p = '-';
    out.append(p, end);
}

void AppendOctets(std::string& out, const uint8_t octets[4]) {
    for (int i = 0; i < 4; ++i) {
        if (i) out += '.';
        AppendDecimal(out, octets[i]);
    }
}

void AppendMac(std::string& out, const uint8_t mac[6]) {
    static const char hex[] = "0123456789ABCDEF";
    char text[17];
    for (int i = 0; i < 6; ++i) {
        text[i * 3] = hex[mac[i] >> 4];
        text[i * 3 + 1] = hex[mac[i] & 15];
        if (i < 5) text[i * 3 + 2] = '-';
    }
    out.append(text, sizeof text);
}

template <size_t N>
void AppendQuoted(std::string& out, const char (&field)[N]) {
    out += '"';
    out.append(field, FieldLength(field));
    out += '"';
}

// Collects pieces in a buffer and writes it a chunk at a time. When a write
// fails or falls short, the file position goes back to the end of the last
// piece that reached the file whole, so the caller's truncation leaves no
// half piece behind.
class PieceWriter {
public:
    explicit PieceWriter(RecordFile& file) : file_(file) {}

    std::string& Buffer() { return buffer_; }
    // The buffer's current end closes a piece; `unit` when it also closes a
    // line or a record.
    void EndPiece(bool unit) { EndPieceAt(buffer_.size(), unit); }
    void EndPieceAt(size_t offset, bool unit) { ends_.push_back({offset, unit}); }
    bool Full() const { return buffer_.size() >= kChunkBytes; }
    bool Failed() const { return failed_; }
    int Units() const { return units_; }

    bool Flush() {
        if (failed_) return false;
        if (buffer_.empty()) return true;
        uint32_t done = 0;
        const bool ok = file_.Write(buffer_.data(), static_cast<uint32_t>(buffer_.size()), done);
        if (done > buffer_.size()) done = static_cast<uint32_t>(buffer_.size());
        if (ok && done == buffer_.size()) {
            for (const End& end : ends_) units_ += end.unit ? 1 : 0;
            base_ += buffer_.size();
            buffer_.clear();
            ends_.clear();
            return true;
        }
        size_t keep = 0;
        for (const End& end : ends_) {
            if (end.offset > done) break;
            keep = end.offset;
            units_ += end.unit ? 1 : 0;
        }
        file_.Seek(base_ + keep);
        failed_ = true;
        return false;
    }

private:
    struct End {
        size_t offset;
        bool unit;
    };
    RecordFile& file_;
    std::string buffer_;
    std::vector<End> ends_;
    uint64_t base_ = 0;
    int units_ = 0;
    bool failed_ = false;
};

}  // namespace

void AppendListingLine(std::string& out, const WakeEntry& e, int rowNumber, std::vector<size_t>* pieceEnds) {
    auto end = [&] {
        if (pieceEnds) pieceEnds->push_back(out.size());
    };
    AppendDecimal(out, rowNumber);
    out += ',';
    end();
    AppendQuoted(out, e.name);
    out += ',';
    end();
    out += '"';
    AppendOctets(out, e.ipAddress);
    out += "\",";
    end();
    out += '"';
    AppendOctets(out, e.subnetMask);
    out += "\",";
    end();
    AppendDecimal(out, e.port);
    out += ',';
    end();
    out += '"';
    AppendMac(out, e.macAddress);
    out += "\",";
    end();
    AppendQuoted(out, e.hostName);
    out += ',';
    end();
    AppendQuoted(out, e.place);
    out += ',';
    end();
    AppendQuoted(out, e.comment);
    out += "\r\n";
    end();
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
    writer.Buffer() = kListingHeader;
    writer.EndPiece(false);
    if (!writer.Flush()) {
        result.headerFailed = true;
        return result;
    }
    if (afterHeader) afterHeader();
    std::vector<size_t> ends;
    int row = 0;
    for (WakeEntry* entry = store.FirstEntry(); entry; entry = store.NextEntry()) {
        ends.clear();
        AppendListingLine(writer.Buffer(), *entry, ++row, &ends);
        for (size_t i = 0; i < ends.size(); ++i) writer.EndPieceAt(ends[i], i + 1 == ends.size());
        if (step) step();
        if (writer.Full() && !writer.Flush()) break;
    }
    writer.Flush();
    result.count = writer.Units();
    return result;
}

FileWriteResult WriteExchange(CEntList& store, RecordFile& file, const std::function<void()>& afterHeader,
                              const std::function<void()>& step,
                              int64_t forcedCount) {
    FileWriteResult result;
    PieceWriter writer(file);
    writer.Buffer() = FormatExchangeHeader(forcedCount >= 0 ? forcedCount : store.EntryCount());
    writer.EndPiece(false);
    if (!writer.Flush()) {
        result.headerFailed = true;
        return result;
    }
    if (afterHeader) afterHeader();
    writer.Buffer().reserve(kChunkBytes);
    for (WakeEntry* entry = store.FirstEntry(); entry; entry = store.NextEntry()) {
        writer.Buffer().append(reinterpret_cast<const char*>(entry), kRecordSize);
        writer.EndPiece(true);
        if (step) step();
        if (writer.Full() && !writer.Flush()) break;
    }
    writer.Flush();
    result.count = writer.Units();
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
