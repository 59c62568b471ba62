// The wake run: one worker thread walks the Wake List and sends each entry
// its magic packet; windows change only through messages to the UI thread.
#include "wake/WakeRunWin32.h"

#include <commctrl.h>

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/AppError.h"
#include "common/LocalTimeWin32.h"
#include "common/TextFormat.h"
#include "entries/EntList.h"
#include "log/CommandLogWin32.h"
#include "net/MagicPacket.h"
#include "net/SocketCommWin32.h"
#include "net/WakeRoute.h"
#include "resource.h"
#include "ui/AppContextWin32.h"
#include "ui/CancelQuestion.h"
#include "ui/CommandLineDialogWin32.h"
#include "ui/ListViewWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"
#include "wake/CommandLine.h"
#include "wake/RunWait.h"
#include "wake/WakeRunText.h"

// One Wake List row as the worker sees it.
struct WakeRow {
    bool read;          // false when the row could not be read
    bool selected;
    const WakeEntry* entry;   // the store's record, null when its id is gone
};

struct WakeStamp {
    int32_t id;
    DateTime when;
};

struct WakeRows {
    HWND list;
    CEntList* store;
    std::vector<WakeRow> rows;
};

namespace {

constexpr DWORD kPauseMs = 500;
constexpr char kCommandLineClosing[] = "コマンドラインからの実行依頼の為アプリケーション終了";
constexpr int kLastSentColumn = 8;
constexpr int kSentImage = 2;
constexpr int kFailedImage = 3;

// Taken when the run starts: what the current page is by the time the worker
// runs is no concern of the run.
HWND g_wakeList = nullptr;


// Sends one entry its packets; false when none of them left. `sent` gets
// the packets that did, for the Command Log.
bool SendTo(CSocketComm& socket, const WakeEntry& entry, std::vector<WakeSend>& sent, bool& legacy) {
    sent.clear();
    legacy = true;
    if (!socket.IsStarted()) return false;
    uint32_t address, mask;
    std::memcpy(&address, entry.ipAddress, 4);
    std::memcpy(&mask, entry.subnetMask, 4);
    const std::vector<WakeSend> plan = socket.PlanFor(address, mask);
    legacy = socket.IsLegacy(plan);
    const std::vector<uint8_t> payload = BuildWakePayload(entry.macAddress, entry.reserved);
    const uint16_t port = DestinationPort(static_cast<uint32_t>(entry.port), kWakePort);
    for (const WakeSend& send : plan)
        if (socket.SendFrom(send, port, payload.data(), payload.size()) >= 1) sent.push_back(send);
    return !sent.empty();
}

// The checks and the loop of a run; raises the text the run ends with.
// What a run needs, each found, or its absence raised as the run's error.
struct WakeRunParts {
    HWND list;
    int count;
    CEntList* store;
    CSocketComm* socket;
};

WakeRunParts FindRunParts(HWND mainWindow) {
    if (!TabControl(mainWindow)) throw AppError("タブウィンドウハンドルの取得に失敗しました");
    HWND list = g_wakeList;
    if (!list || !IsWindow(list)) throw AppError("リストビューウィンドウハンドルの取得に失敗しました");
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    if (count <= 0) throw AppError("WakeUp送信先が未登録です");
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    if (!store) throw AppError("エントリ管理クラスが喪失しました(内部エラー)");
    CSocketComm* socket = FindObject<CSocketComm>(mainWindow, kSocketProp);
    if (!socket) throw AppError("ソケット通信クラスが喪失しました(内部エラー)");
    return {list, count, store, socket};
}

// The entry's packets left: the window stamps it, its row shows when, and
// the log says where each packet went whenever that is not simply the local
// subnet's broadcast of old.
void ReportSent(HWND mainWindow, HWND list, int row, const WakeEntry& entry, const std::vector<WakeSend>& sent,
                bool legacy) {
    WakeStamp stamp = {entry.id, LocalNow()};
    SendMessageA(mainWindow, WM_APP_WAKE_STAMP, 0, reinterpret_cast<LPARAM>(&stamp));
    SetCellText(list, row, kLastSentColumn, FormatDateTime(stamp.when));
    AppendCommandLog(mainWindow, WakeSuccessText(entry).c_str());
    if (!legacy) {
        uint32_t address;
        std::memcpy(&address, entry.ipAddress, 4);
        const uint16_t port = DestinationPort(static_cast<uint32_t>(entry.port), kWakePort);
        for (const WakeSend& send : sent)
            AppendCommandLog(mainWindow, WakeSendText(EntryName(entry), address, send, port).c_str());
    }
    SetStateImage(list, row, kSentImage);
    SendMessageA(mainWindow, WM_APP_WAKE_SENT, static_cast<WPARAM>(entry.id), 0);
}

void SendToListedEntries(HWND mainWindow, CProgStbar& status) {
    AppContext& app = App();
    const WakeRunParts parts = FindRunParts(mainWindow);

    status.BeginProgress(parts.count);
    status.SetPartText(0, "Wake on Lan...");
    status.SetPartText(1, "中止するにはCtrl+Breakを押して下さい");

    // Every row in one message to the UI thread: asked one message per row,
    // a long list cost a window-server round trip for each, skipped or not.
    WakeRows snapshot = {parts.list, parts.store, {}};
    SendMessageA(mainWindow, WM_APP_WAKE_ROWS, 0, reinterpret_cast<LPARAM>(&snapshot));
    parts.socket->BeginRun();
    std::vector<WakeSend> sent;
    bool legacy = true;

    for (int row = 0; row < parts.count; ++row) {
        if (app.wakeCancel) throw AppError("WakeUpパケットの送信を中止しました");
        if (row >= static_cast<int>(snapshot.rows.size())) break;
        const WakeRow& item = snapshot.rows[row];
        if (!item.read) continue;
        if (app.wakeSelectedOnly && !item.selected) continue;
        const WakeEntry* entry = item.entry;
        if (!entry || !IsWakeTarget(*entry)) continue;

        if (entry->excluded) {
            status.SetPartText(0, ExcludedStatusText(*entry).c_str());
        } else {
            status.SetPartText(0, BroadcastStatusText(*entry).c_str());
            if (SendTo(*parts.socket, *entry, sent, legacy)) ReportSent(mainWindow, parts.list, row, *entry, sent, legacy);
            else SetStateImage(parts.list, row, kFailedImage);
        }
        status.StepProgress();
        Sleep(kPauseMs);
    }
    status.SetPartText(0, "送信を完了しました");
}

void WakeWorker(HWND mainWindow) {
    if (!mainWindow || !IsWindow(mainWindow)) {
        MessageBoxA(nullptr, "ウィンドウハンドルが喪失しました(内部エラー)", kProductName, MB_ICONHAND | MB_SYSTEMMODAL);
        return;
    }
    CProgStbar* status = FindObject<CProgStbar>(mainWindow, kProgStbarProp);
    if (!status) {
        MessageBoxA(mainWindow, "ステータスバー操作クラスが喪失しました(内部エラー)", kProductName,
                    MB_ICONHAND | MB_SYSTEMMODAL);
        AppendCommandLog(mainWindow, "致命的なエラー");
        // The run still reports its end, or the window would stay disabled.
        SendMessageA(mainWindow, WM_APP_WAKE_DONE, 1, 0);
        return;
    }
    WPARAM result = 0;
    try {
        SendToListedEntries(mainWindow, *status);
    } catch (const AppError& e) {
        status->SetPartText(0, e.Text());
        AppendCommandLog(mainWindow, e.Text());
        result = 1;
    } catch (...) {
        // Nothing may leave this thread without the end report.
        result = 1;
    }
    status->SetPartText(1, "");
    status->EndProgress();
    SendMessageA(mainWindow, WM_APP_WAKE_DONE, result, 0);
}

DWORD WINAPI WakeWorkerThread(LPVOID parameter) {
    WakeWorker(static_cast<HWND>(parameter));
    return 0;
}

// Only one wake run, and so one question about it, exists at a time.
CancelQuestion<WPARAM> g_cancelQuestion;

}  // namespace

