#include "entries/EntryFields.h"

#include <cstdio>
#include <cstring>
#include "common/Cp932.h"
#include "common/FixedText.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string FitText(const std::string& text, size_t maxBytes) { return CutAtCharBoundary(text, maxBytes); }

uint8_t ParseMacBox(const char* text) {
    unsigned value = 0;
    for (int i = 0; text && i < kMacBoxLimit; ++i) {
        int digit = HexDigit(text[i]);
        if (digit < 0) break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<uint8_t>(value);
}

std::string MacBoxText(uint8_t octet) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", octet);
    return buf;
}

int32_t ParsePortBox(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    uint64_t value = 0;
    const char* digits = p;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > 0xFFFFFFFFu) return 0;
    }
    if (p == digits) return 0;
    while (IsSpace(*p)) ++p;
    if (*p) return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::string PortBoxText(int32_t port) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned>(static_cast<uint32_t>(port)));
    return buf;
}

uint32_t AddressControlValue(const uint8_t o[4]) {
    return (static_cast<uint32_t>(o[0]) << 24) | (static_cast<uint32_t>(o[1]) << 16) |
           (static_cast<uint32_t>(o[2]) << 8) | o[3];
}

void PackAddress(uint32_t value, uint8_t o[4]) {
    o[0] = static_cast<uint8_t>(value >> 24);
    o[1] = static_cast<uint8_t>(value >> 16);
    o[2] = static_cast<uint8_t>(value >> 8);
    o[3] = static_cast<uint8_t>(value);
}

bool IsBlankAddress(const uint8_t o[4]) { return !o[0] && !o[1] && !o[2] && !o[3]; }

std::string EntryTimeText(const DateTime& t) {
    return t.year ? FormatDateTime(t) : std::string("(未設定)");
}

void ApplyDestination(const DestinationBoxes& boxes, WakeEntry& entry) {
    SetField(entry.name, FitText(boxes.name, sizeof entry.name - 1));
    PackAddress(boxes.ipAddress, entry.ipAddress);
    PackAddress(boxes.subnetMask, entry.subnetMask);
    entry.port = ParsePortBox(boxes.port.c_str());
    for (int i = 0; i < 6; ++i) entry.macAddress[i] = ParseMacBox(boxes.mac[i].c_str());
    SetField(entry.hostName, FitText(boxes.hostName, sizeof entry.hostName - 1));
    entry.excluded = boxes.excluded ? 1 : 0;
}

void PasswordBoxTexts(const WakeEntry& entry, std::string texts[6]) {
    bool any = false;
    for (uint8_t b : entry.reserved) any = any || b != 0;
    for (int i = 0; i < 6; ++i) texts[i] = any ? MacBoxText(entry.reserved[i]) : std::string();
}

void ApplyPassword(const std::string texts[6], WakeEntry& entry) {
    for (int i = 0; i < 6; ++i) entry.reserved[i] = ParseMacBox(texts[i].c_str());
}

void ApplyDetails(const std::string& place, const std::string& comment, WakeEntry& entry) {
    SetField(entry.place, FitText(place, sizeof entry.place - 1));
    SetField(entry.comment, FitText(comment, sizeof entry.comment - 1));
}

