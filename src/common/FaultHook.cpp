#include "common/FaultHook.h"

#include <atomic>

namespace {
std::atomic<FaultHookFn> g_hook{nullptr};
}

void SetFaultHook(FaultHookFn hook) { g_hook.store(hook); }

void FaultPoint(FaultSite site) {
    if (FaultHookFn hook = g_hook.load()) hook(site);
}