LRESULT OnWakeRows(HWND, LPARAM request) {
    auto* snapshot = reinterpret_cast<WakeRows*>(request);
    if (!snapshot || !snapshot->list || !snapshot->store) return 0;
    // The first record of each id, as a search from the front would find.
    std::unordered_map<int32_t, const WakeEntry*> byId;
    byId.reserve(snapshot->store->EntryCount());
    for (const WakeEntry* e = snapshot->store->FirstEntry(); e; e = snapshot->store->NextEntry()) byId.emplace(e->id, e);
    const int count = static_cast<int>(SendMessageA(snapshot->list, LVM_GETITEMCOUNT, 0, 0));
    snapshot->rows.assign(count, WakeRow{false, false, nullptr});
    for (int row = 0; row < count; ++row) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM | LVIF_STATE;
        item.iItem = row;
        item.stateMask = LVIS_SELECTED;
        if (!SendMessageA(snapshot->list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) continue;
        auto found = byId.find(static_cast<int32_t>(item.lParam));
        snapshot->rows[row] = WakeRow{true, (item.state & LVIS_SELECTED) != 0, found == byId.end() ? nullptr : found->second};
    }
    return 1;
}

LRESULT OnWakeStamp(HWND mainWindow, LPARAM request) {
    const auto* stamp = reinterpret_cast<const WakeStamp*>(request);
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    return stamp && store && store->StampLastSent(stamp->id, stamp->when) ? 1 : 0;
}

