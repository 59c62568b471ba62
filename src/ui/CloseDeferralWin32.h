#pragma once
// Code of the tool runner on the UI thread may sit in a modal loop (a message
// box, a wait that answers sent messages) that dispatches a close request.
// Carried out there, the shutdown would free the runner under that code.
// While such code is on the stack a close is only recorded, and posted again
// once the outermost of it has returned.
#include <windows.h>

class DeferClose {
public:
    explicit DeferClose(HWND mainWindow);
    ~DeferClose();
    DeferClose(const DeferClose&) = delete;
    DeferClose& operator=(const DeferClose&) = delete;

private:
    HWND window_;
};

// Asked by the main window before it closes: true when the close has been
// recorded for later.
bool CloseDeferred();
