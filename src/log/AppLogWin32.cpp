#include "log/AppLogWin32.h"
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include "common/FixedText.h"
#include "common/LocalTimeWin32.h"
#include "log/LogFormat.h"

namespace {

const char kPlaceholderNotice[] = "(通知文なし)";
const char kNotice[] = "このファイルは Nodelark の起動のたびに空になります";

}  // namespace

CAppLog::CAppLog() : file(INVALID_HANDLE_VALUE) {
    SetField(fullPath, "ApplicationLog.log");
    SetField(title, "ApplicationLog");
    SetField(notice, kPlaceholderNotice);
}

CAppLog::~CAppLog() {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
}

int CAppLog::Open(const char* path) {
    std::lock_guard<std::mutex> guard(lock);
    if (file != INVALID_HANDLE_VALUE || !path || !*path) return 0;

    char resolved[261];
    if (!_fullpath(resolved, path, sizeof resolved)) return 0;

    file = CreateFileA(resolved, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;

    LARGE_INTEGER start = {};
    if (SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) SetEndOfFile(file);

    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size)) return 0;
    if (size.QuadPart >= 1) {
        // The old lines could not be cut off: keep them and append after them.
        if (!SetFilePointerEx(file, size, nullptr, FILE_BEGIN)) return 0;
    } else {
        const std::string banner = FormatLogBanner(kLogProductName, kNotice);
        DWORD written = 0;
        if (!WriteFile(file, banner.data(), static_cast<DWORD>(banner.size()), &written, nullptr) ||
            written != banner.size())
            return 0;
    }

    SetField(fullPath, resolved);
    SetField(title, kLogProductName);
    SetField(notice, kNotice);
    return 1;
}

// The line buffer is a std::string: when it cannot be had the line is dropped,
// and its release cannot fail, so there is no release error to report.
void CAppLog::WriteLine(const char* text) {
    if (file == INVALID_HANDLE_VALUE || !text || !*text) return;
    try {
        const std::string line = FormatLogLine(LocalNow(), text);
        WriteBytes(line.data(), line.size());
    } catch (const std::bad_alloc&) {
    }
}

void CAppLog::WriteErrorLine(const char* text, uint32_t code) {
    if (file == INVALID_HANDLE_VALUE || !text || !*text) return;
    try {
        const std::string line = FormatLogErrorLine(LocalNow(), text, code);
        WriteBytes(line.data(), line.size());
    } catch (const std::bad_alloc&) {
    }
}

void CAppLog::WriteBytes(const char* bytes, size_t size) {
    // One write call per line: a line split over two calls could be torn by
    // the other thread's line. A line too long for one call is dropped.
    if (size > MAXDWORD) return;
    std::lock_guard<std::mutex> guard(lock);
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr);
}
