#pragma once
// Lets a test make a worker thread fail where nothing else could (an
// allocation that runs out), to show that the thread's catch-all ends its
// operation cleanly instead of the program. Without a hook nothing happens.
enum class FaultSite {
    ProbeEngine,    // each turn of the probe engine's thread
    OutputReader,   // each read of the tool output reader
    ScanLookUp,     // each look-up job of the scan's threads
};

using FaultHookFn = void (*)(FaultSite site);

void SetFaultHook(FaultHookFn hook);
// Calls the hook, which may throw.
void FaultPoint(FaultSite site);
