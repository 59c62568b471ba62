#include "tools/ToolRunWin32.h"

#include <commdlg.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "resource.h"
#include "common/Cp932.h"
#include "common/FileDialogKind.h"
#include "common/FileDialogWin32.h"
#include "common/FixedText.h"
#include "entries/EntList.h"
#include "log/CommandLogWin32.h"
#include "tools/ProcessWin32.h"
#include "tools/SetupWin32.h"
#include "tools/ToolArguments.h"
#include "tools/ToolRunState.h"
#include "ui/ListViewWin32.h"
#include "ui/WaitWin32.h"
#include "ui/AppContextWin32.h"
#include "ui/CloseDeferralWin32.h"
#include "ui/CommandLineDialogWin32.h"
#include "ui/DlgbarWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

namespace {

constexpr int kToolMarkStateImage = 4;
constexpr DWORD kCommandLineEndPauseMs = 500;
const UINT kRunButtons[] = {IDM_WAKE_ALL, IDM_ENTRY_NEW, IDM_TOOLS_REGISTER};

// The run's state; null only in a window made without one (tests).
ToolRunState* RunState(HWND mainWindow) { return FindObject<ToolRunState>(mainWindow, kToolRunProp); }

void Refuse(HWND mainWindow, const char* text) {
    ShowError(mainWindow, text);
    AppendCommandLog(mainWindow, text);
}

// The wake commands stay greyed in the menus for as long as a run is active:
// a wake run would take the Wake List from under it.
void SetWakeMenuItems(bool enabled) {
    HMENU menu = App().mainMenu;
    if (!menu) return;
    for (UINT command : {IDM_WAKE_ALL, IDM_WAKE_SELECTED})
        EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void SetRunButtons(HWND mainWindow, bool enabled) {
    CDlgbar* bar = FindObject<CDlgbar>(mainWindow, kDlgbarProp);
    if (!bar) return;
    for (UINT command : kRunButtons) {
        if (enabled) bar->EnableButton(command);
        else bar->DisableButton(command);
    }
}

void SetStatusBarTexts(HWND mainWindow, const char* part0, const char* part1) {
    if (CProgStbar* status = FindObject<CProgStbar>(mainWindow, kProgStbarProp)) {
        status->SetPartText(0, part0);
        status->SetPartText(1, part1);
    }
}

// Back to idle, so that the next run is not refused.
void ClearRunState(HWND mainWindow) {
    if (ToolRunState* run = RunState(mainWindow)) {
        run->toolNextIndex = 0;
        std::memset(&run->currentTool, 0, sizeof run->currentTool);
        run->stopRequested = false;
    }
    App().toolRunning = 0;
    SetWakeMenuItems(true);
}

// In command-line mode the program ends with the run.
void CloseForCommandLine(HWND mainWindow, const char* line) {
    AppContext& app = App();
    ToolRunState* run = RunState(mainWindow);
    if (!app.commandLineMode || (run && run->closeRequested)) return;
    if (run) run->closeRequested = true;
    Sleep(kCommandLineEndPauseMs);
    // A tool run has no exit code of its own (see DeferClose for the close).
    EndCommandLineRun(mainWindow, app.exitCode, line);
}

constexpr char kCloseAfterRun[] = "コマンドラインからの実行依頼の為アプリケーション終了（コマンド）";
constexpr char kCloseAfterError[] = "コマンドラインからの実行依頼の為アプリケーション終了（エラー）";

// Every way a run ends: its status, the buttons back, idle again, and in
// command-line mode the program's end.
void FinishRun(HWND mainWindow, const char* statusText, const char* closeLine) {
    SetStatusBarTexts(mainWindow, statusText, "");
    SetRunButtons(mainWindow, true);
    ClearRunState(mainWindow);
    CloseForCommandLine(mainWindow, closeLine);
}

void EndRun(HWND mainWindow) { FinishRun(mainWindow, "ﾂｰﾙｺﾏﾝﾄﾞの実行が完了しました", kCloseAfterRun); }

HWND EntryList(HWND mainWindow) {
    HWND tab = TabControl(mainWindow);
    return tab ? PageWindow(tab, 0) : nullptr;
}


bool AskInput(HWND mainWindow, ToolRunState& run, std::string& text) {
    std::memset(run.toolInputText, 0, sizeof run.toolInputText);
    INT_PTR result = DialogBoxParamA(App().instance, MAKEINTRESOURCEA(IDD_TOOL_INPUT), mainWindow, ToolInputDialogProc,
                                     reinterpret_cast<LPARAM>(&run));
    if (result != IDOK) return false;
    text = FieldText(run.toolInputText);
    return true;
}

// Hands one command line to the runner once it is idle. False when it
// could not be started.
bool StartOnRunner(HWND mainWindow, CProcess* runner, const ToolSetting& tool, const std::string& commandLine) {
    if (!runner->idleEvent) return false;
    // Without limit, but still answering what runner threads send here.
    if (!WaitAnsweringSentMessages(runner->idleEvent)) return false;
    if (!ResetEvent(runner->idleEvent)) return false;
    ClearRunnerFields(runner);
    SetField(runner->commandLine, commandLine);
    SetField(runner->workFolder, FieldText(tool.WorkFolder));
    runner->notifyWindow = mainWindow;
    runner->notifyMessage = WM_APP_TOOL_EVENT;
    runner->showCommand = static_cast<int16_t>(tool.ShowWindow & 0xFFFF);
    runner->timeout = tool.Timeout;
    return Start(runner) >= 0;
}

// Ends the run at a completion the user asked to stop at.
void EndStoppedRun(HWND mainWindow) {
    AppendCommandLog(mainWindow, "ﾂｰﾙｺﾏﾝﾄﾞの実行を中止しました");
    FinishRun(mainWindow, "ﾂｰﾙｺﾏﾝﾄﾞの実行を中止しました", kCloseAfterRun);
}

// Moves the run on to its next command as the execution style says: the
// entry list index of that command, or -1 when the run is over.
int AdvanceToNextCommand(HWND mainWindow, ToolRunState& run) {
    HWND list = EntryList(mainWindow);
    if (!list) return -1;
    int first = FirstSelectedRow(list);
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    if (run.currentTool.ExecStyle == 1) {
        if (first >= 0) SetRowState(list, first, 0, LVIS_SELECTED);
        run.toolNextIndex = FirstSelectedRow(list);
        return run.toolNextIndex;
    }
    if (run.currentTool.ExecStyle == 2 && ++run.toolNextIndex < count) return run.toolNextIndex;
    return -1;
}

void ChooseNextCommand(HWND mainWindow) {
    ToolRunState* run = RunState(mainWindow);
    int next = run ? AdvanceToNextCommand(mainWindow, *run) : -1;
    if (next < 0) {
        EndRun(mainWindow);
        return;
    }
    if (run->stopRequested) {
        EndStoppedRun(mainWindow);
        return;
    }
    RunToolCommand(mainWindow, next);
}

// A command that could not be made or started: no completion will come.
void FailCommand(HWND mainWindow, const ToolRunState& run) {
    AppendCommandLog(mainWindow, "ツールコマンドの実行に失敗しました");
    if (run.currentTool.IsEnable) FinishRun(mainWindow, "ﾂｰﾙｺﾏﾝﾄﾞの実行中にｴﾗｰが発生しました", kCloseAfterError);
}

void OnCommandFinished(HWND mainWindow, int32_t exitCode) {
    char line[96];
    std::snprintf(line, sizeof line, "ｺﾏﾝﾄﾞの実行が完了しました 終了ｺｰﾄﾞ=%d", exitCode);
    AppendCommandLog(mainWindow, line);
    ChooseNextCommand(mainWindow);
}

void OnCommandStarted(HWND mainWindow, const char* commandLine) {
    App().toolRunning = 1;
    SetRunButtons(mainWindow, false);
    SetWakeMenuItems(false);
    AppendCommandLog(mainWindow, commandLine ? commandLine : "");
    SetStatusBarTexts(mainWindow, "ﾂｰﾙｺﾏﾝﾄﾞを実行中です...", "中止するにはCtrl+Breakを押して下さい");
}

void OnOutputLines(HWND mainWindow, const ToolOutputLines* batch) {
    if (!batch) return;
    for (size_t i = 0; i < batch->count; ++i) AppendCommandLog(mainWindow, batch->lines[i]);
}

void OnCommandCompletion(HWND mainWindow, int32_t exitCode) {
    // Handled once the question has its answer.
    ToolRunState* run = RunState(mainWindow);
    if (run && run->cancelQuestion.HoldEnd(exitCode)) return;
    OnCommandFinished(mainWindow, exitCode);
}

void OnCommandError(HWND mainWindow, const char* text) {
    AppendCommandLog(mainWindow, text ? text : "");
    SetStatusBarTexts(mainWindow, "ﾂｰﾙｺﾏﾝﾄﾞの実行中にｴﾗｰが発生しました", "");
    SetRunButtons(mainWindow, true);
    CloseForCommandLine(mainWindow, kCloseAfterError);
}

// A forced stop (cancel, failed start, shutdown): no completion will follow,
// so the run ends here with the error status left showing.
void OnCommandStopped(HWND mainWindow) { ClearRunState(mainWindow); }

}  // namespace

int StartToolRun(HWND mainWindow, int commandId) {
    DeferClose deferClose(mainWindow);
    AppContext& app = App();
    if (app.toolRunning) {
        Refuse(mainWindow, "ツールコマンドは実行中です");
        return 0;
    }
    HWND list = EntryList(mainWindow);
    if (!list) return -1;
    if (commandId < IDM_TOOL1 || commandId > IDM_TOOL5) {
        Refuse(mainWindow, "ツールが未登録です");
        return 0;
    }
    int number = commandId - IDM_TOOL1 + 1;
    char section[16];
    std::snprintf(section, sizeof section, "Tool%d", number);
    ToolRunState* run = RunState(mainWindow);
    if (!run) return -1;
    ToolSetting tool;
    if (!LoadToolSetting(mainWindow, section, &tool)) {
        char text[64];
        std::snprintf(text, sizeof text, "ツールが未登録です(No.%d)", number);
        Refuse(mainWindow, text);
        return 0;
    }
    int first = FirstSelectedRow(list);
    if (tool.ExecStyle == 1 && first < 0) {
        Refuse(mainWindow, "ツールの実行には対象となるエントリが最低１以上指定されていないければなりません");
        return 0;
    }
    if (tool.ExecStyle == 2) {
        if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) <= 0) {
            Refuse(mainWindow, "ツールの実行対象となるエントリが登録されていません");
            return 0;
        }
        first = 0;
    }
    run->currentTool = tool;
    run->toolNextIndex = first < 0 ? 0 : first;
    run->stopRequested = false;
    run->closeRequested = false;
    AppendCommandLog(mainWindow, "ツールコマンドの実行開始...");
    return RunToolCommand(mainWindow, first);
}

