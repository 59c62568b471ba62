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

private:
    ScopedHandle file_;
};

// The user's application-data folder followed by "Morrowbel", or the current
// directory's "Morrowbel" on a system too old to have one or when the
// look-up fails.
std::string LocateDataFolder();
