#pragma once
// The Command Log page: every report to the user goes through here.
#include <windows.h>

// Asks the main window to move the lines of a burst into the page.
constexpr UINT WM_APP_LOG_FLUSH = WM_APP + 0x2A0;
constexpr UINT_PTR kLogFlushTimer = 0x2A0;
constexpr UINT kLogFlushDelayMs = 50;

// Callable from the main thread and from worker threads. The line reaches
// the log file at once and the page within kLogFlushDelayMs, with the lines
// around it in one step.
void AppendCommandLog(HWND mainWindow, const char* text);
// The queue of lines on their way to a Command Log page: made with the page,
// before anything logs, and freed when no thread can log any more (at the
// end of the program's shutdown). Without it lines reach the log file only.
void AttachCommandLogQueue(HWND commandLogPage);
void FreeCommandLogQueue(HWND commandLogPage);
// Moves the waiting lines into the page and scrolls to its newest line; on
// the main thread (or, should the flush message be refused, the caller's).
void FlushCommandLog(HWND mainWindow);
// The main window's share of the repaint: WM_APP_LOG_FLUSH starts a short
// timer, so that lines arriving one message at a time still share a repaint,
// and the timer flushes. True when the message was one of these.
bool OnCommandLogMessage(HWND mainWindow, UINT message, WPARAM wParam);
// Lines written, 0 when the file cannot be created, -1 when the page or the
// status bar is missing.
int ExportCommandLog(HWND mainWindow, const char* path);

// The end of a run the command line asked for: its box goes; a request
// handed over by another start is answered with `exitCode`, while the
// program's own command line writes `closingLine` and ends the program with
// that code. The close is posted, never carried out here: a runner thread
// may wait on the caller, or runner code may be further up the stack.
void EndCommandLineRun(HWND mainWindow, int exitCode, const char* closingLine);
