#include "common/DataPath.h"

#include "common/Cp932.h"


std::string JoinDataFolderPath(const std::string& folder, const char* fileName) {
    if (folder.empty() || folder.size() > kMaxPathText) return std::string();
    std::string path = folder;
    if (!EndsInBackslash(path)) path += '\\';
    path += fileName;
    if (path.size() > kMaxPathText) return std::string();
    return path;
}

std::string NextVersionPath(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || path.size() - dot != 4)
        return std::string();
    return path.substr(0, dot + 1) + "new";
}
