// The probe engine on loopback only: this tier runs in a namespace with
// loopback alone, where every address of 127/8 answers but those that
// tests/wine/run.sh silences (NL_WINE_SILENT_ADDRESSES: one whose replies
// are dropped, one behind a blackhole route).
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/TextFormat.h"
#include "net/ProbeEngineWin32.h"

namespace {

uint32_t Loopback(uint32_t n) { return IPv4Value(127, 0, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF)); }

// Collects reports from the engine's thread.
struct Reports {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<ProbeReport> all;

    void Add(const ProbeReport& r) {
        std::lock_guard<std::mutex> lock(mutex);
        all.push_back(r);
        changed.notify_all();
    }
    template <class Pred>
    bool WaitFor(Pred pred, int seconds = 30) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(seconds), [&] { return pred(all); });
    }
    std::vector<ProbeReport> Copy() {
        std::lock_guard<std::mutex> lock(mutex);
        return all;
    }
};

struct WinsockScope {
    WinsockScope() { WSADATA d; WSAStartup(MAKEWORD(2, 2), &d); }
    ~WinsockScope() { WSACleanup(); }
};

// A listening TCP socket on 127.0.0.1 and a port that nobody listens on.
struct LoopbackPorts {
    WinsockScope winsock;
    SOCKET listener = INVALID_SOCKET;
    uint16_t open = 0;
    uint16_t closed = 0;

    LoopbackPorts() {
        listener = Bound(&open);
        listen(listener, 64);
        SOCKET gone = Bound(&closed);
        closesocket(gone);
    }
    ~LoopbackPorts() { closesocket(listener); }
    static SOCKET Bound(uint16_t* port) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = Loopback(1);
        bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        int len = sizeof a;
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
        *port = ntohs(a.sin_port);
        return s;
    }
};

std::vector<uint32_t> SilentAddresses() {
    std::vector<uint32_t> addresses;
    const char* text = std::getenv("NL_WINE_SILENT_ADDRESSES");
    std::istringstream words(text ? text : "");
    for (std::string word; words >> word;) addresses.push_back(inet_addr(word.c_str()));
    return addresses;
}

size_t CountTag(const std::vector<ProbeReport>& all, uint32_t tag) {
    size_t n = 0;
    for (const ProbeReport& r : all) n += r.done.target.tag == tag;
    return n;
}

}  // namespace

