// The probe engine's thread: every request it sends is asynchronous, so one
// thread keeps hundreds out at once and sleeps until one of them ends.
#include "net/ProbeEngineWin32.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "common/FaultHook.h"
#include "common/IpHelperWin32.h"
#include "common/ScopedWin32.h"

namespace {

using GetIpNetTable2Fn = DWORD(WINAPI*)(ADDRESS_FAMILY, PMIB_IPNET_TABLE2*);
using FreeMibTableFn = VOID(WINAPI*)(PVOID);

// WaitForMultipleObjects takes 64 handles: the wake event, the connect event
// and this many echo events; any further echo is looked at on a short poll.
constexpr DWORD kEchoWaitSlots = MAXIMUM_WAIT_OBJECTS - 2;
constexpr DWORD kEchoPollMs = 50;
// The neighbour table is read for every address waiting for ARP at once, at
// most this often: each read walks the whole table, which under Wine alone
// cost more than all other probes of a long list together.
constexpr uint64_t kArpBatchMs = 1000;
constexpr char kEchoData[] = "Nodelark";
// A report post that found the window's queue full is tried again this soon.
constexpr DWORD kNotifyRetryMs = 50;

uint64_t Now() { return GetTickCount64(); }

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

bool AskNoSynRetransmissions(SOCKET s, uint32_t deadlineMs) {
    // The first retransmission timeout is about three round trips: the SYN's
    // answer may take the whole deadline, which covers a slow link's round
    // trip, and the probe gives up at the deadline anyway.
    TCP_INITIAL_RTO_PARAMETERS rto = {};
    rto.Rtt = static_cast<USHORT>(std::min<uint32_t>(std::max<uint32_t>(deadlineMs / 3, 1), 0xFFFE));
    rto.MaxSynRetransmissions = TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS;
    DWORD returned = 0;
    return WSAIoctl(s, SIO_TCP_INITIAL_RTO, &rto, sizeof rto, nullptr, 0, &returned, nullptr, nullptr) == 0;
}

struct CProbeEngine::Echo {
    uint64_t run;
    size_t method;
    uint32_t address;
    ScopedEvent event;
    // The system writes the reply here until the event is signalled.
    char reply[sizeof(ICMP_ECHO_REPLY) + sizeof kEchoData + 8 + 64];
};

struct CProbeEngine::Connect {
    uint64_t run;
    size_t method;
    ScopedSocket socket;
};

CProbeEngine::CProbeEngine(ProbeEngineSettings settings) : settings_(std::move(settings)) {}

CProbeEngine::~CProbeEngine() { Stop(); }

bool CProbeEngine::Start(Callback callback, std::function<void()> failed) {
    if (thread_.IsValid()) return false;
    callback_ = std::move(callback);
    failedCallback_ = std::move(failed);
    return StartThread();
}

bool CProbeEngine::Start(HWND window, UINT message) {
    if (thread_.IsValid()) return false;
    window_ = window;
    message_ = message;
    return StartThread();
}

bool CProbeEngine::StartThread() {
    WSADATA data;
    winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!winsock_) return false;
    if (HMODULE library = iphlp::Module()) {
        arpTable_ = reinterpret_cast<void*>(GetProcAddress(library, "GetIpNetTable2"));
        arpFree_ = reinterpret_cast<void*>(GetProcAddress(library, "FreeMibTable"));
        if (!arpFree_) arpTable_ = nullptr;
    }
    if (!arpTable_) {
        auto& m = settings_.methods;
        m.erase(std::remove_if(m.begin(), m.end(), [](const ProbeMethod& x) { return x.kind == ProbeKind::Arp; }),
                m.end());
    }
    stop_ = false;
    wake_.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (wake_.IsValid()) thread_.Reset(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
    if (!thread_.IsValid()) {
        wake_.Close();
        WSACleanup();
        winsock_ = false;
        return false;
    }
    return true;
}

uint32_t CProbeEngine::Probe(const std::vector<ProbeTarget>& targets) {
    uint32_t batch;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        incoming_.insert(incoming_.end(), targets.begin(), targets.end());
        // Without the neighbour table only every probe can tell.
        if (!arpTable_)
            for (size_t i = incoming_.size() - targets.size(); i < incoming_.size(); ++i) incoming_[i].onLink = false;
        batch = batch_.load();
    }
    if (wake_.IsValid()) SetEvent(wake_);
    return batch;
}

