#include "app/ShellText.h"

std::string FolderOfPath(const std::string& path) {
    size_t lastSep = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsCp932LeadByte(c) && i + 1 < path.size()) {
            ++i;  // skip the trail byte, which may be 0x5C
            continue;
        }
        if (c == '\\') lastSep = i;
    }
    return lastSep == std::string::npos ? path : path.substr(0, lastSep);
}

std::string ReadMePathFor(const std::string& programPath) {
    return FolderOfPath(programPath) + "\\ReadMe.txt";
}

int CompareCellTexts(const char* a, const char* b, bool ascending) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    while (*p && *p == *q) {
        ++p;
        ++q;
    }
    if (*p == *q) return 0;
    int r = *p < *q ? -1 : 1;
    return ascending ? r : -r;
}
