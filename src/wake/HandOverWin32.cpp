// The hand-over of a command-line request to the Nodelark that already
// runs. A named pipe whose name holds the session and the user's SID, and
// whose security descriptor lets that user alone in, keeps the promise that
// only the same user in the same session can hand a request over; remote
// clients are refused by the pipe itself. The pipe's thread only reads and
// checks requests; everything else happens on the window's thread.
#include "wake/HandOverWin32.h"

#include <sddl.h>
#include <commctrl.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "common/ScopedWin32.h"
#include "log/CommandLogWin32.h"
#include "ui/AppContextWin32.h"
#include "ui/CommandLineDialogWin32.h"
#include "ui/ListViewWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"
#include "wake/CommandLine.h"
#include "wake/HandOver.h"
#include "wake/RunWait.h"
#include "wake/WakeRunWin32.h"

#ifndef PIPE_REJECT_REMOTE_CLIENTS
#define PIPE_REJECT_REMOTE_CLIENTS 0x00000008
#endif

namespace {

// A request with no /wait gives up waiting for its turn after this long.
constexpr uint64_t kTurnLimitMs = 600000;
// A caller must write its request at once; one that stalls is dropped.
constexpr DWORD kRequestReadMs = 5000;
constexpr DWORD kReplyWriteMs = 2000;
constexpr UINT kQueueTickMs = 250;
// The running program may still be starting when a caller comes.
constexpr DWORD kConnectTryMs = 10000;

std::string CurrentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
    ScopedHandle owner(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) return std::string();
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return std::string();
    char* text = nullptr;
    if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return std::string();
    std::string sid = text;
    LocalFree(text);
    return sid;
}

std::string PipeName() {
    const std::string sid = CurrentUserSid();
    DWORD session = 0;
    if (sid.empty() || !ProcessIdToSessionId(GetCurrentProcessId(), &session)) return std::string();
    return HandOverPipeName(session, sid);
}

// Waits for an overlapped call on `handle` to finish, for at most `ms` or
// until `stop` is set. False on a failure, a time-out or a stop (the call is
// cancelled then).
bool FinishOverlapped(HANDLE handle, OVERLAPPED& ov, BOOL started, DWORD ms, HANDLE stop, DWORD* bytes,
                      DWORD* error) {
    *error = started ? ERROR_SUCCESS : GetLastError();
    if (!started && *error != ERROR_IO_PENDING) return false;
    if (!started) {
        HANDLE events[2] = {ov.hEvent, stop};
        const DWORD got = WaitForMultipleObjects(stop ? 2 : 1, events, FALSE, ms);
        if (got != WAIT_OBJECT_0) {
            CancelIo(handle);
            GetOverlappedResult(handle, &ov, bytes, TRUE);
            *error = got == WAIT_TIMEOUT ? WAIT_TIMEOUT : ERROR_OPERATION_ABORTED;
            return false;
        }
    }
    if (!GetOverlappedResult(handle, &ov, bytes, FALSE)) {
        *error = GetLastError();
        return false;
    }
    *error = ERROR_SUCCESS;
    return true;
}

bool WriteMessage(HANDLE pipe, const std::string& bytes, DWORD ms) {
    ScopedHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event.IsValid()) return false;
    OVERLAPPED ov = {};
    ov.hEvent = event.Get();
    DWORD written = 0, error = 0;
    const BOOL started = WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &ov);
    return FinishOverlapped(pipe, ov, started, ms, nullptr, &written, &error) && written == bytes.size();
}

struct PendingRequest {
    ScopedHandle pipe;
    HandOverRequest request;
    uint64_t turnDeadline = 0;
};

class CHandOver {
public:
    explicit CHandOver(HWND mainWindow) : main_(mainWindow) {}
    ~CHandOver() { StopListening(); }
    CHandOver(const CHandOver&) = delete;
    CHandOver& operator=(const CHandOver&) = delete;

    bool Start();
    void StopListening();
    void Shutdown();
    void Accept(PendingRequest* raw);
    void Tick();
    void Dispatch();
    bool Complete(int exitCode);
    void EndCurrent(int exitCode, const char* lineFormat);
    void NoteSent();

private:
    static DWORD WINAPI ListenThread(void* self);
    void Listen();
    bool ReadOne(HANDLE pipe, HANDLE event, HandOverRequest* request, std::string* refusal);
    bool Idle() const;
    bool Reply(PendingRequest& to, HandOverReplyKind kind, uint32_t value);
    void Log(const std::string& line) { AppendCommandLog(main_, line.c_str()); }
    HWND WakeList() const { return PageWindow(TabControl(main_), 0); }
    void SaveSelection();
    void RestoreSelection();

