#pragma once
// What a tool run keeps between its commands. Only the UI thread reads or
// writes it; the shared AppContext keeps just the flag other parts test
// (toolRunning).
#include <cstdint>

#include "tools/ToolSetting.h"

struct ToolRunState {
    ToolSetting currentTool;     // copied when a run starts, zero between runs
    int32_t toolNextIndex;
    char toolInputText[256];     // the argument prompt's answer
    // The cancel question is a modal loop: a command's completion that
    // arrives while it is open waits for the answer.
    bool askingCancel;
    bool finishedWhileAsking;
    int32_t heldExitCode;
    // The user said Yes after the command had ended by itself: the run ends
    // at that completion instead of going on.
    bool stopRequested;
};

ToolRunState& ToolRun();
