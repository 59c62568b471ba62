// The Wake List page: one row per entry that passes the address filter.
#include "entries/WakeListWin32.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/AppContextWin32.h"
#include "ui/ListViewWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"
#include "entries/AddressFilter.h"
#include "entries/EntList.h"
#include "entries/WakeEntry.h"
#include "entries/WakeListColumns.h"
#include "resource.h"

namespace {

// Sort-time copy of one column's texts, keyed by the row's entry id, so a
// comparison never has to search the list for its rows.
struct SortColumn {
    std::unordered_map<LPARAM, std::string> texts;
    bool ascending = true;
};

// Its context is the SortColumn that LVM_SORTITEMS was given.
int CALLBACK CompareByColumn(LPARAM first, LPARAM second, LPARAM context) {
    const auto* sorting = reinterpret_cast<const SortColumn*>(context);
    if (!sorting) return 0;
    auto a = sorting->texts.find(first);
    auto b = sorting->texts.find(second);
    if (a == sorting->texts.end() || b == sorting->texts.end()) return 0;
    return CompareCellTexts(a->second.c_str(), b->second.c_str(), sorting->ascending);
}

// Sorts the rows by one column's text in the given direction.
void SortRows(HWND list, int column, bool ascending) {
    SortColumn sort;
    sort.ascending = ascending;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    sort.texts.reserve(count);
    std::vector<char> buffer(1024);
    for (int i = 0; i < count; ++i) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        LVITEMA text = {};
        text.iSubItem = column;
        text.pszText = buffer.data();
        text.cchTextMax = static_cast<int>(buffer.size());
        buffer[0] = 0;
        SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&text));
        sort.texts[item.lParam] = buffer.data();
    }
    // The list hands its wParam to every comparison.
    SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&sort), reinterpret_cast<LPARAM>(CompareByColumn));
}

}  // namespace

bool EntryPassesFilter(const WakeEntry& entry) {
    const AppContext& app = App();
    return AddressPassesFilter(entry.ipAddress, app.filterAddress, app.filterPrefixBits);
}

void SetListItemColumns(HWND list, int index, const WakeEntry& entry) {
    for (int column = 1; column < kWakeListEntryColumns; ++column)
        SetCellText(list, index, column, WakeListCellText(entry, column));
}

int InsertListItem(HWND mainWindow, const WakeEntry& entry) {
    HWND list = PageWindow(TabControl(mainWindow), 0);
    if (!list) return -1;
    if (!EntryPassesFilter(entry)) return 0;
    std::string name = WakeListCellText(entry, 0);
    const int index = InsertRow(list, static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)), name.c_str(),
                                entry.excluded ? 1 : 0, entry.id);
    if (index < 0) return -1;
    SetListItemColumns(list, index, entry);
    return index;
}

int RefreshEntryList(HWND mainWindow) {
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    HWND list = PageWindow(TabControl(mainWindow), 0);
    if (!store || !list) return 0;
    // One repaint at the end instead of one per row.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageA(list, LVM_SETITEMCOUNT, store->EntryCount(), 0);
    int count = 0;
    for (const WakeEntry* entry = store->FirstEntry(); entry; entry = store->NextEntry()) {
        InsertListItem(mainWindow, *entry);
        ++count;
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    return count;
}

INT_PTR CALLBACK FilterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    AppContext& app = App();
    switch (message) {
    case WM_INITDIALOG: {
        SendDlgItemMessageA(dialog, IDC_FILTER_PREFIX, EM_LIMITTEXT, 2, 0);
        const uint8_t* a = app.filterAddress;
        SendDlgItemMessageA(dialog, IDC_FILTER_ADDRESS, IPM_SETADDRESS, 0, MAKEIPADDRESS(a[0], a[1], a[2], a[3]));
        SetDlgItemInt(dialog, IDC_FILTER_PREFIX, static_cast<UINT>(app.filterPrefixBits), FALSE);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            DWORD address = 0;
            SendDlgItemMessageA(dialog, IDC_FILTER_ADDRESS, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
            app.filterAddress[0] = static_cast<uint8_t>(FIRST_IPADDRESS(address));
            app.filterAddress[1] = static_cast<uint8_t>(SECOND_IPADDRESS(address));
            app.filterAddress[2] = static_cast<uint8_t>(THIRD_IPADDRESS(address));
            app.filterAddress[3] = static_cast<uint8_t>(FOURTH_IPADDRESS(address));
            BOOL ok = FALSE;
            UINT prefix = GetDlgItemInt(dialog, IDC_FILTER_PREFIX, &ok, FALSE);
            app.filterPrefixBits = ok ? static_cast<int32_t>(prefix) : 0;
            EndDialog(dialog, 1);
            return TRUE;
        }
        case IDC_FILTER_RESET:
            SendDlgItemMessageA(dialog, IDC_FILTER_ADDRESS, IPM_SETADDRESS, 0, 0);
            SetDlgItemInt(dialog, IDC_FILTER_PREFIX, 0, FALSE);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 2);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void ResetWakeListSort(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    if (!header) return;
    int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        HDITEMA item = {};
        item.mask = HDI_LPARAM;
        item.lParam = 0;
        SendMessageA(header, HDM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
}

void SortWakeListByColumn(HWND, HWND list, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    if (column < 0 || column >= columns) return;
    HDITEMA clicked = {};
    clicked.mask = HDI_LPARAM;
    SendMessageA(header, HDM_GETITEMA, column, reinterpret_cast<LPARAM>(&clicked));
    int direction = clicked.lParam ? 1 : 0;
    for (int i = 0; i < columns; ++i) {
        HDITEMA item = {};
        if (i == column) {
            item.mask = HDI_FORMAT | HDI_IMAGE | HDI_LPARAM;
            item.fmt = HDF_STRING | HDF_IMAGE | HDF_BITMAP_ON_RIGHT;
            item.iImage = direction;
            item.lParam = 1 - direction;
        } else {
            item.mask = HDI_FORMAT;
            item.fmt = HDF_STRING;
        }
        SendMessageA(header, HDM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
    }

    SortRows(list, column, (1 - direction) != 0);
}

void ResortWakeList(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    if (!header) return;
    int columns = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    if (columns > kWakeListColumns) columns = kWakeListColumns;
    for (int i = 0; i < columns; ++i) {
        HDITEMA item = {};
        item.mask = HDI_FORMAT | HDI_IMAGE;
        if (!SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item))) continue;
        if (!(item.fmt & HDF_IMAGE)) continue;
        // The header's image shows the order the last click gave.
        SortRows(list, i, item.iImage == 0);
        return;
    }
}
