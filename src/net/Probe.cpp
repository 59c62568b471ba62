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

ProbePlan::ProbePlan(std::vector<ProbeMethod> methods, size_t cap, uint32_t timeoutMs)
    : methods_(std::move(methods)), cap_(cap ? cap : 1), timeoutMs_(timeoutMs) {
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
    queue_.clear();
    queueHead_ = 0;
    running_.clear();
    done_.clear();
    doneRuns_.clear();
}

bool ProbePlan::NextStart(uint64_t now, uint64_t* run, ProbeTarget* target, uint32_t* methods) {
    // A run that only waits for the neighbour table holds no socket: it
    // leaves its place under the cap to the next address.
    if (running_.size() - waitingArp_ >= cap_ || queueHead_ >= queue_.size()) return false;
    const ProbeTarget next = queue_[queueHead_++];
    Run r{nextRun_++, next, now, now + timeoutMs_, next.onLink ? onLinkMask_ : immediateMask_, false};
    if (queueHead_ == queue_.size()) {
        queue_.clear();
        queueHead_ = 0;
    }
    running_.push_back(r);
    *run = r.run;
    *target = r.target;
    if (methods) *methods = r.pending;
    // With nothing to run at once, the address goes straight to ARP or silent.
    if (r.pending == 0) AfterImmediate(running_.size() - 1, now);
    return true;
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
    const Run& r = running_[index];
    if (r.waitingArp) --waitingArp_;
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
    r.pending &= ~bit;
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
            r.pending = 0;
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
