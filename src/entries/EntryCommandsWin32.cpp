// Add, edit and delete: the store and the Wake List change together.
#include "entries/EntryCommandsWin32.h"

#include <commctrl.h>

#include <cstring>

#include "common/AppError.h"
#include "common/LocalTimeWin32.h"
#include "entries/EntList.h"
#include "entries/EntryDialogWin32.h"
#include "entries/WakeEntry.h"
#include "entries/WakeListColumns.h"
#include "entries/WakeListWin32.h"
#include "ui/ListViewWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

namespace {

// The add command names the store one way, edit and delete another.
constexpr char kNoStoreOnAdd[] = "エントリ管理クラスインスタンスの取得に失敗しました";
constexpr char kNoStore[] = "エントリ管理クラスクラスインスタンスの取得に失敗しました";
constexpr char kNoTab[] = "タブウィンドウハンドルの取得に失敗しました";
constexpr char kNoList[] = "リストビューウィンドウハンドルの取得に失敗しました";
constexpr char kAddFailed[] = "エントリ追加に失敗しました";
constexpr char kNothingToEdit[] = "編集対象を選択してください";
constexpr char kEditGone[] = "メモリの確保に失敗しました";
constexpr char kNothingToDelete[] = "削除対象を選択してください";
constexpr char kDeleteQuestion[] = "エントリーを削除します";

struct Targets {
    CEntList* store;
    HWND list;
};

Targets FindTargets(HWND mainWindow, const char* noStoreText) {
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    if (!store) throw AppError(noStoreText);
    HWND tab = TabControl(mainWindow);
    if (!tab) throw AppError(kNoTab);
    HWND list = PageWindow(tab, -1);
    if (!list) throw AppError(kNoList);
    return {store, list};
}

int RowId(HWND list, int row) { return static_cast<int>(RowParam(list, row, 0)); }

// Same first column, image and parameter as InsertListItem gives a row.
void UpdateRow(HWND list, int row, const WakeEntry& entry) {
    std::string name = WakeListCellText(entry, 0);
    SetRowHead(list, row, name.c_str(), entry.excluded ? 1 : 0, entry.id);
    SetListItemColumns(list, row, entry);
}

// Only an OK counts: a sheet that never opened changed nothing either.
bool Confirmed(INT_PTR sheetResult) { return sheetResult > 0; }

}  // namespace

int OnNewEntry(HWND mainWindow) {
    try {
        Targets t = FindTargets(mainWindow, kNoStoreOnAdd);
        WakeEntry entry;
        InitNewEntry(entry);
        if (Confirmed(ShowEntryDialog(mainWindow, entry))) {
            entry.registeredTime = LocalNow();
            if (t.store->AddEntry(entry) < 0) throw AppError(kAddFailed);
            InsertListItem(mainWindow, entry);
        }
        SetFocus(t.list);
        return 1;
    } catch (const AppError& e) {
        ShowError(mainWindow, e.Text());
        return 0;
    }
}

int OnEditEntry(HWND mainWindow) {
    try {
        Targets t = FindTargets(mainWindow, kNoStore);
        int row = FirstSelectedRow(t.list);
        if (row < 0) throw AppError(kNothingToEdit);
        const WakeEntry* stored = t.store->FindEntry(RowId(t.list, row));
        if (!stored) throw AppError(kEditGone);
        WakeEntry copy = *stored;
        if (Confirmed(ShowEntryDialog(mainWindow, copy))) {
            copy.updatedTime = LocalNow();
            const bool readdressed = std::memcmp(copy.ipAddress, stored->ipAddress, sizeof copy.ipAddress) != 0;
            t.store->ReplaceEntry(copy);
            if (readdressed) SendMessageA(mainWindow, WM_APP_ENTRY_READDRESSED, static_cast<WPARAM>(copy.id), 0);
            // The row is found again by its id: rows may have moved while
            // the dialog was open. An entry moved out of the filtered network
            // loses its row, as a refresh would take it away.
            int shown = RowWithParam(t.list, copy.id);
            if (shown >= 0) {
                if (EntryPassesFilter(copy)) UpdateRow(t.list, shown, copy);
                else SendMessageA(t.list, LVM_DELETEITEM, shown, 0);
            }
        }
        SetFocus(t.list);
        return 1;
    } catch (const AppError& e) {
        ShowError(mainWindow, e.Text());
        return 0;
    }
}

int OnDeleteEntries(HWND mainWindow) {
    try {
        Targets t = FindTargets(mainWindow, kNoStore);
        if (FirstSelectedRow(t.list) < 0) throw AppError(kNothingToDelete);
        if (AskYesNo(mainWindow, kDeleteQuestion)) {
            SendMessageA(t.list, WM_SETREDRAW, FALSE, 0);
            for (int row; (row = FirstSelectedRow(t.list)) >= 0;) {
                t.store->RemoveEntry(RowId(t.list, row));
                if (!SendMessageA(t.list, LVM_DELETEITEM, row, 0)) break;
            }
            SendMessageA(t.list, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(t.list, nullptr, TRUE);
        }
        SetFocus(t.list);
        return 1;
    } catch (const AppError& e) {
        ShowError(mainWindow, e.Text());
        return 0;
    }
}
