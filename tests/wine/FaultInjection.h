#pragma once
// Makes the n-th pass through one fault site throw std::bad_alloc, as an
// allocation that ran out there would, for as long as the object lives.
#include <atomic>
#include <new>

#include "common/FaultHook.h"

class InjectedFault {
public:
    InjectedFault(FaultSite site, int nth) {
        Site() = site;
        Left() = nth;
        SetFaultHook(&Hook);
    }
    ~InjectedFault() { SetFaultHook(nullptr); }
    InjectedFault(const InjectedFault&) = delete;
    InjectedFault& operator=(const InjectedFault&) = delete;

private:
    static std::atomic<FaultSite>& Site() {
        static std::atomic<FaultSite> site{FaultSite::ProbeEngine};
        return site;
    }
    static std::atomic<int>& Left() {
        static std::atomic<int> left{0};
        return left;
    }
    static void Hook(FaultSite site) {
        if (site == Site().load() && Left().fetch_sub(1) == 1) throw std::bad_alloc();
    }
};
