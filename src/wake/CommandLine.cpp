#include "wake/CommandLine.h"

#include "common/Cp932.h"

namespace {

constexpr int kWakeAllCommand = 40006;
constexpr int kWakeSelectedCommand = 40033;
constexpr int kFirstToolCommand = 40014;

struct NameRead {
    std::string name;
    bool quoted = false;
    const char* start = nullptr;  // where the name's word begins
    const char* end = nullptr;    // just after the word (and its closing quote)
};

// The name right after an option: directly attached, or after one space;
// quoted names may hold spaces.
NameRead ReadName(const char* p) {
    NameRead read;
    if (*p == ' ') ++p;
    read.start = p;
    char end = ' ';
    if (*p == '"') {
        end = '"';
        read.quoted = true;
        ++p;
    }
    bool full = false;
    while (*p && *p != end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        // A lead byte pairs only with a real trail byte: in broken text a
        // space or a quote after it still ends the name.
        const size_t width = (IsCp932LeadByte(c) && IsCp932TrailByte(static_cast<unsigned char>(p[1]))) ? 2 : 1;
        if (!full && read.name.size() + width > kCommandLineNameMax) full = true;
        if (!full) read.name.append(p, width);
        p += width;
    }
    if (read.quoted && *p == '"') ++p;
    read.end = p;
    return read;
}

// Length of a /wait option at `p` ("/wait", "+WAIT:60"), 0 when there is none.
size_t WaitOptionLength(const char* p) {
    if (*p != '/' && *p != '+') return 0;
    static const char kWord[] = "wait";
    for (size_t i = 0; i < 4; ++i) {
        char c = p[1 + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kWord[i]) return 0;
    }
    const char after = p[5];
    if (after != 0 && after != ' ' && after != ':') return 0;
    size_t length = 5;
    if (after == ':')
        while (p[length] && p[length] != ' ') ++length;
    return length;
}

// Reads the first /wait option of the text, outside quotes, into the request.
void ReadWaitOption(const char* text, CommandLineRequest& request) {
    bool quoted = false;
    for (const char* p = text; *p; ++p) {
        if (*p == '"') quoted = !quoted;
        if (quoted || (p != text && p[-1] != ' ')) continue;
        const size_t length = WaitOptionLength(p);
        if (!length) continue;
        request.wait = true;
        request.waitSeconds = kDefaultWaitSeconds;
        if (length == 5) return;
        uint32_t seconds = 0;
        bool digits = length > 6;
        for (size_t i = 6; i < length && digits; ++i) {
            if (p[i] < '0' || p[i] > '9') digits = false;
            else if (seconds <= kMaxWaitSeconds) seconds = seconds * 10 + static_cast<uint32_t>(p[i] - '0');
        }
        if (!digits || seconds < 1 || seconds > kMaxWaitSeconds) {
            request.waitInvalid = true;
            request.waitSeconds = 0;
        } else {
            request.waitSeconds = seconds;
        }
        return;
    }
}

// The first unquoted word from `p` on that starts with / or + and is not
// /wait; empty when there is none.
std::string UnknownOptionFrom(const char* p) {
    constexpr size_t kShownMax = 64;
    while (*p) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        if (*p == '"') {
            ++p;
            while (*p && *p != '"') ++p;
            if (*p) ++p;
            continue;
        }
        const char* word = p;
        while (*p && *p != ' ') ++p;
        if ((*word == '/' || *word == '+') && !WaitOptionLength(word)) {
            std::string shown(word, static_cast<size_t>(p - word));
            return shown.size() > kShownMax ? CutAtCharBoundary(shown, kShownMax) : shown;
        }
    }
    return std::string();
}

}  // namespace

CommandLineRequest ParseCommandLine(const char* text) {
    CommandLineRequest request;
    if (!text) return request;
    for (const char* p = text; *p; ++p) {
        if (*p != '/' && *p != '+') continue;
        const char letter = p[1];
        if (!letter) break;
        if (const size_t skip = WaitOptionLength(p)) {
            p += skip - 1;
            continue;
        }
        if (letter == 'w' || letter == 'W') {
            request.found = true;
            request.wake = true;
            const NameRead read = ReadName(p + 2);
            request.name = read.name;
            const char* rest = read.end;
            if (!read.quoted && !request.name.empty() && (request.name[0] == '/' || request.name[0] == '+')) {
                request.name.clear();
                rest = read.start;
            }
            ReadWaitOption(text, request);
            request.unknownOption = UnknownOptionFrom(rest);
            request.command = request.name.empty() ? kWakeAllCommand : kWakeSelectedCommand;
            return request;
        }
        if ((letter == 't' || letter == 'T') && p[2] >= '1' && p[2] <= '5') {
            request.found = true;
            request.tool = p[2] - '0';
            request.command = kFirstToolCommand + request.tool - 1;
            request.name = ReadName(p + 3).name;
            return request;
        }
        // Not an option: the scan resumes after what was looked at.
        ++p;
        if ((letter == 't' || letter == 'T') && p[1]) ++p;
    }
    return request;
}
