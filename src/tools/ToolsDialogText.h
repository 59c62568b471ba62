#pragma once
// What the registration dialog maps between its controls and a ToolSetting:
// the two drop-down lists, the time-out text and the argument insertions.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Cp932.h"

// "実行形式" list: items 0..2 are the styles 0..2; no selection (or any
// other item) stores 0, and an unknown stored style shows item 0.
int32_t ExecStyleFromListItem(int item);
int ListItemFromExecStyle(int32_t style);

// "ｳｨﾝﾄﾞｳ" list: normal, minimized, maximized, hidden are the show commands
// 1, 6, 3, 0; no selection stores 1, an unknown command shows item 0.
uint32_t ShowWindowFromListItem(int item);
int ListItemFromShowWindow(uint32_t showWindow);

// The time-out box's text as milliseconds: decimal digits, spaces around
// them allowed. Anything else, or a number beyond 32 bits, reads as 0.
uint32_t ParseTimeoutText(const std::string& text);
// Below this (0 included) the user is asked before the tool is saved.
constexpr uint32_t kShortTimeoutMs = 100;
inline bool TimeoutNeedsConfirmation(uint32_t timeout) { return timeout < kShortTimeoutMs; }


// The longest text a box of the dialog takes: what the settings file keeps
// of a text field.
constexpr size_t kToolTextMax = 259;
// The argument text read for an insertion, and the longest text an insertion
// may leave: no more than the file keeps, so that nothing is cut at the save.
constexpr size_t kArgvReadMax = 519;
constexpr size_t kArgvJoinedMax = kToolTextMax;
// Appends `addition` at the very end of the argument text (cut to what is
// read for an insertion). False, and `joined` untouched, when the result
// would be longer than kArgvJoinedMax.
bool AppendToArgv(const std::string& current, const std::string& addition, std::string* joined);
// A browsed file as it goes into the argument text: in double quotes.
std::string QuotedPath(const std::string& path);
// The placeholder that a command of the placeholder menu appends; null for a
// command that is not one of the five.
const char* PlaceholderForCommand(int command);

// A browsed command as the command box takes it: in double quotes when it
// holds a blank, so that process creation reads the whole path as the
// program ("C:\Program Files\a.exe" would otherwise start C:\Program.exe).
std::string CommandForBrowsedPath(const std::string& path);
// The command box's text as the file dialog starts with it: the quotes
// around a whole path taken off again.
std::string BrowsedPathForCommand(const std::string& command);

// A folder text as the folder browser preselects it: one trailing backslash
// removed (a double-byte character ending in 0x5C is no backslash).
std::string FolderForBrowsing(const std::string& folder);
