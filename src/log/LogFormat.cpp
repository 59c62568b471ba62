#include "log/LogFormat.h"
#include <cstdio>
#include "common/DataPath.h"

namespace {
const char kRule[] = "*------------------------------------------------------------\r\n";
}

std::string FormatLogBanner(const char* title, const char* notice) {
    std::string banner = kRule;
    banner += "*\t";
    banner += title ? title : "";
    banner += "\r\n*\t";
    banner += notice ? notice : "";
    banner += "\r\n";
    banner += kRule;
    return banner;
}

std::string FormatLogLine(const DateTime& now, const std::string& text) {
    std::string line = FormatDateTime(now);
    line += ' ';
    line += text;
    line += "\r\n";
    return line;
}

std::string FormatLogErrorLine(const DateTime& now, const std::string& text, uint32_t code) {
    // Unsigned: a code of 0x80000000 or more must not come out negative.
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "LastErrorCode=%08u", static_cast<unsigned>(code));
    std::string line = FormatDateTime(now);
    line += ' ';
    line += text;
    line += ' ';
    line += suffix;
    line += "\r\n";
    return line;
}

std::string LogFilePath(const std::string& dataFolder) {
    return JoinDataFolderPath(dataFolder, kLogFileName);
}
