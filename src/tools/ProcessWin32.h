#pragma once
// The child-process runner's record. Only what the shell needs lives here so
// far: the idle event and the running command's process id.
#include <windows.h>
#include <cstdint>

struct CProcess {
    HANDLE idleEvent;       // "CProcess_EventObject": signalled while idle
    char commandLine[1024];
    char workFolder[260];
    HWND notifyWindow;
    UINT notifyMessage;
    int16_t showCommand;
    DWORD timeout;
    HANDLE process;
    DWORD processId;        // non-zero while a command runs
    HANDLE readerThread;
    HANDLE waiterThread;
    HANDLE outputRead;
    HANDLE inputWrite;
    volatile LONG running;
};

// Allocates a zeroed runner with its idle event, signalled. Null on failure.
CProcess* CreateProcessRunner();
// Signals and closes the idle event and frees the record.
void DestroyProcessRunner(CProcess* runner);
// Ends the running command by force.
void ForceStop(CProcess* runner);
