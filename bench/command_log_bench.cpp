// Lines per second through AppendCommandLog, well past the page's line cap,
// on a stand-in main window with the Command Log page showing and the
// application log file open, as in the running program.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "StandInWindow.h"
#include "log/AppLogWin32.h"
#include "log/CommandLogWin32.h"

namespace {

constexpr int kLines = 20000;
constexpr int kRounds = 3;
constexpr int kCap = 6145;

struct Result {
    double seconds;
    double lastThousandSeconds;  // the steady state with the page full
};

// `pump` lets the page repaint between lines, as the message loop does while
// a tool's output arrives one line per message.
Result AppendLines(bool pump, bool withLogFile, const std::string& logPath) {
    StandInWindow window(1);
    CAppLog* log = nullptr;
    if (withLogFile) {
        log = new CAppLog();
        log->Open(logPath.c_str());
        AttachObject(window.Main(), kAppLogProp, log);
    }
    char text[128];
    const double start = BenchSeconds();
    double lastThousandStart = start;
    for (int i = 0; i < kLines; ++i) {
        if (i == kLines - 1000) lastThousandStart = BenchSeconds();
        snprintf(text, sizeof text, "ping 10.77.0.%d: 応答 bytes=32 time<1ms TTL=128 (%d)", i % 250 + 1, i);
        AppendCommandLog(window.Main(), text);
        if (pump) PumpMessages();
    }
    const double end = BenchSeconds();
    const int rows = static_cast<int>(SendMessageA(window.CommandLog(), LVM_GETITEMCOUNT, 0, 0));
    if (rows != kCap) std::printf("  (page holds %d lines, expected %d)\n", rows, kCap);
    if (log) delete DetachObject<CAppLog>(window.Main(), kAppLogProp);
    DeleteFileA(logPath.c_str());
    return {end - start, end - lastThousandStart};
}

void Measure(const char* label, bool pump, bool withLogFile, const std::string& logPath) {
    std::vector<Result> results;
    for (int round = 0; round < kRounds; ++round) results.push_back(AppendLines(pump, withLogFile, logPath));
    std::sort(results.begin(), results.end(), [](const Result& a, const Result& b) { return a.seconds < b.seconds; });
    const Result& median = results[results.size() / 2];
    const double rate = kLines / median.seconds;
    std::printf("%-40s %8.0f lines/s (median of %d, %.2f s; best %.0f lines/s); last 1000 at cap: %.0f lines/s"
                "  target >= 2000: %s\n",
                label, rate, kRounds, median.seconds, kLines / results.front().seconds,
                1000 / median.lastThousandSeconds, rate >= 2000 ? "met" : "MISSED");
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IONBF, 0);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string logPath = std::string(temp) + "nl-command-log-bench-" + std::to_string(GetCurrentProcessId()) +
                                ".log";
    std::printf("AppendCommandLog, %d lines each (page cap %d)\n", kLines, kCap);
    Measure("page only, no repaint between lines:", false, false, logPath);
    Measure("with log file, no repaint:", false, true, logPath);
    Measure("with log file, repaint after each line:", true, true, logPath);
    return 0;
}
