#pragma once
// What the copy command makes of an entry, and the Command Log's clipboard text.
#include <string>
#include "entries/WakeEntry.h"

// Names up to this many bytes get the "ｺﾋﾟｰ " prefix; a longer one would not
// fit the field with it and is copied as it is.
constexpr size_t kCopyPrefixMaxName = 120;

// The whole record, with the copy prefix in front of its name when it fits.
// A name that fills its field without a terminator counts as 128 bytes.
WakeEntry MakeEntryCopy(const WakeEntry& entry);

// One clipboard line of the Command Log: the time column, a space, the output
// column, CR LF; each column cut to what its read buffer holds (63 and 1023
// bytes).
std::string ClipboardLine(const std::string& time, const std::string& text);
