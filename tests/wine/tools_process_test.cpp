#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "FaultInjection.h"
#include "tools/ProcessWin32.h"

namespace {

constexpr UINT kNotify = 3089;

struct Event {
    WPARAM code;
    std::string text;
    LPARAM value;
};

std::vector<Event>* g_events = nullptr;

LRESULT CALLBACK CollectProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kNotify && g_events && wParam == TOOL_EVENT_OUTPUT_LINES) {
        // Kept as single lines, in order, so the checks read the same.
        const ToolOutputLines* batch = reinterpret_cast<const ToolOutputLines*>(lParam);
        for (size_t i = 0; i < batch->count; ++i) g_events->push_back({TOOL_EVENT_OUTPUT, batch->lines[i], 0});
        return 0;
    }
    if (message == kNotify && g_events) {
        bool hasText = wParam != TOOL_EVENT_FINISHED && lParam;
        g_events->push_back({wParam, hasText ? reinterpret_cast<const char*>(lParam) : "", lParam});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string ChildPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self = path;
    // build/win/tests/wine/nl_wine_tests.exe -> build/win/src/NlChild.exe
    for (int i = 0; i < 3; ++i) self = self.substr(0, self.find_last_of('\\'));
    return self + "\\src\\NlChild.exe";
}

// Closes the runner's error boxes as they appear and notes their captions.
class BoxCloser {
public:
    BoxCloser() : thread_([this] { Run(); }) {}
    ~BoxCloser() {
        stop_ = true;
        thread_.join();
    }
    std::vector<std::string> captions;

private:
    void Run() {
        while (!stop_) {
            EnumWindows(
                [](HWND window, LPARAM self) -> BOOL {
                    DWORD pid = 0;
                    GetWindowThreadProcessId(window, &pid);
                    char cls[32] = {}, caption[64] = {};
                    GetClassNameA(window, cls, sizeof cls);
                    if (pid == GetCurrentProcessId() && std::string(cls) == "#32770" && IsWindowVisible(window)) {
                        GetWindowTextA(window, caption, sizeof caption);
                        reinterpret_cast<BoxCloser*>(self)->captions.push_back(caption);
                        PostMessageA(window, WM_COMMAND, IDOK, 0);
                        Sleep(200);
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(this));
            Sleep(20);
        }
    }
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class ProcessRunnerTest : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = CollectProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "NlRunnerTestSink";
        RegisterClassA(&wc);
        window_ = CreateWindowA("NlRunnerTestSink", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(window_);
        g_events = &events_;
        runner_ = CreateProcessRunner();
        ASSERT_TRUE(runner_ && runner_->idleEvent);
    }
    void TearDown() override {
        DestroyProcessRunner(runner_);
        g_events = nullptr;
        DestroyWindow(window_);
    }

    int Run(const std::string& arguments, DWORD timeout = 0) {
        EXPECT_EQ(WaitForSingleObject(runner_->idleEvent, 0), WAIT_OBJECT_0);
        ResetEvent(runner_->idleEvent);
        ClearRunnerFields(runner_);
        std::string line = "\"" + ChildPath() + "\" " + arguments;
        lstrcpynA(runner_->commandLine, line.c_str(), sizeof runner_->commandLine);
        runner_->notifyWindow = window_;
        runner_->notifyMessage = kNotify;
        runner_->showCommand = SW_HIDE;
        runner_->timeout = timeout;
        return Start(runner_);
    }

    // Pumps until the command has finished or was stopped.
    bool WaitEnd(DWORD limitMs = 30000) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < limitMs) {
            for (const Event& e : events_)
                if (e.code == TOOL_EVENT_FINISHED || e.code == TOOL_EVENT_STOPPED) return true;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
        return false;
    }

    std::vector<std::string> Texts(WPARAM code) const {
        std::vector<std::string> texts;
        for (const Event& e : events_)
            if (e.code == code) texts.push_back(e.text);
        return texts;
    }

    HWND window_ = nullptr;
    CProcess* runner_ = nullptr;
    std::vector<Event> events_;
};

TEST_F(ProcessRunnerTest, NormalEndReportsLinesThenCompletion) {
    // A double-byte character (82 A0, "あ") split over two writes, CR LF,
    // bare LF, a leading form feed, a last line without LF, standard error.
    ASSERT_EQ(Run("-w \"\\fone\\r\\n\" -w \\x82 -s 100 -w \"\\xa0two\\n\" -e err\\n -w last -x 7"), 0);
    ASSERT_TRUE(WaitEnd());
    ASSERT_FALSE(events_.empty());
    EXPECT_EQ(events_.front().code, TOOL_EVENT_STARTED);
    EXPECT_NE(events_.front().text.find("NlChild.exe"), std::string::npos);
    EXPECT_EQ(Texts(TOOL_EVENT_OUTPUT), (std::vector<std::string>{"one ", "あtwo", "err", "last"}));
    std::vector<std::string> status = Texts(TOOL_EVENT_STATUS);
    EXPECT_EQ(status.size(), 2u);
    EXPECT_NE(std::find(status.begin(), status.end(), "親プロセスの停止を確認"), status.end());
    EXPECT_NE(std::find(status.begin(), status.end(), "プロセスの停止を待っています..."), status.end());
    EXPECT_TRUE(Texts(TOOL_EVENT_ERROR).empty());
    EXPECT_EQ(events_.back().code, TOOL_EVENT_FINISHED);
    EXPECT_EQ(events_.back().value, 7);
    EXPECT_EQ(WaitForSingleObject(runner_->idleEvent, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(runner_->processId, 0u);
    EXPECT_FALSE(runner_->outputRead);
}

TEST_F(ProcessRunnerTest, ChildThatWritesManyLinesAndExitsAtOnceLosesNone) {
    ASSERT_EQ(Run("-n 20000"), 0);
    ASSERT_TRUE(WaitEnd(60000));
    std::vector<std::string> lines = Texts(TOOL_EVENT_OUTPUT);
    ASSERT_EQ(lines.size(), 20000u);
    EXPECT_EQ(lines.front(), "line 1 ");
    EXPECT_EQ(lines.back(), "line 20000 ");
    EXPECT_EQ(events_.back().value, 0);
}

TEST_F(ProcessRunnerTest, ChildStillRunsAsksSafelyWhileTheWaiterEndsTheCommand) {
    ASSERT_EQ(Run("-w started\\n -s 300 -x 4"), 0);
    // Asked on this thread all along, as the cancel command does, while the
    // waiter closes the command's process.
    bool sawRunning = false, sawEnded = false;
    const DWORD start = GetTickCount();
    auto finished = [&] {
        return std::any_of(events_.begin(), events_.end(), [](const Event& e) { return e.code == TOOL_EVENT_FINISHED; });
    };
    while (!finished() && GetTickCount() - start < 30000) {
        if (ChildStillRuns(runner_)) {
            EXPECT_FALSE(sawEnded) << "the child ran again";
            sawRunning = true;
        } else if (sawRunning) {
            sawEnded = true;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    ASSERT_TRUE(finished());
    EXPECT_TRUE(sawRunning);
    EXPECT_TRUE(sawEnded);
    EXPECT_FALSE(ChildStillRuns(runner_));
    EXPECT_EQ(WaitForSingleObject(runner_->idleEvent, 5000), WAIT_OBJECT_0);
    EXPECT_FALSE(CommandActive(runner_));
    EXPECT_EQ(events_.back().value, 4);
}

TEST_F(ProcessRunnerTest, ReaderThatFailsEndsTheCommandWithAnError) {
    // The first read fails as if memory ran out; the child would otherwise
    // run for 20 s.
    InjectedFault fault(FaultSite::OutputReader, 1);
    ASSERT_EQ(Run("-w started\\n -s 20000"), 0);
    const DWORD start = GetTickCount();
    ASSERT_TRUE(WaitEnd());
    EXPECT_LT(GetTickCount() - start, 15000u);
    EXPECT_EQ(Texts(TOOL_EVENT_ERROR), (std::vector<std::string>{"標準出力の読込みに失敗しました"}));
    EXPECT_EQ(events_.back().code, TOOL_EVENT_FINISHED);
    EXPECT_EQ(events_.back().value, 1);
    EXPECT_EQ(WaitForSingleObject(runner_->idleEvent, 5000), WAIT_OBJECT_0);
    // The runner takes the next command as usual.
    events_.clear();
    ASSERT_EQ(Run("-w again\\n -x 2"), 0);
    ASSERT_TRUE(WaitEnd());
    EXPECT_EQ(Texts(TOOL_EVENT_OUTPUT), (std::vector<std::string>{"again"}));
    EXPECT_EQ(events_.back().value, 2);
}

TEST_F(ProcessRunnerTest, TimeOutStopsTheChildAndReportsStillActive) {
    ASSERT_EQ(Run("-w started\\n -s 20000", 500), 0);
    ASSERT_TRUE(WaitEnd());
    std::vector<WPARAM> codes;
    for (const Event& e : events_)
        if (e.code != TOOL_EVENT_OUTPUT && !(e.code == TOOL_EVENT_STATUS && e.text == "親プロセスの停止を確認"))
            codes.push_back(e.code);
    EXPECT_EQ(codes, (std::vector<WPARAM>{TOOL_EVENT_STARTED, TOOL_EVENT_ERROR, TOOL_EVENT_STATUS, TOOL_EVENT_ERROR,
                                          TOOL_EVENT_FINISHED}));
    EXPECT_EQ(Texts(TOOL_EVENT_ERROR),
              (std::vector<std::string>{"プロセスがタイムアウトしました", "プロセスを強制停止しました"}));
    EXPECT_EQ(Texts(TOOL_EVENT_OUTPUT), (std::vector<std::string>{"started"}));
    EXPECT_EQ(events_.back().value, 259);
}

TEST_F(ProcessRunnerTest, ForceStopEndsAChildWaitingOnItsInputAndJoinsTheThreads) {
    ASSERT_EQ(Run("-w waiting\\n -r"), 0);
    DWORD start = GetTickCount();
    while (Texts(TOOL_EVENT_OUTPUT).empty() && GetTickCount() - start < 10000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    ASSERT_EQ(Texts(TOOL_EVENT_OUTPUT), (std::vector<std::string>{"waiting"}));
    HANDLE process = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), runner_->process, GetCurrentProcess(), &process, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(ForceStop(runner_), 1);
    EXPECT_EQ(WaitForSingleObject(runner_->idleEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0);
    CloseHandle(process);
    EXPECT_FALSE(runner_->readerThread);
    EXPECT_FALSE(runner_->waiterThread);
    EXPECT_EQ(runner_->processId, 0u);
    std::vector<std::string> errors = Texts(TOOL_EVENT_ERROR);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].rfind("プロセス終了待機スレッド強制停止 handle=", 0), 0u);
    EXPECT_EQ(errors[1].rfind("標準出力読込み用スレッド強制停止 handle=", 0), 0u);
    EXPECT_EQ(errors[2], "プロセスを強制停止しました 終了コードは 1 です");
    EXPECT_EQ(events_.back().code, TOOL_EVENT_STOPPED);
    // No completion follows a forced stop.
    MSG msg;
    Sleep(100);
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    EXPECT_TRUE(std::none_of(events_.begin(), events_.end(), [](const Event& e) { return e.code == TOOL_EVENT_FINISHED; }));
}

TEST_F(ProcessRunnerTest, UnknownProgramFailsWithBothBoxesAndLeavesTheRunnerIdle) {
    BoxCloser closer;
    ResetEvent(runner_->idleEvent);
    ClearRunnerFields(runner_);
    lstrcpyA(runner_->commandLine, "no-such-program-here.exe /x");
    runner_->notifyWindow = window_;
    runner_->notifyMessage = kNotify;
    EXPECT_EQ(Start(runner_), -1);
    EXPECT_EQ(WaitForSingleObject(runner_->idleEvent, 0), WAIT_OBJECT_0);
    std::vector<WPARAM> codes;
    for (const Event& e : events_) codes.push_back(e.code);
    EXPECT_EQ(codes, (std::vector<WPARAM>{TOOL_EVENT_STARTED, TOOL_EVENT_ERROR, TOOL_EVENT_ERROR, TOOL_EVENT_STOPPED}));
    std::vector<std::string> errors = Texts(TOOL_EVENT_ERROR);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "プロセスの生成に失敗しました");
    EXPECT_EQ(errors[1].rfind("プロセスを強制停止しました 終了コードは ", 0), 0u);
    EXPECT_EQ(closer.captions, (std::vector<std::string>{"エラー", "エラー詳細"}));
}

// The grandchild's process, from the child's "grandchild PID" line.
HANDLE OpenGrandchild(const std::vector<std::string>& output) {
    for (const std::string& line : output)
        if (line.rfind("grandchild ", 0) == 0)
            return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                               static_cast<DWORD>(std::strtoul(line.c_str() + 11, nullptr, 10)));
    return nullptr;
}

TEST_F(ProcessRunnerTest, ChildGetsOnlyItsPipeEndsAndItsWholeTreeEndsWhenStopped) {
    // An inheritable handle of this process: only the explicit list keeps it
    // from the child.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE event = CreateEventA(&inherit, TRUE, FALSE, nullptr);
    ASSERT_TRUE(event);
    char hex[32];
    std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(event)));
    const std::string closedLine = std::string("handle ") + hex + " closed";

