#pragma once
// The Wake List's eleven columns and the text each shows for an entry.
#include <string>

struct WakeEntry;

constexpr int kWakeListColumns = 11;

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