std::vector<ProbeReport> CProbeEngine::TakeReports() {
    std::vector<ProbeReport> taken;
    std::lock_guard<std::mutex> lock(reportsMutex_);
    taken.swap(reports_);
    notified_ = false;
    return taken;
}

bool CProbeEngine::Notify() {
    std::lock_guard<std::mutex> lock(reportsMutex_);
    if (reports_.empty() || notified_) return true;
    notified_ = settings_.post ? settings_.post(window_, message_) : PostMessageA(window_, message_, 0, 0) != FALSE;
    return notified_;
}

void CProbeEngine::Cancel() {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        incoming_.clear();
        ++batch_;
    }
    {
        std::lock_guard<std::mutex> lock(reportsMutex_);
        reports_.clear();
    }
    // A report being delivered finishes first; later ones see the new batch.
    { std::lock_guard<std::recursive_mutex> wait(deliverMutex_); }
    if (wake_.IsValid()) SetEvent(wake_);
}

void CProbeEngine::Stop() {
    if (!thread_.IsValid()) return;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        stop_ = true;
    }
    Cancel();
    WaitForSingleObject(thread_, INFINITE);
    thread_.Close();
    wake_.Close();
    if (winsock_) WSACleanup();
    winsock_ = false;
}

DWORD WINAPI CProbeEngine::ThreadMain(LPVOID self) {
    CProbeEngine* engine = static_cast<CProbeEngine*>(self);
    try {
        engine->Run();
    } catch (...) {
        engine->ReportFailure();
    }
    return 0;
}

void CProbeEngine::ReportFailure() {
    failed_ = true;
    try {
        if (failedCallback_) failedCallback_();
    } catch (...) {
        // The owner learns it from Failed() as well.
    }
    if (callback_ || !window_) return;
    // The window must hear of it, or it would wait for reports for ever.
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            if (stop_) return;
        }
        if (settings_.post ? settings_.post(window_, message_) : PostMessageA(window_, message_, 0, 0) != FALSE)
            return;
        WaitForSingleObject(wake_, kNotifyRetryMs);
    }
}

void CProbeEngine::Deliver(const std::vector<ProbeDone>& done, uint32_t batch) {
    std::lock_guard<std::recursive_mutex> lock(deliverMutex_);
    if (!callback_) {
        if (!window_ || done.empty()) return;
        {
            std::lock_guard<std::mutex> reports(reportsMutex_);
            if (batch_.load() != batch) return;
            for (const ProbeDone& d : done) reports_.push_back(ProbeReport{d, batch});
        }
        Notify();
        return;
    }
    for (const ProbeDone& d : done) {
        if (batch_.load() != batch) return;
        callback_(ProbeReport{d, batch});
    }
}

// One life of the engine's thread: what it has out, and the named steps of
// each turn. A turn takes the queue, starts what the plan lets start, reads
// the neighbour table, waits when nothing ended, collects what did, and
// delivers. At the end every request still out is drained.
class CProbeEngine::ProbeRun {
public:
    explicit ProbeRun(CProbeEngine& engine)
        : engine_(engine),
          icmp_(iphlp::IcmpCreateFile()),
          connectEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          plan_(engine.settings_.methods, Limits(engine.settings_), engine.settings_.timeoutMs),
          seenBatch_(engine.batch_.load()),
          getTable_(reinterpret_cast<GetIpNetTable2Fn>(engine.arpTable_)),
          freeTable_(reinterpret_cast<FreeMibTableFn>(engine.arpFree_)) {}
    ProbeRun(const ProbeRun&) = delete;
    ProbeRun& operator=(const ProbeRun&) = delete;

    // Turns until the engine stops.
    void Loop();
    // Ends what is still out; a request's buffer goes only once it has ended.
    void Drain();

private:
    static ProbeLimits Limits(const ProbeEngineSettings& settings);
    void StartProbes(uint64_t run, const ProbeTarget& target, uint32_t which, uint64_t now);
    void StartEcho(uint64_t run, size_t method, const ProbeTarget& target, uint64_t now);
    void StartConnect(uint64_t run, size_t method, const ProbeTarget& target, uint64_t now);
    void CloseConnects(std::vector<uint64_t>* runs);
    void CollectConnects(uint64_t now);
    void FinishEcho(size_t i, uint64_t now);
    void CollectEchoes(uint64_t now);
    void CheckArp(uint64_t now);
    void Wait(uint64_t now);

