#pragma once
// The child-process runner: one command line at a time in a new console,
// its output cut into lines and reported to a notify window.
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "common/ScopedWin32.h"

// Notices: wParam of the notify message.
constexpr WPARAM TOOL_EVENT_STARTED = 1;    // sent, lParam: the command line
constexpr WPARAM TOOL_EVENT_OUTPUT = 2;     // sent, lParam: one line
constexpr WPARAM TOOL_EVENT_FINISHED = 3;   // posted, lParam: the exit code
// Sent by ForceStop as its last act: the command ended without a completion,
// so the owner of the run can end it.
constexpr WPARAM TOOL_EVENT_STOPPED = 4;
constexpr WPARAM TOOL_EVENT_STATUS = 5;     // sent, lParam: a status text
// Sent by the reader when one read brought several lines: lParam points to
// a ToolOutputLines. One line alone still goes as TOOL_EVENT_OUTPUT. Each
// sent message costs a round trip between threads, so a fast tool would
// otherwise be held to the pace of those round trips.
constexpr WPARAM TOOL_EVENT_OUTPUT_LINES = 6;
constexpr WPARAM TOOL_EVENT_ERROR = 9;      // sent, lParam: an error text

struct ToolOutputLines {
    size_t count;
    const char* const* lines;
};

struct CProcess {
    ScopedEvent idleEvent;  // "CProcess_EventObject": signalled while idle
    ScopedEvent stopEvent;  // set by ForceStop: the threads return at once
    // Jobs of ended commands whose trees still had processes: kept until the
    // runner goes, which ends those processes (kill on close).
    std::vector<ScopedHandle> keptJobs;
    // Held while `process` and `processId` change: the waiter closes the
    // process at a command's end while the window thread may ask about it.
    std::mutex processLock;
    // The fields from here on are cleared before each command.
    char commandLine[1024];
    char workFolder[260];
    HWND notifyWindow;
    UINT notifyMessage;
    int16_t showCommand;
    DWORD timeout;
    ScopedHandle process;
    DWORD processId;        // non-zero while a command runs
    ScopedHandle job;       // the child's tree; empty where no job could be made
    ScopedThread readerThread;
    ScopedThread waiterThread;  // kept after the waiter ends, until joined
    ScopedHandle outputRead;
    ScopedHandle inputWrite;
    std::atomic<LONG> running;
    std::atomic<LONG> stopReading;  // the waiter's bound ran out, or a forced stop
};

// Allocates a zeroed runner with its idle event, signalled. Null on failure.
CProcess* CreateProcessRunner();
// Stops a command still running, joins its threads, closes the events and
// frees the record.
void DestroyProcessRunner(CProcess* runner);
// Joins what is left of the previous command and clears the fields from the
// command line on. The idle event must be signalled.
void ClearRunnerFields(CProcess* runner);

// 0 when the child and both threads run, -1 after a failed start.
int Start(CProcess* runner);
// Stops the child, joins both threads, closes every handle of the command,
// clears the fields and signals the idle event. Returns 1.
int ForceStop(CProcess* runner);
// Whether a command is on the runner: started and not yet torn down. Any
// thread may ask, at any time.
bool CommandActive(CProcess* runner);
// Whether the child of that command still runs. Any thread may ask.
bool ChildStillRuns(CProcess* runner);
void TerminateIfActive(HANDLE process);
void ShowErrorWithDetail(HWND owner, const char* text, DWORD errorCode);

DWORD WINAPI OutputReaderThread(LPVOID runner);
DWORD WINAPI ExitWaiterThread(LPVOID runner);
