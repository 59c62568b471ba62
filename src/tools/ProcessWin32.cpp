#include "tools/ProcessWin32.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "common/FaultHook.h"
#include "tools/OutputLines.h"
#include "tools/ProgramSearchWin32.h"
#include "ui/WaitWin32.h"

namespace {

constexpr DWORD kCreationFlags = 0x4000230;   // new console and group, default error mode
constexpr DWORD kReaderBoundMs = 5000;
constexpr DWORD kMaxReadChunk = 1023;
constexpr DWORD kTreeEndBoundMs = 5000;

// A failed step of Start: its message and the system's error code.
struct StartFailure {
    const char* text;
    DWORD code;
};

[[noreturn]] void Fail(const char* text) { throw StartFailure{text, GetLastError()}; }

void Notify(CProcess* runner, WPARAM code, const char* text) {
    if (runner->notifyMessage)
        SendMessageA(runner->notifyWindow, runner->notifyMessage, code, reinterpret_cast<LPARAM>(text));
}

// Waits `ms`, but returns true at once when a forced stop has begun.
bool StoppedWithin(CProcess* runner, DWORD ms) {
    return WaitForSingleObject(runner->stopEvent, ms) == WAIT_OBJECT_0;
}

bool ProcessEnded(HANDLE process) {
    DWORD code = 0;
    return !process || !GetExitCodeProcess(process, &code) || code != STILL_ACTIVE;
}

// Every process of a command's tree goes into one job, so that a stop ends
// the grandchildren too, and the program's exit (or crash) ends what is left.
ScopedHandle CreateKillOnCloseJob() {
    ScopedHandle job(CreateJobObjectA(nullptr, nullptr));
    if (!job.IsValid()) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) job.Close();
    return job;
}

bool JobIsEmpty(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
    return QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr) &&
           info.ActiveProcesses == 0;
}

// A tool that started a program of its own and ended (a viewer, a remote
// session) keeps that program until the runner goes.
void KeepOrCloseJob(CProcess* runner) {
    if (!runner->job.IsValid()) return;
    if (!JobIsEmpty(runner->job)) runner->keptJobs.push_back(std::move(runner->job));
    runner->job.Close();
    std::vector<ScopedHandle>& kept = runner->keptJobs;
    kept.erase(std::remove_if(kept.begin(), kept.end(), [](const ScopedHandle& job) { return JobIsEmpty(job); }),
               kept.end());
}

// Ends the child's whole tree; the child alone where it has no job.
void EndTree(CProcess* runner) {
    if (runner->job.IsValid()) TerminateJobObject(runner->job, 1);
    if (runner->process.IsValid()) {
        TerminateIfActive(runner->process);
        // The exit code is read next: let the end take effect first.
        WaitForSingleObject(runner->process, kTreeEndBoundMs);
    }
}

// The only handles a child gets: its two pipe ends, named in an explicit
// list, so that nothing else the program has open can reach it even when
// it is inheritable. Where the platform has no such list the child gets the
// inheritable handles, and the program keeps all of its own handles out.
class ChildHandleList {
public:
    ChildHandleList(HANDLE input, HANDLE output) : handles_{input, output} {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        if (size == 0) return;
        buffer_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_, sizeof handles_,
                                       nullptr, nullptr)) {
            DeleteProcThreadAttributeList(list);
            return;
        }
        list_ = list;
    }
    ~ChildHandleList() {
        if (list_) DeleteProcThreadAttributeList(list_);
    }
    ChildHandleList(const ChildHandleList&) = delete;
    ChildHandleList& operator=(const ChildHandleList&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

private:
    HANDLE handles_[2];
    std::vector<unsigned char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

void ClearCommandFields(CProcess* runner) {
    std::lock_guard<std::mutex> lock(runner->processLock);
    std::memset(runner->commandLine, 0, sizeof runner->commandLine);
    std::memset(runner->workFolder, 0, sizeof runner->workFolder);
    runner->notifyWindow = nullptr;
    runner->notifyMessage = 0;
    runner->showCommand = 0;
    runner->timeout = 0;
    runner->process.Close();
    runner->processId = 0;
    runner->job.Close();
    runner->readerThread.Close();
    runner->waiterThread.Close();
    runner->outputRead.Close();
    runner->inputWrite.Close();
    runner->running = 0;
    runner->stopReading = 0;
}

}  // namespace

