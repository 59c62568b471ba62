// Tears the main window down: saves the entries, releases every object.
#include <memory>
#include <string>

#include "app/MainWindowWin32.h"
#include "entries/DataSaverWin32.h"
#include "entries/EntList.h"
#include "log/AppLogWin32.h"
#include "log/CommandLogWin32.h"
#include "net/SocketCommWin32.h"
#include "tools/ProcessWin32.h"
#include "tools/SetupWin32.h"
#include "tools/ToolRunState.h"
#include "ui/AppContextWin32.h"
#include "ui/DlgbarWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/WaitWin32.h"
#include "ui/WindowPropWin32.h"
#include "wake/HandOverWin32.h"
#include "wake/StatusCheckWin32.h"

namespace {

// The rule: nothing that a worker uses is released while the worker may still
// run. A wake run is asked to stop and waited for; a running tool command is
// stopped by force and its runner waited for until idle. Only then do the
// objects go. False when the wake worker did not end in time.
bool StopBackgroundWork(HWND mainWindow) {
    AppContext& app = App();
    bool wakeEnded = true;
    if (app.wakeThread) {
        app.wakeCancel = 1;
        // The worker's end report arrives during this wait and closes the
        // run's own handle: wait on a copy.
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), app.wakeThread, GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0);
        wakeEnded = WaitAnsweringSentMessages(copy ? copy : app.wakeThread, 30000);
        if (copy) CloseHandle(copy);
    }
    CProcess* runner = FindObject<CProcess>(mainWindow, kProcessProp);
    if (runner && CommandActive(runner)) {
        ForceStop(runner);
        if (runner->idleEvent) WaitAnsweringSentMessages(runner->idleEvent, 30000);
    }
    return wakeEnded;
}

// The last save, after any save under way; it writes even when nothing
// changed. A failure the run already reported is not said again. Then the
// saver goes, and with it the store's way to reach it.
void SaveEntries(HWND mainWindow) {
    SaveEntriesNow(mainWindow, true);
    CDataSaver* saver = DetachObject<CDataSaver>(mainWindow, kDataSaverProp);
    if (CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp)) store->SetChangeHook(nullptr);
    delete saver;
}

bool g_shuttingDown = false;

void SaveColumnLayouts(HWND mainWindow) {
    std::unique_ptr<ColumnLayouts> layouts(DetachObject<ColumnLayouts>(mainWindow, kColumnLayoutsProp));
    if (!layouts) return;
    HWND tab = TabControl(mainWindow);
    HWND wakeList = PageWindow(tab, 0), commandLog = PageWindow(tab, 1);
    const UINT dpi = App().dpi;
    const bool saved =
        (!wakeList || SaveColumnLayout(wakeList, layouts->iniPath, kWakeListSection, layouts->wakeList, dpi)) &&
        (!commandLog || SaveColumnLayout(commandLog, layouts->iniPath, kCommandLogSection, layouts->commandLog, dpi));
    if (!saved) AppendCommandLog(mainWindow, "列の並びと幅を保存できませんでした");
}

}  // namespace

bool ShutdownInProgress() { return g_shuttingDown; }

int OnDestroy(HWND mainWindow) {
    g_shuttingDown = true;
    // Callers of handed-over requests hear what is known before anything
    // their run uses goes; a wait of the program's own command line ends
    // with 1, and the log says it was cut short.
    StopHandOverServer(mainWindow);
    SaveColumnLayouts(mainWindow);
    if (CStatusCheck* check = FindObject<CStatusCheck>(mainWindow, kStatusCheckProp)) check->CutWaitShort();
    AppendCommandLog(mainWindow, "Nodelark 終了します");
    // The checks go first: their threads are joined before anything they
    // report to or read from is released.
    DetachObject<CRunWait>(mainWindow, kRunWaitProp);
    delete DetachObject<CStatusCheck>(mainWindow, kStatusCheckProp);
    const bool wakeEnded = StopBackgroundWork(mainWindow);
    if (!wakeEnded) {
        // Freeing what a live worker still uses could crash at the last
        // moment; the process is ending anyway, so those objects stay.
        AppendCommandLog(mainWindow, "WakeUpパケットの送信スレッドが終了しないため、使用中のオブジェクトを解放せずに終了します");
        SaveEntries(mainWindow);
        PostQuitMessage(App().exitCode);
        return 0;
    }

    SaveEntries(mainWindow);
    delete DetachObject<CEntList>(mainWindow, kEntListProp);
    delete DetachObject<CSetup>(mainWindow, kSetupPropName);
    delete DetachObject<CDlgbar>(mainWindow, kDlgbarProp);
    delete DetachObject<CProgStbar>(mainWindow, kProgStbarProp);
    DestroyProcessRunner(DetachObject<CProcess>(mainWindow, kProcessProp));
    delete DetachObject<ToolRunState>(mainWindow, kToolRunProp);
    if (CSocketComm* socket = DetachObject<CSocketComm>(mainWindow, kSocketProp)) {
        socket->Close();
        delete socket;
    }
    // The log goes last so that it still receives the closing line; no
    // thread is left that could add to the page's queue.
    FreeCommandLogQueue(PageWindow(TabControl(mainWindow), 1));
    delete DetachObject<CAppLog>(mainWindow, kAppLogPropName);

    AppContext& app = App();
    for (HIMAGELIST* list : {&app.smallImages, &app.stateImages, &app.headerImages}) {
        if (*list) ImageList_Destroy(*list);
        *list = nullptr;
    }
    // Taken off the window first, so the window does not destroy it again.
    SetMenu(mainWindow, nullptr);
    for (HMENU* menu : {&app.mainMenu, &app.logMenu}) {
        if (*menu) DestroyMenu(*menu);
        *menu = nullptr;
    }
    for (HFONT* font : {&app.listFont, &app.guiFont, &app.statusFont}) {
        if (*font) DeleteObject(*font);
        *font = nullptr;
    }
    PostQuitMessage(app.exitCode);
    return 0;
}
