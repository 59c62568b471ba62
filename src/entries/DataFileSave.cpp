#include "entries/DataFileSave.h"
#include <algorithm>
#include <cstdio>
#include <new>

namespace {

constexpr uint32_t kRecordSize = sizeof(WakeEntry);
// Records per write: a megabyte at a time straight from the snapshot, which
// already lies in one piece.
constexpr uint32_t kWriteRecords = 1024;
// The system's codes for a disk that has no room left.
constexpr uint32_t kErrorHandleDiskFull = 39;
constexpr uint32_t kErrorDiskFull = 112;

bool WriteAll(RecordFile& file, const void* data, uint32_t size) {
    uint32_t done = 0;
    return file.Write(data, size, done) && done == size;
}

// The failure of a write to the new file, in the file's own words when it
// has any, else in the place's.
uint32_t WriteError(const RecordFile& file, const DataFilePlace& place) {
    return file.LastError() ? file.LastError() : place.LastError();
}

// Copies the whole records from `from` of the held file to the end of `next`.
// False with `readFailed` when the held file could not be read.
bool CopyTail(RecordFile& held, uint64_t from, RecordFile& next, bool& readFailed) {
    readFailed = true;
    if (!held.Seek(from)) return false;
    const uint32_t want = kWriteRecords * kRecordSize;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[want]);
    if (!buffer) return false;
    for (;;) {
        uint32_t done = 0;
        if (!held.Read(buffer.get(), want, done)) return false;
        done = std::min(done, want) / kRecordSize * kRecordSize;
        if (done > 0 && !WriteAll(next, buffer.get(), done)) {
            readFailed = false;
            return false;
        }
        if (done < want) return true;
    }
}

}  // namespace

const char kDataFileSavedText[] = "データファイルを保存しました";

std::string SaveProblemText(uint32_t error) {
    if (error == kErrorDiskFull || error == kErrorHandleDiskFull)
        return "ディスクの空きが足りないためデータファイルを更新しませんでした";
    if (error == 0) return "データファイルの書き込みに失敗しました";
    char text[96];
    std::snprintf(text, sizeof text, "データファイルの書き込みに失敗しました (ErrorCode:0x%08x)",
                  static_cast<unsigned>(error));
    return text;
}

SaveOutcome WriteDataFile(DataFilePlace& place, const DataFileSnapshot& snapshot) {
    SaveOutcome outcome;
    const bool keepTail = place.tailFrom != DataFilePlace::kNoTail;
    RecordFile* held = place.Held();
    // The records the load never reached exist only in the held file: a save
    // that cannot copy them leaves everything as it is.
    constexpr char kTailUnread[] = "データファイルの残りが読めないため保存しませんでした";
    if (keepTail && !held) {
        outcome.problem = kTailUnread;
        return outcome;
    }
    std::unique_ptr<RecordFile> next = place.CreateNext();
    if (!next) {
        outcome.problem = SaveProblemText(place.LastError());
        return outcome;
    }
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(snapshot.records.data());
    const size_t count = snapshot.records.size();
    for (size_t at = 0; at < count; at += kWriteRecords) {
        const size_t n = std::min<size_t>(kWriteRecords, count - at);
        if (!WriteAll(*next, bytes + at * kRecordSize, static_cast<uint32_t>(n * kRecordSize))) {
            outcome.problem = SaveProblemText(WriteError(*next, place));
            place.Discard(std::move(next));
            return outcome;
        }
    }
    if (keepTail) {
        bool readFailed = false;
        if (!CopyTail(*held, place.tailFrom, *next, readFailed)) {
            outcome.problem = readFailed ? kTailUnread : SaveProblemText(WriteError(*next, place));
            place.Discard(std::move(next));
            return outcome;
        }
    }
    if (!place.Replace(std::move(next))) {
        outcome.problem = SaveProblemText(place.LastError());
        return outcome;
    }
    // The unread records now follow the entries in the file just put in place.
    if (keepTail) place.tailFrom = static_cast<uint64_t>(count) * kRecordSize;
    outcome.saved = true;
    return outcome;
}
