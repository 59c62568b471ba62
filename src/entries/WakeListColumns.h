#pragma once
// The Wake List's columns and the text each shows for an entry. The last
// one, the status, comes from the checks, not from the entry.
#include <string>

struct WakeEntry;

constexpr int kWakeListColumns = 12;
// Columns 0 to 10 show the entry's own fields.
constexpr int kWakeListEntryColumns = 11;

struct WakeListColumn {
    const char* header;
    int width;
    bool rightAligned;
};

extern const WakeListColumn kWakeListColumnTable[kWakeListColumns];

// The cell text of `column` for an entry. Text fields are cut at their width
// when a stored record has no terminator in them.
std::string WakeListCellText(const WakeEntry& entry, int column);

// Byte-wise comparison of two cell texts as unsigned bytes; the sign is
// flipped when the column is sorted descending.
int CompareCellTexts(const char* a, const char* b, bool ascending);
