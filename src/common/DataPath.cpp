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
