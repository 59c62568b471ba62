#include "entries/NetScanWin32.h"


#include <algorithm>
#include <string>

#include "common/IpHelperWin32.h"
#include "entries/NetLookUpWin32.h"

namespace {

// Reverse look-ups can each wait seconds for a name server; a few at once
// keep a long list moving without flooding it.
constexpr size_t kLookupThreads = 8;

ProbeEngineSettings ScanProbeSettings() {
    ProbeEngineSettings settings;
    settings.methods = SafeProbeMethods();
    settings.cap = 256;
    settings.timeoutMs = 1000;
    return settings;
}

bool OnLink(uint32_t address, const std::vector<ScanSubnet>& subnets) {
    return std::any_of(subnets.begin(), subnets.end(),
                       [&](const ScanSubnet& s) { return ((address ^ s.address) & s.mask) == 0; });
}

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

CNetScan::CNetScan(HWND window, UINT message) : window_(window), message_(message), engine_(ScanProbeSettings()) {}

CNetScan::~CNetScan() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        active_ = false;
        queue_.clear();
    }
    work_.notify_all();
    engine_.Stop();
    for (std::thread& t : lookups_) t.join();
}

bool CNetScan::Open() {
    if (!engine_.Start([this](const ProbeReport& report) { OnReport(report); })) return false;
    try {
        for (size_t i = 0; i < kLookupThreads; ++i) lookups_.emplace_back([this] { LookupThread(); });
    } catch (const std::system_error&) {
        // Fewer threads only make the look-ups slower.
    }
    return !lookups_.empty();
}

void CNetScan::Start(const std::vector<uint32_t>& targets, const std::vector<ScanSubnet>& onLink) {
    Stop();
    std::vector<ProbeTarget> probes;
    probes.reserve(targets.size());
    for (size_t i = 0; i < targets.size(); ++i) probes.push_back({targets[i], static_cast<uint32_t>(i)});
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closing_ || !engine_.IsStarted()) return;
        // Only this thread cancels, so the batch the engine gives these
        // addresses is the one it has now.
        batch_ = engine_.Batch();
        asked_ = 0;
        total_ = targets.size();
        onLink_ = onLink;
        found_.clear();
        active_ = total_ > 0;
        NotifyLocked();
    }
    if (!probes.empty()) engine_.Probe(probes);
}

void CNetScan::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++generation_;
        active_ = false;
        queue_.clear();
        busy_ = 0;
    }
    // Outside the lock: the engine waits here for a report being delivered,
    // and delivering one takes the lock.
    engine_.Cancel();
}

ScanProgress CNetScan::Take(std::vector<ScanFound>* found) {
    std::lock_guard<std::mutex> lock(mutex_);
    notified_ = false;
    found->swap(found_);
    found_.clear();
    return {asked_, total_, active_};
}

void CNetScan::OnReport(const ProbeReport& report) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!active_ || report.batch != batch_) return;
    ++asked_;
    if (report.done.verdict == ProbeVerdict::Answers) {
        queue_.push_back({report.done.target.address, generation_});
        ++busy_;
        work_.notify_one();
    }
    if (FinishedLocked()) active_ = false;
    NotifyLocked();
}

void CNetScan::LookupThread() {
    for (;;) {
        Lookup job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (closing_) return;
            job = queue_.front();
            queue_.erase(queue_.begin());
        }
        ScanFound found = LookUp(job.address, job.generation);
        std::lock_guard<std::mutex> lock(mutex_);
        if (closing_ || job.generation != generation_) continue;
        found_.push_back(found);
        --busy_;
        if (FinishedLocked()) active_ = false;
        NotifyLocked();
    }
}

ScanFound CNetScan::LookUp(uint32_t address, uint64_t generation) {
    ScanFound found = {address, false, {}, std::string()};
    bool onLink;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        onLink = OnLink(address, onLink_);
    }
    auto stale = [this, generation] { return Stale(generation); };
    // Behind a router the neighbour table holds the router, not the computer.
    if (onLink) found.hasMac = LookUpHardwareAddress(address, found.mac.data(), stale);
    std::string name;
    if (!stale() && LookUpHostName(address, name)) found.computerName = name;
    return found;
}

bool CNetScan::Stale(uint64_t generation) {
    std::lock_guard<std::mutex> lock(mutex_);
    return closing_ || generation != generation_;
}

bool CNetScan::FinishedLocked() const { return asked_ >= total_ && busy_ == 0; }

void CNetScan::NotifyLocked() {
    if (notified_ || closing_) return;
    notified_ = true;
    PostMessageA(window_, message_, 0, 0);
}
