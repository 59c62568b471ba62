#pragma once
// The program's fixed ways of printing addresses and times.
#include <cstdint>
#include <string>

// Same layout as the platform's SYSTEMTIME; all zero means never.
struct DateTime {
    uint16_t year;
    uint16_t month;
    uint16_t dayOfWeek;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};
static_assert(sizeof(DateTime) == 16, "DateTime must match SYSTEMTIME");

bool IsNever(const DateTime& t);

// "%04d/%02d/%02d %02d:%02d:%02d": entry times and the log file.
std::string FormatDateTime(const DateTime& t);
// "%02d:%02d:%02d": the Command Log page.
std::string FormatClock(const DateTime& t);
// "%d.%d.%d.%d" from four octets in network order.
std::string FormatIPv4(const uint8_t octets[4]);
// Same, from a 32-bit value in network order as it lies in memory.
std::string FormatIPv4Value(uint32_t networkOrder);
// The 32-bit value of a.b.c.d as it lies in memory in network order.
uint32_t IPv4Value(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
// "%02X-%02X-%02X-%02X-%02X-%02X".
std::string FormatMac(const uint8_t mac[6]);
