#include "wake/StatusCheckWin32.h"

#include <commctrl.h>

#include <vector>

#include "common/DataPath.h"
#include "entries/EntList.h"
#include "entries/WakeEntry.h"
#include "log/CommandLogWin32.h"
#include "net/NetInfo.h"
#include "net/NetInfoWin32.h"
#include "net/WakeRoute.h"
#include "resource.h"
#include "ui/AppContextWin32.h"
#include "ui/CommandLineDialogWin32.h"
#include "ui/ListViewWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"
#include "wake/StatusSettings.h"
#include "wake/WakeRunWin32.h"

namespace {

constexpr UINT kWatchTickMs = 2000;

uint32_t EntryAddress(const WakeEntry& entry) {
    return IPv4Value(entry.ipAddress[0], entry.ipAddress[1], entry.ipAddress[2], entry.ipAddress[3]);
}

HWND WakeList(HWND mainWindow) { return PageWindow(TabControl(mainWindow), 0); }

const WakeEntry* FindEntry(HWND mainWindow, int32_t id) {
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    return store ? store->FindEntry(id) : nullptr;
}

// Writes the cell only when its text changes, so only that cell is repainted.
void SetStatusCell(HWND list, int row, const char* text) {
    if (ListCellText(list, row, kStatusColumn, 32) == text) return;
    SetCellText(list, row, kStatusColumn, text);
}

ProbeEngineSettings SweepSettings() {
    ProbeEngineSettings s;
    s.methods = SafeProbeMethods();
    return s;
}

ProbeEngineSettings WatchSettings() {
    ProbeEngineSettings s = SweepSettings();
    s.cap = 16;
    return s;
}

}  // namespace

CStatusCheck::CStatusCheck(HWND mainWindow, const std::string& dataFolder)
    : mainWindow_(mainWindow),
      settingsPath_(JoinDataFolderPath(dataFolder, kStatusSettingsFile)),
      sweepEngine_(SweepSettings()),
      watchEngine_(WatchSettings()) {}

CStatusCheck::~CStatusCheck() { Stop(); }

void CStatusCheck::Start() {
    if (started_) return;
    started_ = true;
    if (!settingsPath_.empty()) {
        char value[kStatusValueBytes] = {};
        GetPrivateProfileStringA(kStatusSection, kStatusCheckKey, "1", value, sizeof value, settingsPath_.c_str());
        enabled_ = StatusChecksOn(value);
    }
    sweepEngine_.Start(mainWindow_, WM_APP_PROBE_SWEEP);
    watchEngine_.Start(mainWindow_, WM_APP_PROBE_WATCH);
    SetTimer(mainWindow_, kStatusSweepTimer, static_cast<UINT>(kStatusSweepMs), nullptr);
    if (enabled_) Sweep();
}

void CStatusCheck::Stop() {
    if (!started_) return;
    started_ = false;
    if (IsWindow(mainWindow_)) {
        KillTimer(mainWindow_, kStatusSweepTimer);
        KillTimer(mainWindow_, kWatchTimer);
    }
    sweepEngine_.Stop();
    watchEngine_.Stop();
}

void CStatusCheck::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (!settingsPath_.empty() &&
        !WritePrivateProfileStringA(kStatusSection, kStatusCheckKey, enabled ? "1" : "0", settingsPath_.c_str()))
        Log("応答の確認の設定を保存できませんでした");
    if (enabled) {
        Sweep();
    } else {
        sweepEngine_.Cancel();
        sweepPending_ = 0;
        sweepDue_ = false;
        verdicts_.clear();
        ClearColumn();
    }
}

