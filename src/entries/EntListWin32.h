#pragma once
// The data file over a kernel file handle, and where the data folder lives.
#include <windows.h>
#include <string>
#include "common/ScopedWin32.h"
#include "entries/RecordFile.h"

class HandleRecordFile : public RecordFile {
public:
    explicit HandleRecordFile(HANDLE file) : file_(file) {}
    bool Seek(uint64_t offset) override;
    bool Read(void* buffer, uint32_t size, uint32_t& done) override;
    bool Write(const void* data, uint32_t size, uint32_t& done) override;
    bool Truncate() override;
    bool Size(uint64_t& size) override;
    void Close() { file_.Close(); }

private:
    ScopedHandle file_;
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