    HWND main_;
    std::string name_;
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    ScopedHandle stop_;
    ScopedHandle thread_;
    std::deque<std::unique_ptr<PendingRequest>> queue_;
    std::unique_ptr<PendingRequest> current_;
    bool sent_ = false;
    bool ticking_ = false;
    std::vector<LPARAM> selection_;
};

bool CHandOver::Start() {
    name_ = PipeName();
    const std::string sid = CurrentUserSid();
    if (name_.empty() || sid.empty()) return false;
    const std::string sddl = "D:P(A;;GA;;;" + sid + ")";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr))
        return false;
    stop_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!stop_.IsValid()) return false;
    thread_.Reset(CreateThread(nullptr, 0, ListenThread, this, 0, nullptr));
    return thread_.IsValid();
}

void CHandOver::StopListening() {
    if (stop_.IsValid()) SetEvent(stop_.Get());
    if (thread_.IsValid()) WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Close();
    if (descriptor_) LocalFree(descriptor_);
    descriptor_ = nullptr;
}

DWORD WINAPI CHandOver::ListenThread(void* self) {
    try {
        static_cast<CHandOver*>(self)->Listen();
    } catch (...) {
        // No request is taken any more; the program itself goes on.
    }
    return 0;
}

void CHandOver::Listen() {
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor_, FALSE};
    ScopedHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event.IsValid()) return;
    bool first = true;
    DWORD rejectRemote = PIPE_REJECT_REMOTE_CLIENTS;
    while (WaitForSingleObject(stop_.Get(), 0) == WAIT_TIMEOUT) {
        // The first instance must be ours: a pipe of that name made by
        // anyone else is never served.
        const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
        HANDLE made = CreateNamedPipeA(name_.c_str(), openMode,
                                       PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | rejectRemote,
                                       PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, &security);
        if (made == INVALID_HANDLE_VALUE && rejectRemote && GetLastError() == ERROR_INVALID_PARAMETER) {
            // Older systems do not know the flag (nor serve pipes remotely).
            rejectRemote = 0;
            continue;
        }
        if (made == INVALID_HANDLE_VALUE) {
            Log("他の起動からの実行依頼を受け付けられません(ﾊﾟｲﾌﾟを作成できません)");
            return;
        }
        first = false;
        std::unique_ptr<PendingRequest> pending(new PendingRequest);
        pending->pipe.Reset(made);
        OVERLAPPED ov = {};
        ov.hEvent = event.Get();
        ResetEvent(event.Get());
        DWORD bytes = 0, error = 0;
        const BOOL connected = ConnectNamedPipe(made, &ov);
        if (!connected && GetLastError() != ERROR_PIPE_CONNECTED &&
            !FinishOverlapped(made, ov, FALSE, INFINITE, stop_.Get(), &bytes, &error))
            continue;
        std::string refusal;
        if (!ReadOne(made, event.Get(), &pending->request, &refusal)) {
            if (!refusal.empty()) Log(refusal);
            DisconnectNamedPipe(made);
            continue;
        }
        PendingRequest* raw = pending.release();
        if (!PostMessageA(main_, WM_APP_HAND_OVER, 0, reinterpret_cast<LPARAM>(raw))) {
            // The caller hears the pipe break and ends with 2.
            delete raw;
        }
    }
}

bool CHandOver::ReadOne(HANDLE pipe, HANDLE event, HandOverRequest* request, std::string* refusal) {
    std::vector<char> buffer(kHandOverRequestMax + 1);
    OVERLAPPED ov = {};
    ov.hEvent = event;
    ResetEvent(event);
    DWORD got = 0, error = 0;
    const BOOL started = ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &got, &ov);
    if (!FinishOverlapped(pipe, ov, started, kRequestReadMs, stop_.Get(), &got, &error)) {
        if (error == ERROR_MORE_DATA) *refusal = HandOverFaultText(HandOverFault::kTooLong);
        else if (error == WAIT_TIMEOUT || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED)
            *refusal = HandOverFaultText(HandOverFault::kShort);
        return false;
    }
    const HandOverFault fault = DecodeHandOverRequest(buffer.data(), got, request);
    if (fault != HandOverFault::kNone) {
        *refusal = HandOverFaultText(fault);
        return false;
    }
    return true;
}

bool CHandOver::Reply(PendingRequest& to, HandOverReplyKind kind, uint32_t value) {
    return WriteMessage(to.pipe.Get(), EncodeHandOverReply({kind, value}), kReplyWriteMs);
}

