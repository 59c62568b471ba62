#pragma once
// The wake run on its worker thread, its cancel and its end, and
// command-line mode.
#include <windows.h>

// Sent by the worker to the main window: lParam points to a WakeRows record
// that the main thread fills from the Wake List in one go.
constexpr UINT WM_APP_WAKE_ROWS = WM_APP + 0x2A2;
LRESULT OnWakeRows(HWND mainWindow, LPARAM request);
// Sent by the worker for each entry it has just woken: lParam points to a
// WakeStamp. The store is changed on the main thread alone, which copies it
// for each save.
constexpr UINT WM_APP_WAKE_STAMP = WM_APP + 0x2A3;
LRESULT OnWakeStamp(HWND mainWindow, LPARAM stamp);
// Sent by the worker after a packet left: wParam the entry's id. Kept in the
// block of the status checks' messages, which it was first numbered with.
constexpr UINT WM_APP_WAKE_SENT = WM_APP + 0x2B2;

struct WakeEntry;

// 1 when the worker was started, 0 otherwise.
int StartWakeRun(HWND mainWindow);
// The worker's report, WM_APP_WAKE_DONE: wParam 0 after the whole list,
// 1 after an error or a cancel.
void OnWakeDone(HWND mainWindow, WPARAM result);
// The cancel command while a run is active: asks, then flags the worker.
void OnWakeCancel(HWND mainWindow);

// Sends one entry its packet again from the UI thread (a waiting
// command-line run); stamps and shows its last-sent time. False when it
// could not be sent.
bool SendWakePacket(HWND mainWindow, const WakeEntry& entry);

// Acts on the first known option of the arguments: 1 when it did (also when
// the named entry was not found), 0 when there was none.
int RunCommandLine(HWND mainWindow, const char* commandLine);
// Selects the first Wake List row named `name` (case-insensitive) and sends
// `command`; the command's result, or -1 when no row matched.
LRESULT SelectAndRun(HWND mainWindow, const char* name, int command);
