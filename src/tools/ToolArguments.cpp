#include "tools/ToolArguments.h"

#include <cstdio>
#include <cstring>

#include "common/Cp932.h"
#include "common/FixedText.h"
#include "common/TextFormat.h"
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

PlaceholderCheck CheckHostPlaceholder(const std::string& hostName, bool japaneseCodePage) {
    PlaceholderCheck check;
    auto fail = [&check](PlaceholderFault fault, unsigned char byte) {
        check.fault = fault;
        check.byte = byte;
        return check;
    };
    if (!hostName.empty() && hostName[0] == '-') return fail(PlaceholderFault::kLeadingHyphen, '-');
    for (size_t i = 0; i < hostName.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(hostName[i]);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_')
            continue;
        if (c < 0x20 || c == 0x7F) return fail(PlaceholderFault::kControl, c);
        if (c < 0x80) return fail(PlaceholderFault::kCharacter, c);
        if (!japaneseCodePage) return fail(PlaceholderFault::kDoubleByte, c);
        if (IsCp932LeadByte(c)) {
            if (i + 1 >= hostName.size() || !IsCp932TrailByte(static_cast<unsigned char>(hostName[i + 1])))
                return fail(PlaceholderFault::kLoneLeadByte, c);
            ++i;
            continue;
        }
        // Half-width kana; 0x80, 0xA0 and 0xFD-0xFF are no characters at all.
        if (c >= 0xA1 && c <= 0xDF) continue;
        return fail(PlaceholderFault::kLoneLeadByte, c);
    }
    return check;
}

PlaceholderCheck CheckEntryPlaceholders(const char* argTemplate, size_t templateWidth, const WakeEntry& entry,
                                        bool japaneseCodePage) {
    size_t length = FieldLength(argTemplate, templateWidth);
    for (size_t i = 0; i + 1 < length; ++i) {
        if (argTemplate[i] != '$' || argTemplate[i + 1] != '(') {
            // A lead byte's trail may be '$': step over whole characters.
            if (IsCp932LeadByte(static_cast<unsigned char>(argTemplate[i]))) ++i;
            continue;
        }
        size_t matched = 0;
        if (Match(argTemplate + i, length - i, matched) == Placeholder::Host) {
            // The same text the expansion will use.
            std::string name = CutAtCharBoundary(FieldText(entry.hostName), kMaxPlaceholderText);
            return CheckHostPlaceholder(name, japaneseCodePage);
        }
    }
    return PlaceholderCheck{};
}

std::string PlaceholderRefusalText(const WakeEntry& entry, const PlaceholderCheck& check) {
    char detail[96] = {};
    switch (check.fault) {
    case PlaceholderFault::kNone:
        return std::string();
    case PlaceholderFault::kCharacter:
        std::snprintf(detail, sizeof detail, "使えない文字 '%c'", check.byte);
        break;
    case PlaceholderFault::kControl:
        std::snprintf(detail, sizeof detail, "制御文字 0x%02X", check.byte);
        break;
    case PlaceholderFault::kLoneLeadByte:
        std::snprintf(detail, sizeof detail, "文字として読めないﾊﾞｲﾄ 0x%02X", check.byte);
        break;
    case PlaceholderFault::kDoubleByte:
        std::snprintf(detail, sizeof detail, "日本語の文字(ANSIｺｰﾄﾞﾍﾟｰｼﾞが932でないｼｽﾃﾑ)");
        break;
    case PlaceholderFault::kLeadingHyphen:
        std::snprintf(detail, sizeof detail, "先頭の '-'");
        break;
    }
    return "[" + EntryName(entry) + "(" + FormatIPv4(entry.ipAddress) + ")]のｺﾝﾋﾟｭｰﾀ名に" + detail +
           "があるためｺﾏﾝﾄﾞを実行しません";
}