    CProbeEngine& engine_;
    ScopedIcmp icmp_;
    ScopedEvent connectEvent_;
    ProbePlan plan_;
    std::vector<std::unique_ptr<Echo>> echoes_;
    std::vector<Connect> connects_;
    uint32_t seenBatch_;
    uint64_t nextArp_ = 0;
    GetIpNetTable2Fn getTable_;
    FreeMibTableFn freeTable_;
};

ProbeLimits CProbeEngine::ProbeRun::Limits(const ProbeEngineSettings& settings) {
    ProbeLimits limits;
    limits.addresses = settings.cap;
    limits.requests = settings.requests;
    limits.neighbours = settings.neighbours;
    limits.neighbourHoldMs = settings.neighbourHoldMs;
    limits.onLinkTimeoutMs = settings.onLinkTimeoutMs;
    return limits;
}

// A wave holds hundreds of connects: one pass, not one search each. Null
// closes them all.
void CProbeEngine::ProbeRun::CloseConnects(std::vector<uint64_t>* runs) {
    if (connects_.empty()) return;
    if (runs) std::sort(runs->begin(), runs->end());
    auto keep = std::stable_partition(connects_.begin(), connects_.end(), [&](const Connect& c) {
        return runs && !std::binary_search(runs->begin(), runs->end(), c.run);
    });
    for (auto it = keep; it != connects_.end(); ++it) it->socket.CloseAbortive();
    connects_.erase(keep, connects_.end());
}

void CProbeEngine::ProbeRun::StartProbes(uint64_t run, const ProbeTarget& target, uint32_t which, uint64_t now) {
    const auto& methods = plan_.Methods();
    for (size_t m = 0; m < methods.size() && plan_.IsRunning(run); ++m) {
        if (!(which & (1u << m))) continue;
        if (methods[m].kind == ProbeKind::Echo) StartEcho(run, m, target, now);
        else if (methods[m].kind == ProbeKind::Tcp) StartConnect(run, m, target, now);
    }
}

void CProbeEngine::ProbeRun::StartEcho(uint64_t run, size_t method, const ProbeTarget& target, uint64_t now) {
    auto echo = std::make_unique<Echo>();
    echo->run = run;
    echo->method = method;
    echo->address = target.address;
    echo->event.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    DWORD sent = 0;
    DWORD error = ERROR_INVALID_HANDLE;
    // Room first: a pending request's buffer must never be freed by a
    // failed push.
    echoes_.reserve(echoes_.size() + 1);
    if (echo->event.IsValid() && icmp_.IsValid()) {
        sent = iphlp::IcmpSendEcho2(icmp_.Get(), echo->event, nullptr, nullptr, target.address,
                                    const_cast<char*>(kEchoData), sizeof kEchoData, nullptr, echo->reply,
                                    sizeof echo->reply, engine_.settings_.timeoutMs);
        error = GetLastError();
    }
    if (sent == 0 && error == ERROR_IO_PENDING) {
        echoes_.push_back(std::move(echo));
        return;
    }
    bool answered = false;
    if (sent != 0) {
        const auto* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(echo->reply);
        answered = reply->Status == IP_SUCCESS && reply->Address == target.address;
    }
    plan_.Finished(run, method, answered ? ProbeOutcome::Answered : ProbeOutcome::NoAnswer, now);
}