int StartWakeRun(HWND mainWindow) {
    AppContext& app = App();
    // The tool run switches pages, marks rows and holds Ctrl+Break for its
    // own cancel: the two never run at once.
    if (app.toolRunning) {
        ShowError(mainWindow, "ツールコマンドの実行中はWakeUpパケットを送信できません");
        AppendCommandLog(mainWindow, "ツールコマンドの実行中はWakeUpパケットを送信できません");
        return 0;
    }
    // The wait resends from this thread with the same sockets, and a new
    // run would move its deadline: the user's run waits for the wait's end.
    CRunWait* check = FindObject<CRunWait>(mainWindow, kRunWaitProp);
    if (check && check->Waiting()) {
        ShowError(mainWindow, "応答を待っている間はWakeUpパケットを送信できません");
        AppendCommandLog(mainWindow, "応答を待っている間はWakeUpパケットを送信できません");
        return 0;
    }
    if (app.wakeThread) {
        ShowError(mainWindow, "スレッドが起動中です（ハンドルが有効です）");
        return 0;
    }
    if (app.wakeThreadId != 0) {
        ShowError(mainWindow, "スレッドが起動中です");
        return 0;
    }
    AppendCommandLog(mainWindow, "WakeUpパケットの送信開始...");
    app.wakeCancel = 0;
    g_wakeList = PageWindow(TabControl(mainWindow), 0);
    // Started suspended so that the run's state is in place before the
    // worker can report its end.
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WakeWorkerThread, mainWindow, CREATE_SUSPENDED, &id);
    if (!thread) {
        ShowError(mainWindow, "スレッドの起動に失敗しました");
        AppendCommandLog(mainWindow, "WakeUpパケットの送信スレッドの起動に失敗しました");
        return 0;
    }
    app.wakeThread = thread;
    app.wakeThreadId = id;
    EnableWindow(mainWindow, FALSE);
    OpenCommandLineDialog(mainWindow);
    if (ResumeThread(thread) == static_cast<DWORD>(-1)) {
        // The worker never ran: the run ends here, and the window must not
        // stay disabled waiting for an end that cannot come.
        TerminateThread(thread, 1);
        CloseHandle(thread);
        app.wakeThread = nullptr;
        app.wakeThreadId = 0;
        EnableWindow(mainWindow, TRUE);
        ShowError(mainWindow, "スレッドの起動に失敗しました");
        AppendCommandLog(mainWindow, "WakeUpパケットの送信スレッドの起動に失敗しました");
        CloseCommandLineDialog();
        return 0;
    }
    return 1;
}

void OnWakeDone(HWND mainWindow, WPARAM result) {
    if (g_cancelQuestion.HoldEnd(result)) return;
    AppContext& app = App();
    if (app.wakeThread) {
        CloseHandle(app.wakeThread);
        app.wakeThread = nullptr;
    }
    app.wakeThreadId = 0;
    EnableWindow(mainWindow, TRUE);
    // The worker cannot move the focus of this thread's windows itself.
    if (result == 0) {
        if (HWND list = PageWindow(TabControl(mainWindow), -1)) SetFocus(list);
    }
    AppendCommandLog(mainWindow, "WakeUpパケットの送信完了");
    if (app.commandLineMode) {
        CRunWait* check = FindObject<CRunWait>(mainWindow, kRunWaitProp);
        if (check && check->WaitArmed()) {
            check->BeginWaitAfterRun();
            return;
        }
        Sleep(kPauseMs);
        EndCommandLineRun(mainWindow, app.exitCode, kCommandLineClosing);
    }
}

