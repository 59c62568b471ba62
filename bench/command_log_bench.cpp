// Lines per second through AppendCommandLog, well past the page's line cap,
// on a stand-in main window with either page showing and, as in the running
// program, the application log file open.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchVerdict.h"
#include "StandInWindow.h"
#include "log/AppLogWin32.h"
#include "log/CommandLogWin32.h"

namespace {

constexpr int kLines = 20000;
constexpr int kRounds = 3;
constexpr int kCap = 6145;
// A variant this slow has told its story; the rest of the run still ends.
constexpr double kGiveUpSeconds = 60;

struct Result {
    int lines;
    double seconds;
    double atCapSeconds;  // lines past the cap, each one also dropping the oldest
    int atCapLines;
};

// `pump` lets the page repaint between lines, as the message loop does while
// a tool's output arrives one line per message. The time runs until every
// line is in the page.
Result AppendLines(int page, bool pump, bool withLogFile, const std::string& logPath) {
    StandInWindow window(page);
    CAppLog* log = nullptr;
    if (withLogFile) {
        log = new CAppLog();
        log->Open(logPath.c_str());
        AttachObject(window.Main(), kAppLogPropName, log);
    }
    char text[128];
    const double start = BenchSeconds();
    double capStart = 0;
    int lines = 0;
    for (int i = 0; i < kLines; ++i, ++lines) {
        if (i == kCap) capStart = BenchSeconds();
        if ((i & 63) == 0 && BenchSeconds() - start > kGiveUpSeconds) break;
        snprintf(text, sizeof text, "ping 10.77.0.%d: 応答 bytes=32 time<1ms TTL=128 (%d)", i % 250 + 1, i);
        AppendCommandLog(window.Main(), text);
        if (pump) PumpMessages();
    }
    // The lines still waiting for the page count too.
    FlushCommandLog(window.Main());
    const double end = BenchSeconds();
    const int rows = static_cast<int>(SendMessageA(window.CommandLog(), LVM_GETITEMCOUNT, 0, 0));
    if (lines == kLines && rows != kCap) std::printf("  (page holds %d lines, expected %d)\n", rows, kCap);
    if (log) delete DetachObject<CAppLog>(window.Main(), kAppLogPropName);
    DeleteFileA(logPath.c_str());
    return {lines, end - start, capStart > 0 ? end - capStart : 0, lines > kCap ? lines - kCap : 0};
}

void Measure(const char* label, int page, bool pump, bool withLogFile, const std::string& logPath) {
    std::vector<Result> results;
    for (int round = 0; round < kRounds; ++round) {
        results.push_back(AppendLines(page, pump, withLogFile, logPath));
        if (results.back().lines < kLines) break;  // too slow to repeat
    }
    std::sort(results.begin(), results.end(), [](const Result& a, const Result& b) { return a.seconds < b.seconds; });
    const Result& median = results[results.size() / 2];
    const double rate = median.lines / median.seconds;
    std::printf("%-52s %7.0f lines/s (%d lines in %.2f s, median of %zu)", label, rate, median.lines, median.seconds,
                results.size());
    if (median.atCapLines > 0) std::printf("; past the cap %.0f lines/s", median.atCapLines / median.atCapSeconds);
    if (median.lines < kLines) std::printf("; stopped after %.0f s", kGiveUpSeconds);
    std::printf("  target >= 2000: %s\n", Verdict(median.lines > 0 && rate >= 2000));
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IONBF, 0);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string logPath = std::string(temp) + "nl-command-log-bench-" + std::to_string(GetCurrentProcessId()) +
                                ".log";
    std::printf("AppendCommandLog, %d lines each (page cap %d)\n", kLines, kCap);
    Measure("Wake List showing, log file, no repaint:", 0, false, true, logPath);
    Measure("Wake List showing, log file, repaint each line:", 0, true, true, logPath);
    Measure("Command Log showing, no log file, no repaint:", 1, false, false, logPath);
    Measure("Command Log showing, log file, no repaint:", 1, false, true, logPath);
    Measure("Command Log showing, log file, repaint each line:", 1, true, true, logPath);
    return MissedTargets() ? 1 : 0;
}
