// A worker thread that meets a failure it did not expect (memory ran out)
// ends its operation and says so; the program goes on. The failure is made
// through the fault hook; every address is on loopback (this tier's
// namespace has nothing else).
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "FaultInjection.h"
#include "common/TextFormat.h"
#include "net/ProbeEngineWin32.h"
#include "scan/NetScanWin32.h"

namespace {

constexpr UINT kNotice = WM_APP + 77;

uint32_t Loopback(uint32_t n) { return IPv4Value(127, 0, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF)); }

std::vector<ProbeTarget> LoopbackTargets(uint32_t count) {
    std::vector<ProbeTarget> targets;
    for (uint32_t i = 1; i <= count; ++i) targets.push_back({Loopback(i), i});
    return targets;
}

// A message-only window that counts the notices it was posted.
class NoticeWindow {
public:
    NoticeWindow() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "NlWorkerFailureSink";
        RegisterClassA(&wc);
        window_ = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }
    ~NoticeWindow() { DestroyWindow(window_); }
    HWND Get() const { return window_; }
    // Pumps this thread's queue until `done` holds after a notice, or the
    // time is up.
    bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 20000) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < limitMs) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == kNotice && done()) return true;
                DispatchMessageA(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        return false;
    }

private:
    HWND window_ = nullptr;
};

}  // namespace

TEST(WorkerFailure, ProbeEngineThreadEndsItsRequestsAndTellsItsOwner) {
    enum class Owner { Callback, Window };
    for (Owner owner : {Owner::Callback, Owner::Window}) {
        SCOPED_TRACE(owner == Owner::Callback ? "callback" : "window");
        // The third turn fails: by then hundreds of connects are out.
        InjectedFault fault(FaultSite::ProbeEngine, 3);
        NoticeWindow sink;
        std::mutex mutex;
        std::condition_variable changed;
        int failures = 0;
        size_t reportsAfterFailure = 0;
        CProbeEngine engine;
        if (owner == Owner::Callback) {
            ASSERT_TRUE(engine.Start(
                [&](const ProbeReport&) {
                    std::lock_guard<std::mutex> lock(mutex);
                    reportsAfterFailure += failures;
                },
                [&] {
                    std::lock_guard<std::mutex> lock(mutex);
                    ++failures;
                    changed.notify_all();
                }));
        } else {
            ASSERT_TRUE(engine.Start(sink.Get(), kNotice));
        }
        engine.Probe(LoopbackTargets(1000));
        if (owner == Owner::Callback) {
            std::unique_lock<std::mutex> lock(mutex);
            ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return failures > 0; }));
        } else {
            ASSERT_TRUE(sink.PumpUntil([&] {
                engine.TakeReports();
                return engine.Failed();
            }));
        }
        EXPECT_TRUE(engine.Failed());
        // Asking more is harmless, and the owner can still stop it.
        engine.Probe(LoopbackTargets(10));
        engine.Stop();
        EXPECT_FALSE(engine.IsStarted());
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(failures, owner == Owner::Callback ? 1 : 0);
        EXPECT_EQ(reportsAfterFailure, 0u);
    }
}

TEST(WorkerFailure, ScanEndsWhenALookUpOrItsEngineFails) {
    struct Case {
        const char* name;
        FaultSite site;
        int nth;
    };
    const Case cases[] = {
        {"hardware address look-up", FaultSite::ScanLookUp, 1},
        {"probe engine", FaultSite::ProbeEngine, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InjectedFault fault(c.site, c.nth);
        NoticeWindow sink;
        {
            CNetScan scan(sink.Get(), kNotice);
            ASSERT_TRUE(scan.Open());
            std::vector<uint32_t> targets;
            for (uint32_t i = 1; i <= 64; ++i) targets.push_back(Loopback(i));
            scan.Start(targets, {});
            ScanProgress progress = {};
            ASSERT_TRUE(sink.PumpUntil([&] {
                std::vector<ScanFound> found;
                std::vector<ScanName> names;
                progress = scan.Take(&found, &names);
                return progress.failed;
            }));
            EXPECT_FALSE(progress.running);
            // A new start stays ended: the threads that failed are gone.
            scan.Start(targets, {});
            std::vector<ScanFound> found;
            std::vector<ScanName> names;
            progress = scan.Take(&found, &names);
            EXPECT_TRUE(progress.failed);
            EXPECT_FALSE(progress.running);
        }
    }
}
