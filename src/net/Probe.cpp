#include "net/Probe.h"

#include <algorithm>
#include <utility>

namespace {
constexpr int kConnectionRefused = 10061;  // WSAECONNREFUSED
}

const std::vector<ProbeMethod>& DefaultProbeMethods() {
    static const std::vector<ProbeMethod> methods = {
        {ProbeKind::Echo, 0},
        {ProbeKind::Tcp, 445},
        {ProbeKind::Tcp, 3389},
        {ProbeKind::Tcp, 22},
        {ProbeKind::Tcp, 135},
        {ProbeKind::Arp, 0},
    };
    return methods;
}

ProbeOutcome TcpConnectOutcome(int error) {
    if (error == 0) return ProbeOutcome::Answered;
    if (error == kConnectionRefused) return ProbeOutcome::Refused;
    return ProbeOutcome::NoAnswer;
}

namespace {
size_t Bits(uint32_t v) {
    size_t n = 0;
    for (; v; v &= v - 1) ++n;
    return n;
}
ProbeLimits AddressCap(size_t cap) {
    ProbeLimits limits;
    limits.addresses = cap ? cap : 1;
    return limits;
}
}  // namespace

ProbePlan::ProbePlan(std::vector<ProbeMethod> methods, size_t cap, uint32_t timeoutMs)
    : ProbePlan(std::move(methods), AddressCap(cap), timeoutMs) {}

ProbePlan::ProbePlan(std::vector<ProbeMethod> methods, const ProbeLimits& limits, uint32_t timeoutMs)
    : methods_(std::move(methods)), limits_(limits), timeoutMs_(timeoutMs) {
    if (limits_.onLinkTimeoutMs == 0) limits_.onLinkTimeoutMs = timeoutMs;
    // One bit per method keeps a run small; a longer list keeps its first 32.
    if (methods_.size() > 32) methods_.resize(32);
    arpMethod_ = methods_.size();
    immediateMask_ = 0;
    for (size_t i = 0; i < methods_.size(); ++i) {
        if (methods_[i].kind == ProbeKind::Arp) {
            if (arpMethod_ == methods_.size()) arpMethod_ = i;
        } else {
            immediateMask_ |= 1u << i;
        }
    }
    onLinkMask_ = immediateMask_;
    if (arpMethod_ < methods_.size()) {
        for (size_t i = 0; i < methods_.size(); ++i) {
            if (methods_[i].kind != ProbeKind::Tcp) continue;
            onLinkMask_ = 1u << i;
            break;
        }
    }
}

void ProbePlan::Add(const std::vector<ProbeTarget>& targets) {
    if (queueHead_ > 0 && queueHead_ == queue_.size()) {
        queue_.clear();
        queueHead_ = 0;
    }
    queue_.insert(queue_.end(), targets.begin(), targets.end());
}

void ProbePlan::Clear() {
    waitingArp_ = 0;
    requestsOut_ = 0;
    queue_.clear();
    queueHead_ = 0;
    running_.clear();
    done_.clear();
    doneRuns_.clear();
}

bool ProbePlan::RoomFor(const ProbeTarget& target, uint64_t now) {
    // A run that only waits for the neighbour table holds no socket: it
    // leaves its place under the address cap to the next address.
    if (limits_.addresses && running_.size() - waitingArp_ >= limits_.addresses) return false;
    const bool onLink = target.onLink && arpMethod_ < methods_.size();
    const size_t need = Bits(onLink ? onLinkMask_ : immediateMask_);
    // One address asking more than the whole cap still goes, alone.
    if (limits_.requests && requestsOut_ > 0 && requestsOut_ + need > limits_.requests) return false;
    if (onLink && limits_.neighbours) {
        ExpireHolds(now);
        if (holds_.size() >= limits_.neighbours) return false;
    }
    return true;
}

bool ProbePlan::NextStart(uint64_t now, uint64_t* run, ProbeTarget* target, uint32_t* methods) {
    if (queueHead_ >= queue_.size() || !RoomFor(queue_[queueHead_], now)) return false;
    const ProbeTarget next = queue_[queueHead_++];
    const bool onLink = next.onLink && arpMethod_ < methods_.size();
    Run r{nextRun_++, next, now, now + (onLink ? limits_.onLinkTimeoutMs : timeoutMs_),
          onLink ? onLinkMask_ : immediateMask_, false, onLink && limits_.neighbours > 0};
    if (queueHead_ == queue_.size()) {
        queue_.clear();
        queueHead_ = 0;
    }
    running_.push_back(r);
    requestsOut_ += Bits(r.pending);
    if (r.holdsNeighbour) holds_.push_back({r.run, now + limits_.neighbourHoldMs});
    *run = r.run;
    *target = r.target;
    if (methods) *methods = r.pending;
    // With nothing to run at once, the address goes straight to ARP or silent.
    if (r.pending == 0) AfterImmediate(running_.size() - 1, now);
    return true;
}

