// A tool that prints 100,000 lines: the rate at which its lines reach the
// Command Log through the runner, against AppendCommandLog's own rate in the
// same run, and the memory the run leaves behind.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "BenchVerdict.h"
#include "StandInWindow.h"
#include "log/AppLogWin32.h"
#include "log/CommandLogWin32.h"
#include "tools/ProcessWin32.h"

namespace {

constexpr int kLines = 100000;
constexpr UINT kNotify = 3089;

HWND g_main = nullptr;
int g_lines = 0;
bool g_done = false;
double g_firstLine = 0, g_lastLine = 0;

// What the main window does with the runner's notices, reduced to the log.
LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kNotify) return DefWindowProcA(window, message, wParam, lParam);
    if (wParam == TOOL_EVENT_OUTPUT || wParam == TOOL_EVENT_OUTPUT_LINES) {
        if (g_lines == 0) g_firstLine = BenchSeconds();
        if (wParam == TOOL_EVENT_OUTPUT) {
            AppendCommandLog(g_main, reinterpret_cast<const char*>(lParam));
            ++g_lines;
        } else {
            const ToolOutputLines* batch = reinterpret_cast<const ToolOutputLines*>(lParam);
            for (size_t i = 0; i < batch->count; ++i) AppendCommandLog(g_main, batch->lines[i]);
            g_lines += static_cast<int>(batch->count);
        }
        g_lastLine = BenchSeconds();
    } else if (wParam == TOOL_EVENT_FINISHED || wParam == TOOL_EVENT_STOPPED) {
        g_done = true;
    }
    return 0;
}

double PrivateMegabytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    // Wine leaves PrivateUsage at zero; the commit charge is the same figure.
    SIZE_T bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    return bytes / (1024.0 * 1024.0);
}

std::string ChildPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self = path;
    self = self.substr(0, self.find_last_of('\\'));
    self = self.substr(0, self.find_last_of('\\'));
    return self + "\\src\\NlChild.exe";
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IONBF, 0);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string logPath = std::string(temp) + "nl-tool-run-bench-" + std::to_string(GetCurrentProcessId()) + ".log";

    StandInWindow window(1);
    g_main = window.Main();
    CAppLog* log = new CAppLog();
    log->Open(logPath.c_str());
    AttachObject(g_main, kAppLogPropName, log);

    // AppendCommandLog on its own, the way a tool's lines arrive: one line,
    // then the message loop.
    char text[64];
    double start = BenchSeconds();
    for (int i = 1; i <= kLines; ++i) {
        std::snprintf(text, sizeof text, "line %d ", i);
        AppendCommandLog(g_main, text);
        PumpMessages();
    }
    const double directRate = kLines / (BenchSeconds() - start);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = SinkProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "NlToolBenchSink";
    RegisterClassA(&wc);
    HWND sink = CreateWindowA("NlToolBenchSink", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

    PumpMessages();
    const double before = PrivateMegabytes();
    CProcess* runner = CreateProcessRunner();
    ResetEvent(runner->idleEvent);
    ClearRunnerFields(runner);
    std::string line = "\"" + ChildPath() + "\" -n " + std::to_string(kLines);
    lstrcpynA(runner->commandLine, line.c_str(), sizeof runner->commandLine);
    runner->notifyWindow = sink;
    runner->notifyMessage = kNotify;
    runner->showCommand = SW_HIDE;
    if (Start(runner) != 0) {
        std::printf("tool run bench: the child did not start (%s)\n", line.c_str());
        return 1;
    }
    MSG msg;
    while (!g_done && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    WaitForSingleObject(runner->idleEvent, INFINITE);
    DestroyProcessRunner(runner);
    PumpMessages();
    const double after = PrivateMegabytes();
    const double toolRate = g_lines / (g_lastLine - g_firstLine);

    std::printf("Tool printing %d lines, Command Log showing, log file open\n", kLines);
    std::printf("AppendCommandLog alone:                 %8.0f lines/s\n", directRate);
    std::printf("Tool lines reaching the Command Log:    %8.0f lines/s (%d lines in %.2f s)\n", toolRate, g_lines,
                g_lastLine - g_firstLine);
    std::printf("Ratio:                                  %8.2f  target >= 0.5: %s\n", toolRate / directRate,
                Verdict(g_lines > 0 && toolRate / directRate >= 0.5));
    if (before <= 0 || after <= 0)
        NotMeasured("private memory before and after the tool run");
    else
        std::printf("Private memory before %.1f MB, after %.1f MB, growth %.1f MB  target <= 64 MB: %s\n", before,
                    after, after - before, Verdict(after - before <= 64));
    if (g_lines != kLines) {
        std::printf("  (%d lines arrived, expected %d)\n", g_lines, kLines);
        ++MissedTargets();
    }

    DestroyWindow(sink);
    delete DetachObject<CAppLog>(g_main, kAppLogPropName);
    DeleteFileA(logPath.c_str());
    return 0;
}
