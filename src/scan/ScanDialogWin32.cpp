// The network scan box and the command that adds what the user checked.
#include "scan/ScanDialogWin32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/AppError.h"
#include "common/LocalTimeWin32.h"
#include "entries/EntList.h"
#include "entries/WakeListWin32.h"
#include "log/CommandLogWin32.h"
#include "net/NetInfoWin32.h"
#include "resource.h"
#include "scan/NetScan.h"
#include "scan/NetScanWin32.h"
#include "ui/AppContextWin32.h"
#include "ui/DpiScale.h"
#include "ui/DpiWin32.h"
#include "ui/ListViewWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

namespace {

constexpr UINT WM_APP_SCAN_NEWS = WM_APP + 0x2B0;
// A notice a full message queue refused is made up for this often.
constexpr UINT_PTR kScanNewsTimer = 0x2B0;
constexpr UINT kScanNewsTimerMs = 1000;

constexpr char kNoStore[] = "エントリ管理クラスインスタンスの取得に失敗しました";
constexpr char kNoTab[] = "タブウィンドウハンドルの取得に失敗しました";
constexpr char kNoList[] = "リストビューウィンドウハンドルの取得に失敗しました";
constexpr char kAddFailed[] = "エントリ追加に失敗しました";

constexpr int kColumnAddress = 0, kColumnMac = 1, kColumnName = 2, kColumnState = 3;
struct Column {
    const char* text;
    int width;
};
const Column kColumns[] = {{"IPｱﾄﾞﾚｽ", 100}, {"MACｱﾄﾞﾚｽ", 120}, {"ｺﾝﾋﾟｭｰﾀ名", 150}, {"登録", 70}};

constexpr int kStateNoBox = 0, kStateUnchecked = 1, kStateChecked = 2;

struct ScanDialog {
    // Filled by the command before the box opens.
    std::vector<ScanSubnet> subnets;
    std::vector<uint32_t> localAddresses;
    ScanRows rows;
    // The subnet chosen when the last scan started: its mask goes to the
    // added computers.
    ScanSubnet scanned = {};
    std::unique_ptr<CNetScan> scan;
    bool stopped = false;
    // The program's own changes to the check boxes pass the guard.
    bool settingRows = false;
    // What OK hands back, in address order.
    std::vector<ScanFound> chosen;
    // The DPI the list's columns are sized for.
    UINT dpi = 0;
};

ScanDialog* StateOf(HWND dialog) { return reinterpret_cast<ScanDialog*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

void SetText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }


const ScanRow* RowOfAddress(const ScanDialog& d, uint32_t address) {
    for (const ScanRow& r : d.rows.Rows())
        if (r.found.address == address) return &r;
    return nullptr;
}

uint32_t AddressOfRow(HWND list, int row) { return static_cast<uint32_t>(RowParam(list, row, 0)); }

void SetRowTexts(HWND list, int at, const ScanRow& row) {
    SetCellText(list, at, kColumnAddress, FormatIPv4Value(row.found.address));
    SetCellText(list, at, kColumnMac, row.found.hasMac ? FormatMac(row.found.mac.data()) : std::string());
    SetCellText(list, at, kColumnName, row.found.computerName);
    SetCellText(list, at, kColumnState, ScanStateText(row.state));
}

int CALLBACK CompareAddresses(LPARAM first, LPARAM second, LPARAM) {
    const uint32_t a = HostOrder(static_cast<uint32_t>(first)), b = HostOrder(static_cast<uint32_t>(second));
    return a < b ? -1 : a > b ? 1 : 0;
}

int ListRowOf(HWND list, uint32_t address) { return RowWithParam(list, static_cast<LPARAM>(address)); }

// Puts what the scan found into the list, in address order. A new row gets
// its check box as the rules say; the rows already there keep what the user
// made of theirs. New rows go to the end and the list is sorted again:
// under Wine, rows inserted in the middle were seen to lose a cell.
void ShowFound(HWND dialog, ScanDialog& d, const std::vector<ScanFound>& found) {
    if (found.empty()) return;
    HWND list = Control(dialog, IDC_SCAN_LIST);
    d.settingRows = true;
    bool added = false;
    for (const ScanFound& f : found) {
        bool inserted = false;
        const ScanRow& row = d.rows.Rows()[d.rows.Put(f, &inserted)];
        int at = ListRowOf(list, row.found.address);
        if (at < 0) {
            at = InsertRow(list, static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)), nullptr, -1,
                           static_cast<LPARAM>(row.found.address));
            if (at < 0) continue;
            added = true;
        }
        SetRowTexts(list, at, row);
        SetStateImage(list, at, !ScanRowCheckable(row) ? kStateNoBox
                                : ScanRowCheckedAtFirst(row) ? kStateChecked : kStateUnchecked);
    }
    if (added) SendMessageA(list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareAddresses));
    d.settingRows = false;
}

