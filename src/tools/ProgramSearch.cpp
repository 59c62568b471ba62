#include "tools/ProgramSearch.h"

#include <algorithm>

#include "common/Cp932.h"

namespace {

// Folder names compare without letter case, as the file system does; the
// trail byte of a double-byte character is kept as it is.
std::string FolderKey(const std::string& folder) {
    std::string key;
    for (size_t i = 0; i < folder.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(folder[i]);
        if (IsCp932LeadByte(c) && i + 1 < folder.size()) {
            key += folder[i];
            key += folder[++i];
        } else {
            key += static_cast<char>(c == '/' ? '\\' : (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
        }
    }
    while (key.size() > 3 && EndsInBackslash(key)) key.pop_back();
    return key;
}

bool IsAbsoluteFolder(const std::string& folder) {
    if (folder.size() >= 3 && folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/')) {
        const char drive = folder[0];
        return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    }
    // A share: \\server\name.
    return folder.size() >= 3 && (folder[0] == '\\' || folder[0] == '/') && (folder[1] == '\\' || folder[1] == '/');
}

}  // namespace

ProgramToken ProgramOf(const std::string& commandLine) {
    ProgramToken token{0, 0, {}};
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t close = commandLine.find('"', 1);
        token.end = close == std::string::npos ? commandLine.size() : close + 1;
        token.name = commandLine.substr(1, (close == std::string::npos ? commandLine.size() : close) - 1);
        return token;
    }
    const size_t blank = commandLine.find_first_of(" \t");
    token.end = blank == std::string::npos ? commandLine.size() : blank;
    token.name = commandLine.substr(0, token.end);
    return token;
}

bool NamesFolder(const std::string& program) {
    for (size_t i = 0; i < program.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(program[i]);
        if (IsCp932LeadByte(c) && i + 1 < program.size()) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/' || c == ':') return true;
    }
    return false;
}

std::string ProgramFileName(const std::string& program) {
    return program.find('.') == std::string::npos ? program + ".exe" : program;
}

std::vector<std::string> ProgramSearchFolders(const std::string& systemFolder, const std::string& windowsFolder,
                                              const std::string& pathVariable,
                                              const std::vector<std::string>& excluded) {
    std::vector<std::string> folders;
    std::vector<std::string> keys;
    std::vector<std::string> excludedKeys;
    for (const std::string& folder : excluded)
        if (!folder.empty()) excludedKeys.push_back(FolderKey(folder));
    auto add = [&](std::string folder) {
        folder.erase(std::remove(folder.begin(), folder.end(), '"'), folder.end());
        if (!IsAbsoluteFolder(folder)) return;
        const std::string key = FolderKey(folder);
        if (std::find(excludedKeys.begin(), excludedKeys.end(), key) != excludedKeys.end() ||
            std::find(keys.begin(), keys.end(), key) != keys.end())
            return;
        keys.push_back(key);
        folders.push_back(folder);
    };
    add(systemFolder);
    add(windowsFolder);
    size_t start = 0;
    while (start <= pathVariable.size()) {
        size_t end = pathVariable.find(';', start);
        if (end == std::string::npos) end = pathVariable.size();
        add(pathVariable.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

std::string JoinFolder(const std::string& folder, const std::string& file) {
    if (folder.empty() || EndsInBackslash(folder) || folder.back() == '/') return folder + file;
    return folder + "\\" + file;
}

bool IsBatchFile(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".bat" || tail == ".cmd";
}

std::string WithProgram(const std::string& commandLine, const ProgramToken& token, const std::string& path) {
    return commandLine.substr(0, token.begin) + "\"" + path + "\"" + commandLine.substr(token.end);
}
