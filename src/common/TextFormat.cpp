#include "common/TextFormat.h"
#include <cstdio>
#include <cstring>

bool IsNever(const DateTime& t) {
    static const DateTime zero = {};
    return std::memcmp(&t, &zero, sizeof t) == 0;
}

std::string FormatDateTime(const DateTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return buf;
}

std::string FormatClock(const DateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return buf;
}

std::string FormatIPv4(const uint8_t o[4]) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%d.%d.%d.%d", o[0], o[1], o[2], o[3]);
    return buf;
}

std::string FormatIPv4Value(uint32_t networkOrder) {
    uint8_t o[4];
    std::memcpy(o, &networkOrder, 4);
    return FormatIPv4(o);
}

uint32_t IPv4Value(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    const uint8_t o[4] = {a, b, c, d};
    uint32_t v;
    std::memcpy(&v, o, 4);
    return v;
}

std::string FormatMac(const uint8_t m[6]) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02X-%02X-%02X-%02X-%02X-%02X", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return buf;
}
