#include "app/ShellText.h"

#include "common/Cp932.h"

std::string FolderOfPath(const std::string& path) {
    size_t last = LastBackslash(path);
    return last == std::string::npos ? path : path.substr(0, last);
}

std::string ReadMePathFor(const std::string& programPath) {
    return FolderOfPath(programPath) + "\\ReadMe.txt";
}