void ProbePlan::Release(Run& r, uint32_t bits) {
    const size_t n = Bits(r.pending & bits);
    requestsOut_ -= std::min(requestsOut_, n);
    r.pending &= ~bits;
}

void ProbePlan::ExpireHolds(uint64_t now) {
    holds_.erase(std::remove_if(holds_.begin(), holds_.end(), [now](const Hold& h) { return h.until <= now; }),
                 holds_.end());
}

uint64_t ProbePlan::NextRoom(uint64_t now) {
    if (queueHead_ >= queue_.size() || !limits_.neighbours) return UINT64_MAX;
    const ProbeTarget& next = queue_[queueHead_];
    if (!next.onLink || arpMethod_ >= methods_.size()) return UINT64_MAX;
    ExpireHolds(now);
    if (holds_.size() < limits_.neighbours) return UINT64_MAX;
    uint64_t earliest = UINT64_MAX;
    for (const Hold& h : holds_) earliest = std::min(earliest, h.until);
    return earliest;
}

size_t ProbePlan::NeighboursHeld(uint64_t now) {
    ExpireHolds(now);
    return holds_.size();
}

ProbePlan::Run* ProbePlan::Find(uint64_t run) {
    for (Run& r : running_)
        if (r.run == run) return &r;
    return nullptr;
}

bool ProbePlan::IsRunning(uint64_t run) const {
    return std::any_of(running_.begin(), running_.end(), [run](const Run& r) { return r.run == run; });
}

bool ProbePlan::TargetOf(uint64_t run, ProbeTarget* target) const {
    for (const Run& r : running_) {
        if (r.run != run) continue;
        *target = r.target;
        return true;
    }
    return false;
}

void ProbePlan::Decide(size_t index, ProbeVerdict verdict, ProbeKind by, uint64_t now) {
    Run& r = running_[index];
    if (r.waitingArp) --waitingArp_;
    Release(r, r.pending);
    // An answer resolved the entry; a silent address keeps it unresolved
    // until the system gives up.
    if (r.holdsNeighbour && verdict == ProbeVerdict::Answers) {
        const uint64_t id = r.run;
        holds_.erase(std::remove_if(holds_.begin(), holds_.end(), [id](const Hold& h) { return h.run == id; }),
                     holds_.end());
    }
    done_.push_back(ProbeDone{r.target, verdict, by, static_cast<uint32_t>(now >= r.started ? now - r.started : 0)});
    doneRuns_.push_back(r.run);
    running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(index));
}

void ProbePlan::AfterImmediate(size_t index, uint64_t now) {
    if (arpMethod_ < methods_.size()) {
        if (!running_[index].waitingArp) ++waitingArp_;
        running_[index].waitingArp = true;
        return;
    }
    Decide(index, ProbeVerdict::Silent, ProbeKind::None, now);
}

void ProbePlan::Finished(uint64_t run, size_t method, ProbeOutcome outcome, uint64_t now) {
    if (method >= methods_.size()) return;
    auto it = std::find_if(running_.begin(), running_.end(), [run](const Run& r) { return r.run == run; });
    if (it == running_.end()) return;
    const size_t index = static_cast<size_t>(it - running_.begin());
    Run& r = *it;
    if (method == arpMethod_) {
        if (!r.waitingArp) return;
        Decide(index, CountsAsAnswer(outcome) ? ProbeVerdict::Answers : ProbeVerdict::Silent,
               CountsAsAnswer(outcome) ? ProbeKind::Arp : ProbeKind::None, now);
        return;
    }
    const uint32_t bit = 1u << method;
    if (!(r.pending & bit)) return;
    Release(r, bit);
    if (CountsAsAnswer(outcome)) {
        Decide(index, ProbeVerdict::Answers, methods_[method].kind, now);
        return;
    }
    if (r.pending == 0) AfterImmediate(index, now);
}

void ProbePlan::Expire(uint64_t now) {
    for (size_t i = 0; i < running_.size();) {
        Run& r = running_[i];
        if (r.pending != 0 && now >= r.deadline) {
            Release(r, r.pending);
            const size_t before = running_.size();
            AfterImmediate(i, now);
            if (running_.size() < before) continue;
        }
        ++i;
    }
}

std::vector<uint64_t> ProbePlan::WaitingForArp() const {
    std::vector<uint64_t> runs;
    for (const Run& r : running_)
        if (r.waitingArp) runs.push_back(r.run);
    return runs;
}

std::vector<ProbeDone> ProbePlan::TakeDone(std::vector<uint64_t>* runs) {
    std::vector<ProbeDone> done;
    done.swap(done_);
    if (runs) runs->swap(doneRuns_);
    doneRuns_.clear();
    return done;
}

uint64_t ProbePlan::NextDeadline() const {
    uint64_t next = UINT64_MAX;
    for (const Run& r : running_)
        if (r.pending != 0) next = std::min(next, r.deadline);
    return next;
}
