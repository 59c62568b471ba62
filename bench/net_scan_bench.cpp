// The network scan of the real Nodelark.exe: from the command until the box
// says it has finished, for the whole /20 the box opens with (4,094
// addresses) and for the /24 that holds the four live computers; meanwhile
// a second thread asks the box to answer a message every 50 ms and keeps the
// longest wait. Runs only inside the switched namespaces that
// bench/net_scan_run.sh makes (NL_BENCH_SCAN_TOPOLOGY is its mark).
#include <windows.h>
#include "BenchClock.h"
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "AppDriver.h"
#include "BenchGuard.h"
#include "BenchLaunch.h"
#include "BenchVerdict.h"

namespace {

constexpr int kCmdNetScan = 40041;
constexpr int kScanFrom = 1312, kScanTo = 1313, kScanStart = 1314, kScanList = 1316, kScanProgress = 1317,
              kScanStatus = 1318;
constexpr int kRuns24 = 5;
constexpr double kTimeout = 60;
// The live computers bench/net_scan_run.sh puts on the switch
// (172.20.0.11 to .14): every scan must find each of them.
constexpr int kLive = 4;

bool Finished(HWND dialog, int addresses) {
    HWND bar = GetDlgItem(dialog, kScanProgress);
    return e2e::WindowText(GetDlgItem(dialog, kScanStatus)).rfind("検索を完了しました", 0) == 0 &&
           SendMessageA(bar, PBM_GETRANGE, FALSE, 0) == addresses && SendMessageA(bar, PBM_GETPOS, 0, 0) == addresses;
}

bool WaitFinished(HWND dialog, int addresses, double start) {
    while (!Finished(dialog, addresses)) {
        if (BenchSeconds() - start > kTimeout) return false;
        Sleep(5);
    }
    return true;
}

// The longest a message to the box waited for an answer.
class Responsiveness {
public:
    void Start(HWND window) {
        window_ = window;
        thread_ = std::thread([this] {
            while (!stop_) {
                const double t = BenchSeconds();
                DWORD_PTR result = 0;
                if (!SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) && IsWindow(window_))
                    unanswered_ = true;
                const double waited = BenchSeconds() - t;
                if (waited > worst_) worst_ = waited;
                Sleep(50);
            }
        });
    }
    double Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return worst_;
    }
    bool Unanswered() const { return unanswered_; }

private:
    HWND window_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<double> worst_{0};
    std::atomic<bool> unanswered_{false};
};

}  // namespace

int main() {
    if (!ScanBenchMayRun("net_scan_bench")) return 2;
    if (!std::getenv("NL_BENCH_SCAN_TOPOLOGY")) {
        std::printf("net_scan_bench: runs only inside bench/net_scan_run.sh's namespaces\n");
        return 1;
    }
    e2e::ResetDataFolder();
    PROCESS_INFORMATION info = {};
    if (!LaunchNodelark(info)) {
        std::printf("cannot start Nodelark.exe\n");
        return 1;
    }
    HWND main = nullptr;
    const double launched = BenchSeconds();
    while (!(main = e2e::FindMainWindow(info.dwProcessId)) && BenchSeconds() - launched < 30) Sleep(20);
    if (!main) {
        std::printf("no main window\n");
        TerminateProcess(info.hProcess, 1);
        return 1;
    }
    WaitForInputIdle(info.hProcess, 10000);

    int failed = 0;
    const double start20 = BenchSeconds();
    PostMessageA(main, WM_COMMAND, kCmdNetScan, 0);
    HWND dialog = e2e::WaitDialog(info.dwProcessId, "ﾈｯﾄﾜｰｸから検索", 10000);
    if (!dialog) {
        std::printf("the scan box did not open\n");
        TerminateProcess(info.hProcess, 1);
        return 1;
    }
    Responsiveness watch;
    watch.Start(dialog);
    if (!WaitFinished(dialog, 4093, start20)) {
        std::printf("the /20 scan did not finish: %s\n", e2e::WindowText(GetDlgItem(dialog, kScanStatus)).c_str());
        failed = 1;
    }
    const double seconds20 = BenchSeconds() - start20;
    const int found20 = e2e::listview::Count(GetDlgItem(dialog, kScanList));
    std::printf("/20 (4,093 addresses but the own): %.2f s  target <= 60 s: %s; %d computers found (%d live): %s\n",
                seconds20, Verdict(!failed && seconds20 <= 60), found20, kLive, Verdict(found20 == kLive));

    std::vector<double> times24;
    int found24 = 0;
    for (int run = 0; run < kRuns24 && !failed; ++run) {
        SendMessageA(GetDlgItem(dialog, kScanFrom), IPM_SETADDRESS, 0, MAKEIPADDRESS(172, 20, 0, 1));
        SendMessageA(GetDlgItem(dialog, kScanTo), IPM_SETADDRESS, 0, MAKEIPADDRESS(172, 20, 0, 254));
        const double start = BenchSeconds();
        PostMessageA(GetDlgItem(dialog, kScanStart), BM_CLICK, 0, 0);
        // The previous scan's end looks like this one's: wait for the start,
        // which shows for at least the second the silent addresses take.
        while (e2e::WindowText(GetDlgItem(dialog, kScanStatus)).rfind("検索中", 0) != 0 &&
               BenchSeconds() - start < 10)
            Sleep(1);
        if (!WaitFinished(dialog, 253, start)) {
            std::printf("the /24 scan did not finish\n");
            failed = 1;
            break;
        }
        times24.push_back(BenchSeconds() - start);
        found24 = e2e::listview::Count(GetDlgItem(dialog, kScanList));
        if (found24 != kLive) {
            std::printf("/24 scan %d: %d computers found, not the %d live ones\n", run + 1, found24, kLive);
            failed = 1;
        }
    }
    const double worst = watch.Stop();
    if (!times24.empty()) {
        std::sort(times24.begin(), times24.end());
        const double median = times24[times24.size() / 2];
        std::printf("/24 (253 addresses): %.2f s median of %zu (%.2f-%.2f s)  target <= 10 s: %s; %d computers found "
                    "in the last scan\n",
                    median, times24.size(), times24.front(), times24.back(), Verdict(median <= 10), found24);
    }
    if (times24.size() != kRuns24) NotMeasured("/24 scans (fewer than five finished)");
    std::printf("longest wait for the box to answer a message during the scans: %.3f s  every message answered: %s\n",
                worst, Verdict(!watch.Unanswered()));

    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
        failed = 1;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return failed || MissedTargets() ? 1 : 0;
}