void OnWakeCancel(HWND mainWindow) {
    AppContext& app = App();
    if (!app.wakeThread) return;
    const bool yes = g_cancelQuestion.Ask([mainWindow] { return AskYesNo(mainWindow, "送信処理を中止します"); });
    WPARAM result = 0;
    if (g_cancelQuestion.TakeHeldEnd(&result)) {
        OnWakeDone(mainWindow, result);
        return;
    }
    if (yes) app.wakeCancel = 1;
}

namespace {

// A refused request (a tool that is not registered, a run already going)
// leaves the program in normal use: nothing would end the mode, and the
// user's next run would close the program.
void EndModeUnlessRunStarted() {
    AppContext& app = App();
    if (!WakeRunActive() && !app.toolRunning && !app.commandLineDialog)
        app.commandLineMode = 0;
}

}  // namespace

LRESULT SelectAndRun(HWND mainWindow, const char* name, int command) {
    HWND list = PageWindow(TabControl(mainWindow), -1);
    if (!list || !name) return -1;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        const std::string text = ListCellText(list, row, 0, 128);
        if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, text.c_str(), -1, name, -1) != CSTR_EQUAL) continue;
        SetRowState(list, row, LVIS_SELECTED, LVIS_SELECTED);
        App().commandLineMode = 1;
        AppendCommandLog(mainWindow, "コマンドラインからの実行依頼（エントリ指定有り）");
        return SendMessageA(mainWindow, WM_COMMAND, static_cast<WPARAM>(command), 0);
    }
    return -1;
}

bool SendWakePacket(HWND mainWindow, const WakeEntry& entry) {
    CSocketComm* socket = FindObject<CSocketComm>(mainWindow, kSocketProp);
    // The adapters the run read at its start; the run's log told where
    // the packets go.
    std::vector<WakeSend> sent;
    bool legacy = true;
    if (!socket || !IsWakeTarget(entry) || entry.excluded || !SendTo(*socket, entry, sent, legacy)) return false;
    const DateTime now = LocalNow();
    const int32_t id = entry.id;
    if (CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp)) store->StampLastSent(id, now);
    if (HWND list = PageWindow(TabControl(mainWindow), 0)) {
        const int row = RowWithParam(list, id);
        if (row >= 0) SetCellText(list, row, kLastSentColumn, FormatDateTime(now));
    }
    return true;
}

namespace {

// A script cannot answer a window: a waiting run that cannot start, or a
// request with a word it does not know, ends the program at once with exit
// code 2.
void EndWaitingRunUnstarted(HWND mainWindow, const char* why) {
    App().commandLineMode = 1;
    AppendCommandLog(mainWindow, why);
    EndCommandLineRun(mainWindow, 2, kCommandLineClosing);
}

}  // namespace

int RunCommandLine(HWND mainWindow, const char* commandLine) {
    CommandLineRequest request = ParseCommandLine(commandLine);
    if (!request.found) return 0;
    if (!request.unknownOption.empty()) {
        EndWaitingRunUnstarted(mainWindow, ("不明なｵﾌﾟｼｮﾝのため送信しません: " + request.unknownOption).c_str());
        return 1;
    }
    if (request.wake && request.wait) {
        if (request.waitInvalid) {
            EndWaitingRunUnstarted(mainWindow, "/waitの秒数が正しくありません(1～3600秒)");
            return 1;
        }
        CRunWait* check = FindObject<CRunWait>(mainWindow, kRunWaitProp);
        if (!check) {
            EndWaitingRunUnstarted(mainWindow, "応答を確認できないため送信しません");
            return 1;
        }
        check->ArmWait(request.waitSeconds);
    }
    if (!request.name.empty()) {
        if (SelectAndRun(mainWindow, request.name.c_str(), request.command) == -1 && request.wake && request.wait)
            EndWaitingRunUnstarted(mainWindow, ("指定されたエントリが見つかりません: " + request.name).c_str());
        else
            EndModeUnlessRunStarted();
        return 1;
    }
    App().commandLineMode = 1;
    AppendCommandLog(mainWindow, "コマンドラインからの実行依頼（エントリ指定無し）");
    SendMessageA(mainWindow, WM_COMMAND, static_cast<WPARAM>(request.command), 0);
    EndModeUnlessRunStarted();
    return 1;
}
