#pragma once
// A start with a command-line request while Nodelark already runs hands the
// request to the running program over a named pipe and exits with the code
// the request earned. The running program queues requests and carries each
// out as its own command line, once it is idle, and stays open afterwards.
#include <windows.h>

// Posted by the pipe's thread with a new request (lParam), or by the
// program itself (lParam 0) to look at the queue again.
constexpr UINT WM_APP_HAND_OVER = WM_APP + 0x2D0;
constexpr UINT_PTR kHandOverTimer = 0x2D0;
constexpr char kHandOverProp[] = "CHandOver_Class";

// The running program's side: the pipe's thread starts listening. False when
// the pipe could not be made (the program works on without it).
bool StartHandOverServer(HWND mainWindow);
// At shutdown, before anything a request uses is released: every caller
// hears what is known (1 when its packets went out, 2 otherwise) and the
// pipe's thread is joined.
void StopHandOverServer(HWND mainWindow);
// WM_APP_HAND_OVER and kHandOverTimer; false for any other message.
bool OnHandOverMessage(HWND mainWindow, UINT message, WPARAM wParam, LPARAM lParam);
// A packet of the run went out (WM_APP_WAKE_SENT).
void NoteHandOverPacketSent(HWND mainWindow);

// The new start's side: hands `commandLine` to the Nodelark of this user
// and session, waits for its answer and returns the exit code the request
// earned; 2 when it could not be handed over at all.
int HandOverToRunningProgram(const char* commandLine);