int RunToolCommand(HWND mainWindow, int index) {
    DeferClose deferClose(mainWindow);
    ToolRunState* run = RunState(mainWindow);
    CProcess* runner = FindObject<CProcess>(mainWindow, kProcessProp);
    HWND tab = TabControl(mainWindow);
    HWND list = tab ? PageWindow(tab, 0) : nullptr;
    if (!run || !runner || !list) {
        ClearRunState(mainWindow);
        return -1;
    }
    const ToolSetting& tool = run->currentTool;
    AskToolInput ask = [mainWindow, run](std::string& text) { return AskInput(mainWindow, *run, text); };
    std::string arguments;
    if (index < 0) {
        arguments = ExpandToolArguments(tool.Argv, sizeof tool.Argv, nullptr, ask);
    } else {
        CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
        const WakeEntry* entry = nullptr;
        // Entries whose texts could break out of the command line are passed
        // over in a loop, not by recursion: a long list of them must not
        // deepen the stack.
        for (;;) {
            entry = nullptr;
            const LPARAM id = store ? RowParam(list, index) : -1;
            if (id >= 0) entry = store->FindEntry(static_cast<int>(id));
            if (!entry) {
                // The entry has gone during the run: the run ends here, as if
                // it had come to its last command.
                EndRun(mainWindow);
                return 0;
            }
            PlaceholderCheck check = CheckEntryPlaceholders(tool.Argv, sizeof tool.Argv, *entry, GetACP() == 932);
            if (check.fault == PlaceholderFault::kNone) break;
            SwitchPage(mainWindow, tab, 1);
            AppendCommandLog(mainWindow, PlaceholderRefusalText(*entry, check).c_str());
            if (App().commandLineMode) {
                FailCommand(mainWindow, *run);
                return 0;
            }
            index = AdvanceToNextCommand(mainWindow, *run);
            if (index < 0) {
                EndRun(mainWindow);
                return 0;
            }
            if (run->stopRequested) {
                EndStoppedRun(mainWindow);
                return 0;
            }
        }
        arguments = ExpandToolArguments(tool.Argv, sizeof tool.Argv, entry, ask);
        SetRowState(list, index, INDEXTOSTATEIMAGEMASK(kToolMarkStateImage), LVIS_STATEIMAGEMASK);
    }
    SwitchPage(mainWindow, tab, 1);
    AppendCommandLog(mainWindow, "ｺﾏﾝﾄﾞの実行を開始します...");
    std::string commandLine = BuildToolCommandLine(FieldText(tool.Command), arguments);
    if (!StartOnRunner(mainWindow, runner, tool, commandLine)) {
        FailCommand(mainWindow, *run);
        return 0;
    }
    OpenCommandLineDialog(mainWindow);
    return 0;
}

