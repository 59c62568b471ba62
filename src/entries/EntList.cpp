#include "entries/EntList.h"
#include <cstdint>
#include <cstdio>
#include <algorithm>
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

void CEntList::AttachDataFile(std::unique_ptr<DataFilePlace> place) {
    place_ = std::move(place);
    Load();
}

void CEntList::Load() {
    entries_.clear();
    entryCursor_ = 0;
    maxId_ = -1;
    loadWhole_ = true;
    changeCount_ = 0;
    RecordFile* file = place_ ? place_->Held() : nullptr;
    if (!file) return;
    place_->tailFrom = DataFilePlace::kNoTail;
    if (!file->Seek(0)) {
        loadWhole_ = false;
        place_->tailFrom = 0;
        return;
    }
    loading_ = true;
    ChunkBuffer buffer;
    const uint32_t want = buffer.records * kRecordSize;
    uint64_t offset = 0;
    for (;;) {
        uint32_t done = 0;
        if (!file->Read(buffer.data, want, done)) {
            loadWhole_ = false;
            place_->tailFrom = offset;
            break;
        }
        if (done > want) done = want;
        // A trailing fragment shorter than a record is left behind; the next
        // save drops it.
        bool refused = false;
        for (uint32_t at = 0; at + kRecordSize <= done; at += kRecordSize) {
            WakeEntry entry;
            std::memcpy(&entry, buffer.data + at, kRecordSize);
            if (AddEntry(entry) < 0) {
                loadWhole_ = false;
                place_->tailFrom = offset + at;
                refused = true;
                break;
            }
        }
        if (refused || done < want) break;
        offset += done;
    }
    loading_ = false;
    changeCount_ = 0;
}

std::string CEntList::SaveDataFile() {
    if (!place_) return std::string();
    DataFileSnapshot snapshot;
    if (!TakeSnapshot(snapshot)) return SaveProblemText(kErrorNotEnoughMemory);
    return WriteDataFile(*place_, snapshot).problem;
}

bool CEntList::TakeSnapshot(DataFileSnapshot& snapshot) const {
    snapshot.version = changeCount_;
    try {
        snapshot.records.clear();
        snapshot.records.reserve(entries_.size());
        for (const auto& block : entries_) snapshot.records.push_back(*block);
    } catch (const std::bad_alloc&) {
        snapshot.records.clear();
        snapshot.records.shrink_to_fit();
        return false;
    }
    return true;
}

void CEntList::Changed() {
    ++changeCount_;
    if (changeHook_ && !loading_) changeHook_();
}

std::string CEntList::DataFileNotice() const {
    char text[kDataPathSize + 200];
    if (!place_) {
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
    if (count >= 0) {
        maxId_ = id;
        Changed();
    }
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
        Changed();
        return;
    }
}

bool CEntList::ReplaceEntry(const WakeEntry& entry) {
    WakeEntry* target = Find(entry.id);
    if (!target) return false;
    std::memcpy(target, &entry, sizeof entry);
    Changed();
    return true;
}

bool CEntList::StampLastSent(int id, const DateTime& when) {
    WakeEntry* target = Find(id);
    if (!target) return false;
    target->lastSentTime = when;
    Changed();
    return true;
}

// The blocks themselves are not const: the store may change what it finds.
WakeEntry* CEntList::Find(int id) { return const_cast<WakeEntry*>(FindEntry(id)); }

const WakeEntry* CEntList::FindEntry(int id) const {
    // Ids are handed out in rising order and every add appends, so the
    // blocks stay sorted by id: a status result among 100,000 entries costs
    // seventeen steps, not a walk of the list.
    auto at = std::lower_bound(entries_.begin(), entries_.end(), id,
                               [](const std::unique_ptr<WakeEntry>& block, int want) { return block->id < want; });
    return at != entries_.end() && (*at)->id == id ? at->get() : nullptr;
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

const WakeEntry* CEntList::FirstEntry() { return First(entries_, entryCursor_); }
const WakeEntry* CEntList::NextEntry() { return Next(entries_, entryCursor_); }

void CEntList::ClearCopyBuffer() {
    copies_.clear();
    copyCursor_ = 0;
}

int CEntList::AddToCopyBuffer(const WakeEntry& entry) { return Append(copies_, entry); }
WakeEntry* CEntList::FirstCopy() { return First(copies_, copyCursor_); }
WakeEntry* CEntList::NextCopy() { return Next(copies_, copyCursor_); }
