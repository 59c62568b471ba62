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

#include "common/ScopedWin32.h"
#include "net/Probe.h"

struct ProbeEngineSettings {
    std::vector<ProbeMethod> methods = DefaultProbeMethods();
    size_t cap = 128;  // addresses out at once; 0 is no limit
    uint32_t timeoutMs = 1000;
    // The rest of ProbeLimits; off unless set.
    size_t requests = 0;
    size_t neighbours = 0;
    uint32_t neighbourHoldMs = 0;
    uint32_t onLinkTimeoutMs = 0;
    // Posts the window's notice; null is PostMessageA. A test puts a post
    // here that fails as a full message queue does.
    std::function<bool(HWND, UINT)> post;
};

// The probe methods without echo requests where these break. Wine 8.0's
// IcmpSendEcho2 with an event and no APC routine frees its own status block
// while the request is still pending (later Wine frees it only once the
// request has ended), so the end of the request writes into freed memory: the
// program crashed inside ntdll (a write to address 8) once the first few
// hundred had ended. Windows keeps that block in the caller's reply buffer,
// which the engine keeps until the request's event fires, so Windows keeps
// every method. TCP connects and the neighbour table find the same computers
// on the local subnets.
std::vector<ProbeMethod> SafeProbeMethods(const std::vector<ProbeMethod>& methods = DefaultProbeMethods());

// How many addresses on the link may wait for ARP at once, and how long the
// system keeps each one's neighbour entry unresolved. A packet to a new
// neighbour past the table's limit is dropped without an ARP request, so
// more would read live computers as silent. Linux (under Wine) keeps at most
// 1,024 entries per network namespace (gc_thresh3) and frees none that is
// still being resolved; Windows keeps 256 per interface by default
// ("Neighbor Cache Limit" in `netsh interface ipv4 show global`). Both
// give up on an address after three ARP requests a second apart. The wave
// leaves room for the neighbours the system already knows and for what the
// status checks have out.
struct NeighbourWave {
    size_t entries;
    uint32_t holdMs;
};
NeighbourWave SystemNeighbourWave();

// Asks Windows not to retransmit a connect's SYN: a refusal (RST) then ends
// the connect at once instead of after the system's retries (about 2 s with
// default settings, longer than a probe waits), and the first round trip may
// take up to `deadlineMs`. False where the platform lacks the call (before
// Windows 8, and Wine); the connect then keeps the system's own retries.
bool AskNoSynRetransmissions(SOCKET s, uint32_t deadlineMs);

// How often a probe engine asked for that, and how often it was refused.
struct InitialRtoCounts {
    uint32_t asked;
    uint32_t refused;
};

class CProbeEngine {
public:
    using Callback = std::function<void(const ProbeReport&)>;

    explicit CProbeEngine(ProbeEngineSettings settings = {});
    ~CProbeEngine();
    CProbeEngine(const CProbeEngine&) = delete;
    CProbeEngine& operator=(const CProbeEngine&) = delete;

    // Reports are delivered on the engine's thread. A callback must not wait
    // for the thread that calls Cancel or Stop. `failed` is called there
    // once, should the thread fail (see Failed).
    bool Start(Callback callback, std::function<void()> failed = nullptr);
    // Reports are kept for TakeReports, and `message` is posted to `window`
    // (no parameters) when the first of them waits there. None is lost to a
    // full message queue: a post that fails is tried again. A failure of the
    // thread is posted the same way.
    bool Start(HWND window, UINT message);
    // Every report kept since the last call, in order; a report whose batch
    // is older than Batch() is one from before a Cancel.
    std::vector<ProbeReport> TakeReports();

    // Queues the addresses behind any still waiting; the batch number their
    // reports carry.
    uint32_t Probe(const std::vector<ProbeTarget>& targets);
    // Drops everything queued and out. No callback of an earlier batch runs
    // once this returns.
    void Cancel();
    // Cancels, then waits for the thread and every request it had out.
    void Stop();

    uint32_t Batch() const { return batch_.load(); }
    // The thread met a failure it could not go on from (memory ran out): it
    // ended after its requests, and nothing more is asked or reported.
    bool Failed() const { return failed_.load(); }
    bool IsStarted() const { return thread_.IsValid(); }
    InitialRtoCounts InitialRto() const { return {rtoAsked_.load(), rtoRefused_.load()}; }

private:
    struct Echo;
    struct Connect;
    class ProbeRun;
    static DWORD WINAPI ThreadMain(LPVOID self);
    bool StartThread();
    void Run();
    void Deliver(const std::vector<ProbeDone>& done, uint32_t batch);
    // Posts the window's message when reports wait and it is not posted yet;
    // true when nothing is left to post.
    bool Notify();
    void ReportFailure();

    ProbeEngineSettings settings_;
    Callback callback_;
    std::function<void()> failedCallback_;
    std::atomic<bool> failed_{false};
    HWND window_ = nullptr;
    UINT message_ = 0;
    ScopedThread thread_;
    ScopedEvent wake_;  // new work, a cancel, or the stop
    bool winsock_ = false;
    void* arpTable_ = nullptr;  // GetIpNetTable2, where the platform has it
    void* arpFree_ = nullptr;   // FreeMibTable

    std::mutex queueMutex_;
    std::vector<ProbeTarget> incoming_;
    bool stop_ = false;
    std::atomic<uint32_t> batch_{0};
    // Held while a callback runs, so that Cancel waits for one in progress.
    std::recursive_mutex deliverMutex_;
    std::mutex reportsMutex_;
    std::vector<ProbeReport> reports_;
    bool notified_ = false;
    std::atomic<uint32_t> rtoAsked_{0};
    std::atomic<uint32_t> rtoRefused_{0};
};
