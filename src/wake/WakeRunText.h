#pragma once
// What the wake run decides and says about one entry, apart from windows.
#include <string>

struct WakeEntry;

// An entry without an address, a mask or a MAC is passed over in silence.
bool IsWakeTarget(const WakeEntry& entry);
// "%s は送信対象外です" with the MAC text.
std::string ExcludedStatusText(const WakeEntry& entry);
// "%s にﾌﾞﾛｰﾄﾞｷｬｽﾄ送信" with the MAC text.
std::string BroadcastStatusText(const WakeEntry& entry);
// "[%s(%d.%d.%d.%d)]への送信成功の通知" with the name and the address.
std::string WakeSuccessText(const WakeEntry& entry);