CProcess* CreateProcessRunner() {
    CProcess* runner = new (std::nothrow) CProcess();
    if (!runner) return nullptr;
    runner->idleEvent.Reset(CreateEventA(nullptr, TRUE, TRUE, "CProcess_EventObject"));
    runner->stopEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    // Without the stop event the waiter's wait would fail at once and end a
    // command that still runs: no runner at all is the honest answer.
    if (!runner->idleEvent.IsValid() || !runner->stopEvent.IsValid()) {
        DestroyProcessRunner(runner);
        return nullptr;
    }
    return runner;
}

void ClearRunnerFields(CProcess* runner) {
    // The waiter of the previous command may still be returning after it
    // signalled the idle event.
    if (runner->waiterThread.IsValid()) WaitAnsweringSentMessages(runner->waiterThread);
    runner->waiterThread.Close();
    if (runner->readerThread.IsValid()) WaitAnsweringSentMessages(runner->readerThread);
    runner->readerThread.Close();
    KeepOrCloseJob(runner);
    ClearCommandFields(runner);
}

void DestroyProcessRunner(CProcess* runner) {
    if (!runner) return;
    // Nothing of a command may outlive the record: whatever is left is
    // stopped and joined without further notices.
    runner->notifyMessage = 0;
    runner->stopReading = 1;
    if (runner->stopEvent.IsValid()) SetEvent(runner->stopEvent);
    if (runner->waiterThread.IsValid()) WaitAnsweringSentMessages(runner->waiterThread);
    runner->waiterThread.Close();
    EndTree(runner);
    if (runner->readerThread.IsValid()) WaitAnsweringSentMessages(runner->readerThread);
    // The rest of the command's handles, the kept jobs (ending their
    // processes) and the events go with the record.
    if (runner->idleEvent.IsValid()) SetEvent(runner->idleEvent);
    delete runner;
}

void ShowErrorWithDetail(HWND owner, const char* text, DWORD errorCode) {
    MessageBoxA(owner, text, "エラー", MB_SYSTEMMODAL | MB_ICONHAND | MB_OK);
    char* detail = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, errorCode,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&detail), 0, nullptr);
    if (n && detail) MessageBoxA(owner, detail, "エラー詳細", MB_SYSTEMMODAL | MB_ICONHAND | MB_OK);
    if (detail) LocalFree(detail);
}

void TerminateIfActive(HANDLE process) {
    if (!process) return;
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code) || code != STILL_ACTIVE) return;
    if (!TerminateProcess(process, 1)) ShowErrorWithDetail(nullptr, "プロセスの強制停止に失敗しました", GetLastError());
}

namespace {

// The program's ends of the two pipes, and the child's until it has them.
struct ChildPipes {
    ScopedHandle inputWrite;
    ScopedHandle inputReadChild;
    ScopedHandle outputRead;
    ScopedHandle outputWriteChild;
};

struct PipeFailureTexts {
    const char* duplicate;
    const char* close;
};

// One pipe: the child's end an inheritable copy (the original closed at
// once), ours kept out of the child: a child holding the write end of its
// own input, or a grandchild the read end, would keep pipes alive past
// their users. `childReads`: the pipe is the child's input.
void MakePipe(bool childReads, ScopedHandle& ours, ScopedHandle& childs, const PipeFailureTexts& texts) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0)) Fail("パイプの生成に失敗しました");
    ScopedHandle readEnd(read), writeEnd(write);
    ScopedHandle& childEnd = childReads ? readEnd : writeEnd;
    const HANDLE self = GetCurrentProcess();
    HANDLE copy = nullptr;
    if (!DuplicateHandle(self, childEnd, self, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) Fail(texts.duplicate);
    childs.Reset(copy);
    if (!CloseHandle(childEnd.Release())) Fail(texts.close);
    ours = std::move(childReads ? writeEnd : readEnd);
    SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
}

