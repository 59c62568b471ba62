#pragma once
// The data file as a plain byte stream, so the load and save rules run and
// are tested on any platform; the Win32 part supplies one over a file handle.
#include <cstdint>

class RecordFile {
public:
    virtual ~RecordFile() = default;
    virtual bool Seek(uint64_t offset) = 0;
    // Both return false on failure; `done` holds the bytes actually moved
    // either way. A read short of `size` means the end of the file.
    virtual bool Read(void* buffer, uint32_t size, uint32_t& done) = 0;
    virtual bool Write(const void* data, uint32_t size, uint32_t& done) = 0;
    // Ends the file at the current position.
    virtual bool Truncate() = 0;
    // The system's code for the last failed call; 0 when it cannot tell.
    virtual uint32_t LastError() const { return 0; }
};
