#pragma once
// The application log file: emptied at every start, then one time-stamped line
// per Command Log line. The main thread and the wake worker both write to it.
#include <windows.h>
#include <cstdint>
#include <mutex>


class CAppLog {
public:
    CAppLog();
    virtual ~CAppLog();
    CAppLog(const CAppLog&) = delete;
    CAppLog& operator=(const CAppLog&) = delete;

    virtual void WriteLine(const char* text);
    virtual void WriteErrorLine(const char* text, uint32_t code);

    // 1 when the file was opened and starts with the banner; 0 otherwise. A
    // failure after the file was opened leaves it open, so later lines still
    // reach it.
    int Open(const char* path);

    bool IsOpen() const { return file != INVALID_HANDLE_VALUE; }
    const char* FullPath() const { return fullPath; }
    const char* Title() const { return title; }
    const char* Notice() const { return notice; }

private:
    void WriteBytes(const char* bytes, size_t size);

    HANDLE file;
    char fullPath[261];
    char title[257];
    char notice[257];
    // Held only for the single write of a line, so lines of the two writing
    // threads never interleave.
    std::mutex lock;
};
