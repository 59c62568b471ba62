#pragma once
// One wake target. The same 976 bytes are the in-memory record, the data file
// record and the exchange file record, so the layout is fixed to the byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include "common/TextFormat.h"

struct WakeEntry {
    int32_t id;
    char name[128];
    uint8_t ipAddress[4];
    uint8_t subnetMask[4];
    int32_t port;
    uint8_t macAddress[6];
    uint8_t reserved[6];  // the SecureOn password; all zero: none
    char hostName[256];
    char place[256];
    char comment[256];
    DateTime lastSentTime;
    DateTime registeredTime;
    DateTime updatedTime;
    int32_t excluded;
};

static_assert(sizeof(WakeEntry) == 976, "WakeEntry is a 976-byte file record");
static_assert(offsetof(WakeEntry, id) == 0, "WakeEntry layout");
static_assert(offsetof(WakeEntry, name) == 4, "WakeEntry layout");
static_assert(offsetof(WakeEntry, ipAddress) == 132, "WakeEntry layout");
static_assert(offsetof(WakeEntry, subnetMask) == 136, "WakeEntry layout");
static_assert(offsetof(WakeEntry, port) == 140, "WakeEntry layout");
static_assert(offsetof(WakeEntry, macAddress) == 144, "WakeEntry layout");
static_assert(offsetof(WakeEntry, reserved) == 150, "WakeEntry layout");
static_assert(offsetof(WakeEntry, hostName) == 156, "WakeEntry layout");
static_assert(offsetof(WakeEntry, place) == 412, "WakeEntry layout");
static_assert(offsetof(WakeEntry, comment) == 668, "WakeEntry layout");
static_assert(offsetof(WakeEntry, lastSentTime) == 924, "WakeEntry layout");
static_assert(offsetof(WakeEntry, registeredTime) == 940, "WakeEntry layout");
static_assert(offsetof(WakeEntry, updatedTime) == 956, "WakeEntry layout");
static_assert(offsetof(WakeEntry, excluded) == 972, "WakeEntry layout");

constexpr int32_t kNewEntryPort = 2034;

// What the new-entry command starts from: all zero, a placeholder name and
// the usual port.
void InitNewEntry(WakeEntry& entry);

// The text fields as strings. A record read from a file may fill a field to
// its full width without a terminator; these stop at the width.
std::string EntryName(const WakeEntry& entry);
std::string EntryHostName(const WakeEntry& entry);
std::string EntryPlace(const WakeEntry& entry);
std::string EntryComment(const WakeEntry& entry);
