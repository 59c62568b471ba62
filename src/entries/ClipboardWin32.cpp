// Copy and paste: entries travel through the store's copy buffer, Command Log
// lines through the system clipboard as plain text.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "common/AppError.h"
#include "common/ClipboardTextWin32.h"
#include "entries/EntList.h"
#include "entries/EntryCommandsWin32.h"
#include "entries/EntryCopy.h"
#include "entries/WakeListWin32.h"
#include "ui/ListViewWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

namespace {

constexpr size_t kTimeBuffer = 64;
constexpr size_t kTextBuffer = 1024;

std::vector<int> SelectedRows(HWND list) {
    std::vector<int> rows;
    for (int row = -1; (row = NextSelectedRow(list, row)) >= 0;) rows.push_back(row);
    return rows;
}


void CopyEntries(CEntList& store, HWND list) {
    store.ClearCopyBuffer();
    for (int row : SelectedRows(list)) {
        const LPARAM id = RowParam(list, row);
        if (id < 0) continue;
        const WakeEntry* entry = store.FindEntry(static_cast<int>(id));
        if (!entry) continue;
        store.AddToCopyBuffer(MakeEntryCopy(*entry));
    }
}

void CopyLogLines(HWND mainWindow, HWND list) {
    const std::vector<int> rows = SelectedRows(list);
    if (rows.empty()) return;
    std::string text;
    for (int row : rows)
        text += ClipboardLine(ListCellText(list, row, 0, kTimeBuffer), ListCellText(list, row, 1, kTextBuffer));
    switch (CopyTextToClipboard(mainWindow, text)) {
    case ClipboardCopy::NotOpened: throw AppError("クリップボードがオープンできません");
    case ClipboardCopy::NoMemory: throw AppError("メモリの確保に失敗しました");
    case ClipboardCopy::NotLocked: throw AppError("メモリのロックに失敗しました");
    case ClipboardCopy::Copied:
    case ClipboardCopy::Refused: break;
    }
}

}  // namespace

void CopySelection(HWND mainWindow) {
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    HWND tab = TabControl(mainWindow);
    HWND list = PageWindow(tab, -1);
    if (!store || !tab || !list) return;
    try {
        if (CurrentTabIndex(tab) == 0) CopyEntries(*store, list);
        else CopyLogLines(mainWindow, list);
    } catch (const AppError& e) {
        ShowError(mainWindow, e.Text());
    }
}

void PasteEntries(HWND mainWindow) {
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    HWND tab = TabControl(mainWindow);
    HWND list = PageWindow(tab, -1);
    if (!store || !tab || !list) return;
    if (CurrentTabIndex(tab) != 0) return;
    for (WakeEntry* copy = store->FirstCopy(); copy; copy = store->NextCopy()) {
        WakeEntry entry = *copy;
        if (store->AddEntry(entry) < 0) {
            ShowError(mainWindow, "エントリ追加に失敗しました");
            return;
        }
        InsertListItem(mainWindow, entry);
    }
    ResortWakeList(list);
}
