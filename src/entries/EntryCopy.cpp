#include "entries/EntryCopy.h"
#include <cstring>
#include "common/FixedText.h"
#include "log/CommandLogText.h"

WakeEntry MakeEntryCopy(const WakeEntry& entry) {
    WakeEntry copy;
    std::memcpy(&copy, &entry, sizeof copy);
    const size_t length = FieldLength(entry.name);
    if (length <= kCopyPrefixMaxName) {
        static const char kPrefix[] = "ｺﾋﾟｰ ";
        std::memset(copy.name, 0, sizeof copy.name);
        std::memcpy(copy.name, kPrefix, sizeof kPrefix - 1);
        std::memcpy(copy.name + sizeof kPrefix - 1, entry.name, length);
    }
    return copy;
}

std::string ClipboardLine(const std::string& time, const std::string& text) { return FormatExportLine(time, text); }
