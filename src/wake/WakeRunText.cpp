#include "wake/WakeRunText.h"

#include "common/TextFormat.h"
#include "entries/WakeEntry.h"

namespace {
bool AllZero(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (bytes[i]) return false;
    return true;
}
}  // namespace

bool IsWakeTarget(const WakeEntry& entry) {
    return !AllZero(entry.ipAddress, 4) && !AllZero(entry.subnetMask, 4) && !AllZero(entry.macAddress, 6);
}

std::string ExcludedStatusText(const WakeEntry& entry) { return FormatMac(entry.macAddress) + " は送信対象外です"; }

std::string BroadcastStatusText(const WakeEntry& entry) { return FormatMac(entry.macAddress) + " にﾌﾞﾛｰﾄﾞｷｬｽﾄ送信"; }

std::string WakeSuccessText(const WakeEntry& entry) {
    // The name may fill its field without a terminator: it stops at the width.
    return "[" + EntryName(entry) + "(" + FormatIPv4(entry.ipAddress) + ")]への送信成功の通知";
}
