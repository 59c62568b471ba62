#include "app/ShellText.h"

#include "common/Cp932.h"

std::string FolderOfPath(const std::string& path) {
    size_t last = LastBackslash(path);
    return last == std::string::npos ? path : path.substr(0, last);
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
