// The main window procedure and everything it routes.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "about/AboutWin32.h"
#include "app/MainWindowWin32.h"
#include "app/ShellText.h"
#include "common/AppError.h"
#include "common/FileDialogWin32.h"
#include "common/ScopedWin32.h"
#include "entries/DataSaverWin32.h"
#include "entries/EntryCommandsWin32.h"
#include "entries/EntryFileDialogs.h"
#include "entries/WakeListColumns.h"
#include "entries/WakeListWin32.h"
#include "log/CommandLogWin32.h"
#include "resource.h"
#include "scan/ScanDialogWin32.h"
#include "tools/ProcessWin32.h"
#include "tools/ToolRunWin32.h"
#include "tools/ToolsMenuWin32.h"
#include "ui/AppContextWin32.h"
#include "ui/CloseDeferralWin32.h"
#include "ui/DlgbarWin32.h"
#include "ui/ListViewWin32.h"
#include "ui/WindowPropWin32.h"
#include "wake/HandOverWin32.h"
#include "wake/StatusCheckWin32.h"
#include "wake/WakeRunWin32.h"

namespace {

bool HasSelection(HWND list) { return FirstSelectedRow(list) >= 0; }

// Loads the context-menu resource, picks one popup and shows it; the
// resource is destroyed again once the menu has closed.
void ShowPopup(HWND mainWindow, int index, int x, int y, UINT flags, const RECT* keepClear) {
    ScopedMenu menu(LoadMenuA(App().instance, MAKEINTRESOURCEA(IDM_POPUPS)));
    if (!menu.IsValid()) return;
    HMENU popup = GetSubMenu(menu.Get(), index);
    if (!popup) return;
    if (index == POPUP_ENTRY) RefreshToolsMenu(mainWindow, GetSubMenu(popup, POPUP_ENTRY_TOOLS_ITEM));
    if (index == POPUP_TOOL) RefreshToolsMenu(mainWindow, popup);
    // A wake run is refused while a tool run is active.
    if (index == POPUP_SEND && App().toolRunning) {
        for (UINT command : {IDM_WAKE_ALL, IDM_WAKE_SELECTED}) EnableMenuItem(popup, command, MF_BYCOMMAND | MF_GRAYED);
    }
    TPMPARAMS params = {};
    params.cbSize = sizeof params;
    if (keepClear) params.rcExclude = *keepClear;
    TrackPopupMenuEx(popup, flags, x, y, mainWindow, keepClear ? &params : nullptr);
}

LRESULT OnToolbarDropDown(HWND mainWindow, const NMTOOLBARA* info) {
    RECT button = {};
    SendMessageA(info->hdr.hwndFrom, TB_GETRECT, info->iItem, reinterpret_cast<LPARAM>(&button));
    MapWindowPoints(info->hdr.hwndFrom, HWND_DESKTOP, reinterpret_cast<POINT*>(&button), 2);
    HWND page = PageWindow(TabControl(mainWindow), -1);
    if (!page) return TBDDRET_DEFAULT;
    int popup;
    switch (info->iItem) {
    case IDM_WAKE_ALL: popup = POPUP_SEND; break;
    case IDM_ENTRY_NEW: popup = HasSelection(page) ? POPUP_ENTRY : POPUP_ENTRY_NONE; break;
    case IDM_TOOLS_REGISTER: popup = POPUP_TOOL; break;
    default: return 0;
    }
    ShowPopup(mainWindow, popup, button.left, button.bottom, TPM_VERTICAL | TPM_RIGHTBUTTON, &button);
    return 0;
}

LRESULT OnWakeListNotify(HWND mainWindow, NMHDR* header) {
    HWND list = header->hwndFrom;
    // No edit and no re-sort while a wake run walks the rows.
    if (WakeRunActive()) return DefWindowProcA(mainWindow, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
    switch (header->code) {
    case NM_DBLCLK:
        HasSelection(list) ? OnEditEntry(mainWindow) : OnNewEntry(mainWindow);
        return 0;
    case LVN_KEYDOWN: {
        WORD key = reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey;
        if (key == VK_RETURN) {
            HasSelection(list) ? OnEditEntry(mainWindow) : OnNewEntry(mainWindow);
        } else if (key == VK_DELETE) {
            if (!HasSelection(list)) return DefWindowProcA(mainWindow, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
            OnDeleteEntries(mainWindow);
        }
        return 0;
    }
    case LVN_COLUMNCLICK:
        SortWakeListByColumn(mainWindow, list, reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return 0;
    default:
        return DefWindowProcA(mainWindow, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
    }
}

LRESULT OnNotify(HWND mainWindow, WPARAM wParam, LPARAM lParam) {
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    switch (header->idFrom) {
    case IDC_TOOLBAR:
        if (header->code == static_cast<UINT>(TBN_DROPDOWN))
            return OnToolbarDropDown(mainWindow, reinterpret_cast<NMTOOLBARA*>(header));
        break;
    case IDC_TAB:
        if (header->code == static_cast<UINT>(TCN_SELCHANGE)) {
            int index = CurrentTabIndex(header->hwndFrom);
            if (index >= 0) {
                SwitchPage(mainWindow, header->hwndFrom, index);
                return 0;
            }
        }
        break;
    case IDC_WAKE_LIST:
        return OnWakeListNotify(mainWindow, header);
    }
    return DefWindowProcA(mainWindow, WM_NOTIFY, wParam, lParam);
}

LRESULT OnContextMenu(HWND mainWindow, WPARAM wParam, LPARAM lParam) {
    if (WakeRunActive()) return 0;
    try {
        HWND tab = TabControl(mainWindow);
        if (!tab) throw AppError("タブウィンドウハンドルの取得に失敗しました");
        HWND page = PageWindow(tab, -1);
        if (!page) throw AppError("リストビューウィンドウハンドルの取得に失敗しました");
        int x = static_cast<short>(LOWORD(lParam));
        int y = static_cast<short>(HIWORD(lParam));
        // The message climbs to us through the tab control, and a parent that
        // passes it on may name itself in wParam: ask the position instead.
        bool onPage = WindowFromPoint(POINT{x, y}) == page;
        if (CurrentTabIndex(tab) != 0) {
            if (!HasSelection(page)) return 0;
            if (!onPage) return DefWindowProcA(mainWindow, WM_CONTEXTMENU, wParam, lParam);
            ShowPopup(mainWindow, POPUP_OUT, x, y, TPM_RIGHTBUTTON, nullptr);
        } else {
            if (!onPage) return DefWindowProcA(mainWindow, WM_CONTEXTMENU, wParam, lParam);
            ShowPopup(mainWindow, HasSelection(page) ? POPUP_ENTRY : POPUP_ENTRY_NONE, x, y, TPM_RIGHTBUTTON, nullptr);
        }
        return 0;
    } catch (const AppError& e) {
        ShowError(mainWindow, e.Text());
        return DefWindowProcA(mainWindow, WM_CONTEXTMENU, wParam, lParam);
    }
}

void OnCancel(HWND mainWindow) {
    if (WakeRunActive()) {
        OnWakeCancel(mainWindow);
        return;
    }
    OnToolCancel(mainWindow);
}

void SelectInPage(HWND mainWindow, bool invert) {
    HWND tab = TabControl(mainWindow);
    HWND page = tab ? PageWindow(tab, -1) : nullptr;
    if (!page) return;
    SetFocus(page);
    if (!invert) {
        SetRowState(page, -1, LVIS_SELECTED, LVIS_SELECTED);
        return;
    }
    int count = static_cast<int>(SendMessageA(page, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        bool selected = SendMessageA(page, LVM_GETITEMSTATE, i, LVIS_SELECTED) & LVIS_SELECTED;
        SetRowState(page, i, selected ? 0 : LVIS_SELECTED, LVIS_SELECTED);
    }
}

void OpenReadMe(HWND mainWindow) {
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, sizeof program - 1);
    std::string path = ReadMePathFor(program);
    ShellExecuteA(mainWindow, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Empty when the user cancels.
std::string AskFileName(HWND mainWindow, const FileDialogKind& kind) {
    char path[MAX_PATH] = {};
    return AskForFile(mainWindow, kind, path, sizeof path) ? std::string(path) : std::string();
}

const FileDialogKind kLogExportDialog = {true, "出力をﾌｧｲﾙに保存", "ﾌﾟﾚｰﾝﾃｷｽﾄ (*.txt)\0*.txt\0", "txt", kOfnExplorer | kOfnHideReadOnly | kOfnOverwritePrompt};

template <class Action>
void WithFileName(HWND mainWindow, const FileDialogKind& kind, Action action) {
    std::string path = AskFileName(mainWindow, kind);
    if (!path.empty()) action(mainWindow, path.c_str());
}

void OnToolsRegistration(HWND mainWindow) {
    App().toolsDialogOwner = mainWindow;
    DialogBoxParamA(App().instance, MAKEINTRESOURCEA(IDD_TOOLS), mainWindow, ToolsDialogProc, 0);
    if (HMENU menuBar = GetMenu(mainWindow)) {
        if (HMENU popup = GetSubMenu(menuBar, MAIN_MENU_TOOLS_POPUP)) RefreshToolsMenu(mainWindow, popup);
    }
    DrawMenuBar(mainWindow);
}

void OnStatusCheckCommand(HWND mainWindow) {
    CStatusCheck* check = FindObject<CStatusCheck>(mainWindow, kStatusCheckProp);
    if (!check) return;
    check->SetEnabled(!check->Enabled());
    CheckMenuItem(App().mainMenu, IDM_STATUS_CHECK, MF_BYCOMMAND | (check->Enabled() ? MF_CHECKED : MF_UNCHECKED));
}

// The checks' own messages; false for a timer that is not theirs.
bool OnStatusCheckMessage(HWND mainWindow, UINT message, WPARAM wParam) {
    CStatusCheck* check = FindObject<CStatusCheck>(mainWindow, kStatusCheckProp);
    switch (message) {
    case WM_APP_PROBE_SWEEP: if (check) check->OnSweepResults(); return true;
    case WM_APP_PROBE_WATCH: if (check) check->OnWatchResults(); return true;
    case WM_APP_ENTRY_READDRESSED: if (check) check->ForgetEntry(static_cast<int32_t>(wParam)); return true;
    case WM_APP_WAKE_SENT: if (check) check->OnWakeSent(static_cast<int32_t>(wParam)); return true;
    case WM_TIMER: return check && check->OnTimer(wParam);
    }
    return false;
}

void OnFilterCommand(HWND mainWindow) {
    if (DialogBoxParamA(App().instance, MAKEINTRESOURCEA(IDD_FILTER), mainWindow, FilterDialogProc, 0) == 1)
        RefreshEntryList(mainWindow);
}

// While a wake run reads the list and the store, only the cancel and the
// user guide get through: the accelerators reach this window even though it
// is disabled.
bool AllowedDuringWakeRun(int id) { return id == IDM_THREAD_CANCEL || id == IDM_README; }

bool OnCommand(HWND mainWindow, int id) {
    AppContext& app = App();
    if (WakeRunActive() && !AllowedDuringWakeRun(id)) return true;
    switch (id) {
    case IDM_EXIT: SendMessageA(mainWindow, WM_CLOSE, 0, 0); break;
    case IDM_ABOUT: DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_ABOUT), mainWindow, AboutDialog, 0); break;
    case IDM_WAKE_ALL: app.wakeSelectedOnly = 0; StartWakeRun(mainWindow); break;
    case IDM_WAKE_SELECTED: app.wakeSelectedOnly = 1; StartWakeRun(mainWindow); break;
    case IDM_ENTRY_NEW: OnNewEntry(mainWindow); break;
    case IDM_NET_SCAN: OnNetworkScan(mainWindow); break;
    case IDM_ENTRY_EDIT: OnEditEntry(mainWindow); break;
    case IDM_ENTRY_DELETE: OnDeleteEntries(mainWindow); break;
    case IDM_TOOLS_REGISTER: OnToolsRegistration(mainWindow); break;
    case IDM_TOOL1: case IDM_TOOL2: case IDM_TOOL3: case IDM_TOOL4: case IDM_TOOL5:
        StartToolRun(mainWindow, id);
        break;
    case IDM_ENTRY_EXPORT: WithFileName(mainWindow, kExportDialog, ExportEntries); break;
    case IDM_ENTRY_IMPORT: WithFileName(mainWindow, kImportDialog, ImportEntries); break;
    case IDM_ENTRY_LISTING: WithFileName(mainWindow, kListingDialog, WriteEntryListing); break;
    case IDM_LOG_EXPORT: WithFileName(mainWindow, kLogExportDialog, ExportCommandLog); break;
    case IDM_THREAD_CANCEL: OnCancel(mainWindow); break;
    case IDM_SELECT_ALL: SelectInPage(mainWindow, false); break;
    case IDM_INVERT_SELECTION: SelectInPage(mainWindow, true); break;
    case IDM_SWITCH_TAB: SwitchPage(mainWindow, TabControl(mainWindow), -1); break;
    case IDM_README: OpenReadMe(mainWindow); break;
    case IDM_ADDRESS_FILTER: OnFilterCommand(mainWindow); break;
    case IDM_COPY: CopySelection(mainWindow); break;
    case IDM_PASTE: PasteEntries(mainWindow); break;
    case IDM_STATUS_CHECK: OnStatusCheckCommand(mainWindow); break;
    default: return false;
    }
    return true;
}

// The session may end without any further message once this returns TRUE:
// what is not yet on disk goes now.
LRESULT OnQueryEndSession(HWND window) {
    SaveEntriesNow(window, false);
    return TRUE;
}

// wParam FALSE: the shutdown was cancelled, and the program goes on as it
// was. A close put off by a tool runner's modal loop would come too late for
// an ending session: the entries are saved now all the same.
LRESULT OnEndSession(HWND window, WPARAM ending) {
    if (!ending || ShutdownInProgress()) return 0;
    if (CloseDeferred()) SaveEntriesNow(window, false);
    else DestroyWindow(window);
    return 0;
}

LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: return OnDestroy(window);
    case WM_SIZE: return LayoutMainWindow(window, wParam, lParam);
    case WM_DPICHANGED: return OnDpiChanged(window, wParam, lParam);
    case WM_CLOSE:
        if (!ShutdownInProgress() && !CloseDeferred()) DestroyWindow(window);
        return 0;
    case WM_QUERYENDSESSION: return OnQueryEndSession(window);
    case WM_ENDSESSION: return OnEndSession(window, wParam);
    case WM_NOTIFY: return OnNotify(window, wParam, lParam);
    case WM_CONTEXTMENU: return OnContextMenu(window, wParam, lParam);
    case WM_COMMAND:
        if (OnCommand(window, LOWORD(wParam))) return 0;
        break;
    case WM_APP_WAKE_DONE: OnWakeDone(window, wParam); return 0;
    case WM_APP_WAKE_ROWS: return OnWakeRows(window, lParam);
    case WM_APP_WAKE_STAMP: return OnWakeStamp(window, lParam);
    case WM_APP_DATA_SAVED: OnDataSaverMessage(window, message, wParam); return 0;
    case WM_APP_TOOL_EVENT: return OnToolEvent(window, wParam, lParam);
    case WM_APP_REFRESH_TOOLS_MENU: RefreshMainToolsMenu(window); return 0;
    case WM_APP_WAKE_SENT:
        NoteHandOverPacketSent(window);
        OnStatusCheckMessage(window, message, wParam);
        return 0;
    case WM_APP_PROBE_SWEEP:
    case WM_APP_PROBE_WATCH:
    case WM_APP_ENTRY_READDRESSED:
        OnStatusCheckMessage(window, message, wParam);
        return 0;
    case WM_APP_HAND_OVER:
        OnHandOverMessage(window, message, wParam, lParam);
        return 0;
    case WM_APP_LOG_FLUSH:
    case WM_TIMER:
        if (OnCommandLogMessage(window, message, wParam)) return 0;
        if (message == WM_TIMER && OnDataSaverMessage(window, message, wParam)) return 0;
        if (message == WM_TIMER && OnStatusCheckMessage(window, message, wParam)) return 0;
        if (message == WM_TIMER && OnHandOverMessage(window, message, wParam, lParam)) return 0;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

// No exception crosses into the system's code: a command's failure text is
// shown the usual way, and anything else ends the program through its normal
// shutdown, so the entries are saved.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return Dispatch(window, message, wParam, lParam);
    } catch (const AppError& e) {
        ShowError(window, e.Text());
        return 0;
    } catch (...) {
        if (!ShutdownInProgress()) DestroyWindow(window);
        return 0;
    }
}
