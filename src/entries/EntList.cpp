#include "entries/EntList.h"
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include "common/Cp932.h"
#include "common/DataPath.h"
#include "common/FixedText.h"

namespace {

constexpr uint32_t kRecordSize = sizeof(WakeEntry);
// Records moved per read or write: one call per record is what makes a large
// data file slow, and a chunk still lets us stop at the last whole record.
constexpr uint32_t kChunkRecords = 256;

// A chunk buffer if one can be had, else room for a single record.
struct ChunkBuffer {
    std::unique_ptr<unsigned char[]> big;
    unsigned char one[kRecordSize];
    unsigned char* data = one;
    uint32_t records = 1;
    ChunkBuffer() : big(new (std::nothrow) unsigned char[kChunkRecords * kRecordSize]) {
        if (big) {
            data = big.get();
            records = kChunkRecords;
        }
    }
};

}  // namespace

std::string ComposeDataFolder(const char* base) {
    std::string folder = (base && *base) ? base : ".\\";
    if (!EndsInBackslash(folder)) folder += '\\';
    folder += "Morrowbel";
    if (folder.size() >= kDataPathSize) return ".\\Morrowbel";
    return folder;
}

std::string ComposeDataFilePath(const char* folder) {
    // The store's own path buffer is one byte shorter than the shared rule's.
    std::string path = JoinDataFolderPath(folder ? folder : "", "Ent.dat");
    if (path.size() >= kDataPathSize) return std::string();
    return path;
}

CEntList::CEntList() = default;

CEntList::~CEntList() = default;

void CEntList::SetPaths(const char* folder, const char* filePath) {
    SetField(dataFolder_, folder);
    SetField(dataFilePath_, filePath);
}

void CEntList::AttachDataFile(std::unique_ptr<RecordFile> file) {
    file_ = std::move(file);
    Load();
}

void CEntList::Load() {
    entries_.clear();
    entryCursor_ = 0;
    maxId_ = -1;
    loadWhole_ = true;
    tailOffset_ = 0;
    if (!file_) return;
    if (!file_->Seek(0)) {
        loadWhole_ = false;
        return;
    }
    ChunkBuffer buffer;
    const uint32_t want = buffer.records * kRecordSize;
    uint64_t offset = 0;
    for (;;) {
        uint32_t done = 0;
        if (!file_->Read(buffer.data, want, done)) {
            loadWhole_ = false;
            tailOffset_ = offset;
            return;
        }
        if (done > want) done = want;
        // A trailing fragment shorter than a record is left behind; the next
        // save drops it.
        for (uint32_t at = 0; at + kRecordSize <= done; at += kRecordSize) {
            WakeEntry entry;
            std::memcpy(&entry, buffer.data + at, kRecordSize);
            if (AddEntry(entry) < 0) {
                loadWhole_ = false;
                tailOffset_ = offset + at;
                return;
            }
        }
        if (done < want) return;
        offset += done;
    }
}