void MakePipes(ChildPipes& pipes) {
    MakePipe(true, pipes.inputWrite, pipes.inputReadChild,
             {"パイプの複製に失敗しました(標準入力書込用)", "パイプのクローズに失敗しました(読込用テンポラリ)"});
    MakePipe(false, pipes.outputRead, pipes.outputWriteChild,
             {"パイプの複製に失敗しました(標準出力読込用)", "パイプのクローズに失敗しました(書込用テンポラリ)"});
}

// Creates the child with the pipes' ends as its only handles, puts it into
// its job and lets it run; the child's ends are closed here afterwards.
void LaunchChild(CProcess* runner, ChildPipes& pipes) {
    ChildHandleList handleList(pipes.inputReadChild, pipes.outputWriteChild);
    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = handleList.Get() ? sizeof startup : sizeof startup.StartupInfo;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = static_cast<WORD>(runner->showCommand);
    startup.StartupInfo.hStdInput = pipes.inputReadChild;
    startup.StartupInfo.hStdOutput = pipes.outputWriteChild;
    startup.StartupInfo.hStdError = pipes.outputWriteChild;
    startup.lpAttributeList = handleList.Get();
    // Suspended until it is in its job, so that nothing it starts can
    // escape the job.
    DWORD flags = kCreationFlags | CREATE_SUSPENDED;
    if (handleList.Get()) flags |= EXTENDED_STARTUPINFO_PRESENT;
    PROCESS_INFORMATION info = {};
    ToolStart tool;
    if (!ResolveToolStart(runner->commandLine, &tool)) Fail("プロセスの生成に失敗しました");
    std::vector<char> commandLine(tool.commandLine.begin(), tool.commandLine.end());
    commandLine.push_back('\0');
    // Never the program's current folder, which whoever started the
    // program chose.
    const std::string folder = runner->workFolder[0] ? std::string(runner->workFolder) : DefaultToolFolder();
    if (!CreateProcessA(tool.application.empty() ? nullptr : tool.application.c_str(), commandLine.data(), nullptr,
                        nullptr, TRUE, flags, nullptr, folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo,
                        &info))
        Fail("プロセスの生成に失敗しました");
    // Kept at once, so that a later failure still stops the child.
    {
        std::lock_guard<std::mutex> lock(runner->processLock);
        runner->process.Reset(info.hProcess);
        runner->processId = info.dwProcessId;
    }
    ScopedThread childThread(info.hThread);
    runner->job = CreateKillOnCloseJob();
    // Inside a job that allows no other, the child runs without one.
    if (runner->job.IsValid() && !AssignProcessToJobObject(runner->job, info.hProcess)) runner->job.Close();
    if (ResumeThread(childThread) == static_cast<DWORD>(-1)) Fail("プロセスの生成に失敗しました");
    if (!CloseHandle(childThread.Release())) Fail("プロセススレッドのクローズに失敗しました");
    if (!CloseHandle(pipes.inputReadChild.Release())) Fail("パイプのクローズに失敗しました(出力用)");
    if (!CloseHandle(pipes.outputWriteChild.Release())) Fail("パイプのクローズに失敗しました(入力用)");
}

void StartThreads(CProcess* runner) {
    runner->readerThread.Reset(CreateThread(nullptr, 0, OutputReaderThread, runner, 0, nullptr));
    if (!runner->readerThread.IsValid()) Fail("標準出力読込み用スレッドの作成に失敗しました");
    runner->waiterThread.Reset(CreateThread(nullptr, 0, ExitWaiterThread, runner, 0, nullptr));
    if (!runner->waiterThread.IsValid()) Fail("プロセス終了待機スレッドの作成に失敗しました");
}

}  // namespace

