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

// What may be out at once. A limit of 0 is no limit.
struct ProbeLimits {
    // Addresses with a probe out (one waiting only for the neighbour table
    // does not count).
    size_t addresses = 0;
    // Sockets and echo requests out: what the system really runs short of.
    size_t requests = 0;
    // Addresses on the link whose neighbour entry may still be unresolved.
    // The system keeps one for each until it answers ARP or gives up
    // (`neighbourHoldMs` after the first packet), also after the probe has
    // ended or been called off, and a packet past the table's limit is
    // dropped without an ARP request: the computer would read as silent.
    size_t neighbours = 0;
    uint32_t neighbourHoldMs = 0;
    // How long an address on the link waits for its connect and ARP; 0 is
    // the plan's `timeoutMs`.
    uint32_t onLinkTimeoutMs = 0;
};

// The order and the state of the probes of a list of addresses, within
// ProbeLimits; each runs its immediate methods (all but ARP) together, is
// decided at its first answer, or, when every one has failed or its time has
// passed, moves to ARP (when listed) and then to silent. Times are
// milliseconds on any steady clock.
class ProbePlan {
public:
    // At most `cap` addresses out at once.
    ProbePlan(std::vector<ProbeMethod> methods, size_t cap, uint32_t timeoutMs);
    ProbePlan(std::vector<ProbeMethod> methods, const ProbeLimits& limits, uint32_t timeoutMs);

    const std::vector<ProbeMethod>& Methods() const { return methods_; }
    // Queued behind what waits already.
    void Add(const std::vector<ProbeTarget>& targets);
    // Forgets everything queued and running; the neighbour entries those
    // left unresolved still count until the system lets them go.
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
    // When an address held back only by unresolved neighbour entries may
    // start; UINT64_MAX when none is held back that way.
    uint64_t NextRoom(uint64_t now);
    // Sockets and echo requests out, and neighbour entries held, now.
    size_t RequestsOut() const { return requestsOut_; }
    size_t NeighboursHeld(uint64_t now);
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
        bool holdsNeighbour;
    };
    struct Hold {
        uint64_t run;
        uint64_t until;
    };
    Run* Find(uint64_t run);
    bool RoomFor(const ProbeTarget& target, uint64_t now);
    void Release(Run& r, uint32_t bits);
    void ExpireHolds(uint64_t now);
    void Decide(size_t index, ProbeVerdict verdict, ProbeKind by, uint64_t now);
    void AfterImmediate(size_t index, uint64_t now);

    std::vector<ProbeMethod> methods_;
    ProbeLimits limits_;
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
    size_t requestsOut_ = 0;
    std::vector<Hold> holds_;  // in the order they were taken
};

// A report posted to a window: wParam holds the address and the tag, lParam
// the verdict, the method, the time and the batch it belongs to.
struct ProbeReport {
    ProbeDone done;
    uint32_t batch;
};
