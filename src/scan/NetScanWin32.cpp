#include "scan/NetScanWin32.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "common/FaultHook.h"
#include "common/IpHelperWin32.h"
#include "net/NetLookUpWin32.h"
#include "net/WakeRoute.h"

namespace {

// A hardware address takes at most a few seconds (an ARP request, or the
// neighbour table polled); a few at once keep a long list moving.
constexpr size_t kMacThreads = 8;
// A reverse look-up cannot be called off, so each runs on a thread of its
// own, and one of these waits for it up to the deadline, then leaves it.
constexpr size_t kNameThreads = 8;
// Look-ups left behind hold their threads until the resolver gives up (about
// 10 s with glibc's defaults); beyond this many the next name waits.
constexpr size_t kNameCallsOut = 64;

ProbeEngineSettings ScanProbeSettings() {
    ProbeEngineSettings settings;
    settings.methods = SafeProbeMethods();
    // Sockets and the neighbour table run short, not addresses: one on the
    // link takes a single connect, one behind a router every probe.
    settings.cap = 0;
    settings.requests = 1280;
    const NeighbourWave wave = SystemNeighbourWave();
    settings.neighbours = wave.entries;
    settings.neighbourHoldMs = wave.holdMs;
    settings.timeoutMs = 1000;
    // A computer that is on answers ARP within milliseconds; 600 ms still
    // covers a wireless card in power saving, which hears the request only
    // at its next beacon (a few hundred milliseconds at most).
    settings.onLinkTimeoutMs = 600;
    return settings;
}

struct Lookup {
    uint32_t address;
    uint64_t generation;
};

// What one reverse look-up learnt; its thread may outlive the scan.
struct NameCall {
    bool done = false;
    bool ok = false;
    std::string name;
};

}  // namespace

std::vector<RouteRow> CollectRoutes() {
    std::vector<RouteRow> routes;
    ULONG size = 0;
    if (iphlp::GetIpForwardTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0) return routes;
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data());
    if (iphlp::GetIpForwardTable(table, &size, FALSE) != NO_ERROR) return routes;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPFORWARDROW& r = table->table[i];
        routes.push_back({r.dwForwardDest, r.dwForwardMask, r.dwForwardNextHop, r.dwForwardIfIndex,
                          r.dwForwardMetric1});
    }
    return routes;
}

// Everything the threads touch. Each thread holds a share of it, so the box
// may go while an ARP request or a name server keeps a thread waiting.
struct CNetScan::Core : std::enable_shared_from_this<CNetScan::Core> {
    Core(HWND w, UINT m) : window(w), message(m) {}

    void OnReport(const ProbeReport& report);
    // A thread's entry: a failure it did not expect (memory ran out) ends
    // the scan instead of the program.
    template <class Body>
    void Guarded(Body body);
    void Fail();
    void MacThread();
    void NameThread();
    void Call(const std::shared_ptr<NameCall>& call, uint32_t address);
    bool Stale(uint64_t generation);
    bool FinishedLocked() const { return asked >= total && busy == 0; }
    void NotifyLocked();
    void Close();

    const HWND window;
    const UINT message;

    std::mutex mutex;
    std::condition_variable macWork;
    // New names to ask, a look-up that ended, or the close.
    std::condition_variable nameWork;
    bool closing = false;
    bool failed = false;
    bool active = false;
    bool notified = false;
    uint64_t generation = 0;
    uint32_t batch = 0;
    size_t asked = 0;
    size_t total = 0;
    size_t busy = 0;  // answering computers whose row is not made yet
    size_t callsOut = 0;
    std::vector<ScanSubnet> onLink;
    std::deque<Lookup> macs;
    std::deque<Lookup> names;
    std::vector<ScanFound> found;
    std::vector<ScanName> learnt;
};

void CNetScan::Core::OnReport(const ProbeReport& report) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!active || report.batch != batch) return;
    ++asked;
    if (report.done.verdict == ProbeVerdict::Answers) {
        macs.push_back({report.done.target.address, generation});
        ++busy;
        macWork.notify_one();
    }
    if (FinishedLocked()) active = false;
    NotifyLocked();
}

template <class Body>
void CNetScan::Core::Guarded(Body body) {
    try {
        body();
    } catch (...) {
        Fail();
    }
}

void CNetScan::Core::Fail() {
    std::lock_guard<std::mutex> lock(mutex);
    failed = true;
    active = false;
    ++generation;
    macs.clear();
    names.clear();
    busy = 0;
    NotifyLocked();
}

void CNetScan::Core::MacThread() {
    for (;;) {
        Lookup job;
        bool onLinkJob;
        {
            std::unique_lock<std::mutex> lock(mutex);
            macWork.wait(lock, [this] { return closing || !macs.empty(); });
            if (closing) return;
            job = macs.front();
            macs.pop_front();
            onLinkJob = OnLink(job.address, onLink);
        }
        FaultPoint(FaultSite::ScanLookUp);
        ScanFound row = {job.address, false, {}, std::string()};
        // Behind a router the neighbour table holds the router, not the computer.
        if (onLinkJob)
            row.hasMac = LookUpHardwareAddress(job.address, row.mac.data(),
                                               [this, &job] { return Stale(job.generation); });
        std::lock_guard<std::mutex> lock(mutex);
        if (closing || job.generation != generation) continue;
        found.push_back(row);
        names.push_back(job);
        nameWork.notify_all();
        --busy;
        if (FinishedLocked()) active = false;
        NotifyLocked();
    }
}