int Start(CProcess* runner) {
    ChildPipes pipes;
    try {
        MakePipes(pipes);
        Notify(runner, TOOL_EVENT_STARTED, runner->commandLine);
        LaunchChild(runner, pipes);
        runner->outputRead = std::move(pipes.outputRead);
        runner->inputWrite = std::move(pipes.inputWrite);
        ResetEvent(runner->stopEvent);
        runner->stopReading = 0;
        runner->running = 1;
        StartThreads(runner);
        return 0;
    } catch (const StartFailure& failure) {
        Notify(runner, TOOL_EVENT_ERROR, failure.text);
        ShowErrorWithDetail(runner->notifyWindow, failure.text, failure.code);
        ForceStop(runner);
        pipes = ChildPipes();
        SetEvent(runner->idleEvent);
        return -1;
    }
}

namespace {

void ReadOutput(CProcess* runner) {
    std::vector<std::string> lines;
    OutputLineCutter cutter([&lines](const std::string& line) { lines.push_back(line); });
    // The lines of one read go out together, in the order they came.
    auto sendLines = [runner, &lines] {
        if (lines.size() == 1) {
            Notify(runner, TOOL_EVENT_OUTPUT, lines[0].c_str());
        } else if (lines.size() > 1) {
            std::vector<const char*> texts;
            texts.reserve(lines.size());
            for (const std::string& line : lines) texts.push_back(line.c_str());
            ToolOutputLines batch = {texts.size(), texts.data()};
            if (runner->notifyMessage)
                SendMessageA(runner->notifyWindow, runner->notifyMessage, TOOL_EVENT_OUTPUT_LINES,
                             reinterpret_cast<LPARAM>(&batch));
        }
        lines.clear();
    };
    char chunk[kMaxReadChunk + 1];
    DWORD idleMs = 1;
    // Read until every writer has gone (broken pipe), so that what the child
    // wrote just before it ended still arrives. The pipe is only peeked at
    // before a read, so a read never blocks and a stop is seen at once.
    while (!runner->stopReading) {
        DWORD available = 0;
        if (!PeekNamedPipe(runner->outputRead, nullptr, 0, nullptr, &available, nullptr)) break;
        if (available == 0) {
            if (StoppedWithin(runner, idleMs)) break;
            if (idleMs < 20) idleMs *= 2;
            continue;
        }
        idleMs = 1;
        DWORD got = 0;
        DWORD want = available < kMaxReadChunk ? available : kMaxReadChunk;
        if (!ReadFile(runner->outputRead, chunk, want, &got, nullptr) && GetLastError() != ERROR_MORE_DATA) break;
        if (got) {
            FaultPoint(FaultSite::OutputReader);
            cutter.Feed(chunk, got);
        }
        sendLines();
    }
    cutter.Finish();
    sendLines();
    if (ProcessEnded(runner->process)) Notify(runner, TOOL_EVENT_STATUS, "親プロセスの停止を確認");
}

}  // namespace

DWORD WINAPI OutputReaderThread(LPVOID parameter) {
    CProcess* runner = static_cast<CProcess*>(parameter);
    try {
        ReadOutput(runner);
    } catch (...) {
        // Nobody takes the output any more: the command is ended rather
        // than left blocked on a full pipe, and the waiter ends it the way
        // it ends any other. The handles stay valid until this thread is
        // joined.
        runner->stopReading = 1;
        Notify(runner, TOOL_EVENT_ERROR, "標準出力の読込みに失敗しました");
        EndTree(runner);
    }
    return 0;
}