void CStatusCheck::Sweep() {
    if (!started_ || !enabled_ || sweepEngine_.Failed()) return;
    HWND list = WakeList(mainWindow_);
    CEntList* store = FindObject<CEntList>(mainWindow_, kEntListProp);
    if (!list || !store) return;
    std::unordered_map<int32_t, const WakeEntry*> byId;
    for (const WakeEntry* e = store->FirstEntry(); e; e = store->NextEntry()) byId.emplace(e->id, e);
    std::vector<ProbeTarget> targets;
    // This computer's subnets as they are now: a VPN or a new lease counts.
    NetInfo net{};
    CollectNetInfo(net);
    const std::vector<LocalAddress> links = UsableLocalAddresses(net);
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    rows_.clear();
    rows_.reserve(static_cast<size_t>(count));
    rowsCount_ = count;
    for (int row = 0; row < count; ++row) {
        const LPARAM id = RowParam(list, row);
        if (id < 0) continue;
        rows_[static_cast<int32_t>(id)] = row;
        auto found = byId.find(static_cast<int32_t>(id));
        if (found == byId.end()) continue;
        const uint32_t address = EntryAddress(*found->second);
        if (address == 0) {
            // No address, nothing to ask: the cell stays empty.
            SetStatusCell(list, row, "");
            continue;
        }
        targets.push_back({address, static_cast<uint32_t>(found->first), OnLink(address, links)});
    }
    sweepDue_ = false;
    sweepPending_ = targets.size();
    if (!targets.empty()) sweepEngine_.Probe(targets);
}

void CStatusCheck::MapRows(HWND list) {
    rows_.clear();
    rowsCount_ = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rowsCount_; ++row) {
        const LPARAM id = RowParam(list, row);
        if (id >= 0) rows_[static_cast<int32_t>(id)] = row;
    }
}

// The row of an entry from the map the sweep made; a sort, a filter or an
// add moves rows, and the first result that sees it maps them again, once.
int CStatusCheck::RowOf(HWND list, int32_t id) {
    auto known = rows_.find(id);
    if (known != rows_.end() && RowParam(list, known->second) == id) return known->second;
    const bool moved = known != rows_.end();
    if (!moved && static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) == rowsCount_) return -1;
    MapRows(list);
    known = rows_.find(id);
    return known != rows_.end() ? known->second : -1;
}

void CStatusCheck::ForgetEntry(int32_t id) {
    verdicts_.erase(id);
    HWND list = WakeList(mainWindow_);
    if (!list) return;
    const int row = RowOf(list, id);
    if (row >= 0) SetStatusCell(list, row, "");
}

void CStatusCheck::ClearColumn() {
    HWND list = WakeList(mainWindow_);
    if (!list) return;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) SetStatusCell(list, row, "");
}

void CStatusCheck::ShowVerdict(int32_t id, uint32_t address, ProbeVerdict verdict) {
    if (!enabled_) return;
    const WakeEntry* entry = FindEntry(mainWindow_, id);
    // An entry edited since it was asked gets its answer at the next sweep.
    if (!entry || EntryAddress(*entry) != address) return;
    verdicts_[id] = verdict;
    HWND list = WakeList(mainWindow_);
    if (!list) return;
    const int row = RowOf(list, id);
    if (row >= 0) SetStatusCell(list, row, VerdictCellText(verdict));
}

void CStatusCheck::OnSweepResults() {
    const std::vector<ProbeReport> reports = sweepEngine_.TakeReports();
    if (!started_) return;
    if (EngineFailed(sweepEngine_)) {
        // What the column shows would no longer be kept true.
        sweepPending_ = 0;
        sweepDue_ = false;
        verdicts_.clear();
        ClearColumn();
        return;
    }
    bool ended = false;
    for (const ProbeReport& r : reports) {
        if (r.batch != sweepEngine_.Batch()) continue;
        ShowVerdict(static_cast<int32_t>(r.done.target.tag), r.done.target.address, r.done.verdict);
        if (sweepPending_ > 0 && --sweepPending_ == 0) ended = true;
    }
    if (ended && sweepDue_) Sweep();
}

bool CStatusCheck::OnTimer(UINT_PTR id) {
    if (id == kStatusSweepTimer) {
        // A sweep still out finishes first; the next one follows at its end.
        if (sweepPending_ > 0) sweepDue_ = true;
        else Sweep();
        return true;
    }
    if (id == kWatchTimer) {
        WatchTick();
        return true;
    }
    return false;
}

void CStatusCheck::Log(const std::string& line) { AppendCommandLog(mainWindow_, line.c_str()); }

bool CStatusCheck::EngineFailed(const CProbeEngine& engine) {
    if (!engine.Failed()) return false;
    if (!failureLogged_) {
        failureLogged_ = true;
        Log("応答の確認を中止しました(内部エラー)");
    }
    return true;
}

