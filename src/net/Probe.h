#pragma once
// Whether a computer is on: which probes ask it, what counts as an answer,
// and in what order the probes of many addresses run. The platform part
// (ProbeEngineWin32) does the sending and follows this plan.
#include <cstddef>
#include <cstdint>
#include <vector>

enum class ProbeKind : uint8_t { None = 0, Echo = 1, Tcp = 2, Arp = 3 };

struct ProbeMethod {
    ProbeKind kind;
    uint16_t port;  // TCP only
};

// Every probe a computer is asked with. Desktop firewalls drop echo
// requests unless file sharing is on, so ports such computers keep open (or
// refuse, which proves just as well that they are on) come next. ARP goes
// last: it reads the neighbour table that the other probes made the system
// fill, and only for computers that gave no other answer.
const std::vector<ProbeMethod>& DefaultProbeMethods();

enum class ProbeOutcome : uint8_t { NoAnswer = 0, Answered = 1, Refused = 2 };

// A refused connection is the computer's own answer.
inline bool CountsAsAnswer(ProbeOutcome outcome) { return outcome != ProbeOutcome::NoAnswer; }
// The outcome of a non-blocking connect from the error it ended with (0 or a
// Windows Sockets error number).
ProbeOutcome TcpConnectOutcome(int error);

enum class ProbeVerdict : uint8_t { Unknown = 0, Answers = 1, Silent = 2 };

struct ProbeTarget {
    uint32_t address;  // IPv4, network order
    uint32_t tag;      // the caller's own key (an entry id, a row)
    // On a subnet of this computer's own: nothing reaches the address before
    // it answers ARP, so one connect to stir ARP and then the neighbour table
    // tell as surely as every probe, at a quarter of the sockets.
    bool onLink = false;
};

struct ProbeDone {
    ProbeTarget target;
    ProbeVerdict verdict;
    ProbeKind by;         // the first method that answered; None when silent
    uint32_t elapsedMs;   // from the start of its probes to the verdict
};

// The order and the state of the probes of a list of addresses. At most
// `cap` addresses have probes out at once (one waiting only for the
// neighbour table does not count); each runs its immediate methods (all but ARP)
// together, is decided at its first answer, or, when every one has failed
// or `timeoutMs` has passed, moves to ARP (when listed) and then to silent.
// Times are milliseconds on any steady clock.
class ProbePlan {
public:
    ProbePlan(std::vector<ProbeMethod> methods, size_t cap, uint32_t timeoutMs);

    const std::vector<ProbeMethod>& Methods() const { return methods_; }
    // Queued behind what waits already.
    void Add(const std::vector<ProbeTarget>& targets);
    // Forgets everything queued and running.
    void Clear();

    // The next address to start, below the cap. `run` names it in every later
    // call; a run number is never given twice. `methods` gets a bit per
    // method (index into Methods()) to start for it now: every immediate
    // one, or for an address on the link, when ARP is listed, only the first
    // TCP connect.
    bool NextStart(uint64_t now, uint64_t* run, ProbeTarget* target, uint32_t* methods = nullptr);
    // A method (index into Methods()) of a run ended. Late or repeated
    // reports, and reports for runs already decided, are ignored.
    void Finished(uint64_t run, size_t method, ProbeOutcome outcome, uint64_t now);
    // Every immediate method still pending past its run's deadline fails.
    void Expire(uint64_t now);
    // Runs whose immediate methods all failed and that wait for the ARP
    // method; the caller reads the neighbour table once for all of them.
    std::vector<uint64_t> WaitingForArp() const;
    size_t ArpMethod() const { return arpMethod_; }
    // Decided runs since the last call, in the order they were decided.
    std::vector<ProbeDone> TakeDone(std::vector<uint64_t>* runs = nullptr);

    // The earliest deadline of a running address; UINT64_MAX when none.
    uint64_t NextDeadline() const;
    size_t Running() const { return running_.size(); }
    size_t Waiting() const { return queue_.size() - queueHead_; }
    bool Idle() const { return Running() == 0 && Waiting() == 0; }
    bool IsRunning(uint64_t run) const;
    // The address of a running run; false when it is not running.
    bool TargetOf(uint64_t run, ProbeTarget* target) const;

private:
    struct Run {
        uint64_t run;
        ProbeTarget target;
        uint64_t started;
        uint64_t deadline;
        uint32_t pending;  // bit per immediate method still out
        bool waitingArp;
    };
    Run* Find(uint64_t run);
    void Decide(size_t index, ProbeVerdict verdict, ProbeKind by, uint64_t now);
    void AfterImmediate(size_t index, uint64_t now);

    std::vector<ProbeMethod> methods_;
    size_t cap_;
    uint32_t timeoutMs_;
    size_t arpMethod_;       // Methods().size() when ARP is not listed
    uint32_t immediateMask_;
    uint32_t onLinkMask_;    // what an address on the link starts with
    std::vector<ProbeTarget> queue_;
    size_t queueHead_ = 0;
    std::vector<Run> running_;
    std::vector<ProbeDone> done_;
    std::vector<uint64_t> doneRuns_;
    uint64_t nextRun_ = 1;
    size_t waitingArp_ = 0;  // running ones that wait only for ARP
};

// A report posted to a window: wParam holds the address and the tag, lParam
// the verdict, the method, the time and the batch it belongs to.
struct ProbeReport {
    ProbeDone done;
    uint32_t batch;
};