DWORD WINAPI ExitWaiterThread(LPVOID parameter) {
    CProcess* runner = static_cast<CProcess*>(parameter);
    HANDLE waits[2] = {runner->process, runner->stopEvent};
    DWORD result = WaitForMultipleObjects(2, waits, FALSE, runner->timeout ? runner->timeout : INFINITE);
    // A forced stop tears the command down itself.
    if (result == WAIT_OBJECT_0 + 1) return 0;
    if (result == WAIT_TIMEOUT) Notify(runner, TOOL_EVENT_ERROR, "プロセスがタイムアウトしました");
    Notify(runner, TOOL_EVENT_STATUS, "プロセスの停止を待っています...");
    DWORD exitCode = 0;
    GetExitCodeProcess(runner->process, &exitCode);
    if (exitCode == STILL_ACTIVE) {
        if (runner->job.IsValid()) TerminateJobObject(runner->job, 1);
        TerminateIfActive(runner->process);
        Notify(runner, TOOL_EVENT_ERROR, "プロセスを強制停止しました");
    }
    if (StoppedWithin(runner, 1000)) return 0;
    runner->running = 0;
    if (runner->readerThread.IsValid()) {
        // A grandchild may hold the pipe open: the reader gets a bounded
        // time to drain it, then is told to stop, and is always joined.
        if (WaitForSingleObject(runner->readerThread, kReaderBoundMs) != WAIT_OBJECT_0) {
            runner->stopReading = 1;
            WaitForSingleObject(runner->readerThread, INFINITE);
        }
        runner->readerThread.Close();
    }
    if (StoppedWithin(runner, 500)) return 0;
    {
        std::lock_guard<std::mutex> lock(runner->processLock);
        runner->process.Close();
        runner->processId = 0;
    }
    if (StoppedWithin(runner, 500)) return 0;
    runner->outputRead.Close();
    runner->inputWrite.Close();
    // The run's end must arrive, or the window would think the tool still
    // runs: a full queue is waited out for as long as the window lives.
    if (runner->notifyMessage) {
        while (!PostMessageA(runner->notifyWindow, runner->notifyMessage, TOOL_EVENT_FINISHED,
                             static_cast<LPARAM>(exitCode)) &&
               IsWindow(runner->notifyWindow) && !StoppedWithin(runner, 50)) {
        }
    }
    runner->commandLine[0] = '\0';
    runner->notifyWindow = nullptr;
    runner->notifyMessage = 0;
    runner->showCommand = 0;
    runner->timeout = 0;
    // The last touch of the record; the thread handle stays for the next
    // command (or the runner's release) to join.
    SetEvent(runner->idleEvent);
    return 0;
}

int ForceStop(CProcess* runner) {
    if (!runner) return 1;
    runner->stopReading = 1;
    SetEvent(runner->stopEvent);
    char text[1024];
    // The waiter is joined before any handle is touched: it closes handles
    // of its own during its teardown.
    if (runner->waiterThread.IsValid()) {
        HANDLE thread = runner->waiterThread;
        WaitAnsweringSentMessages(thread);
        runner->waiterThread.Close();
        std::snprintf(text, sizeof text, "プロセス終了待機スレッド強制停止 handle=%p", thread);
        Notify(runner, TOOL_EVENT_ERROR, text);
    }
    // Ending the child breaks the pipe; the reader sees the stop anyway.
    EndTree(runner);
    if (runner->readerThread.IsValid()) {
        HANDLE thread = runner->readerThread;
        WaitAnsweringSentMessages(thread);
        runner->readerThread.Close();
        std::snprintf(text, sizeof text, "標準出力読込み用スレッド強制停止 handle=%p", thread);
        Notify(runner, TOOL_EVENT_ERROR, text);
    }
    // The child's own exit code: 1 when it was stopped here.
    DWORD exitCode = 0;
    if (runner->process.IsValid()) GetExitCodeProcess(runner->process, &exitCode);
    {
        std::lock_guard<std::mutex> lock(runner->processLock);
        runner->process.Close();
        runner->processId = 0;
    }
    runner->job.Close();
    runner->outputRead.Close();
    runner->inputWrite.Close();
    std::snprintf(text, sizeof text, "プロセスを強制停止しました 終了コードは %d です", static_cast<int>(exitCode));
    Notify(runner, TOOL_EVENT_ERROR, text);
    Notify(runner, TOOL_EVENT_STOPPED, nullptr);
    ClearCommandFields(runner);
    ResetEvent(runner->stopEvent);
    SetEvent(runner->idleEvent);
    return 1;
}

bool CommandActive(CProcess* runner) {
    std::lock_guard<std::mutex> lock(runner->processLock);
    return runner->processId != 0;
}

bool ChildStillRuns(CProcess* runner) {
    std::lock_guard<std::mutex> lock(runner->processLock);
    DWORD code = 0;
    return runner->processId != 0 && runner->process.IsValid() && GetExitCodeProcess(runner->process, &code) &&
           code == STILL_ACTIVE;
}
