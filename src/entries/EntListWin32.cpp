#include "entries/EntListWin32.h"
#include <shlobj.h>
#include <new>
#include "entries/EntList.h"
#include "log/CommandLogWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

bool HandleRecordFile::Seek(uint64_t offset) {
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(file_.Get(), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool HandleRecordFile::Read(void* buffer, uint32_t size, uint32_t& done) {
    DWORD got = 0;
    const BOOL ok = ReadFile(file_.Get(), buffer, size, &got, nullptr);
    done = got;
    return ok != FALSE;
}

bool HandleRecordFile::Write(const void* data, uint32_t size, uint32_t& done) {
    DWORD put = 0;
    const BOOL ok = WriteFile(file_.Get(), data, size, &put, nullptr);
    done = put;
    return ok != FALSE;
}

bool HandleRecordFile::Truncate() { return SetEndOfFile(file_.Get()) != FALSE; }

bool HandleRecordFile::Size(uint64_t& size) {
    LARGE_INTEGER length = {};
    if (!GetFileSizeEx(file_.Get(), &length)) return false;
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
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
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    std::unique_ptr<RecordFile> owner;
    if (file == INVALID_HANDLE_VALUE) SetOpenError(GetLastError());
    if (file != INVALID_HANDLE_VALUE) {
        owner.reset(new (std::nothrow) HandleRecordFile(file));
        if (!owner) CloseHandle(file);
    }
    AttachDataFile(std::move(owner));
}

void ReportDataFileState(HWND mainWindow) {
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    if (!store) return;
    const std::string notice = store->DataFileNotice();
    if (!notice.empty()) AppendCommandLog(mainWindow, notice.c_str());
}
