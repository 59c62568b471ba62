// The probe engine against the peer namespace: 10.77.0.1 is the peer, other
// addresses of 10.77.0.0/24 belong to nobody. Runs only under tests/net/run.sh
// (its main refuses to run anywhere else).
#include <gtest/gtest.h>
#include <winsock2.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

#include "common/TextFormat.h"
#include "wake/ProbeEngineWin32.h"

namespace {

uint32_t TestNet(uint8_t last) { return IPv4Value(10, 77, 0, last); }

struct Collected {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<uint32_t, ProbeDone> byTag;
};

std::map<uint32_t, ProbeDone> ProbeAll(const ProbeEngineSettings& settings, const std::vector<ProbeTarget>& targets,
                                       DWORD* elapsedMs = nullptr) {
    Collected c;
    CProbeEngine engine(settings);
    EXPECT_TRUE(engine.Start([&](const ProbeReport& r) {
        std::lock_guard<std::mutex> lock(c.mutex);
        c.byTag[r.done.target.tag] = r.done;
        c.changed.notify_all();
    }));
    const DWORD start = GetTickCount();
    engine.Probe(targets);
    std::unique_lock<std::mutex> lock(c.mutex);
    c.changed.wait_for(lock, std::chrono::seconds(60), [&] { return c.byTag.size() >= targets.size(); });
    if (elapsedMs) *elapsedMs = GetTickCount() - start;
    return c.byTag;
}

}  // namespace

TEST(ProbeNet, EachMethodOnThePeerAndNobody) {
    const struct {
        const char* name;
        std::vector<ProbeMethod> methods;
        ProbeVerdict peer;
        bool onLink;
    } cases[] = {
        {"echo", {{ProbeKind::Echo, 0}}, ProbeVerdict::Answers, false},
        {"refused connect", {{ProbeKind::Tcp, 445}}, ProbeVerdict::Answers, false},
        {"every method", DefaultProbeMethods(), ProbeVerdict::Answers, false},
        {"on the link: one connect, then the neighbour table", DefaultProbeMethods(), ProbeVerdict::Answers, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeEngineSettings settings;
        settings.methods = c.methods;
        settings.timeoutMs = 800;
        // The peer twice in one batch: each copy gets its own answer.
        std::map<uint32_t, ProbeDone> got =
            ProbeAll(settings, {{TestNet(1), 1, c.onLink},
                                {TestNet(99), 2, c.onLink},
                                {TestNet(1), 3, c.onLink},
                                {TestNet(98), 4, c.onLink}});
        ASSERT_EQ(4u, got.size());
        EXPECT_EQ(c.peer, got[1].verdict);
        EXPECT_EQ(c.peer, got[3].verdict);
        EXPECT_EQ(ProbeVerdict::Silent, got[2].verdict);
        EXPECT_EQ(ProbeVerdict::Silent, got[4].verdict);
        // On the link a failed ARP ends the one connect early, and then nothing
        // else could have reached the address either.
        if (!c.onLink) {
            EXPECT_GE(got[2].elapsedMs, 790u) << "a silent address is given its whole time";
        }
    }
}

TEST(ProbeNet, SilentAddressesRunUnderTheCap) {
    ProbeEngineSettings settings;
    settings.cap = 10;
    settings.timeoutMs = 500;
    std::vector<ProbeTarget> targets;
    for (uint8_t i = 0; i < 40; ++i) targets.push_back({TestNet(static_cast<uint8_t>(100 + i)), i});
    targets.push_back({TestNet(1), 1000});
    DWORD elapsed = 0;
    std::map<uint32_t, ProbeDone> got = ProbeAll(settings, targets, &elapsed);
    ASSERT_EQ(41u, got.size());
    for (uint8_t i = 0; i < 40; ++i) EXPECT_EQ(ProbeVerdict::Silent, got[i].verdict) << int(i);
    EXPECT_EQ(ProbeVerdict::Answers, got[1000].verdict);
    // Four rounds of ten silent addresses at half a second each, at the least.
    EXPECT_GE(elapsed, 2000u);
}
