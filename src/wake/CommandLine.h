#pragma once
// The command-line options: "/" or "+", then w (wake) or t1..t5 (run a tool),
// each optionally followed by an entry name.
#include <cstdint>
#include <string>

constexpr size_t kCommandLineNameMax = 127;

struct CommandLineRequest {
    bool found = false;   // false: no known option, start as usual
    bool wake = false;    // the w option; otherwise a tool
    int tool = 0;         // 1..5 for the t options, 0 for w
    int command = 0;      // 40006/40033 for w, 40014..40018 for t1..t5
    std::string name;     // empty when no entry was named
    // The /wait[:seconds] option, with a wake only: stay until every entry
    // sent to answers, for at most waitSeconds.
    bool wait = false;
    uint32_t waitSeconds = 0;
    bool waitInvalid = false;  // seconds given but not 1 to 3600
    // The first word after the w option that looks like an option but is
    // none (a typo such as /wiat): nothing may be sent then, since the
    // caller meant something else than waking the whole list.
    std::string unknownOption;
};

constexpr uint32_t kDefaultWaitSeconds = 300;
constexpr uint32_t kMaxWaitSeconds = 3600;

// Finds the first known option in the arguments (code page 932 text) and the
// name that follows it. A name longer than 127 bytes is cut there, or just
// before a double-byte character the cut would split.
// An unquoted word after an option that starts with / or + is an option,
// never a name; a quoted word is always a name. "/wait" is never the w
// option followed by a name. Option words inside quotes are never options.
CommandLineRequest ParseCommandLine(const char* text);
