#pragma once
// The entry store: sole owner of every entry record, of the data folder path
// and of the open data file. It counts every change to the entries, so the
// saver can tell when the file is behind.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "entries/DataFileSave.h"
#include "entries/WakeEntry.h"

constexpr size_t kDataPathSize = 260;

// "Morrowbel" under `base`; `base` null or empty means the platform had no
// application-data folder, and the current directory stands in for it.
std::string ComposeDataFolder(const char* base);
// The data file inside `folder`; empty when the path would not fit.
std::string ComposeDataFilePath(const char* folder);

class CEntList {
public:
    CEntList();
    virtual ~CEntList();
    CEntList(const CEntList&) = delete;
    CEntList& operator=(const CEntList&) = delete;

    // Win32 part: finds the data folder under the user's application data,
    // then does what OpenDataFileIn does.
    void OpenDataFile();
    // Win32 part: creates `folder` if missing, opens its data file for this
    // process alone and loads it. Reports nothing; on failure the store is
    // empty and has no file.
    void OpenDataFileIn(const char* folder);

    // Takes the place of the opened data file (null: none) and loads every
    // whole record from its held file.
    void AttachDataFile(std::unique_ptr<DataFilePlace> place);
    bool HasDataFile() const { return place_ != nullptr; }
    // Where the data file lives, for the saver; null when there is none.
    DataFilePlace* Place() { return place_.get(); }
    // Writes the data file from the entries now, on the calling thread: a new
    // file put in its place in one step. When the load stopped before the
    // end of the file, the records it did not reach are written back after
    // the entries; if they cannot be read again, the file is left as it is.
    // Returns an empty text, or what went wrong for the log.
    std::string SaveDataFile();
    // Copies every entry for a save; false when there was no memory for it.
    bool TakeSnapshot(DataFileSnapshot& snapshot) const;
    // Counts every change to the entries since the load.
    uint64_t ChangeCount() const { return changeCount_; }
    // Called after each change (add, remove, replace, stamp), on the thread
    // that made it.
    void SetChangeHook(std::function<void()> hook) { changeHook_ = std::move(hook); }
    // False when the load stopped early (a failed read, a block refused).
    bool LoadWhole() const { return loadWhole_; }
    // The system's error code when the data file could not be opened.
    void SetOpenError(uint32_t code) { openError_ = code; }
    // What the user must hear about the data file at start; empty when all is
    // well.
    std::string DataFileNotice() const;

    const char* DataFolder() const { return dataFolder_; }
    const char* DataFilePath() const { return dataFilePath_; }

    // Gives the caller's record a fresh id and appends a copy. Returns the
    // new count, or -1 when no block could be had (nothing appended).
    int AddEntry(WakeEntry& entry);
    void RemoveEntry(int id);
    // Every change to a stored entry goes through the store, so that it is
    // saved: the whole record of the entry with the same id (an edit), or
    // its last-sent time. False when no entry has that id.
    bool ReplaceEntry(const WakeEntry& entry);
    bool StampLastSent(int id, const DateTime& when);
    const WakeEntry* FindEntry(int id) const;
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    const WakeEntry* FirstEntry();
    const WakeEntry* NextEntry();

    // The copy buffer: filled by copy, read by paste, never saved.
    void ClearCopyBuffer();
    // Returns the new count, or -1 when no block could be had.
    int AddToCopyBuffer(const WakeEntry& entry);
    int CopyCount() const { return static_cast<int>(copies_.size()); }
    WakeEntry* FirstCopy();
    WakeEntry* NextCopy();

private:
    void SetPaths(const char* folder, const char* filePath);
    using Blocks = std::vector<std::unique_ptr<WakeEntry>>;
    static int Append(Blocks& blocks, const WakeEntry& entry);
    static WakeEntry* First(Blocks& blocks, int32_t& cursor);
    static WakeEntry* Next(Blocks& blocks, int32_t& cursor);
    void Load();
    WakeEntry* Find(int id);
    void Changed();

    char dataFolder_[kDataPathSize] = {};
    char dataFilePath_[kDataPathSize] = {};
    std::unique_ptr<DataFilePlace> place_;
    Blocks entries_;
    Blocks copies_;
    int32_t entryCursor_ = 0;
    int32_t copyCursor_ = 0;
    // Largest id held, so an add needs no scan; -1 when empty.
    int32_t maxId_ = -1;
    bool loadWhole_ = true;
    bool loading_ = false;
    uint32_t openError_ = 0;
    uint64_t changeCount_ = 0;
    std::function<void()> changeHook_;
};
