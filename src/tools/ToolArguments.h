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

// Why a text from an entry may not go into a command line. A computer name
// reaches cmd.exe and the child's argument parser as it stands, so it must
// be what a host name can be: nothing in it may quote, separate, redirect,
// escape or expand.
enum class PlaceholderFault {
    kNone,
    kCharacter,     // `byte` is a printable ASCII character a host name cannot hold
    kControl,       // `byte` is a control character
    kLoneLeadByte,  // the text ends in, or breaks, a double-byte character
    kDoubleByte,    // Japanese text while the ANSI code page is not 932
    kLeadingHyphen  // would read as an option
};

struct PlaceholderCheck {
    PlaceholderFault fault = PlaceholderFault::kNone;
    unsigned char byte = 0;
};

// Letters, digits, '-', '.', '_' pass; so do whole code page 932 characters
// (double-byte, and half-width kana) when `japaneseCodePage` is set: Windows
// then turns each into one character before any parser sees its bytes.
// Elsewhere a trail byte could read as '|' or '\', so they are refused.
PlaceholderCheck CheckHostPlaceholder(const std::string& hostName, bool japaneseCodePage);

// The check of every placeholder of the template whose text comes from the
// entry's own bytes (today $(HOST); the addresses and the MAC are printed
// from numbers). kNone when the command may be made.
PlaceholderCheck CheckEntryPlaceholders(const char* argTemplate, size_t templateWidth, const WakeEntry& entry,
                                        bool japaneseCodePage);

// The Command Log line for an entry whose command is refused:
// "[name(address)]のｺﾝﾋﾟｭｰﾀ名に... があるためｺﾏﾝﾄﾞを実行しません".
std::string PlaceholderRefusalText(const WakeEntry& entry, const PlaceholderCheck& check);

// "command arguments", cut at a character boundary to the bound.
std::string BuildToolCommandLine(const std::string& command, const std::string& arguments);
