#include "common/SystemLibraryWin32.h"

#include <string>

namespace {

// Windows 7 and 2008 R2 have these only with KB2533623: found at run time so
// the program still starts without it.
constexpr DWORD kSearchSystem32 = 0x00000800;   // LOAD_LIBRARY_SEARCH_SYSTEM32

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

HMODULE LoadByFullPath(const char* name) {
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return nullptr;
    std::string path(folder, length);
    if (path.back() != '\\') path += '\\';
    path += name;
    // Its own imports are then looked for beside it first: in the system folder.
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

void RestrictDllSearchToSystem() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto restrict = SystemProc<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories");
    if (restrict && restrict(kSearchSystem32)) return;
    // Without it, at least the current folder leaves the search order.
    SetDllDirectoryA("");
}

HMODULE LoadSystemLibrary(const char* name) {
    if (HMODULE library = LoadLibraryExA(name, nullptr, kSearchSystem32)) return library;
    // Without the search flags the system refuses them as invalid: name the
    // file in the system folder instead.
    if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    return LoadByFullPath(name);
}
