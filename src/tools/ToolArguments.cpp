#include "tools/ToolArguments.h"

#include <cstdio>
#include <cstring>

#include "common/Cp932.h"
#include "common/FixedText.h"
#include "entries/WakeEntry.h"

namespace {

enum class Placeholder { None, Ip, Mask, Mac, Host, Input };

struct PlaceholderName {
    const char* text;
    Placeholder kind;
    bool anyCase;
};

const PlaceholderName kPlaceholders[] = {
    {"IP", Placeholder::Ip, false},
    {"MASK", Placeholder::Mask, true},
    {"MAC", Placeholder::Mac, true},
    {"HOST", Placeholder::Host, true},
    {"INPUT", Placeholder::Input, true},
};

bool SameLetters(const char* a, const char* b, size_t n, bool anyCase) {
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (anyCase && x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// The placeholder that starts at `at` ("$(" already seen there), and its length.
Placeholder Match(const char* at, size_t available, size_t& length) {
    for (const PlaceholderName& name : kPlaceholders) {
        size_t n = std::strlen(name.text);
        if (available < n + 3) continue;
        const char* letters = at + 2;
        if (SameLetters(letters, name.text, n, name.anyCase) && letters[n] == ')') {
            length = n + 3;
            return name.kind;
        }
    }
    return Placeholder::None;
}

std::string Octets(const uint8_t (&bytes)[4]) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

// Appends as much of `text` as fits; false once the output is full.
bool AppendBounded(std::string& out, const std::string& text) {
    std::string fits = CutAtCharBoundary(text, kMaxToolArguments - out.size());
    out += fits;
    return fits.size() == text.size();
}

}  // namespace

std::string ExpandToolArguments(const char* argTemplate, size_t templateWidth, const WakeEntry* entry,
                                const AskToolInput& askInput) {
    std::string out;
    size_t length = FieldLength(argTemplate, templateWidth);
    size_t i = 0;
    while (i < length) {
        const char* at = argTemplate + i;
        size_t matched = 0;
        Placeholder kind = Placeholder::None;
        if (at[0] == '$' && i + 1 < length && at[1] == '(') kind = Match(at, length - i, matched);
        if (kind != Placeholder::None && kind != Placeholder::Input && !entry) kind = Placeholder::None;

        std::string text;
        switch (kind) {
        case Placeholder::None: {
            // Copied a whole character at a time, so a cut never splits one.
            size_t width = (IsCp932LeadByte(static_cast<unsigned char>(at[0])) && i + 1 < length) ? 2 : 1;
            text.assign(at, width);
            matched = width;
            break;
        }
        case Placeholder::Ip: text = Octets(entry->ipAddress); break;
        case Placeholder::Mask: text = Octets(entry->subnetMask); break;
        case Placeholder::Mac: {
            char mac[32];
            const uint8_t* m = entry->macAddress;
            std::snprintf(mac, sizeof mac, "%02X-%02X-%02X-%02X-%02X-%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
            text = mac;
            break;
        }
        case Placeholder::Host: {
            text = CutAtCharBoundary(FieldText(entry->hostName), kMaxPlaceholderText);
            break;
        }
        case Placeholder::Input: {
            std::string answer;
            if (askInput && askInput(answer))
                text = CutAtCharBoundary(answer, kMaxPlaceholderText);
            break;
        }
        }
        if (!AppendBounded(out, text)) break;
        i += matched;
        if (out.size() == kMaxToolArguments && i < length) break;
    }
    return out;
}

std::string BuildToolCommandLine(const std::string& command, const std::string& arguments) {
    return CutAtCharBoundary(command + " " + arguments, kMaxToolCommandLine);
}
