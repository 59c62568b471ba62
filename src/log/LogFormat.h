#pragma once
// The application log file's byte forms: the banner written once at open and
// the two kinds of time-stamped line, all ended by CR LF.
#include <cstdint>
#include <string>
#include "common/TextFormat.h"

constexpr char kLogFileName[] = "Nodelark.log";
constexpr char kLogProductName[] = "Nodelark";

// Four lines: a star and 60 hyphens, "*\t" title, "*\t" notice, the rule again.
std::string FormatLogBanner(const char* title, const char* notice);

// The text with every control character but the tab written as "<0x0A>":
// a name or a tool's output holding CR or LF must not make lines of its own
// in the log or the Command Log. Trail bytes of code page 932 are never
// control characters, so bytes can be looked at one by one.
std::string VisibleLogText(const std::string& text);

// "%s %s\r\n": the 19-character time stamp, a space, the text with its
// control characters made visible.
std::string FormatLogLine(const DateTime& now, const std::string& text);

// "%s %s %s\r\n" with the suffix "LastErrorCode=%08d" made from `code`.
std::string FormatLogErrorLine(const DateTime& now, const std::string& text, uint32_t code);

// The log file in the data folder; empty when the folder cannot be used.
std::string LogFilePath(const std::string& dataFolder);