    enum class End { ForceStop, TimeOut, RunnerGone };
    for (End end : {End::ForceStop, End::TimeOut, End::RunnerGone}) {
        SCOPED_TRACE(static_cast<int>(end));
        events_.clear();
        // RunnerGone: the child ends by itself and leaves its grandchild,
        // which lives on until the runner goes.
        const std::string tail = end == End::RunnerGone ? " -w started\\n" : " -w started\\n -r";
        ASSERT_EQ(Run(std::string("-h ") + hex + " -g 60000" + tail, end == End::TimeOut ? 1500 : 0), 0);
        DWORD start = GetTickCount();
        auto started = [&] {
            std::vector<std::string> lines = Texts(TOOL_EVENT_OUTPUT);
            return std::find(lines.begin(), lines.end(), "started") != lines.end();
        };
        while (!started() && GetTickCount() - start < 10000) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        std::vector<std::string> lines = Texts(TOOL_EVENT_OUTPUT);
        EXPECT_NE(std::find(lines.begin(), lines.end(), closedLine), lines.end()) << "the child got another handle";
        HANDLE grandchild = OpenGrandchild(lines);
        ASSERT_TRUE(grandchild) << "no grandchild";
        EXPECT_EQ(WaitForSingleObject(grandchild, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        if (end == End::ForceStop) {
            ForceStop(runner_);
        } else {
            ASSERT_TRUE(WaitEnd());
        }
        if (end == End::RunnerGone) {
            EXPECT_EQ(WaitForSingleObject(grandchild, 0), static_cast<DWORD>(WAIT_TIMEOUT))
                << "a program the tool started ended with the tool";
            ASSERT_EQ(WaitForSingleObject(runner_->idleEvent, 10000), WAIT_OBJECT_0);
            DestroyProcessRunner(runner_);
            runner_ = CreateProcessRunner();
        }
        EXPECT_EQ(WaitForSingleObject(grandchild, 5000), WAIT_OBJECT_0) << "the grandchild outlived the stop";
        CloseHandle(grandchild);
        ASSERT_EQ(WaitForSingleObject(runner_->idleEvent, 10000), WAIT_OBJECT_0);
    }
    CloseHandle(event);
}

}  // namespace