TEST(ProbeEngine, EachMethodAloneFindsLoopbackAndNotTheSilent) {
    LoopbackPorts ports;
    const std::vector<uint32_t> silent = SilentAddresses();
    ASSERT_EQ(2u, silent.size()) << "NL_WINE_SILENT_ADDRESSES is not set; run tests/wine/run.sh";
    const struct {
        const char* name;
        std::vector<ProbeMethod> methods;
        ProbeKind by;
        bool silentToo;  // Wine 8 damages the heap when an echo request times out
    } cases[] = {
        {"echo", {{ProbeKind::Echo, 0}}, ProbeKind::Echo, false},
        {"accepted connect", {{ProbeKind::Tcp, ports.open}}, ProbeKind::Tcp, true},
        {"refused connect", {{ProbeKind::Tcp, ports.closed}}, ProbeKind::Tcp, true},
        {"every default method", DefaultProbeMethods(), ProbeKind::None, false},
        {"the methods used here", SafeProbeMethods(), ProbeKind::Tcp, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reports reports;
        ProbeEngineSettings settings;
        settings.methods = c.methods;
        CProbeEngine engine(settings);
        ASSERT_TRUE(engine.Start([&](const ProbeReport& r) { reports.Add(r); }));
        std::vector<ProbeTarget> targets = {{Loopback(1), 7}};
        if (c.silentToo)
            for (uint32_t address : silent) targets.push_back({address, static_cast<uint32_t>(100 + targets.size())});
        engine.Probe(targets);
        ASSERT_TRUE(reports.WaitFor([&](const std::vector<ProbeReport>& a) { return a.size() >= targets.size(); }));
        std::map<uint32_t, ProbeDone> byTag;
        for (const ProbeReport& r : reports.Copy()) byTag[r.done.target.tag] = r.done;
        ASSERT_EQ(targets.size(), byTag.size());
        EXPECT_EQ(ProbeVerdict::Answers, byTag[7].verdict);
        EXPECT_EQ(Loopback(1), byTag[7].target.address);
        if (c.by != ProbeKind::None) {
            EXPECT_EQ(c.by, byTag[7].by);
        }
        EXPECT_LT(byTag[7].elapsedMs, 1000u) << "an answer does not wait for the time-out";
        for (size_t i = 1; i < targets.size(); ++i) {
            const ProbeDone& d = byTag[targets[i].tag];
            SCOPED_TRACE(i);
            EXPECT_EQ(targets[i].address, d.target.address);
            EXPECT_EQ(ProbeVerdict::Silent, d.verdict);
            EXPECT_EQ(ProbeKind::None, d.by);
        }
        // The dropped address is given its whole time.
        if (c.silentToo) {
            EXPECT_GE(byTag[101].elapsedMs, 990u);
        }
    }
}

TEST(ProbeEngine, ManyAddressesUnderTheCapEachReportedOnce) {
    Reports reports;
    ProbeEngineSettings settings;
    settings.cap = 8;
    CProbeEngine engine(settings);
    ASSERT_TRUE(engine.Start([&](const ProbeReport& r) { reports.Add(r); }));
    std::vector<ProbeTarget> first, second;
    for (uint32_t i = 1; i <= 150; ++i) first.push_back({Loopback(i), i});
    for (uint32_t i = 151; i <= 300; ++i) second.push_back({Loopback(i), i});
    engine.Probe(first);
    engine.Probe(second);
    ASSERT_TRUE(reports.WaitFor([](const std::vector<ProbeReport>& a) { return a.size() >= 300; }, 120));
    std::vector<ProbeReport> all = reports.Copy();
    std::map<uint32_t, int> seen;
    for (const ProbeReport& r : all) {
        ++seen[r.done.target.tag];
        EXPECT_EQ(Loopback(r.done.target.tag), r.done.target.address);
        EXPECT_EQ(ProbeVerdict::Answers, r.done.verdict) << r.done.target.tag;
    }
    EXPECT_EQ(300u, seen.size());
    for (const auto& s : seen) EXPECT_EQ(1, s.second) << s.first;
}

TEST(ProbeEngine, NothingFromBeforeACancel) {
    Reports reports;
    ProbeEngineSettings settings;
    settings.cap = 2;
    CProbeEngine engine(settings);
    ASSERT_TRUE(engine.Start([&](const ProbeReport& r) {
        // A slow receiver keeps reports of the old batch coming during the cancel.
        Sleep(5);
        reports.Add(r);
    }));
    std::vector<ProbeTarget> many;
    for (uint32_t i = 1; i <= 2000; ++i) many.push_back({Loopback(i), i});
    const uint32_t before = engine.Probe(many);
    ASSERT_TRUE(reports.WaitFor([](const std::vector<ProbeReport>& a) { return a.size() >= 3; }));
    engine.Cancel();
    const size_t atCancel = reports.Copy().size();
    const uint32_t after = engine.Probe({{Loopback(1), 99999}});
    EXPECT_NE(before, after);
    EXPECT_EQ(after, engine.Batch());
    ASSERT_TRUE(reports.WaitFor([](const std::vector<ProbeReport>& a) { return CountTag(a, 99999) == 1; }));
    std::vector<ProbeReport> all = reports.Copy();
    EXPECT_LT(atCancel, 2000u);
    ASSERT_EQ(atCancel + 1, all.size()) << "a report of the cancelled batch came after the cancel";
    EXPECT_EQ(after, all.back().batch);
    for (size_t i = 0; i < atCancel; ++i) EXPECT_EQ(before, all[i].batch);
}

// Reports wait in the engine and the window is told once per pile: a long
// sweep cannot fill the window's queue, and a notice that finds the queue
// full is posted again, so no report is ever lost.
TEST(ProbeEngine, AWindowTakesEveryReportEvenWhenItsQueueWasFull) {
    const struct {
        const char* name;
        int failedPosts;
    } cases[] = {{"posts that work", 0}, {"a queue full three times", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window);
        const UINT message = WM_APP + 77;
        std::atomic<int> failures{c.failedPosts};
        std::atomic<int> refused{0};
        ProbeEngineSettings settings;
        settings.post = [&](HWND w, UINT m) {
            if (failures.fetch_sub(1) > 0) {
                ++refused;
                return false;
            }
            return PostMessageA(w, m, 0, 0) != FALSE;
        };
        CProbeEngine engine(settings);
        ASSERT_TRUE(engine.Start(window, message));
        std::vector<ProbeTarget> targets;
        for (uint32_t i = 1; i <= 200; ++i) targets.push_back({Loopback(i), i});
        const uint32_t batch = engine.Probe(targets);
        std::map<uint32_t, int> seen;
        size_t notices = 0;
        const DWORD end = GetTickCount() + 60000;
        while (seen.size() < targets.size() && GetTickCount() < end) {
            MSG msg;
            if (!PeekMessageA(&msg, window, message, message, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_POSTMESSAGE);
                continue;
            }
            ++notices;
            EXPECT_EQ(0u, msg.wParam);
            for (const ProbeReport& r : engine.TakeReports()) {
                ++seen[r.done.target.tag];
                EXPECT_EQ(Loopback(r.done.target.tag), r.done.target.address);
                EXPECT_EQ(ProbeVerdict::Answers, r.done.verdict);
                EXPECT_EQ(batch, r.batch);
            }
        }
        engine.Stop();
        DestroyWindow(window);
        EXPECT_EQ(targets.size(), seen.size()) << "a report was lost";
        for (const auto& s : seen) EXPECT_EQ(1, s.second) << s.first;
        EXPECT_EQ(c.failedPosts, refused.load()) << "the refused notice was not tried again";
        EXPECT_LE(notices, targets.size());
    }
}

// Every connect asks the system not to retransmit its SYN. Wine has no such
// call: the refusal is counted, and the connects answer all the same.
TEST(ProbeEngine, EachConnectAsksForNoSynRetransmissionsAndGoesOnWithout) {
    LoopbackPorts ports;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, s);
    const bool platformHasIt = AskNoSynRetransmissions(s, 1000);
    closesocket(s);

    Reports reports;
    ProbeEngineSettings settings;
    settings.methods = {{ProbeKind::Tcp, ports.open}, {ProbeKind::Tcp, ports.closed}};
    CProbeEngine engine(settings);
    ASSERT_TRUE(engine.Start([&](const ProbeReport& r) { reports.Add(r); }));
    engine.Probe({{Loopback(1), 1}, {Loopback(2), 2}});
    ASSERT_TRUE(reports.WaitFor([](const std::vector<ProbeReport>& a) { return a.size() >= 2; }));
    for (const ProbeReport& r : reports.Copy()) {
        EXPECT_EQ(ProbeVerdict::Answers, r.done.verdict) << r.done.target.tag;
        EXPECT_EQ(ProbeKind::Tcp, r.done.by);
    }
    engine.Stop();
    const InitialRtoCounts counts = engine.InitialRto();
    EXPECT_GE(counts.asked, 2u) << "a connect went out without asking";
    EXPECT_EQ(platformHasIt ? 0u : counts.asked, counts.refused);
    std::printf("SIO_TCP_INITIAL_RTO: %s here (%u connects asked)\n", platformHasIt ? "accepted" : "refused", counts.asked);
}

TEST(ProbeEngine, StopWithRequestsOutEndsEverything) {
    for (int round = 0; round < 3; ++round) {
        Reports reports;
        auto engine = std::make_unique<CProbeEngine>();
        ASSERT_TRUE(engine->Start([&](const ProbeReport& r) { reports.Add(r); }));
        std::vector<ProbeTarget> many;
        for (uint32_t i = 1; i <= 1000; ++i) many.push_back({Loopback(i), i});
        engine->Probe(many);
        if (round > 0) {
            ASSERT_TRUE(reports.WaitFor([](const std::vector<ProbeReport>& a) { return !a.empty(); }));
        }
        engine->Stop();
        EXPECT_FALSE(engine->IsStarted());
        const size_t atStop = reports.Copy().size();
        engine.reset();
        EXPECT_EQ(atStop, reports.Copy().size());
    }
}
