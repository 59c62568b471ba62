#pragma once
// Expansion of a tool's argument template and the command line built from
// it. Portable: the prompt for $(INPUT) is handed in as a callback.
#include <cstddef>
#include <functional>
#include <string>

struct WakeEntry;

// The expanded arguments and the command line each hold at most this many
// bytes (their buffers are 1024 bytes with the terminator).
constexpr size_t kMaxToolArguments = 1023;
constexpr size_t kMaxToolCommandLine = 1023;
// One placeholder's text: the computer name and the prompt's answer.
constexpr size_t kMaxPlaceholderText = 255;

// Asks the user for one $(INPUT); false when the prompt was cancelled.
using AskToolInput = std::function<bool(std::string& text)>;

// Expands $(IP) (upper case only), $(MASK), $(MAC), $(HOST) and $(INPUT)
// (either case) from left to right. Without an entry only $(INPUT) is
// replaced. Output that would pass the bound is cut at a character
// boundary, and the rest of the template is dropped: no prompt opens for
// text that could not be used.
std::string ExpandToolArguments(const char* argTemplate, size_t templateWidth, const WakeEntry* entry,
                                const AskToolInput& askInput);

// "command arguments", cut at a character boundary to the bound.
std::string BuildToolCommandLine(const std::string& command, const std::string& arguments);