void CProbeEngine::ProbeRun::StartConnect(uint64_t run, size_t method, const ProbeTarget& target, uint64_t now) {
    ScopedSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (s.IsValid()) {
        ++engine_.rtoAsked_;
        if (!AskNoSynRetransmissions(s.Get(), engine_.settings_.timeoutMs)) ++engine_.rtoRefused_;
    }
    if (!s.IsValid() || WSAEventSelect(s.Get(), connectEvent_, FD_CONNECT) != 0) {
        plan_.Finished(run, method, ProbeOutcome::NoAnswer, now);
        return;
    }
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(plan_.Methods()[method].port);
    to.sin_addr.s_addr = target.address;
    int error = 0;
    if (connect(s.Get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
        connects_.push_back(Connect{run, method, std::move(s)});
        return;
    }
    s.CloseAbortive();
    plan_.Finished(run, method, TcpConnectOutcome(error), now);
}

void CProbeEngine::ProbeRun::CollectConnects(uint64_t now) {
    // Reset before looking, so a connect that ends meanwhile signals again.
    ResetEvent(connectEvent_);
    for (size_t i = 0; i < connects_.size();) {
        WSANETWORKEVENTS events = {};
        if (WSAEnumNetworkEvents(connects_[i].socket.Get(), nullptr, &events) == 0 &&
            (events.lNetworkEvents & FD_CONNECT)) {
            plan_.Finished(connects_[i].run, connects_[i].method, TcpConnectOutcome(events.iErrorCode[FD_CONNECT_BIT]),
                           now);
            connects_[i].socket.CloseAbortive();
            connects_.erase(connects_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

void CProbeEngine::ProbeRun::FinishEcho(size_t i, uint64_t now) {
    Echo& e = *echoes_[i];
    bool answered = false;
    if (iphlp::IcmpParseReplies(e.reply, sizeof e.reply) > 0) {
        const auto* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(e.reply);
        answered = reply->Status == IP_SUCCESS && reply->Address == e.address;
    }
    plan_.Finished(e.run, e.method, answered ? ProbeOutcome::Answered : ProbeOutcome::NoAnswer, now);
    echoes_.erase(echoes_.begin() + static_cast<std::ptrdiff_t>(i));
}

void CProbeEngine::ProbeRun::CollectEchoes(uint64_t now) {
    for (size_t first = 0; first < echoes_.size();) {
        const DWORD n = static_cast<DWORD>(std::min<size_t>(MAXIMUM_WAIT_OBJECTS, echoes_.size() - first));
        HANDLE handles[MAXIMUM_WAIT_OBJECTS];
        for (DWORD k = 0; k < n; ++k) handles[k] = echoes_[first + k]->event;
        const DWORD r = WaitForMultipleObjects(n, handles, FALSE, 0);
        if (r >= WAIT_OBJECT_0 + n) {
            first += n;
            continue;
        }
        // The lowest signalled one; the rest of the chunk is looked at one by one.
        size_t i = first + (r - WAIT_OBJECT_0);
        FinishEcho(i, now);
        size_t end = first + n - 1;
        while (i < end && i < echoes_.size()) {
            if (WaitForSingleObject(echoes_[i]->event, 0) == WAIT_OBJECT_0) {
                FinishEcho(i, now);
                --end;
            } else {
                ++i;
            }
        }
        first = end;
    }
}

void CProbeEngine::ProbeRun::CheckArp(uint64_t now) {
    const std::vector<uint64_t> runs = plan_.WaitingForArp();
    if (runs.empty() || now < nextArp_) return;
    nextArp_ = now + kArpBatchMs;
    std::vector<uint32_t> reachable;
    PMIB_IPNET_TABLE2 table = nullptr;
    if (getTable_ && getTable_(AF_INET, &table) == NO_ERROR && table) {
        for (ULONG k = 0; k < table->NumEntries; ++k) {
            const MIB_IPNET_ROW2& row = table->Table[k];
            // Only a neighbour confirmed just now: a stale entry outlives
            // the computer's sleep.
            if (row.State == NlnsReachable && row.PhysicalAddressLength > 0)
                reachable.push_back(row.Address.Ipv4.sin_addr.s_addr);
        }
        freeTable_(table);
    }
    const size_t arp = plan_.ArpMethod();
    for (uint64_t run : runs) {
        ProbeTarget target;
        if (!plan_.TargetOf(run, &target)) continue;
        const bool found = std::find(reachable.begin(), reachable.end(), target.address) != reachable.end();
        plan_.Finished(run, arp, found ? ProbeOutcome::Answered : ProbeOutcome::NoAnswer, now);
    }
}

// Sleeps until new work, a connect or an echo ends, a deadline passes, the
// next neighbour table read is due, or a refused notice is to be posted again.
void CProbeEngine::ProbeRun::Wait(uint64_t now) {
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    DWORD count = 0;
    handles[count++] = engine_.wake_;
    handles[count++] = connectEvent_;
    for (size_t i = 0; i < echoes_.size() && i < kEchoWaitSlots; ++i) handles[count++] = echoes_[i]->event;
    DWORD timeout = INFINITE;
    const uint64_t deadline = std::min(plan_.NextDeadline(), plan_.NextRoom(now));
    if (deadline != UINT64_MAX)
        timeout = static_cast<DWORD>(deadline > now ? std::min<uint64_t>(deadline - now, 60000) : 0);
    if (echoes_.size() > kEchoWaitSlots) timeout = std::min(timeout, kEchoPollMs);
    if (!plan_.WaitingForArp().empty())
        timeout = std::min<DWORD>(timeout, static_cast<DWORD>(nextArp_ > now ? nextArp_ - now : 0));
    if (!engine_.Notify()) timeout = std::min(timeout, kNotifyRetryMs);
    WaitForMultipleObjects(count, handles, FALSE, timeout);
}

void CProbeEngine::ProbeRun::Loop() {
    for (;;) {
        FaultPoint(FaultSite::ProbeEngine);
        std::vector<ProbeTarget> incoming;
        bool stop;
        uint32_t batch;
        {
            std::lock_guard<std::mutex> lock(engine_.queueMutex_);
            incoming.swap(engine_.incoming_);
            stop = engine_.stop_;
            batch = engine_.batch_.load();
        }
        if (batch != seenBatch_ || stop) {
            // Echo requests cannot be called back: they stay until they end,
            // and the plan ignores what they say.
            plan_.Clear();
            CloseConnects(nullptr);
            seenBatch_ = batch;
        }
        if (stop) return;
        plan_.Add(incoming);

        uint64_t now = Now();
        uint64_t run;
        ProbeTarget target;
        uint32_t which;
        while (plan_.NextStart(now, &run, &target, &which)) StartProbes(run, target, which, now);
        CheckArp(now);

        std::vector<uint64_t> doneRuns;
        std::vector<ProbeDone> done = plan_.TakeDone(&doneRuns);
        if (done.empty()) {
            Wait(now);
            now = Now();
            // Each look at a socket is a trip to the system: only when one changed.
            if (WaitForSingleObject(connectEvent_, 0) == WAIT_OBJECT_0) CollectConnects(now);
            CollectEchoes(now);
            plan_.Expire(now);
            CheckArp(now);
            done = plan_.TakeDone(&doneRuns);
        }
        // A connect given up on goes now: its address waits for the table
        // alone, and the socket is what the next address needs.
        const std::vector<uint64_t> waiting = plan_.WaitingForArp();
        doneRuns.insert(doneRuns.end(), waiting.begin(), waiting.end());
        CloseConnects(&doneRuns);
        engine_.Deliver(done, seenBatch_);
    }
}

void CProbeEngine::ProbeRun::Drain() {
    CloseConnects(nullptr);
    // Every echo request ends by its time-out at the latest; its reply buffer
    // must outlive it.
    const uint64_t limit = Now() + engine_.settings_.timeoutMs + 2000;
    while (!echoes_.empty()) {
        const uint64_t now = Now();
        if (now >= limit) break;
        if (WaitForSingleObject(echoes_.back()->event, static_cast<DWORD>(limit - now)) != WAIT_OBJECT_0) break;
        echoes_.pop_back();
    }
    icmp_.Close();
    // Closing the ICMP handle ends what was still out; a buffer goes only
    // once its request has said so. One that never does is left to the
    // process: the system may still write into it.
    for (auto& e : echoes_)
        if (WaitForSingleObject(e->event, 1000) != WAIT_OBJECT_0) (void)e.release();
    echoes_.clear();
}

void CProbeEngine::Run() {
    ProbeRun run(*this);
    bool failed = false;
    try {
        run.Loop();
    } catch (...) {
        // Memory ran out somewhere in a turn. The requests still out are
        // ended as at a stop, and only then is the failure told.
        failed = true;
    }
    run.Drain();
    if (failed) ReportFailure();
}

NeighbourWave SystemNeighbourWave() {
    // Three requests a second apart, and a little for the timer.
    constexpr uint32_t kHoldMs = 3200;
    return {UnderWine() ? 1024u - 128u : 256u - 64u, kHoldMs};
}

std::vector<ProbeMethod> SafeProbeMethods(const std::vector<ProbeMethod>& methods) {
    if (!UnderWine()) return methods;
    std::vector<ProbeMethod> safe;
    for (const ProbeMethod& m : methods)
        if (m.kind != ProbeKind::Echo) safe.push_back(m);
    return safe;
}
