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

struct EntrySpec {
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

inline EntryRecord MakeRecord(const EntrySpec& spec, int32_t id) {
    EntryRecord r;
    std::memset(&r, 0, sizeof r);
    r.id = id;
    std::strncpy(r.name, spec.name, sizeof r.name - 1);
    std::memcpy(r.ipAddress, spec.ip, 4);
    std::memcpy(r.subnetMask, spec.mask, 4);
    r.port = spec.port;
    std::memcpy(r.macAddress, spec.mac, 6);
    std::strncpy(r.hostName, spec.hostName, sizeof r.hostName - 1);
    std::strncpy(r.place, spec.place, sizeof r.place - 1);
    std::strncpy(r.comment, spec.comment, sizeof r.comment - 1);
    r.lastSentTime = spec.lastSent;
    r.registeredTime = spec.registered;
    r.updatedTime = spec.updated;
    r.excluded = spec.excluded;
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
