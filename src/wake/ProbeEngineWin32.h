#pragma once
// Asks many addresses at once whether their computer is on, on one thread of
// its own: echo requests with IcmpSendEcho2 and an event, non-blocking TCP
// connects, and the neighbour table for ARP. At most `cap` addresses are out
// at a time. Each verdict goes to a callback or is posted to a window.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "wake/Probe.h"

struct ProbeEngineSettings {
    std::vector<ProbeMethod> methods = DefaultProbeMethods();
    size_t cap = 128;
    uint32_t timeoutMs = 1000;
};

// The probe methods without echo requests where these break: under Wine 8,
// echo requests sent with an event crashed the program inside ntdll (a write
// to address 8) once the first few hundred had ended, and left the heap
// damaged before that. TCP connects and the neighbour table find the same
// computers on the local subnets. Windows keeps every method.
std::vector<ProbeMethod> SafeProbeMethods(const std::vector<ProbeMethod>& methods = DefaultProbeMethods());

class CProbeEngine {
public:
    using Callback = std::function<void(const ProbeReport&)>;

    explicit CProbeEngine(ProbeEngineSettings settings = {});
    ~CProbeEngine();
    CProbeEngine(const CProbeEngine&) = delete;
    CProbeEngine& operator=(const CProbeEngine&) = delete;

    // Reports are delivered on the engine's thread. A callback must not wait
    // for the thread that calls Cancel or Stop.
    bool Start(Callback callback);
    // Reports are posted to `window` as `message` (see PackProbeReport); a
    // report whose batch is older than Batch() is one from before a Cancel.
    bool Start(HWND window, UINT message);

    // Queues the addresses behind any still waiting; the batch number their
    // reports carry.
    uint32_t Probe(const std::vector<ProbeTarget>& targets);
    // Drops everything queued and out. No callback of an earlier batch runs
    // once this returns.
    void Cancel();
    // Cancels, then waits for the thread and every request it had out.
    void Stop();

    uint32_t Batch() const { return batch_.load(); }
    bool IsStarted() const { return thread_ != nullptr; }
    // Whether the neighbour table can be read for the ARP method.
    bool HasArp() const { return arpTable_ != nullptr; }

private:
    struct Echo;
    struct Connect;
    static DWORD WINAPI ThreadMain(LPVOID self);
    bool StartThread();
    void Run();
    void Deliver(const std::vector<ProbeDone>& done, uint32_t batch);

    ProbeEngineSettings settings_;
    Callback callback_;
    HWND window_ = nullptr;
    UINT message_ = 0;
    HANDLE thread_ = nullptr;
    HANDLE wake_ = nullptr;  // new work, a cancel, or the stop
    bool winsock_ = false;
    void* arpTable_ = nullptr;  // GetIpNetTable2, where the platform has it
    void* arpFree_ = nullptr;   // FreeMibTable

    std::mutex queueMutex_;
    std::vector<ProbeTarget> incoming_;
    bool stop_ = false;
    std::atomic<uint32_t> batch_{0};
    // Held while a callback runs, so that Cancel waits for one in progress.
    std::recursive_mutex deliverMutex_;
};