LRESULT OnToolEvent(HWND mainWindow, WPARAM code, LPARAM value) {
    DeferClose deferClose(mainWindow);
    CProgStbar* status = FindObject<CProgStbar>(mainWindow, kProgStbarProp);
    if (!status) {
        ShowError(mainWindow, "ステータスバー操作クラスが喪失しました(内部エラー)");
        AppendCommandLog(mainWindow, "致命的なエラー");
        return -1;
    }
    const char* text = reinterpret_cast<const char*>(value);
    switch (code) {
    case TOOL_EVENT_STARTED: OnCommandStarted(mainWindow, text); break;
    case TOOL_EVENT_OUTPUT: AppendCommandLog(mainWindow, text ? text : ""); break;
    case TOOL_EVENT_OUTPUT_LINES: OnOutputLines(mainWindow, reinterpret_cast<const ToolOutputLines*>(value)); break;
    case TOOL_EVENT_FINISHED: OnCommandCompletion(mainWindow, static_cast<int32_t>(value)); break;
    case TOOL_EVENT_ERROR: OnCommandError(mainWindow, text); break;
    case TOOL_EVENT_STOPPED: OnCommandStopped(mainWindow); break;
    default: break;
    }
    return 0;
}

void OnToolCancel(HWND mainWindow) {
    DeferClose deferClose(mainWindow);
    CProcess* runner = FindObject<CProcess>(mainWindow, kProcessProp);
    ToolRunState* run = RunState(mainWindow);
    if (!runner || !run || !CommandActive(runner) || run->cancelQuestion.IsOpen()) return;
    const bool yes = run->cancelQuestion.Ask([mainWindow] { return AskYesNo(mainWindow, "ツール実行を中止します"); });
    // The command the question was about may have ended while it was open,
    // and the next one must not be the one stopped: look again.
    runner = FindObject<CProcess>(mainWindow, kProcessProp);
    if (yes) {
        if (!run->cancelQuestion.EndHeld() && runner && ChildStillRuns(runner)) {
            ForceStop(runner);
            return;
        }
        if (App().toolRunning) run->stopRequested = true;
    }
    int32_t exitCode = 0;
    if (run->cancelQuestion.TakeHeldEnd(&exitCode)) OnCommandFinished(mainWindow, exitCode);
}

INT_PTR CALLBACK ToolInputDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        // The run's state, where the answer goes.
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            char text[1024] = {};
            int n = GetDlgItemTextA(dialog, IDC_INPUT_TEXT, text, sizeof text);
            if (auto* run = reinterpret_cast<ToolRunState*>(GetWindowLongPtrA(dialog, DWLP_USER)))
                SetField(run->toolInputText, CutAtCharBoundary(std::string(text, n > 0 ? n : 0), kMaxPlaceholderText));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_INPUT_BROWSE: {
            char path[260] = {};
            GetModuleFileNameA(nullptr, path, sizeof path - 1);
            static const FileDialogKind kBrowse = {false, "ﾌｧｲﾙの参照", "全てのﾌｧｲﾙ (*.*)\0*.*\0", nullptr,
                                                   kOfnExplorer | kOfnFileMustExist | kOfnHideReadOnly |
                                                       kOfnNoReadOnlyReturn};
            if (AskForFile(dialog, kBrowse, path, sizeof path)) {
                std::string quoted = std::string("\"") + path + "\"";
                SetDlgItemTextA(dialog, IDC_INPUT_TEXT, quoted.c_str());
            }
            return TRUE;
        }
        }
        break;
    }
    return FALSE;
}