bool CEntList::ReadTail(std::string& tail) {
    tail.clear();
    if (!file_->Seek(tailOffset_)) return false;
    try {
        ChunkBuffer buffer;
        const uint32_t want = buffer.records * kRecordSize;
        for (;;) {
            uint32_t done = 0;
            if (!file_->Read(buffer.data, want, done)) return false;
            if (done > want) done = want;
            tail.append(reinterpret_cast<const char*>(buffer.data), done);
            if (done < want) break;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Whole records only, as a load would take them.
    tail.resize(tail.size() / kRecordSize * kRecordSize);
    return true;
}

bool CEntList::WriteRecords(size_t first, size_t last, const std::string& tail, uint64_t& kept) {
    kept = 0;
    if (first >= last) return true;
    if (!file_->Seek(static_cast<uint64_t>(first) * kRecordSize)) return false;
    ChunkBuffer buffer;
    size_t next = first;
    while (next < last) {
        uint32_t count = 0;
        for (; count < buffer.records && next < last; ++count, ++next) {
            const void* record = next < entries_.size()
                                     ? static_cast<const void*>(entries_[next].get())
                                     : static_cast<const void*>(tail.data() + (next - entries_.size()) * kRecordSize);
            std::memcpy(buffer.data + count * kRecordSize, record, kRecordSize);
        }
        const uint32_t want = count * kRecordSize;
        uint32_t done = 0;
        const bool ok = file_->Write(buffer.data, want, done);
        if (done > want) done = want;
        kept += done / kRecordSize * kRecordSize;
        if (!ok || done < want) return false;
    }
    return true;
}

std::string CEntList::SaveDataFile() {
    if (!file_) return std::string();
    std::string tail;
    // Cutting the file after a partial load would drop every record the load
    // never reached: keep them, or leave the file alone.
    if (!loadWhole_ && !ReadTail(tail)) return "データファイルの残りが読めないため保存しませんでした";
    const size_t total = entries_.size() + tail.size() / kRecordSize;
    const uint64_t newSize = static_cast<uint64_t>(total) * kRecordSize;

    // A full disk must not cost entries the file already holds: the part
    // beyond the old end is written first, and only when it fits is the old
    // part overwritten, in place, where it needs no new room.
    uint64_t oldSize = 0;
    size_t grownFrom = total;
    if (file_->Size(oldSize) && newSize > oldSize) {
        grownFrom = static_cast<size_t>(oldSize / kRecordSize);
        uint64_t kept = 0;
        if (!WriteRecords(grownFrom, total, tail, kept)) {
            if (file_->Seek(oldSize)) file_->Truncate();
            return "ディスクの空きが足りないためデータファイルを更新しませんでした";
        }
    }
    uint64_t kept = 0;
    const size_t front = grownFrom < total ? grownFrom : total;
    if (!WriteRecords(0, front, tail, kept)) {
        // Cut after the last whole record, so no fragment of a record is
        // left at the end of the file.
        if (file_->Seek(kept)) file_->Truncate();
        return "データファイルの書き込みに失敗しました";
    }
    if (!file_->Seek(newSize) || !file_->Truncate()) return "データファイルの書き込みに失敗しました";
    return std::string();
}

std::string CEntList::DataFileNotice() const {
    char text[kDataPathSize + 200];
    if (!file_) {
        std::snprintf(text, sizeof text,
                      "データファイルがオープンできません %s (ErrorCode:0x%08x) この実行中のエントリは保存されません",
                      dataFilePath_[0] ? dataFilePath_ : dataFolder_, static_cast<unsigned>(openError_));
        return text;
    }
    if (!loadWhole_) {
        std::snprintf(text, sizeof text,
                      "データファイルを最後まで読み込めませんでした %s (%d件読み込み) 残りのエントリはファイルに残します",
                      dataFilePath_, EntryCount());
        return text;
    }
    return std::string();
}

int CEntList::Append(Blocks& blocks, const WakeEntry& entry) {
    // Not zero-filled first: the whole record is copied over it at once.
    std::unique_ptr<WakeEntry> block(new (std::nothrow) WakeEntry);
    if (!block) return -1;
    std::memcpy(block.get(), &entry, sizeof entry);
    try {
        blocks.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return static_cast<int>(blocks.size());
}

int CEntList::AddEntry(WakeEntry& entry) {
    if (maxId_ == INT32_MAX) return -1;
    const int32_t id = maxId_ + 1;
    entry.id = id;
    const int count = Append(entries_, entry);
    if (count >= 0) maxId_ = id;
    return count;
}

void CEntList::RemoveEntry(int id) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if ((*it)->id != id) continue;
        entries_.erase(it);
        if (id == maxId_) {
            maxId_ = -1;
            for (const auto& block : entries_)
                if (block->id > maxId_) maxId_ = block->id;
        }
        return;
    }
}

WakeEntry* CEntList::FindEntry(int id) {
    for (const auto& block : entries_)
        if (block->id == id) return block.get();
    return nullptr;
}

WakeEntry* CEntList::First(Blocks& blocks, int32_t& cursor) {
    cursor = 0;
    if (blocks.empty()) return nullptr;
    cursor = 1;
    return blocks[0].get();
}

WakeEntry* CEntList::Next(Blocks& blocks, int32_t& cursor) {
    if (cursor < 0 || static_cast<size_t>(cursor) >= blocks.size()) return nullptr;
    return blocks[cursor++].get();
}

WakeEntry* CEntList::FirstEntry() { return First(entries_, entryCursor_); }
WakeEntry* CEntList::NextEntry() { return Next(entries_, entryCursor_); }

void CEntList::ClearCopyBuffer() {
    copies_.clear();
    copyCursor_ = 0;
}

int CEntList::AddToCopyBuffer(const WakeEntry& entry) { return Append(copies_, entry); }
WakeEntry* CEntList::FirstCopy() { return First(copies_, copyCursor_); }
WakeEntry* CEntList::NextCopy() { return Next(copies_, copyCursor_); }
