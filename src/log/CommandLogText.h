#pragma once
// Text rules of the Command Log page and its export file.
#include <string>

constexpr size_t kExportTimeMax = 63;
constexpr size_t kExportTextMax = 1023;

// One export line: the time column, a space, the output column, CR LF; each
// column cut to the bytes the export reads of it.
std::string FormatExportLine(const std::string& time, const std::string& text);

// Lines the page keeps before a new one; with it, at most 6145.
constexpr int kCommandLogKeep = 6144;

// Whether the oldest line goes before a new one is appended.
inline bool CommandLogMustDropOldest(int lineCount) { return lineCount > kCommandLogKeep; }

// Lines the page can show at once: the kept ones and the newest.
constexpr int kCommandLogMaxLines = kCommandLogKeep + 1;

// A batch of `incoming` lines joins a page of `lineCount`: how many of the
// oldest page lines go first so that the page ends at the cap. The batch
// itself never holds more than the cap.
inline int CommandLogRowsToDrop(int lineCount, int incoming) {
    int excess = lineCount + incoming - kCommandLogMaxLines;
    if (excess <= 0) return 0;
    return excess < lineCount ? excess : lineCount;
}
