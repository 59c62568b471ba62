#include "tools/ProcessWin32.h"
#include <new>

CProcess* CreateProcessRunner() {
    CProcess* runner = new (std::nothrow) CProcess();
    if (!runner) return nullptr;
    runner->idleEvent = CreateEventA(nullptr, TRUE, TRUE, "CProcess_EventObject");
    return runner;
}

void DestroyProcessRunner(CProcess* runner) {
    if (!runner) return;
    if (runner->idleEvent) {
        SetEvent(runner->idleEvent);
        CloseHandle(runner->idleEvent);
    }
    delete runner;
}

void ForceStop(CProcess* runner) {
    if (!runner || !runner->process) return;
    TerminateProcess(runner->process, 1);
}
