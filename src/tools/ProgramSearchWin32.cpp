#include "tools/ProgramSearchWin32.h"

#include <windows.h>

#include <vector>

#include "common/Cp932.h"
#include "tools/ProgramSearch.h"

namespace {

std::string SystemFolder() {
    char folder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(folder, sizeof folder);
    return n > 0 && n < sizeof folder ? std::string(folder, n) : std::string();
}

std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    const UINT n = GetSystemWindowsDirectoryA(folder, sizeof folder);
    return n > 0 && n < sizeof folder ? std::string(folder, n) : std::string();
}

std::string PathVariable() {
    const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (size == 0) return {};
    std::vector<char> value(size + 1, '\0');
    const DWORD n = GetEnvironmentVariableA("PATH", value.data(), size + 1);
    return n > 0 && n <= size ? std::string(value.data(), n) : std::string();
}

std::string OwnFolder() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) return {};
    std::string folder(path, n);
    const size_t slash = LastBackslash(folder);
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

std::string CurrentFolder() {
    char folder[MAX_PATH] = {};
    const DWORD n = GetCurrentDirectoryA(sizeof folder, folder);
    return n > 0 && n < sizeof folder ? std::string(folder, n) : std::string();
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool ResolveToolStart(const std::string& commandLine, ToolStart* start) {
    start->application.clear();
    start->commandLine = commandLine;
    const ProgramToken token = ProgramOf(commandLine);
    if (token.name.empty() || NamesFolder(token.name)) return true;
    const std::string file = ProgramFileName(token.name);
    for (const std::string& folder : ProgramSearchFolders(SystemFolder(), WindowsFolder(), PathVariable(),
                                                                {OwnFolder(), CurrentFolder()})) {
        const std::string path = JoinFolder(folder, file);
        if (!IsFile(path)) continue;
        // The child's own first word stays as the user wrote it; only a
        // batch file, which the command processor runs, needs the path there.
        if (IsBatchFile(path))
            start->commandLine = WithProgram(commandLine, token, path);
        else
            start->application = path;
        return true;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
}

std::string DefaultToolFolder() { return SystemFolder(); }