void CNetScan::Core::Call(const std::shared_ptr<NameCall>& call, uint32_t address) {
    std::string name;
    bool ok = false;
    try {
        ok = LookUpHostName(address, name);
    } catch (...) {
        // The waiting thread still hears that this call ended.
        Fail();
    }
    std::lock_guard<std::mutex> lock(mutex);
    call->done = true;
    call->ok = ok;
    call->name = name;
    --callsOut;
    nameWork.notify_all();
}

void CNetScan::Core::NameThread() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        nameWork.wait(lock, [this] { return closing || (!names.empty() && callsOut < kNameCallsOut); });
        if (closing) return;
        const Lookup job = names.front();
        names.pop_front();
        if (job.generation != generation) continue;
        auto call = std::make_shared<NameCall>();
        ++callsOut;
        lock.unlock();
        try {
            std::thread([self = shared_from_this(), call, address = job.address] { self->Call(call, address); })
                .detach();
            lock.lock();
        } catch (const std::system_error&) {
            lock.lock();
            --callsOut;
            continue;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kNameLookUpDeadlineMs);
        nameWork.wait_until(lock, deadline, [&] { return closing || call->done; });
        if (closing) return;
        if (call->done && call->ok && job.generation == generation) {
            learnt.push_back({job.address, call->name});
            NotifyLocked();
        }
    }
}

bool CNetScan::Core::Stale(uint64_t g) {
    std::lock_guard<std::mutex> lock(mutex);
    return closing || g != generation;
}

void CNetScan::Core::NotifyLocked() {
    if (notified || closing) return;
    // A notice the full queue refused is posted again with the next news.
    notified = PostMessageA(window, message, 0, 0) != FALSE;
}

void CNetScan::Core::Close() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        closing = true;
        active = false;
        macs.clear();
        names.clear();
    }
    macWork.notify_all();
    nameWork.notify_all();
}

CNetScan::CNetScan(HWND window, UINT message)
    : core_(std::make_shared<Core>(window, message)), engine_(ScanProbeSettings()) {}

CNetScan::~CNetScan() {
    // After Close no thread posts to the window: each checks under the lock.
    core_->Close();
    engine_.Stop();
}

bool CNetScan::Open() {
    std::shared_ptr<Core> core = core_;
    if (!engine_.Start([core](const ProbeReport& report) { core->OnReport(report); }, [core] { core->Fail(); }))
        return false;
    size_t macThreads = 0, nameThreads = 0;
    try {
        for (; macThreads < kMacThreads; ++macThreads)
            std::thread([core] { core->Guarded([&core] { core->MacThread(); }); }).detach();
        for (; nameThreads < kNameThreads; ++nameThreads)
            std::thread([core] { core->Guarded([&core] { core->NameThread(); }); }).detach();
    } catch (const std::system_error&) {
        // Fewer threads only make the look-ups slower.
    }
    return macThreads > 0 && nameThreads > 0;
}

void CNetScan::Start(const std::vector<uint32_t>& targets, const std::vector<ScanSubnet>& onLink) {
    Stop();
    std::vector<ProbeTarget> probes;
    probes.reserve(targets.size());
    for (size_t i = 0; i < targets.size(); ++i)
        probes.push_back({targets[i], static_cast<uint32_t>(i), OnLink(targets[i], onLink)});
    {
        std::lock_guard<std::mutex> lock(core_->mutex);
        if (core_->closing || !engine_.IsStarted()) return;
        // Only this thread cancels, so the batch the engine gives these
        // addresses is the one it has now.
        core_->batch = engine_.Batch();
        core_->asked = 0;
        core_->total = targets.size();
        core_->onLink = onLink;
        core_->found.clear();
        core_->learnt.clear();
        if (core_->failed) return;
        core_->active = core_->total > 0;
        core_->NotifyLocked();
    }
    if (!probes.empty()) engine_.Probe(probes);
}

void CNetScan::Stop() {
    {
        std::lock_guard<std::mutex> lock(core_->mutex);
        ++core_->generation;
        core_->active = false;
        core_->macs.clear();
        core_->names.clear();
        core_->busy = 0;
    }
    // Outside the lock: the engine waits here for a report being delivered,
    // and delivering one takes the lock.
    engine_.Cancel();
}

ScanProgress CNetScan::Take(std::vector<ScanFound>* found, std::vector<ScanName>* names) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    core_->notified = false;
    found->swap(core_->found);
    core_->found.clear();
    names->swap(core_->learnt);
    core_->learnt.clear();
    return {core_->asked, core_->total, core_->active, core_->failed};
}
