#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "net/Probe.h"

namespace {

const std::vector<ProbeMethod> kEchoTcp = {{ProbeKind::Echo, 0}, {ProbeKind::Tcp, 445}};
const std::vector<ProbeMethod> kEchoTcpArp = {{ProbeKind::Echo, 0}, {ProbeKind::Tcp, 445}, {ProbeKind::Arp, 0}};

std::vector<ProbeTarget> Targets(uint32_t count) {
    std::vector<ProbeTarget> t;
    for (uint32_t i = 0; i < count; ++i) t.push_back({0x0A000000u + i, 100 + i});
    return t;
}

struct Started {
    uint64_t run;
    ProbeTarget target;
};

std::vector<Started> StartAll(ProbePlan& plan, uint64_t now) {
    std::vector<Started> s;
    uint64_t run;
    ProbeTarget t;
    while (plan.NextStart(now, &run, &t)) s.push_back({run, t});
    return s;
}

}  // namespace

TEST(ProbeMethods, EveryImmediateProbeBeforeArp) {
    const std::vector<ProbeMethod>& m = DefaultProbeMethods();
    std::vector<uint16_t> ports;
    bool echo = false;
    for (size_t i = 0; i < m.size(); ++i) {
        if (m[i].kind == ProbeKind::Echo) echo = true;
        if (m[i].kind == ProbeKind::Tcp) ports.push_back(m[i].port);
        if (m[i].kind == ProbeKind::Arp) {
            EXPECT_EQ(m.size() - 1, i) << "ARP reads what the others made the system learn";
        }
    }
    EXPECT_TRUE(echo);
    EXPECT_EQ((std::vector<uint16_t>{445, 3389, 22, 135}), ports);
}

TEST(ProbeMethods, ConnectErrors) {
    const struct {
        int error;
        ProbeOutcome outcome;
    } cases[] = {
        {0, ProbeOutcome::Answered},          {10061, ProbeOutcome::Refused},
        {10060, ProbeOutcome::NoAnswer},      {10065, ProbeOutcome::NoAnswer},
        {10051, ProbeOutcome::NoAnswer},      {-1, ProbeOutcome::NoAnswer},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.outcome, TcpConnectOutcome(c.error)) << c.error;
        EXPECT_EQ(c.outcome != ProbeOutcome::NoAnswer, CountsAsAnswer(TcpConnectOutcome(c.error))) << c.error;
    }
}

TEST(ProbePlan, CapHoldsAndQueueKeepsItsOrder) {
    ProbePlan plan(kEchoTcp, 2, 1000);
    plan.Add(Targets(3));
    plan.Add(Targets(5));  // a second batch queues behind the first
    std::vector<Started> s = StartAll(plan, 0);
    ASSERT_EQ(2u, s.size());
    EXPECT_EQ(100u, s[0].target.tag);
    EXPECT_EQ(101u, s[1].target.tag);
    EXPECT_NE(s[0].run, s[1].run);
    EXPECT_EQ(6u, plan.Waiting());

    plan.Finished(s[1].run, 0, ProbeOutcome::Answered, 5);
    std::vector<Started> next = StartAll(plan, 5);
    ASSERT_EQ(1u, next.size());
    EXPECT_EQ(102u, next[0].target.tag);
    EXPECT_NE(s[0].run, next[0].run);
    EXPECT_NE(s[1].run, next[0].run) << "a run number names one address only";

    // Drain: every address ends up decided exactly once, in queue order.
    std::vector<uint32_t> tags;
    for (const ProbeDone& d : plan.TakeDone()) tags.push_back(d.target.tag);
    for (uint64_t now = 10; !plan.Idle(); now += 2000) {
        StartAll(plan, now);
        plan.Expire(now + 1000);
        for (const ProbeDone& d : plan.TakeDone()) tags.push_back(d.target.tag);
    }
    EXPECT_EQ((std::vector<uint32_t>{101, 100, 102, 100, 101, 102, 103, 104}), tags);
}

