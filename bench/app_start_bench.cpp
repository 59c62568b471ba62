// Start-up of the real Nodelark.exe, from CreateProcess until its main window
// is visible with every row in the Wake List, for an empty data file and a
// large one; and, on the large list, one header click until the list shows
// sorted. Drives the program from outside, as the end-to-end tests do, so it
// runs only inside the namespaces bench/run.sh makes.
#include <windows.h>
#include "BenchClock.h"
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "AppDriver.h"
#include "BenchGuard.h"
#include "BenchLaunch.h"
#include "BenchVerdict.h"
#include "EntryRecord.h"

namespace {

constexpr int kRuns = 5;
constexpr int kLargeCount = 10000;
constexpr DWORD kTimeoutMs = 60000;

// Polls much faster than the tests' helper: the interval is what is measured.
bool Poll(double deadline, bool (*ready)(void*), void* context) {
    for (;;) {
        if (ready(context)) return true;
        if (BenchSeconds() > deadline) return false;
        Sleep(2);
    }
}

std::string NameOf(int number) {
    char name[32];
    snprintf(name, sizeof name, "端末%05d", number);
    return name;
}

// Rows arrive in a scrambled name order, so a sort by name has work to do.
std::string DataFile(int count) {
    std::vector<e2e::EntryRecord> records;
    records.reserve(count);
    SYSTEMTIME stamp = {2024, 4, 0, 1, 9, 30, 0, 0};
    for (int i = 0; i < count; ++i) {
        const int number = static_cast<int>((static_cast<long long>(i) * 7919) % count);
        const std::string name = NameOf(number);
        const std::string host = "PC" + std::to_string(number);
        e2e::EntryFields fields = {name.c_str(),
                               {10, 77, static_cast<uint8_t>(number / 250), static_cast<uint8_t>(number % 250 + 1)},
                               {255, 255, 0, 0},
                               9,
                               {0x00, 0x1B, 0x21, static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number), 0x5A},
                               host.c_str(),
                               "本社 3階",
                               "ベンチマーク",
                               stamp,
                               stamp,
                               stamp,
                               0};
        records.push_back(e2e::MakeRecord(fields, i + 1));
    }
    return e2e::FileOf(records);
}

struct Running {
    PROCESS_INFORMATION info = {};
    HWND main = nullptr;
    HWND list = nullptr;
    int expectedRows = 0;
};

bool MainWindowReady(void* context) {
    auto* run = static_cast<Running*>(context);
    if (!run->main) run->main = e2e::FindMainWindow(run->info.dwProcessId);
    if (!run->main) return false;
    if (!run->list) {
        HWND tab = GetDlgItem(run->main, 2015);
        run->list = tab ? reinterpret_cast<HWND>(e2e::tabs::Param(tab, 0)) : nullptr;
    }
    return run->list && e2e::listview::Count(run->list) == run->expectedRows;
}

double Close(Running& run) {
    const double start = BenchSeconds();
    PostMessageA(run.main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(run.info.hProcess, kTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(run.info.hProcess, 255);
        WaitForSingleObject(run.info.hProcess, 5000);
    }
    const double took = BenchSeconds() - start;
    CloseHandle(run.info.hThread);
    CloseHandle(run.info.hProcess);
    return took;
}

struct SortProbe {
    HWND list;
    int lastRow;
};

// Rows 1 and the last one both start out of place, so the sort has landed
// once they hold the second and the last name.
bool SortedShown(void* context) {
    auto* probe = static_cast<SortProbe*>(context);
    return e2e::listview::Text(probe->list, 1, 0) == NameOf(1) &&
           e2e::listview::Text(probe->list, probe->lastRow, 0) == NameOf(probe->lastRow);
}

// A real left click on the name column's header; -1 when it did not sort.
double TimeHeaderClick(const Running& run) {
    RECT header = {};
    if (!e2e::listview::HeaderItemRect(run.list, 0, &header)) return -1;
    e2e::BringToFront(run.main);
    SortProbe probe = {run.list, run.expectedRows - 1};
    const POINT at = {(header.left + header.right) / 2, (header.top + header.bottom) / 2};
    const double start = BenchSeconds();
    e2e::ClickAt(at);
    if (!Poll(start + kTimeoutMs / 1000.0, SortedShown, &probe)) return -1;
    return BenchSeconds() - start;
}

void Report(const char* what, std::vector<double> seconds, double targetSeconds) {
    if (seconds.empty()) {
        NotMeasured(what);
        return;
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    printf("%-44s median %7.3f s  min %7.3f s  max %7.3f s  (%zu runs)", what, median, seconds.front(),
           seconds.back(), seconds.size());
    if (targetSeconds > 0) printf("  target < %.1f s: %s", targetSeconds, Verdict(median < targetSeconds));
    printf("\n");
}

int Measure(const char* label, int rows, double targetSeconds, bool clickSort) {
    const std::string bytes = rows ? DataFile(rows) : std::string();
    std::vector<double> starts, closes, sorts;
    int failures = 0;
    for (int i = 0; i < kRuns; ++i) {
        e2e::ResetDataFolder();
        if (!e2e::WriteFileBytes(e2e::DataFolder() + "\\Ent.dat", bytes)) {
            printf("cannot write the data file\n");
            return 1;
        }
        Running run;
        run.expectedRows = rows;
        const double start = BenchSeconds();
        if (!LaunchNodelark(run.info)) {
            printf("cannot start %s (error %lu)\n", e2e::ExePath().c_str(), GetLastError());
            return 1;
        }
        if (Poll(start + kTimeoutMs / 1000.0, MainWindowReady, &run)) {
            starts.push_back(BenchSeconds() - start);
            if (clickSort) {
                const double sorted = TimeHeaderClick(run);
                if (sorted >= 0) sorts.push_back(sorted); else ++failures;
            }
        } else {
            ++failures;
        }
        if (run.main) {
            closes.push_back(Close(run));
        } else {
            TerminateProcess(run.info.hProcess, 255);
            WaitForSingleObject(run.info.hProcess, 5000);
            CloseHandle(run.info.hThread);
            CloseHandle(run.info.hProcess);
        }
    }
    char what[96];
    snprintf(what, sizeof what, "start to shown, %s:", label);
    Report(what, starts, targetSeconds);
    snprintf(what, sizeof what, "close (saves the data file), %s:", label);
    Report(what, closes, 0);
    if (clickSort) {
        snprintf(what, sizeof what, "header click to sorted, %d rows:", rows);
        Report(what, sorts, 1.0);
    }
    return failures;
}

}  // namespace

int main() {
    if (!BenchMayRun("app_start_bench")) return 2;
    if (e2e::ExePath().empty()) {
        printf("NL_E2E_EXE is not set; run this through bench/run.sh\n");
        return 2;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    printf("Nodelark.exe under Wine (%d runs each)\n", kRuns);
    int failures = Measure("empty data file", 0, 0, false);
    failures += Measure("10,000 entries", kLargeCount, 2.0, true);
    if (failures) printf("%d runs failed\n", failures);
    return failures || MissedTargets() ? 1 : 0;
}