// Names come after their rows, each as its look-up ends.
void ShowNames(HWND dialog, ScanDialog& d, const std::vector<ScanName>& names) {
    HWND list = Control(dialog, IDC_SCAN_LIST);
    for (const ScanName& name : names) {
        if (!d.rows.SetName(name)) continue;
        const int at = ListRowOf(list, name.address);
        if (at >= 0) SetCellText(list, at, kColumnName, name.computerName);
    }
}

std::string StatusText(const ScanDialog& d, const ScanProgress& p) {
    char text[160];
    const unsigned found = static_cast<unsigned>(d.rows.Rows().size());
    if (p.failed)
        std::snprintf(text, sizeof text, "検索中にエラーが発生したため中止しました: %u台見つかりました", found);
    else if (p.running)
        std::snprintf(text, sizeof text, "検索中... %u / %uｱﾄﾞﾚｽ (%u台)", static_cast<unsigned>(p.asked),
                      static_cast<unsigned>(p.total), found);
    else if (d.stopped)
        std::snprintf(text, sizeof text, "検索を中止しました: %u台見つかりました", found);
    else
        std::snprintf(text, sizeof text, "検索を完了しました: %u台見つかりました", found);
    return text;
}

void ShowProgress(HWND dialog, const ScanDialog& d, const ScanProgress& p) {
    HWND bar = Control(dialog, IDC_SCAN_PROGRESS);
    SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(std::max<size_t>(p.total, 1)));
    SendMessageA(bar, PBM_SETPOS, p.total ? p.asked : 1, 0);
    SetText(dialog, IDC_SCAN_STATUS, StatusText(d, p));
    EnableWindow(Control(dialog, IDC_SCAN_STOP), p.running);
}

int CurrentSubnet(HWND dialog) {
    return static_cast<int>(SendMessageA(Control(dialog, IDC_SCAN_SUBNET), CB_GETCURSEL, 0, 0));
}

void ShowRange(HWND dialog, const ScanRange& range) {
    SendMessageA(Control(dialog, IDC_SCAN_FROM), IPM_SETADDRESS, 0, static_cast<LPARAM>(range.first));
    SendMessageA(Control(dialog, IDC_SCAN_TO), IPM_SETADDRESS, 0, static_cast<LPARAM>(range.last));
}

RangeEnd ReadRangeEnd(HWND dialog, int id) {
    DWORD value = 0;
    int filled = static_cast<int>(SendMessageA(Control(dialog, id), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value)));
    return {value, filled};
}

void StartScan(HWND dialog, ScanDialog& d) {
    const int subnet = CurrentSubnet(dialog);
    if (subnet < 0 || subnet >= static_cast<int>(d.subnets.size())) return;
    ScanRange range = {};
    RangeProblem problem = CheckScanRange(ReadRangeEnd(dialog, IDC_SCAN_FROM), ReadRangeEnd(dialog, IDC_SCAN_TO), &range);
    if (problem != RangeProblem::None) {
        ShowError(dialog, RangeProblemText(problem, range).c_str());
        return;
    }
    d.scanned = d.subnets[static_cast<size_t>(subnet)];
    d.stopped = false;
    d.rows.Clear();
    d.settingRows = true;
    SendMessageA(Control(dialog, IDC_SCAN_LIST), LVM_DELETEALLITEMS, 0, 0);
    d.settingRows = false;
    if (!d.scan) {
        SetText(dialog, IDC_SCAN_STATUS, "検索を開始できませんでした");
        return;
    }
    d.scan->Start(ScanTargets(range, d.localAddresses), d.subnets);
}

