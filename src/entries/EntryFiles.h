#pragma once
// The CSV listing and the exchange file (".ent"): formats and the write and
// read loops, over the same byte-stream interface as the data file so they
// run and are tested on any platform.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "entries/RecordFile.h"
#include "entries/WakeEntry.h"

class CEntList;

// Line 1 of the listing, CR LF included.
extern const char kListingHeader[];

// Appends the nine pieces of one listing line to `out`; when `pieceEnds` is
// given, the offset in `out` just after each piece is appended to it. Texts
// are read at most to their field's width; a double quote inside one is
// doubled (RFC 4180), and a text that starts with '=', '+', '-', '@', a tab
// or a CR gets a leading apostrophe so that a spreadsheet shows it as text;
// every other byte stays as it is.
void AppendListingLine(std::string& out, const WakeEntry& entry, int rowNumber,
                       std::vector<size_t>* pieceEnds = nullptr);

constexpr size_t kExchangeHeaderSize = 13;
constexpr char kExchangeToken[] = "@QORM.";
// The largest count that fits the header's six digits.
constexpr int64_t kExchangeCountMax = 999999;

// The 13 header bytes for `count` entries. A count above 999,999 would push
// the token out of the 13 bytes, so the highest six-digit count stands in:
// the count only sizes the reader's progress bar.
std::string FormatExchangeHeader(int64_t count);

// Reads a header: `size` bytes as read from the start of the file. True when
// the file can be imported: all 13 bytes present, a count of up to six digits,
// then exactly the token. `count` gets the header's count (0 when negative).
bool ParseExchangeHeader(const char* bytes, size_t size, int* count);

struct FileWriteResult {
    // The first line or the header did not reach the file (or there was no
    // memory to write with): nothing else was written.
    bool headerFailed = false;
    // A later write failed: the file holds `count` whole lines or records
    // and lacks the rest.
    bool writeFailed = false;
    // After such a failure the exchange header was rewritten to `count`.
    bool countMended = false;
    int count = 0;  // complete lines or records in the file
};

// Writes the listing: line 1, then one line per entry in store order. A
// failed write ends it after the last complete piece. `afterHeader` runs once
// the first line is in the file, `step` once per line taken. The caller
// truncates and closes.
FileWriteResult WriteListing(CEntList& store, RecordFile& file, const std::function<void()>& afterHeader,
                             const std::function<void()>& step);

// Writes the exchange file: the header for the store's count (or
// `forcedCount` when not negative), then every record as it stands. When a
// record does not reach the file, the header is rewritten to count the
// records that did, and the file position left after the last of them.
FileWriteResult WriteExchange(CEntList& store, RecordFile& file, const std::function<void()>& afterHeader,
                              const std::function<void()>& step,
                              int64_t forcedCount = -1);

struct ImportResult {
    enum Kind { kDone, kReadFailed, kNotExchange } kind = kDone;
    int headerCount = 0;
    int added = 0;
};

// Reads an exchange file from its start. After a good header `begin` runs
// with the header's count; then each whole record is added to the store (a
// fresh id, every other byte kept) and handed to `added`. A record the store
// refuses is skipped; a trailing fragment is ignored; a failed read ends the
// import. Nothing is added when the header is not right.
ImportResult ImportExchange(CEntList& store, RecordFile& file, const std::function<void(int)>& begin,
                            const std::function<void(const WakeEntry&)>& added);
