#pragma once
// The one process-wide state record. Zero-filled at start and never freed;
// each field is written by the part that owns it (see the comments).
#include <windows.h>
#include <commctrl.h>
#include <cstdint>

struct AppContext {
    // Window and resources: written once during start-up.
    HINSTANCE instance;
    HWND mainWindow;
    HACCEL accelerators;
    HMENU mainMenu;        // menu 101, while the Wake List page shows
    HMENU logMenu;         // menu 119, while the Command Log page shows
    // Written at start-up and again when the window moves to a monitor of
    // another scale: the DPI it is shown at, and what is made for that DPI.
    UINT dpi;
    HFONT listFont;
    HFONT guiFont;     // the tabs' and, once the DPI changed, the tool strip's
    HFONT statusFont;  // made only once the DPI changed: the system's own until then
    HIMAGELIST smallImages;
    HIMAGELIST stateImages;
    HIMAGELIST headerImages;
    struct { DWORD major, minor; } osVersion;

    // Address filter of the Wake List; 0 prefix bits means no filter.
    uint8_t filterAddress[4];
    int32_t filterPrefixBits;

    // Wake run and command-line mode. The worker reads these plain 32-bit
    // flags without a lock; only the UI thread writes them.
    HANDLE wakeThread;
    DWORD wakeThreadId;
    volatile LONG wakeSelectedOnly;
    volatile LONG wakeCancel;
    volatile LONG commandLineMode;
    HWND commandLineDialog;
    // What the process returns: 0 unless a command-line wait says otherwise.
    int32_t exitCode;

    // Tool run and the registration dialog. What the run keeps of its tool
    // lives with the tools (ToolRunState); the flag is here for the parts
    // that must not start while a run is active.
    volatile LONG toolRunning;
    HWND toolsDialogOwner;
    int32_t toolsDialogDirty;
};

AppContext& App();

// A wake run is under way from its start until its end report is handled.
inline bool WakeRunActive() { return App().wakeThread != nullptr || App().wakeThreadId != 0; }
