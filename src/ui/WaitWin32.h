#pragma once
// Waiting on the UI thread for another thread that reports by SendMessage.
#include <windows.h>

// Waits for `handle` while still answering messages other threads send to
// this one, or a worker that reports by SendMessage and the waiter would
// wait for each other for ever. True when the handle was signalled in time.
bool WaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs = INFINITE);
