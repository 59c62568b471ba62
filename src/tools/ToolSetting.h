#pragma once
// One registered command-line tool, as kept in the settings file.
#include <cstdint>

struct ToolSetting {
    uint32_t IsEnable;      // non-zero: registered
    char Title[260];
    char Command[260];
    char Argv[260];         // may hold $(IP) $(MASK) $(MAC) $(HOST) $(INPUT)
    uint32_t ArgvFlag;      // stored and loaded, never acted on
    char WorkFolder[260];
    uint32_t Timeout;       // milliseconds; 0 = none
    uint32_t ShowWindow;    // show command of the child's console
    int32_t ExecStyle;      // 0 once, 1 per selected entry, 2 per listed entry
};

constexpr int kToolCount = 5;