TEST(ProbePlan, VerdictsByWhatTheProbesSaid) {
    struct Step {
        size_t method;
        ProbeOutcome outcome;
    };
    const struct {
        const char* name;
        std::vector<ProbeMethod> methods;
        std::vector<Step> steps;
        ProbeVerdict verdict;  // Unknown: still running after the steps
        ProbeKind by;
    } cases[] = {
        {"echo answers", kEchoTcp, {{0, ProbeOutcome::Answered}}, ProbeVerdict::Answers, ProbeKind::Echo},
        {"echo dropped, port refused", kEchoTcp, {{0, ProbeOutcome::NoAnswer}, {1, ProbeOutcome::Refused}},
         ProbeVerdict::Answers, ProbeKind::Tcp},
        {"port accepted first", kEchoTcp, {{1, ProbeOutcome::Answered}}, ProbeVerdict::Answers, ProbeKind::Tcp},
        {"one failure leaves the rest running", kEchoTcp, {{1, ProbeOutcome::NoAnswer}}, ProbeVerdict::Unknown,
         ProbeKind::None},
        {"a repeated failure counts once", kEchoTcp, {{1, ProbeOutcome::NoAnswer}, {1, ProbeOutcome::NoAnswer}},
         ProbeVerdict::Unknown, ProbeKind::None},
        {"all fail, no ARP", kEchoTcp, {{0, ProbeOutcome::NoAnswer}, {1, ProbeOutcome::NoAnswer}},
         ProbeVerdict::Silent, ProbeKind::None},
        {"all fail, ARP pending", kEchoTcpArp, {{0, ProbeOutcome::NoAnswer}, {1, ProbeOutcome::NoAnswer}},
         ProbeVerdict::Unknown, ProbeKind::None},
        {"ARP before the others failed is ignored", kEchoTcpArp, {{2, ProbeOutcome::Answered}},
         ProbeVerdict::Unknown, ProbeKind::None},
        {"all fail, ARP answers", kEchoTcpArp,
         {{0, ProbeOutcome::NoAnswer}, {1, ProbeOutcome::NoAnswer}, {2, ProbeOutcome::Answered}},
         ProbeVerdict::Answers, ProbeKind::Arp},
        {"all fail, ARP silent", kEchoTcpArp,
         {{0, ProbeOutcome::NoAnswer}, {1, ProbeOutcome::NoAnswer}, {2, ProbeOutcome::NoAnswer}},
         ProbeVerdict::Silent, ProbeKind::None},
        {"method beyond the list ignored", kEchoTcp, {{7, ProbeOutcome::Answered}}, ProbeVerdict::Unknown,
         ProbeKind::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProbePlan plan(c.methods, 4, 1000);
        plan.Add(Targets(1));
        std::vector<Started> s = StartAll(plan, 100);
        ASSERT_EQ(1u, s.size());
        uint64_t now = 100;
        for (const Step& step : c.steps) plan.Finished(s[0].run, step.method, step.outcome, now += 10);
        std::vector<uint64_t> runs;
        std::vector<ProbeDone> done = plan.TakeDone(&runs);
        if (c.verdict == ProbeVerdict::Unknown) {
            EXPECT_TRUE(done.empty());
            EXPECT_TRUE(plan.IsRunning(s[0].run));
            continue;
        }
        ASSERT_EQ(1u, done.size());
        EXPECT_EQ(c.verdict, done[0].verdict);
        EXPECT_EQ(c.by, done[0].by);
        EXPECT_EQ(10u * c.steps.size(), done[0].elapsedMs);
        EXPECT_EQ(std::vector<uint64_t>{s[0].run}, runs);
        EXPECT_FALSE(plan.IsRunning(s[0].run));
        // Whatever arrives late changes nothing.
        plan.Finished(s[0].run, 0, ProbeOutcome::Answered, now + 1);
        EXPECT_TRUE(plan.TakeDone().empty());
    }
}

TEST(ProbePlan, DeadlineEndsWhatIsStillOut) {
    for (bool arp : {false, true}) {
        SCOPED_TRACE(arp ? "with ARP" : "without ARP");
        ProbePlan plan(arp ? kEchoTcpArp : kEchoTcp, 8, 1000);
        plan.Add(Targets(2));
        std::vector<Started> first = StartAll(plan, 0);
        plan.Add(Targets(1));
        std::vector<Started> later = StartAll(plan, 400);
        ASSERT_EQ(2u, first.size());
        ASSERT_EQ(1u, later.size());
        EXPECT_EQ(1000u, plan.NextDeadline());

        plan.Expire(999);
        EXPECT_EQ(3u, plan.Running());
        EXPECT_TRUE(plan.TakeDone().empty());

        plan.Expire(1000);
        if (arp) {
            EXPECT_EQ((std::vector<uint64_t>{first[0].run, first[1].run}), plan.WaitingForArp());
            EXPECT_EQ(1400u, plan.NextDeadline()) << "an address waiting for ARP has no deadline of its own";
            plan.Finished(first[0].run, plan.ArpMethod(), ProbeOutcome::NoAnswer, 1000);
            plan.Finished(first[1].run, plan.ArpMethod(), ProbeOutcome::Answered, 1000);
        }
        std::vector<ProbeDone> done = plan.TakeDone();
        ASSERT_EQ(2u, done.size());
        EXPECT_EQ(ProbeVerdict::Silent, done[0].verdict);
        EXPECT_EQ(1000u, done[0].elapsedMs);
        EXPECT_EQ(arp ? ProbeVerdict::Answers : ProbeVerdict::Silent, done[1].verdict);
        EXPECT_TRUE(plan.IsRunning(later[0].run));
        EXPECT_EQ(1400u, plan.NextDeadline());
    }
}

TEST(ProbePlan, ClearForgetsQueuedAndRunning) {
    ProbePlan plan(kEchoTcp, 2, 1000);
    plan.Add(Targets(5));
    std::vector<Started> s = StartAll(plan, 0);
    plan.Finished(s[0].run, 0, ProbeOutcome::Answered, 1);
    plan.Clear();
    EXPECT_TRUE(plan.Idle());
    EXPECT_TRUE(plan.TakeDone().empty()) << "a verdict not yet taken goes with the rest";
    plan.Finished(s[1].run, 0, ProbeOutcome::Answered, 2);
    EXPECT_TRUE(plan.TakeDone().empty());
    EXPECT_EQ(UINT64_MAX, plan.NextDeadline());

    plan.Add(Targets(1));
    std::vector<Started> again = StartAll(plan, 3);
    ASSERT_EQ(1u, again.size());
    EXPECT_GT(again[0].run, s[1].run);
}

TEST(ProbePlan, EmptyMethodListDecidesAtOnce) {
    ProbePlan none({}, 1, 1000);
    none.Add(Targets(2));
    EXPECT_EQ(2u, StartAll(none, 0).size()) << "a decided address does not hold its place under the cap";
    std::vector<ProbeDone> done = none.TakeDone();
    ASSERT_EQ(2u, done.size());
    EXPECT_EQ(ProbeVerdict::Silent, done[1].verdict);
}

// An address on one of this computer's subnets starts only the first
// connect, and its one failure hands it to ARP; without ARP in the list, or
// off the link, every immediate method runs.
TEST(ProbePlan, OnTheLinkOneConnectThenTheNeighbourTable) {
    const std::vector<ProbeMethod> kTcpTcpArp = {{ProbeKind::Echo, 0}, {ProbeKind::Tcp, 445},
                                                 {ProbeKind::Tcp, 3389}, {ProbeKind::Arp, 0}};
    const struct {
        const char* name;
        std::vector<ProbeMethod> methods;
        bool onLink;
        uint32_t started;  // a bit per method
        bool arpAfterFirstConnect;
    } cases[] = {
        {"on the link", kTcpTcpArp, true, 0x2, true},
        {"off the link", kTcpTcpArp, false, 0x7, false},
        {"on the link, no ARP listed", kEchoTcp, true, 0x3, false},
        {"on the link, no connect listed", {{ProbeKind::Echo, 0}, {ProbeKind::Arp, 0}}, true, 0x1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProbePlan plan(c.methods, 4, 1000);
        plan.Add({{0x0A000001u, 1, c.onLink}});
        uint64_t run = 0;
        ProbeTarget target;
        uint32_t methods = 0;
        ASSERT_TRUE(plan.NextStart(0, &run, &target, &methods));
        EXPECT_EQ(c.started, methods);
        const size_t first = c.started == 0x1 ? 0 : 1;
        plan.Finished(run, first, ProbeOutcome::NoAnswer, 10);
        EXPECT_EQ(c.arpAfterFirstConnect, plan.WaitingForArp() == std::vector<uint64_t>{run});
        if (!c.arpAfterFirstConnect) continue;
        plan.Finished(run, plan.ArpMethod(), ProbeOutcome::Answered, 20);
        const std::vector<ProbeDone> done = plan.TakeDone();
        ASSERT_EQ(1u, done.size());
        EXPECT_EQ(ProbeVerdict::Answers, done[0].verdict);
        EXPECT_EQ(ProbeKind::Arp, done[0].by);
    }
}

// A run that only waits for the neighbour table holds no socket, so the next
// address starts; the table's answer still decides the waiting one.
TEST(ProbePlan, WaitingForTheNeighbourTableLeavesItsPlaceUnderTheCap) {
    ProbePlan plan(kEchoTcpArp, 1, 1000);
    plan.Add(Targets(3));
    std::vector<Started> first = StartAll(plan, 0);
    ASSERT_EQ(1u, first.size());
    plan.Finished(first[0].run, 0, ProbeOutcome::NoAnswer, 10);
    EXPECT_TRUE(StartAll(plan, 10).empty()) << "one probe still out";
    plan.Finished(first[0].run, 1, ProbeOutcome::NoAnswer, 20);
    std::vector<Started> second = StartAll(plan, 20);
    ASSERT_EQ(1u, second.size());
    EXPECT_EQ(101u, second[0].target.tag);
    EXPECT_EQ(2u, plan.Running());
    plan.Finished(first[0].run, plan.ArpMethod(), ProbeOutcome::NoAnswer, 30);
    plan.Expire(2000);
    EXPECT_EQ((std::vector<uint64_t>{second[0].run}), plan.WaitingForArp());
    EXPECT_EQ(1u, StartAll(plan, 2000).size()) << "the third starts while the second waits";
    std::vector<ProbeDone> done = plan.TakeDone();
    ASSERT_EQ(1u, done.size());
    EXPECT_EQ(ProbeVerdict::Silent, done[0].verdict);
    EXPECT_EQ(100u, done[0].target.tag);
}

// The limits count what runs short: sockets and echo requests out, and
// neighbour entries still unresolved, which the system keeps for a while
// after the probe itself has ended.
TEST(ProbePlan, LimitsCountRequestsAndUnresolvedNeighbours) {
    const std::vector<ProbeMethod> kTcpTcpArp = {{ProbeKind::Tcp, 445}, {ProbeKind::Tcp, 3389}, {ProbeKind::Arp, 0}};
    struct Step {
        uint64_t now;
        enum { Start, Answer, Fail, FailSecond, Expire, Cancel } what;
        size_t index;        // of the started runs, for Answer and Fail
        size_t expectStart;  // addresses that start at `now` after the step
    };
    const struct {
        const char* name;
        ProbeLimits limits;
        bool onLink;
        std::vector<Step> steps;
    } cases[] = {
        {"requests: two connects each, five fit two addresses", {0, 5, 0, 0, 0}, false,
         {{0, Step::Start, 0, 2}, {10, Step::Fail, 0, 1}, {20, Step::Fail, 1, 0}, {30, Step::FailSecond, 1, 1},
          {40, Step::FailSecond, 0, 0}}},
        {"requests: on the link one connect each", {0, 5, 0, 0, 0}, true, {{0, Step::Start, 0, 5}}},
        {"requests: one address asking more than the cap still goes alone", {0, 1, 0, 0, 0}, false,
         {{0, Step::Start, 0, 1}, {10, Step::Fail, 0, 0}, {20, Step::FailSecond, 0, 1}}},
        {"neighbours: a wave, then the next once the system lets the entries go", {0, 0, 3, 3000, 600}, true,
         {{0, Step::Start, 0, 3}, {600, Step::Expire, 0, 0}, {2999, Step::Start, 0, 0}, {3000, Step::Start, 0, 3}}},
        {"neighbours: an answer resolves its entry at once", {0, 0, 3, 3000, 600}, true,
         {{0, Step::Start, 0, 3}, {5, Step::Answer, 1, 1}, {6, Step::Answer, 0, 1}}},
        {"neighbours: a failed connect keeps its entry unresolved", {0, 0, 2, 3000, 600}, true,
         {{0, Step::Start, 0, 2}, {10, Step::Fail, 0, 0}, {3000, Step::Start, 0, 2}}},
        {"neighbours: what a cancel leaves out still counts", {0, 0, 2, 3000, 600}, true,
         {{0, Step::Start, 0, 2}, {10, Step::Cancel, 0, 0}, {20, Step::Start, 0, 0}, {3000, Step::Start, 0, 2}}},
        {"neighbours: off the link takes no entry", {0, 0, 2, 3000, 600}, false, {{0, Step::Start, 0, 8}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProbePlan plan(kTcpTcpArp, c.limits, 1000);
        std::vector<ProbeTarget> targets = Targets(8);
        for (ProbeTarget& t : targets) t.onLink = c.onLink;
        plan.Add(targets);
        std::vector<Started> started;
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.now);
            const size_t first = c.onLink ? 0 : 1;  // on the link the one connect is method 0
            switch (step.what) {
            case Step::Start: break;
            case Step::Answer: plan.Finished(started.at(step.index).run, first, ProbeOutcome::Refused, step.now); break;
            case Step::Fail: plan.Finished(started.at(step.index).run, 0, ProbeOutcome::NoAnswer, step.now); break;
            case Step::FailSecond:
                plan.Finished(started.at(step.index).run, 1, ProbeOutcome::NoAnswer, step.now);
                break;
            case Step::Expire: plan.Expire(step.now); break;
            case Step::Cancel:
                plan.Clear();
                plan.Add(targets);
                break;
            }
            std::vector<Started> s = StartAll(plan, step.now);
            EXPECT_EQ(step.expectStart, s.size());
            started.insert(started.end(), s.begin(), s.end());
        }
    }
}

// An address on the link waits for its connect and ARP as long as the limits
// say, and the engine learns when a held-back address may start.
TEST(ProbePlan, OnTheLinkDeadlineAndWhenRoomComes) {
    const std::vector<ProbeMethod> kTcpArp = {{ProbeKind::Tcp, 445}, {ProbeKind::Arp, 0}};
    ProbePlan plan(kTcpArp, ProbeLimits{0, 0, 1, 3000, 600}, 1000);
    plan.Add({{0x0A000001u, 1, true}, {0x0A000002u, 2, true}, {0x0A000003u, 3, false}});
    EXPECT_EQ(UINT64_MAX, plan.NextRoom(0)) << "nothing held yet";
    std::vector<Started> s = StartAll(plan, 0);
    ASSERT_EQ(1u, s.size());
    EXPECT_EQ(600u, plan.NextDeadline());
    EXPECT_EQ(3000u, plan.NextRoom(0));
    EXPECT_EQ(1u, plan.NeighboursHeld(0));
    EXPECT_EQ(1u, plan.RequestsOut());
    plan.Expire(600);
    EXPECT_EQ(0u, plan.RequestsOut()) << "the connect given up on is no longer out";
    EXPECT_EQ((std::vector<uint64_t>{s[0].run}), plan.WaitingForArp());
    EXPECT_TRUE(StartAll(plan, 600).empty()) << "its entry still waits for ARP";
    EXPECT_EQ(0u, plan.NeighboursHeld(3000));
    EXPECT_EQ(2u, StartAll(plan, 3000).size()) << "the next on the link, then the one behind a router";
    EXPECT_EQ(UINT64_MAX, plan.NextRoom(3000)) << "nothing left waiting";
}
