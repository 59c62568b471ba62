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

std::string VisibleLogText(const std::string& text) {
    size_t i = 0;
    auto isControl = [](unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; };
    while (i < text.size() && !isControl(static_cast<unsigned char>(text[i]))) ++i;
    if (i == text.size()) return text;
    std::string out(text, 0, i);
    for (; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (isControl(c)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "<0x%02X>", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string FormatLogLine(const DateTime& now, const std::string& text) {
    std::string line = FormatDateTime(now);
    line += ' ';
    line += VisibleLogText(text);
    line += "\r\n";
    return line;
}

std::string FormatLogErrorLine(const DateTime& now, const std::string& text, uint32_t code) {
    // Unsigned: a code of 0x80000000 or more must not come out negative.
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "LastErrorCode=%08u", static_cast<unsigned>(code));
    std::string line = FormatDateTime(now);
    line += ' ';
    line += VisibleLogText(text);
    line += ' ';
    line += suffix;
    line += "\r\n";
    return line;
}

std::string LogFilePath(const std::string& dataFolder) {
    return JoinDataFolderPath(dataFolder, kLogFileName);
}
