#include "log/CommandLogText.h"

std::string FormatExportLine(const std::string& time, const std::string& text) {
    std::string line = time.substr(0, kExportTimeMax);
    line += ' ';
    line += text.substr(0, kExportTextMax);
    line += "\r\n";
    return line;
}