void OnScanNews(HWND dialog, ScanDialog& d) {
    if (!d.scan) return;
    std::vector<ScanFound> found;
    std::vector<ScanName> names;
    ScanProgress p = d.scan->Take(&found, &names);
    ShowFound(dialog, d, found);
    ShowNames(dialog, d, names);
    ShowProgress(dialog, d, p);
}

void StopScan(HWND dialog, ScanDialog& d) {
    if (!d.scan) return;
    d.scan->Stop();
    d.stopped = true;
    OnScanNews(dialog, d);
}

void InitList(HWND list, UINT dpi) {
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = ScaleToDpi(kColumns[i].width, static_cast<int>(dpi));
        column.pszText = const_cast<char*>(kColumns[i].text);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

BOOL OnInitDialog(HWND dialog, ScanDialog& d) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&d));
    d.dpi = WindowDpi(dialog);
    InitList(Control(dialog, IDC_SCAN_LIST), d.dpi);
    HWND combo = Control(dialog, IDC_SCAN_SUBNET);
    for (const ScanSubnet& s : d.subnets) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(SubnetLabel(s).c_str()));
    EnableWindow(Control(dialog, IDC_SCAN_STOP), FALSE);
    if (d.subnets.empty()) {
        EnableWindow(Control(dialog, IDC_SCAN_START), FALSE);
        SetText(dialog, IDC_SCAN_STATUS, "検索できるﾈｯﾄﾜｰｸがありません");
        return TRUE;
    }
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    ShowRange(dialog, DefaultScanRange(d.subnets[0]));
    d.scan = std::make_unique<CNetScan>(dialog, WM_APP_SCAN_NEWS);
    if (!d.scan->Open()) d.scan.reset();
    if (d.scan) SetTimer(dialog, kScanNewsTimer, kScanNewsTimerMs, nullptr);
    StartScan(dialog, d);
    return TRUE;
}

void OnOk(HWND dialog, ScanDialog& d) {
    if (d.scan) d.scan->Stop();
    HWND list = Control(dialog, IDC_SCAN_LIST);
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    d.chosen.clear();
    for (int i = 0; i < count; ++i) {
        if (StateImage(list, i) != kStateChecked) continue;
        const ScanRow* row = RowOfAddress(d, AddressOfRow(list, i));
        if (row && ScanRowCheckable(*row)) d.chosen.push_back(row->found);
    }
    EndDialog(dialog, IDOK);
}

// A computer without a hardware address cannot become an entry: its row
// takes no check mark, whatever the mouse or the space bar do.
BOOL OnItemChanging(HWND dialog, ScanDialog& d, const NMLISTVIEW* change) {
    if (d.settingRows || !(change->uChanged & LVIF_STATE)) return FALSE;
    if (!((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK)) return FALSE;
    // The notification carries the row's address: asking the list for the
    // row while it deletes its rows fails an assertion in Wine's list view.
    const ScanRow* row = RowOfAddress(d, static_cast<uint32_t>(change->lParam));
    const bool refuse = row && !ScanRowCheckable(*row) && (change->uNewState & LVIS_STATEIMAGEMASK) != 0;
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, refuse ? TRUE : FALSE);
    return TRUE;
}

BOOL OnCommand(HWND dialog, ScanDialog& d, int id, int code) {
    switch (id) {
    case IDC_SCAN_START: StartScan(dialog, d); return TRUE;
    case IDC_SCAN_STOP: StopScan(dialog, d); return TRUE;
    case IDC_SCAN_SUBNET:
        if (code == CBN_SELCHANGE) {
            const int subnet = CurrentSubnet(dialog);
            if (subnet >= 0 && subnet < static_cast<int>(d.subnets.size()))
                ShowRange(dialog, DefaultScanRange(d.subnets[static_cast<size_t>(subnet)]));
        }
        return TRUE;
    case IDOK: OnOk(dialog, d); return TRUE;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
    }
    return FALSE;
}