void CHandOver::Accept(PendingRequest* raw) {
    std::unique_ptr<PendingRequest> pending(raw);
    const CommandLineRequest parsed = ParseCommandLine(pending->request.text.c_str());
    const uint64_t limit = parsed.wait && !parsed.waitInvalid ? parsed.waitSeconds * 1000ull : kTurnLimitMs;
    pending->turnDeadline = GetTickCount64() + limit;
    Log("他の起動からの実行依頼を受け付けました: " + pending->request.text);
    const uint32_t ahead = static_cast<uint32_t>(queue_.size() + (current_ ? 1 : 0));
    if (!Reply(*pending, HandOverReplyKind::kQueued, ahead)) {
        Log("依頼元が終了したため実行依頼を取り消しました");
        return;
    }
    queue_.push_back(std::move(pending));
    if (!ticking_) ticking_ = SetTimer(main_, kHandOverTimer, kQueueTickMs, nullptr) != 0;
    Dispatch();
}

bool CHandOver::Idle() const {
    const AppContext& app = App();
    if (current_ || !IsWindowEnabled(main_)) return false;  // a modal dialog or box disables the window
    if (app.wakeThread || app.wakeThreadId || app.toolRunning || app.commandLineMode || app.commandLineDialog)
        return false;
    const CRunWait* check = FindObject<CRunWait>(main_, kRunWaitProp);
    return !(check && check->Waiting());
}

void CHandOver::Tick() {
    const uint64_t now = GetTickCount64();
    for (auto it = queue_.begin(); it != queue_.end();) {
        PendingRequest& waiting = **it;
        DWORD available = 0;
        if (!PeekNamedPipe(waiting.pipe.Get(), nullptr, 0, nullptr, &available, nullptr)) {
            Log("依頼元が終了したため実行依頼を取り消しました: " + waiting.request.text);
            it = queue_.erase(it);
            continue;
        }
        if (now >= waiting.turnDeadline) {
            Log("順番が来ないまま待ち時間を過ぎたため実行依頼を取り消しました(終了ｺｰﾄﾞ=2): " + waiting.request.text);
            Reply(waiting, HandOverReplyKind::kDone, 2);
            it = queue_.erase(it);
            continue;
        }
        ++it;
    }
    Dispatch();
    if (queue_.empty() && ticking_) {
        KillTimer(main_, kHandOverTimer);
        ticking_ = false;
    }
}

void CHandOver::Dispatch() {
    while (!queue_.empty() && Idle()) {
        current_ = std::move(queue_.front());
        queue_.pop_front();
        if (!Reply(*current_, HandOverReplyKind::kStarted, 0)) {
            Log("依頼元が終了したため実行依頼を取り消しました: " + current_->request.text);
            current_.reset();
            continue;
        }
        sent_ = false;
        // The request names its own entry, as a fresh start would find the
        // list: the user's selection waits aside until the run is over.
        SaveSelection();
        SetCommandLineDialogQuiet(true);
        const std::string text = current_->request.text;
        RunCommandLine(main_, text.c_str());
        if (current_ && !App().commandLineMode) {
            Log("他の起動からの実行依頼では何も実行されませんでした");
            Complete(2);
        }
        return;
    }
}

// Answers the running request and leaves command-line mode; `lineFormat`
// takes the exit code.
void CHandOver::EndCurrent(int exitCode, const char* lineFormat) {
    Reply(*current_, HandOverReplyKind::kDone, static_cast<uint32_t>(exitCode));
    char line[128];
    std::snprintf(line, sizeof line, lineFormat, exitCode);
    Log(line);
    current_.reset();
    App().commandLineMode = 0;
    if (CRunWait* check = FindObject<CRunWait>(main_, kRunWaitProp)) check->EndWait();
}

bool CHandOver::Complete(int exitCode) {
    if (!current_) return false;
    EndCurrent(exitCode, "他の起動からの実行依頼を完了しました(終了ｺｰﾄﾞ=%d)");
    CloseCommandLineDialog();
    SetCommandLineDialogQuiet(false);
    RestoreSelection();
    // The next request, once this run's messages are through.
    PostMessageA(main_, WM_APP_HAND_OVER, 0, 0);
    return true;
}

void CHandOver::NoteSent() {
    if (!current_ || sent_) return;
    sent_ = true;
    Reply(*current_, HandOverReplyKind::kSent, 0);
}

void CHandOver::Shutdown() {
    StopListening();
    if (current_) EndCurrent(sent_ ? 1 : 2, "終了するため、他の起動からの実行依頼を打ち切りました(終了ｺｰﾄﾞ=%d)");
    for (auto& waiting : queue_) {
        Log("終了するため、順番を待っていた実行依頼を取り消しました(終了ｺｰﾄﾞ=2): " + waiting->request.text);
        Reply(*waiting, HandOverReplyKind::kDone, 2);
    }
    queue_.clear();
    if (ticking_) KillTimer(main_, kHandOverTimer);
    ticking_ = false;
}

void CHandOver::SaveSelection() {
    selection_.clear();
    HWND list = WakeList();
    if (!list) return;
    for (int row = -1; (row = NextSelectedRow(list, row)) >= 0;) {
        const LPARAM id = RowParam(list, row);
        if (id >= 0) selection_.push_back(id);
    }
    SetRowState(list, -1, 0, LVIS_SELECTED);
}

