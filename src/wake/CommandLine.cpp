#include "wake/CommandLine.h"

#include "common/Cp932.h"

namespace {

constexpr int kWakeAllCommand = 40006;
constexpr int kWakeSelectedCommand = 40033;
constexpr int kFirstToolCommand = 40014;

// The name right after an option: directly attached, or after one space;
// quoted names may hold spaces.
std::string ReadName(const char* p) {
    if (*p == ' ') ++p;
    char end = ' ';
    if (*p == '"') {
        end = '"';
        ++p;
    }
    std::string name;
    while (*p && *p != end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        // A lead byte pairs only with a real trail byte: in broken text a
        // space or a quote after it still ends the name.
        const size_t width = (IsCp932LeadByte(c) && IsCp932TrailByte(static_cast<unsigned char>(p[1]))) ? 2 : 1;
        if (name.size() + width > kCommandLineNameMax) break;
        name.append(p, width);
        p += width;
    }
    return name;
}

}  // namespace

CommandLineRequest ParseCommandLine(const char* text) {
    CommandLineRequest request;
    if (!text) return request;
    for (const char* p = text; *p; ++p) {
        if (*p != '/' && *p != '+') continue;
        const char letter = p[1];
        if (!letter) break;
        if (letter == 'w' || letter == 'W') {
            request.found = true;
            request.wake = true;
            request.name = ReadName(p + 2);
            request.command = request.name.empty() ? kWakeAllCommand : kWakeSelectedCommand;
            return request;
        }
        if ((letter == 't' || letter == 'T') && p[2] >= '1' && p[2] <= '5') {
            request.found = true;
            request.tool = p[2] - '0';
            request.command = kFirstToolCommand + request.tool - 1;
            request.name = ReadName(p + 3);
            return request;
        }
        // Not an option: the scan resumes after what was looked at.
        ++p;
        if ((letter == 't' || letter == 'T') && p[1]) ++p;
    }
    return request;
}
