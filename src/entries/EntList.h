#pragma once
// The entry store: sole owner of every entry record, of the data folder path
// and of the open data file.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "entries/RecordFile.h"
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

    // Takes the opened data file (null: none) and loads every whole record
    // from it.
    void AttachDataFile(std::unique_ptr<RecordFile> file);
    bool HasDataFile() const { return file_ != nullptr; }
    // Rewrites the data file from the entries; only at shutdown. When the
    // load stopped before the end of the file, the records it did not reach
    // are written back after the entries; if they cannot be read again, the
    // file is left as it is.
    // Returns an empty text, or what went wrong for the log.
    std::string SaveDataFile();
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
    WakeEntry* FindEntry(int id);
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    WakeEntry* FirstEntry();
    WakeEntry* NextEntry();

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
    bool ReadTail(std::string& tail);
    // Writes records [first, last) of the save at their places in the file;
    // the bytes actually kept (whole records from `first` on) go to `kept`.
    bool WriteRecords(size_t first, size_t last, const std::string& tail, uint64_t& kept);

    char dataFolder_[kDataPathSize] = {};
    char dataFilePath_[kDataPathSize] = {};
    std::unique_ptr<RecordFile> file_;
    Blocks entries_;
    Blocks copies_;
    int32_t entryCursor_ = 0;
    int32_t copyCursor_ = 0;
    // Largest id held, so an add needs no scan; -1 when empty.
    int32_t maxId_ = -1;
    bool loadWhole_ = true;
    // Where the first record the load did not take starts.
    uint64_t tailOffset_ = 0;
    uint32_t openError_ = 0;
};
