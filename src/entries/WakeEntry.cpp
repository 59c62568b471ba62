#include "entries/WakeEntry.h"
#include <cstring>
#include "common/FixedText.h"

void InitNewEntry(WakeEntry& entry) {
    std::memset(&entry, 0, sizeof entry);
    SetField(entry.name, "新規@送信先");
    entry.port = kNewEntryPort;
}

std::string EntryName(const WakeEntry& entry) { return FieldText(entry.name); }
std::string EntryHostName(const WakeEntry& entry) { return FieldText(entry.hostName); }
std::string EntryPlace(const WakeEntry& entry) { return FieldText(entry.place); }
std::string EntryComment(const WakeEntry& entry) { return FieldText(entry.comment); }
