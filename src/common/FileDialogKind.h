#pragma once
// What a command's file dialog asks for, apart from the dialog call, so the
// flags each command hands it can be checked on any platform.
#include <cstdint>

struct FileDialogKind {
    bool save;
    const char* title;
    const char* filter;  // label and pattern, each zero-terminated, then one more zero
    const char* extension;
    uint32_t flags;      // OPENFILENAME flags
};

// The OPENFILENAME flags the program uses (the platform's values).
constexpr uint32_t kOfnOverwritePrompt = 0x2;
constexpr uint32_t kOfnHideReadOnly = 0x4;
constexpr uint32_t kOfnFileMustExist = 0x1000;
constexpr uint32_t kOfnNoReadOnlyReturn = 0x8000;
constexpr uint32_t kOfnExplorer = 0x80000;