void CHandOver::RestoreSelection() {
    HWND list = WakeList();
    if (!list) return;
    SetRowState(list, -1, 0, LVIS_SELECTED);
    for (LPARAM id : selection_) {
        const int row = RowWithParam(list, id);
        if (row >= 0) SetRowState(list, row, LVIS_SELECTED, LVIS_SELECTED);
    }
    selection_.clear();
}

bool EndHandedOver(HWND mainWindow, int exitCode) {
    CHandOver* server = FindObject<CHandOver>(mainWindow, kHandOverProp);
    return server && server->Complete(exitCode);
}

}  // namespace

bool StartHandOverServer(HWND mainWindow) {
    std::unique_ptr<CHandOver> server(new CHandOver(mainWindow));
    if (!AttachObject(mainWindow, kHandOverProp, server.get())) return false;
    CHandOver* raw = server.release();
    SetHandedOverRunEnd(EndHandedOver);
    if (raw->Start()) return true;
    AppendCommandLog(mainWindow, "他の起動からの実行依頼を受け付けられません");
    return false;
}

void StopHandOverServer(HWND mainWindow) {
    std::unique_ptr<CHandOver> server(DetachObject<CHandOver>(mainWindow, kHandOverProp));
    if (server) server->Shutdown();
}

bool OnHandOverMessage(HWND mainWindow, UINT message, WPARAM wParam, LPARAM lParam) {
    CHandOver* server = FindObject<CHandOver>(mainWindow, kHandOverProp);
    if (message == WM_APP_HAND_OVER) {
        PendingRequest* request = reinterpret_cast<PendingRequest*>(lParam);
        if (!server) {
            delete request;
        } else if (request) {
            server->Accept(request);
        } else {
            server->Dispatch();
        }
        return true;
    }
    if (message == WM_TIMER && wParam == kHandOverTimer) {
        if (server) server->Tick();
        else KillTimer(mainWindow, kHandOverTimer);
        return true;
    }
    return false;
}

void NoteHandOverPacketSent(HWND mainWindow) {
    if (CHandOver* server = FindObject<CHandOver>(mainWindow, kHandOverProp)) server->NoteSent();
}

int HandOverToRunningProgram(const char* commandLine) {
    const std::string name = PipeName();
    if (name.empty()) return 2;
    ScopedHandle pipe;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        pipe.Reset(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr));
        if (pipe.IsValid()) break;
        const DWORD error = GetLastError();
        if (GetTickCount64() - start >= kConnectTryMs) return 2;
        if (error == ERROR_PIPE_BUSY) WaitNamedPipeA(name.c_str(), 200);
        else Sleep(20);
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe.Get(), &mode, nullptr, nullptr);
    // Only a program of this session may answer: the name is per session,
    // and the server's own session is looked at where the system tells it.
    ULONG serverPid = 0;
    DWORD serverSession = 0, ownSession = 0;
    if (GetNamedPipeServerProcessId(pipe.Get(), &serverPid) && ProcessIdToSessionId(serverPid, &serverSession) &&
        ProcessIdToSessionId(GetCurrentProcessId(), &ownSession) && serverSession != ownSession)
        return 2;

    HandOverRequest request;
    request.callerPid = GetCurrentProcessId();
    request.text = commandLine ? commandLine : "";
    if (request.text.size() > kHandOverTextMax) return 2;
    if (!WriteMessage(pipe.Get(), EncodeHandOverRequest(request), kReplyWriteMs)) return 2;

    const CommandLineRequest parsed = ParseCommandLine(request.text.c_str());
    const uint64_t turnLimit =
        (parsed.wait && !parsed.waitInvalid ? parsed.waitSeconds * 1000ull : kTurnLimitMs) + 30000;
    const ULONGLONG sentAt = GetTickCount64();
    ScopedHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event.IsValid()) return 2;
    HandOverProgress progress;
    while (!progress.Done()) {
        char buffer[64];
        OVERLAPPED ov = {};
        ov.hEvent = event.Get();
        ResetEvent(event.Get());
        DWORD got = 0, error = 0;
        DWORD wait = INFINITE;
        if (!progress.Started()) {
            const ULONGLONG spent = GetTickCount64() - sentAt;
            wait = spent >= turnLimit ? 0 : static_cast<DWORD>(turnLimit - spent);
        }
        const BOOL started = ReadFile(pipe.Get(), buffer, sizeof buffer, &got, &ov);
        if (!FinishOverlapped(pipe.Get(), ov, started, wait, nullptr, &got, &error)) break;
        HandOverReply reply;
        if (!DecodeHandOverReply(buffer, got, &reply) || !progress.Take(reply)) break;
    }
    return progress.ExitCode();
}
