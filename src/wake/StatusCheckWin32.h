#pragma once
// The Wake List's status column, the watch over woken computers and the
// waiting of the /wait option. Two probe engines do the asking: one sweeps
// the whole list every 30 s, the other asks only the watched entries every
// few seconds, so a long sweep never delays a confirmation.
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>

#include "net/ProbeEngineWin32.h"
#include "wake/RunWait.h"
#include "wake/WakeWatch.h"

constexpr UINT WM_APP_PROBE_SWEEP = WM_APP + 0x2B0;  // posted by the sweep engine
constexpr UINT WM_APP_PROBE_WATCH = WM_APP + 0x2B1;  // posted by the watch engine
constexpr UINT_PTR kStatusSweepTimer = 0x2B0;
constexpr UINT_PTR kWatchTimer = 0x2B1;
constexpr char kStatusCheckProp[] = "CStatusCheck_Class";
constexpr int kStatusColumn = 11;
constexpr char kStatusSettingsFile[] = "Nodelark.ini";

class CStatusCheck final : public CRunWait {
public:
    CStatusCheck(HWND mainWindow, const std::string& dataFolder);
    ~CStatusCheck();
    CStatusCheck(const CStatusCheck&) = delete;
    CStatusCheck& operator=(const CStatusCheck&) = delete;

    // Starts both engines, and the checks when the saved setting says so.
    void Start();
    bool Enabled() const { return enabled_; }
    // Turns the checks on (a sweep at once) or off (the column emptied), and
    // remembers the choice in the data folder.
    void SetEnabled(bool enabled);

    // The engines' notices: every result waiting there is taken at once.
    void OnSweepResults();
    void OnWatchResults();
    // An edit gave the entry another address: its cell empties and its old
    // verdict is forgotten, so nothing said of the old computer carries over.
    void ForgetEntry(int32_t id);
    bool OnTimer(UINT_PTR id);
    // A packet went to an entry (WM_APP_WAKE_SENT).
    void OnWakeSent(int32_t id);

    void ArmWait(uint32_t seconds) override;
    bool WaitArmed() const override { return waitSeconds_ != 0; }
    bool Waiting() const override { return watch_.IsWaiting() && !waitFinished_; }
    void EndWait() override;
    // The program closes during a wait: the exit code says not everyone
    // answered, and the log says the wait was cut short. False when no
    // wait was on.
    bool CutWaitShort();
    bool BeginWaitAfterRun() override;
    // Both engines stopped and joined; nothing is posted after this.
    void Stop();

private:
    void Sweep();
    void ClearColumn();
    void MapRows(HWND list);
    int RowOf(HWND list, int32_t id);
    void ShowVerdict(int32_t id, uint32_t address, ProbeVerdict verdict);
    void WatchTick();
    void FinishWait(WaitEnd end);
    void Log(const std::string& line);
    // True, after saying so once in the log, when the engine's thread failed:
    // it asks nothing more, so nothing is waited for from it.
    bool EngineFailed(const CProbeEngine& engine);
    uint64_t Now() const { return GetTickCount64(); }

    HWND mainWindow_;
    std::string settingsPath_;
    CProbeEngine sweepEngine_;
    CProbeEngine watchEngine_;
    bool enabled_ = true;
    bool started_ = false;
    size_t sweepPending_ = 0;
    bool sweepDue_ = false;
    size_t watchPending_ = 0;
    bool watchTimer_ = false;
    std::unordered_map<int32_t, ProbeVerdict> verdicts_;
    // Each entry's row when last mapped, and the row count then.
    std::unordered_map<int32_t, int> rows_;
    int rowsCount_ = 0;
    WakeWatch watch_;
    uint32_t waitSeconds_ = 0;
    bool waitFinished_ = false;
    bool failureLogged_ = false;
};