void CStatusCheck::OnWakeSent(int32_t id) {
    const WakeEntry* entry = FindEntry(mainWindow_, id);
    if (!started_ || !entry) return;
    const uint32_t address = EntryAddress(*entry);
    auto known = verdicts_.find(id);
    const bool answering = known != verdicts_.end() && known->second == ProbeVerdict::Answers;
    const std::string line = watch_.Sent(id, address, EntryLabel(*entry), answering, Now());
    if (!line.empty()) Log(line);
    if (!watchTimer_) {
        watchTimer_ = SetTimer(mainWindow_, kWatchTimer, kWatchTickMs, nullptr) != 0;
    }
}

void CStatusCheck::WatchTick() {
    const uint64_t now = Now();
    for (const std::string& line : watch_.Expire(now)) Log(line);
    if (watch_.IsWaiting() && !waitFinished_) {
        for (int32_t id : watch_.DueForResend(now)) {
            const WakeEntry* entry = FindEntry(mainWindow_, id);
            if (entry && SendWakePacket(mainWindow_, *entry)) Log(ResentText(EntryLabel(*entry)));
        }
        const WaitEnd state = watch_.WaitState(now);
        if (state != WaitEnd::Waiting) {
            FinishWait(state);
            return;
        }
        if (App().commandLineDialog) SetCommandLineDialogText(watch_.WaitText(now).c_str());
    }
    if (watchPending_ == 0) {
        std::vector<ProbeTarget> targets = watch_.ToProbe();
        watchPending_ = targets.size();
        if (!targets.empty()) watchEngine_.Probe(targets);
    }
    if (!watch_.Busy() && !watch_.IsWaiting() && watchPending_ == 0 && watchTimer_) {
        KillTimer(mainWindow_, kWatchTimer);
        watchTimer_ = false;
    }
}

void CStatusCheck::OnWatchResults() {
    const std::vector<ProbeReport> reports = watchEngine_.TakeReports();
    if (!started_) return;
    // The watch's own deadlines still end every watched entry and the wait.
    if (EngineFailed(watchEngine_)) return;
    for (const ProbeReport& r : reports) {
        if (r.batch != watchEngine_.Batch()) continue;
        if (watchPending_ > 0) --watchPending_;
        const int32_t id = static_cast<int32_t>(r.done.target.tag);
        ShowVerdict(id, r.done.target.address, r.done.verdict);
        for (const std::string& line : watch_.Result(id, r.done.verdict, Now())) Log(line);
        if (watch_.IsWaiting() && !waitFinished_ && watch_.WaitState(Now()) == WaitEnd::AllAnswered)
            FinishWait(WaitEnd::AllAnswered);
    }
}

bool CStatusCheck::BeginWaitAfterRun() {
    const uint64_t now = Now();
    watch_.BeginWait(now, static_cast<uint64_t>(waitSeconds_) * 1000);
    const WaitEnd state = watch_.WaitState(now);
    if (state != WaitEnd::Waiting) {
        FinishWait(state);
        return false;
    }
    SetCommandLineDialogText(watch_.WaitText(now).c_str());
    Log(watch_.WaitText(now));
    WatchTick();
    return true;
}

void CStatusCheck::FinishWait(WaitEnd end) {
    if (waitFinished_) return;
    waitFinished_ = true;
    switch (end) {
    case WaitEnd::AllAnswered: Log("送信先のすべてのコンピュータが応答しました"); break;
    case WaitEnd::TimedOut: Log("応答のないコンピュータがあります(待ち時間切れ)"); break;
    default: Log("送信先がありません"); break;
    }
    EndCommandLineRun(mainWindow_, WaitExitCode(end), "コマンドラインからの実行依頼の為アプリケーション終了");
}

void CStatusCheck::ArmWait(uint32_t seconds) {
    waitSeconds_ = seconds;
    waitFinished_ = false;
    watch_.PrepareWait();
}

void CStatusCheck::EndWait() {
    watch_.EndWait(Now());
    waitSeconds_ = 0;
}

bool CStatusCheck::CutWaitShort() {
    if (!Waiting()) return false;
    waitFinished_ = true;
    App().exitCode = 1;
    Log("終了するため、応答の待機を打ち切りました");
    return true;
}
