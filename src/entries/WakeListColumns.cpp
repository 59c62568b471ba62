#include "entries/WakeListColumns.h"

#include <cstdio>

#include "common/TextFormat.h"
#include "entries/WakeEntry.h"

const WakeListColumn kWakeListColumnTable[kWakeListColumns] = {
    {"名前", 150, false},
    {"IPｱﾄﾞﾚｽ", 100, false},
    {"ｻﾌﾞﾈｯﾄﾏｽｸ", 100, false},
    {"MACｱﾄﾞﾚｽ", 150, false},
    {"ｺﾝﾋﾟｭｰﾀ名", 150, false},
    {"場所", 170, false},
    {"ｺﾒﾝﾄ", 170, false},
    {"ﾎﾟｰﾄ番号", 100, true},
    {"最終送信日時", 150, true},
    {"更新日時", 150, true},
    {"登録日時", 150, true},
    {"状態", 80, false},
};

std::string WakeListCellText(const WakeEntry& entry, int column) {
    switch (column) {
    case 0: return EntryName(entry);
    case 1: return FormatIPv4(entry.ipAddress);
    case 2: return FormatIPv4(entry.subnetMask);
    case 3: return FormatMac(entry.macAddress);
    case 4: return EntryHostName(entry);
    case 5: return EntryPlace(entry);
    case 6: return EntryComment(entry);
    case 7: {
        char port[16];
        std::snprintf(port, sizeof port, "%d", entry.port);
        return port;
    }
    case 8: return FormatDateTime(entry.lastSentTime);
    case 9: return FormatDateTime(entry.updatedTime);
    case 10: return FormatDateTime(entry.registeredTime);
    default: return std::string();
    }
}

int CompareCellTexts(const char* a, const char* b, bool ascending) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    while (*p && *p == *q) {
        ++p;
        ++q;
    }
    if (*p == *q) return 0;
    int r = *p < *q ? -1 : 1;
    return ascending ? r : -r;
}
