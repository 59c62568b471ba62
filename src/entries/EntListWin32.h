#pragma once
// The data file over a kernel file handle, and where the data folder lives.
#include <windows.h>
#include <memory>
#include <string>
#include "common/ScopedWin32.h"
#include "entries/DataFileSave.h"
#include "entries/RecordFile.h"

class HandleRecordFile : public RecordFile {
public:
    explicit HandleRecordFile(HANDLE file) : file_(file) {}
    bool Seek(uint64_t offset) override;
    bool Read(void* buffer, uint32_t size, uint32_t& done) override;
    bool Write(const void* data, uint32_t size, uint32_t& done) override;
    bool Truncate() override;
    uint32_t LastError() const override { return lastError_; }
    // Until the bytes are on the disk itself.
    bool Flush();
    void Close() { file_.Close(); }

private:
    bool Failed();
    ScopedHandle file_;
    uint32_t lastError_ = 0;
};

// Ent.dat, held open for this process alone for the whole run, and Ent.new
// beside it, which each save writes and then renames over Ent.dat in one step
// (MoveFileEx). A rename cannot replace a file that any
// handle holds open, ours included: the hold is let go for the rename alone,
// a few milliseconds, and taken again at once.
class HeldDataFile : public DataFilePlace {
public:
    // Holds `path`, creating it empty when absent. False (LastError says
    // why) when it cannot be had, for example when another program holds it.
    bool Open(const std::string& path);
    RecordFile* Held() override { return held_.get(); }
    std::unique_ptr<RecordFile> CreateNext() override;
    bool Replace(std::unique_ptr<RecordFile> next) override;
    void Discard(std::unique_ptr<RecordFile> next) override;
    uint32_t LastError() const override { return lastError_; }

private:
    // Opens the data file unshared; a file another program holds for a
    // moment (a virus scanner, the indexer) is asked again a few times.
    // Returns 0 or the system's code.
    uint32_t Hold(DWORD disposition, int tries);

    std::string path_, nextPath_;
    std::unique_ptr<HandleRecordFile> held_;
    uint32_t lastError_ = 0;
};

// The user's application-data folder followed by "Morrowbel", or the current
// directory's "Morrowbel" on a system too old to have one or when the
// look-up fails.
// The folder is made absolute once, here: a file dialog may change the current
// directory later, and every file of the data folder must stay where it was.
std::string LocateDataFolder();
std::string AbsoluteFolder(const std::string& folder);

// Says once, in the Command Log and the log file, when the data file could
// not be opened or not be read to its end. Called at start once the log is up.
void ReportDataFileState(HWND mainWindow);
