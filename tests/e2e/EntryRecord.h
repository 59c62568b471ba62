#pragma once
// Builds the raw 976-byte records of the entry data file, so each test can
// start the program with entries of its own.
#include <windows.h>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace e2e {

#pragma pack(push, 1)
struct EntryRecord {
    int32_t id;
    char name[128];
    uint8_t ipAddress[4];
    uint8_t subnetMask[4];
    int32_t port;
    uint8_t macAddress[6];
    uint8_t reserved[6];
    char hostName[256];
    char place[256];
    char comment[256];
    SYSTEMTIME lastSentTime;
    SYSTEMTIME registeredTime;
    SYSTEMTIME updatedTime;
    int32_t excluded;
};
#pragma pack(pop)
static_assert(sizeof(EntryRecord) == 976, "the data file's record is 976 bytes");

struct EntryFields {
    const char* name;
    uint8_t ip[4];
    uint8_t mask[4];
    int32_t port;
    uint8_t mac[6];
    const char* hostName;
    const char* place;
    const char* comment;
    SYSTEMTIME lastSent;
    SYSTEMTIME registered;
    SYSTEMTIME updated;
    int32_t excluded;
};

inline EntryRecord MakeRecord(const EntryFields& fields, int32_t id) {
    EntryRecord r;
    std::memset(&r, 0, sizeof r);
    r.id = id;
    std::strncpy(r.name, fields.name, sizeof r.name - 1);
    std::memcpy(r.ipAddress, fields.ip, 4);
    std::memcpy(r.subnetMask, fields.mask, 4);
    r.port = fields.port;
    std::memcpy(r.macAddress, fields.mac, 6);
    std::strncpy(r.hostName, fields.hostName, sizeof r.hostName - 1);
    std::strncpy(r.place, fields.place, sizeof r.place - 1);
    std::strncpy(r.comment, fields.comment, sizeof r.comment - 1);
    r.lastSentTime = fields.lastSent;
    r.registeredTime = fields.registered;
    r.updatedTime = fields.updated;
    r.excluded = fields.excluded;
    return r;
}

inline std::string RecordBytes(const EntryRecord& r) {
    return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

inline std::string FileOf(const std::vector<EntryRecord>& records) {
    std::string bytes;
    for (const EntryRecord& r : records) bytes += RecordBytes(r);
    return bytes;
}

}  // namespace e2e
