// The probe engine against the peer namespace: 10.77.0.1 is the peer, other
// addresses of 10.77.0.0/24 belong to nobody but 10.77.0.5, a computer that
// drops echo and TCP but answers ARP; 10.88.1.5, behind the peer as router,
// drops them too. Runs only under tests/net/run.sh (its main refuses to run
// anywhere else), which logs every connect and echo request reaching the
// peer's link (connect_log.py).
#include <gtest/gtest.h>
#include <winsock2.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/TextFormat.h"
#include "net/ProbeEngineWin32.h"

namespace {

uint32_t TestNet(uint8_t last) { return IPv4Value(10, 77, 0, last); }

// What reached one address of the peer's link, from the log's line `from` on:
// the ports each connect went to (a SYN sent again keeps its source port)
// and the echo requests.
struct Arrivals {
    std::multiset<int> connects;
    int echoes = 0;
};

size_t ConnectLogLines() {
    std::ifstream in(std::getenv("NL_NET_CONNECT_LOG") ? std::getenv("NL_NET_CONNECT_LOG") : "");
    size_t n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
}

Arrivals ArrivalsAt(const std::string& address, size_t from) {
    Arrivals a;
    std::ifstream in(std::getenv("NL_NET_CONNECT_LOG") ? std::getenv("NL_NET_CONNECT_LOG") : "");
    std::set<std::string> sources;
    size_t n = 0;
    for (std::string line; std::getline(in, line); ++n) {
        if (n < from) continue;
        std::istringstream fields(line);
        std::string kind, to, port, source, sourcePort;
        if (!(fields >> kind >> to >> port >> source >> sourcePort) || to != address) continue;
        if (kind == "echo") ++a.echoes;
        if (kind == "tcp" && sources.insert(sourcePort).second) a.connects.insert(std::atoi(port.c_str()));
    }
    return a;
}

// The log trails the wire a little; waits until it holds at least this many.
Arrivals WaitArrivals(const std::string& address, size_t from, size_t connects, int echoes) {
    Arrivals a;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
        a = ArrivalsAt(address, from);
        if (a.connects.size() >= connects && a.echoes >= echoes) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    return a;
}

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

// A computer that drops echo and TCP is found by the neighbour table alone,
// where its ARP answer can reach it: on the link one connect stirs ARP,
// off it every method goes out and nothing tells.
TEST(ProbeNet, TheNeighbourTableAnswersForAComputerThatDropsEverything) {
    ASSERT_NE(nullptr, std::getenv("NL_NET_CONNECT_LOG")) << "run tests/net/run.sh";
    const std::multiset<int> everyPort = {22, 135, 445, 3389};
    const struct {
        const char* name;
        const char* address;
        bool onLink;
        ProbeVerdict verdict;
        ProbeKind by;
        std::multiset<int> connects;
        int echoes;
    } cases[] = {
        {"on the link", "10.77.0.5", true, ProbeVerdict::Answers, ProbeKind::Arp, {445}, 0},
        {"on the link, asked as if behind a router", "10.77.0.5", false, ProbeVerdict::Answers, ProbeKind::Arp,
         everyPort, 1},
        {"behind a router", "10.88.1.5", false, ProbeVerdict::Silent, ProbeKind::None, everyPort, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeEngineSettings settings;
        settings.methods = DefaultProbeMethods();
        settings.timeoutMs = 800;
        const size_t mark = ConnectLogLines();
        std::map<uint32_t, ProbeDone> got = ProbeAll(settings, {{inet_addr(c.address), 1, c.onLink}});
        ASSERT_EQ(1u, got.size());
        EXPECT_EQ(c.verdict, got[1].verdict);
        EXPECT_EQ(c.by, got[1].by);
        EXPECT_GE(got[1].elapsedMs, 790u) << "nothing answered before the time-out";
        const Arrivals a = WaitArrivals(c.address, mark, c.connects.size(), c.echoes);
        EXPECT_EQ(c.connects, a.connects) << "the connects that reached the computer, by port";
        EXPECT_EQ(c.echoes, a.echoes);
    }
}
