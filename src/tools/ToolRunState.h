#pragma once
// What a tool run keeps between its commands. It hangs on the main window
// (kToolRunProp) for the window's life; only the UI thread reads or writes
// it. The shared AppContext keeps just the flag other parts test
// (toolRunning).
#include <cstdint>

#include "tools/ToolSetting.h"
#include "ui/CancelQuestion.h"

constexpr char kToolRunProp[] = "CToolRun_State";

struct ToolRunState {
    ToolSetting currentTool{};   // copied when a run starts, zero between runs
    int32_t toolNextIndex = 0;
    char toolInputText[256] = {};  // the argument prompt's answer
    // A command's completion (its exit code) that arrives while the question
    // is open waits for the answer.
    CancelQuestion<int32_t> cancelQuestion;
    // The user said Yes after the command had ended by itself: the run ends
    // at that completion instead of going on.
    bool stopRequested = false;
    // A command-line run asks for the close once, however many errors follow.
    bool closeRequested = false;
};