INT_PTR Dispatch(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, *reinterpret_cast<ScanDialog*>(lParam));
    ScanDialog* d = StateOf(dialog);
    if (!d) return FALSE;
    switch (message) {
    case WM_APP_SCAN_NEWS: OnScanNews(dialog, *d); return TRUE;
    case WM_TIMER:
        if (wParam != kScanNewsTimer) return FALSE;
        OnScanNews(dialog, *d);
        return TRUE;
    case WM_COMMAND: return OnCommand(dialog, *d, LOWORD(wParam), HIWORD(wParam));
    // The system scales the box and its controls; the columns are ours.
    case WM_DPICHANGED:
        if (HIWORD(wParam) && HIWORD(wParam) != d->dpi) {
            RescaleColumns(Control(dialog, IDC_SCAN_LIST), d->dpi, HIWORD(wParam));
            d->dpi = HIWORD(wParam);
        }
        return FALSE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_SCAN_LIST && header->code == LVN_ITEMCHANGING)
            return OnItemChanging(dialog, *d, reinterpret_cast<const NMLISTVIEW*>(lParam));
        return FALSE;
    }
    // Nothing posts to the window once the scan is gone; threads still in a
    // look-up are not waited for.
    case WM_DESTROY:
        KillTimer(dialog, kScanNewsTimer);
        d->scan.reset();
        d->settingRows = true;  // the list's rows go with the window
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK ScanDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return Dispatch(dialog, message, wParam, lParam);
    } catch (const AppError& e) {
        ShowError(dialog, e.Text());
    } catch (...) {
        ShowError(dialog, "ﾈｯﾄﾜｰｸの検索に失敗しました");
    }
    return FALSE;
}

std::vector<uint32_t> LocalAddresses(const NetInfo& info) {
    std::vector<uint32_t> addresses;
    for (const NetAdapter& a : info.adapters)
        for (uint32_t address : a.ipAddresses)
            if (address != 0) addresses.push_back(address);
    return addresses;
}

std::string AddedText(int count) {
    char text[96];
    std::snprintf(text, sizeof text, "ﾈｯﾄﾜｰｸから検索: %d件のｴﾝﾄﾘを追加しました", count);
    return text;
}

}  // namespace

int OnNetworkScan(HWND mainWindow) {
    try {
        CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
        if (!store) throw AppError(kNoStore);
        HWND tab = TabControl(mainWindow);
        if (!tab) throw AppError(kNoTab);
        HWND list = PageWindow(tab, 0);
        if (!list) throw AppError(kNoList);

        ScanDialog d;
        NetInfo info{};
        CollectNetInfo(info);
        d.subnets = ScanSubnets(info, CollectRoutes());
        d.localAddresses = LocalAddresses(info);
        std::vector<const WakeEntry*> entries;
        for (const WakeEntry* e = store->FirstEntry(); e; e = store->NextEntry()) entries.push_back(e);
        d.rows = ScanRows(RegisteredMacs(entries));

        INT_PTR result = DialogBoxParamA(App().instance, MAKEINTRESOURCEA(IDD_NET_SCAN), mainWindow, ScanDialogProc,
                                         reinterpret_cast<LPARAM>(&d));
        // The program may have closed under the box: then the store is gone.
        store = FindObject<CEntList>(mainWindow, kEntListProp);
        if (!store || !IsWindow(list)) return 1;
        if (result == IDOK) {
            const DateTime now = LocalNow();
            int added = 0;
            bool refused = false;
            for (const ScanFound& found : d.chosen) {
                WakeEntry entry = ScanEntry(found, MaskFor(found.address, d.subnets, d.scanned), now);
                if (store->AddEntry(entry) < 0) {
                    refused = true;
                    break;
                }
                InsertListItem(mainWindow, entry);
                ++added;
            }
            AppendCommandLog(mainWindow, AddedText(added).c_str());
            if (refused) throw AppError(kAddFailed);
            ResortWakeList(list);
        }
        SetFocus(list);
        return 1;
    } catch (const AppError& e) {
        ShowError(mainWindow, e.Text());
        return 0;
    }
}
