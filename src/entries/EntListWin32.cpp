#include "entries/EntListWin32.h"
#include <shlobj.h>
#include <new>
#include "common/DataPath.h"
#include "entries/EntList.h"
#include "log/CommandLogWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

namespace {

// A file another program holds for a moment is asked again this often.
constexpr int kHoldTries = 5;
constexpr DWORD kRetryPauseMs = 50;

bool Transient(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

}  // namespace

bool HandleRecordFile::Failed() {
    lastError_ = GetLastError();
    return false;
}

bool HandleRecordFile::Seek(uint64_t offset) {
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(file_.Get(), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return Failed();
    return true;
}

bool HandleRecordFile::Read(void* buffer, uint32_t size, uint32_t& done) {
    DWORD got = 0;
    const BOOL ok = ReadFile(file_.Get(), buffer, size, &got, nullptr);
    done = got;
    return ok ? true : Failed();
}

bool HandleRecordFile::Write(const void* data, uint32_t size, uint32_t& done) {
    DWORD put = 0;
    const BOOL ok = WriteFile(file_.Get(), data, size, &put, nullptr);
    done = put;
    return ok ? true : Failed();
}

bool HandleRecordFile::Truncate() { return SetEndOfFile(file_.Get()) ? true : Failed(); }

bool HandleRecordFile::Flush() { return FlushFileBuffers(file_.Get()) ? true : Failed(); }

bool HeldDataFile::Open(const std::string& path) {
    path_ = path;
    nextPath_ = NextVersionPath(path);
    lastError_ = Hold(OPEN_ALWAYS, 1);
    return held_ != nullptr;
}

uint32_t HeldDataFile::Hold(DWORD disposition, int tries) {
    held_.reset();
    for (int attempt = 1;; ++attempt) {
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            held_.reset(new (std::nothrow) HandleRecordFile(file));
            if (held_) return 0;
            CloseHandle(file);
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        const DWORD error = GetLastError();
        if (!Transient(error) || attempt >= tries) return error;
        Sleep(kRetryPauseMs);
    }
}

std::unique_ptr<RecordFile> HeldDataFile::CreateNext() {
    if (nextPath_.empty()) {
        lastError_ = ERROR_INVALID_NAME;
        return nullptr;
    }
    HANDLE file = CreateFileA(nextPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        lastError_ = GetLastError();
        return nullptr;
    }
    std::unique_ptr<RecordFile> next(new (std::nothrow) HandleRecordFile(file));
    if (!next) {
        CloseHandle(file);
        DeleteFileA(nextPath_.c_str());
        lastError_ = ERROR_NOT_ENOUGH_MEMORY;
    }
    return next;
}

void HeldDataFile::Discard(std::unique_ptr<RecordFile> next) {
    next.reset();
    DeleteFileA(nextPath_.c_str());
}

bool HeldDataFile::Replace(std::unique_ptr<RecordFile> next) {
    // Only a file of ours comes back here (CreateNext).
    auto* file = static_cast<HandleRecordFile*>(next.get());
    // On the disk before it takes the old file's place: after a power cut the
    // name must lead to these bytes, never to a file not yet written.
    if (!file->Flush()) {
        lastError_ = file->LastError();
        Discard(std::move(next));
        return false;
    }
    next.reset();
    held_.reset();
    bool moved = false;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExA(nextPath_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            moved = true;
            break;
        }
        lastError_ = GetLastError();
        if (!Transient(lastError_) || attempt >= kHoldTries) break;
        Sleep(kRetryPauseMs);
    }
    if (!moved) DeleteFileA(nextPath_.c_str());
    // Held again either way: the new file, or the old one as it was. When
    // another program took it in the moment it was free, the next save asks
    // again (and fails, and says so, while that program keeps it).
    const uint32_t holdError = Hold(OPEN_EXISTING, kHoldTries);
    if (moved && holdError) lastError_ = holdError;
    return moved;
}

std::string LocateDataFolder() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    char appData[MAX_PATH] = {};
    const char* base = nullptr;
    if (GetVersionExA(&version) && version.dwMajorVersion >= 5 &&
        SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE))
        base = appData;
    return AbsoluteFolder(ComposeDataFolder(base));
}

std::string AbsoluteFolder(const std::string& folder) {
    char full[MAX_PATH + 1] = {};
    char* name = nullptr;
    const DWORD length = GetFullPathNameA(folder.c_str(), sizeof full, full, &name);
    if (length == 0 || length >= sizeof full) return folder;
    return full;
}

void CEntList::OpenDataFile() { OpenDataFileIn(LocateDataFolder().c_str()); }

void CEntList::OpenDataFileIn(const char* folder) {
    const std::string path = ComposeDataFilePath(folder);
    SetPaths(folder, path.c_str());
    if (path.empty()) {
        SetOpenError(ERROR_FILENAME_EXCED_RANGE);
        AttachDataFile(nullptr);
        return;
    }
    // A failure to create the folder shows up as a file that will not open.
    if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES) CreateDirectoryA(folder, nullptr);
    std::unique_ptr<HeldDataFile> place(new (std::nothrow) HeldDataFile);
    if (!place) {
        SetOpenError(ERROR_NOT_ENOUGH_MEMORY);
    } else if (!place->Open(path)) {
        SetOpenError(place->LastError());
        place.reset();
    }
    AttachDataFile(std::move(place));
}

void ReportDataFileState(HWND mainWindow) {
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    if (!store) return;
    const std::string notice = store->DataFileNotice();
    if (!notice.empty()) AppendCommandLog(mainWindow, notice.c_str());
}
