// The entry sheet: page "送信先" (template 107) and page "付加情報" (125).
#include "entries/EntryDialogWin32.h"

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <string>

#include "common/DialogTemplate.h"
#include "common/FixedText.h"
#include "entries/EntryFields.h"
#include "entries/WakeEntry.h"
#include "net/NetLookUpWin32.h"
#include "resource.h"
#include "ui/AppContextWin32.h"

namespace {

constexpr char kSheetCaption[] = "エントリ設定";
constexpr char kLookUpCaption[] = "CommonMessage";
constexpr char kMacNeedsAddress[] = "MACｱﾄﾞﾚｽの調査にはIPｱﾄﾞﾚｽの入力が必要です";
constexpr char kNameNeedsAddress[] = "ｺﾝﾋﾟｭｰﾀ名の調査にはIPｱﾄﾞﾚｽの入力が必要です";

const int kMacBoxes[6] = {IDC_ENTRY_MAC1, IDC_ENTRY_MAC2, IDC_ENTRY_MAC3,
                          IDC_ENTRY_MAC4, IDC_ENTRY_MAC5, IDC_ENTRY_MAC6};

const int kPasswordBoxes[6] = {IDC_ENTRY_SECUREON1, IDC_ENTRY_SECUREON2, IDC_ENTRY_SECUREON3,
                               IDC_ENTRY_SECUREON4, IDC_ENTRY_SECUREON5, IDC_ENTRY_SECUREON6};

WakeEntry* PageEntry(HWND page) { return static_cast<WakeEntry*>(GetPropA(page, kEntryDataProp)); }

// The whole text of a box; the record's width is applied when it is stored.
std::string BoxText(HWND page, int id) {
    HWND box = GetDlgItem(page, id);
    int length = box ? GetWindowTextLengthA(box) : 0;
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int got = GetWindowTextA(box, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void SetBoxText(HWND page, int id, const std::string& text) { SetDlgItemTextA(page, id, text.c_str()); }

void LimitBox(HWND page, int id, int limit) { SendDlgItemMessageA(page, id, EM_LIMITTEXT, limit, 0); }

void ShowAddress(HWND page, int id, const uint8_t octets[4]) {
    if (IsBlankAddress(octets))
        SendDlgItemMessageA(page, id, IPM_CLEARADDRESS, 0, 0);
    else
        SendDlgItemMessageA(page, id, IPM_SETADDRESS, 0, AddressControlValue(octets));
}

uint32_t ControlAddress(HWND page, int id) {
    DWORD value = 0;
    SendDlgItemMessageA(page, id, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
    return value;
}

void ShowMac(HWND page, const uint8_t mac[6]) {
    for (int i = 0; i < 6; ++i) SetBoxText(page, kMacBoxes[i], MacBoxText(mac[i]));
}

// The address the look-ups ask about, as inet_addr would give it; false
// after telling the user that there is none.
bool LookUpAddress(HWND page, const char* missingText, uint32_t& address) {
    if (SendDlgItemMessageA(page, IDC_ENTRY_IP, IPM_ISBLANK, 0, 0)) {
        MessageBoxA(page, missingText, kLookUpCaption, MB_SYSTEMMODAL | MB_ICONERROR);
        return false;
    }
    uint8_t octets[4];
    PackAddress(ControlAddress(page, IDC_ENTRY_IP), octets);
    std::memcpy(&address, octets, 4);
    return true;
}

BOOL InitDestination(HWND page, WakeEntry& entry) {
    SetPropA(page, kEntryDataProp, &entry);
    LimitBox(page, IDC_ENTRY_NAME, kNameBoxLimit);
    SetBoxText(page, IDC_ENTRY_NAME, FieldText(entry.name));
    ShowAddress(page, IDC_ENTRY_IP, entry.ipAddress);
    ShowAddress(page, IDC_ENTRY_MASK, entry.subnetMask);
    SetBoxText(page, IDC_ENTRY_PORT, PortBoxText(entry.port));
    for (int id : kMacBoxes) LimitBox(page, id, kMacBoxLimit);
    ShowMac(page, entry.macAddress);
    std::string password[6];
    PasswordBoxTexts(entry, password);
    for (int i = 0; i < 6; ++i) {
        LimitBox(page, kPasswordBoxes[i], kMacBoxLimit);
        SetBoxText(page, kPasswordBoxes[i], password[i]);
    }
    LimitBox(page, IDC_ENTRY_HOST, kTextBoxLimit);
    SetBoxText(page, IDC_ENTRY_HOST, FieldText(entry.hostName));
    CheckDlgButton(page, IDC_ENTRY_EXCLUDE, entry.excluded ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

LONG_PTR ApplyDestinationPage(HWND page) {
    WakeEntry* entry = PageEntry(page);
    if (!entry) return PSNRET_INVALID_NOCHANGEPAGE;
    DestinationBoxes boxes;
    boxes.name = BoxText(page, IDC_ENTRY_NAME);
    boxes.ipAddress = ControlAddress(page, IDC_ENTRY_IP);
    boxes.subnetMask = ControlAddress(page, IDC_ENTRY_MASK);
    boxes.port = BoxText(page, IDC_ENTRY_PORT);
    for (int i = 0; i < 6; ++i) boxes.mac[i] = BoxText(page, kMacBoxes[i]);
    boxes.hostName = BoxText(page, IDC_ENTRY_HOST);
    boxes.excluded = IsDlgButtonChecked(page, IDC_ENTRY_EXCLUDE) == BST_CHECKED;
    std::string password[6];
    for (int i = 0; i < 6; ++i) password[i] = BoxText(page, kPasswordBoxes[i]);
    ApplyDestination(boxes, *entry);
    ApplyPassword(password, *entry);
    return PSNRET_NOERROR;
}

BOOL InitDetails(HWND page, WakeEntry& entry) {
    SetPropA(page, kEntryDataProp, &entry);
    LimitBox(page, IDC_DETAIL_PLACE, kTextBoxLimit);
    LimitBox(page, IDC_DETAIL_COMMENT, kTextBoxLimit);
    SetBoxText(page, IDC_DETAIL_PLACE, FieldText(entry.place));
    SetBoxText(page, IDC_DETAIL_COMMENT, FieldText(entry.comment));
    SetBoxText(page, IDC_DETAIL_LAST_SENT, EntryTimeText(entry.lastSentTime));
    SetBoxText(page, IDC_DETAIL_UPDATED, EntryTimeText(entry.updatedTime));
    SetBoxText(page, IDC_DETAIL_REGISTERED, EntryTimeText(entry.registeredTime));
    return TRUE;
}

LONG_PTR ApplyDetailsPage(HWND page) {
    WakeEntry* entry = PageEntry(page);
    if (!entry) return PSNRET_INVALID_NOCHANGEPAGE;
    ApplyDetails(BoxText(page, IDC_DETAIL_PLACE), BoxText(page, IDC_DETAIL_COMMENT), *entry);
    return PSNRET_NOERROR;
}

WakeEntry* InitRecord(LPARAM lParam) {
    auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
    return sheetPage ? reinterpret_cast<WakeEntry*>(sheetPage->lParam) : nullptr;
}

// A page's answer to a notice goes in DWLP_MSGRESULT.
INT_PTR SetPageResult(HWND page, LONG_PTR result) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
    return TRUE;
}

bool IsApply(LPARAM lParam) { return reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_APPLY); }

// The sheet measures its pages in its own font's dialog units, while both
// page templates are laid out in 10 point: in the sheet's smaller default
// font the pages would be cut off at the right and the bottom (the look-up
// buttons among them). The sheet is given the pages' point size instead.
constexpr uint16_t kPagePointSize = 10;

int CALLBACK SheetCallback(HWND, UINT message, LPARAM lParam) {
    if (message == PSCB_PRECREATE) {
        if (uint16_t* points = DialogTemplatePointSize(reinterpret_cast<void*>(lParam))) *points = kPagePointSize;
    }
    return 0;
}

HPROPSHEETPAGE MakePage(int templateId, DLGPROC procedure, WakeEntry& entry) {
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = App().instance;
    page.pszTemplate = MAKEINTRESOURCEA(templateId);
    page.pfnDlgProc = procedure;
    page.lParam = reinterpret_cast<LPARAM>(&entry);
    return CreatePropertySheetPageA(&page);
}

}  // namespace

namespace {

// What both pages do alike: their record at the start, their part of the
// sheet's Apply, their end; `other` takes what one of them does besides.
template <class Init, class Apply, class Other>
INT_PTR PageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, Init init, Apply apply, Other other) {
    try {
        switch (message) {
        case WM_INITDIALOG: {
            WakeEntry* entry = InitRecord(lParam);
            return entry ? init(page, *entry) : TRUE;
        }
        case WM_NOTIFY:
            if (IsApply(lParam)) return SetPageResult(page, apply(page));
            break;
        case WM_DESTROY:
            RemovePropA(page, kEntryDataProp);
            break;
        default:
            return other(page, message, wParam);
        }
    } catch (...) {
        // A box text that could not be had; the sheet stays as it is.
        if (message == WM_NOTIFY) return SetPageResult(page, PSNRET_INVALID_NOCHANGEPAGE);
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK DestinationPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return PageMessage(page, message, wParam, lParam, InitDestination, ApplyDestinationPage,
                       [](HWND page, UINT message, WPARAM wParam) -> INT_PTR {
                           if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
                           if (LOWORD(wParam) == IDC_ENTRY_MAC_LOOKUP) {
                               LookUpMacAddress(page);
                               return TRUE;
                           }
                           if (LOWORD(wParam) == IDC_ENTRY_HOST_LOOKUP) {
                               LookUpComputerName(page);
                               return TRUE;
                           }
                           return FALSE;
                       });
}

INT_PTR CALLBACK DetailsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return PageMessage(page, message, wParam, lParam, InitDetails, ApplyDetailsPage,
                       [](HWND, UINT, WPARAM) -> INT_PTR { return FALSE; });
}

void LookUpMacAddress(HWND page) {
    uint32_t address = 0;
    if (!LookUpAddress(page, kMacNeedsAddress, address)) return;
    uint8_t mac[6] = {};
    if (LookUpHardwareAddress(address, mac)) ShowMac(page, mac);
}

void LookUpComputerName(HWND page) {
    uint32_t address = 0;
    if (!LookUpAddress(page, kNameNeedsAddress, address)) return;
    std::string name;
    if (LookUpHostName(address, name)) SetBoxText(page, IDC_ENTRY_HOST, name);
}

INT_PTR ShowEntryDialog(HWND owner, WakeEntry& entry) {
    HPROPSHEETPAGE pages[2] = {MakePage(IDD_ENTRY_DESTINATION, DestinationPage, entry),
                               MakePage(IDD_ENTRY_DETAILS, DetailsPage, entry)};
    if (!pages[0] || !pages[1]) {
        for (HPROPSHEETPAGE p : pages)
            if (p) DestroyPropertySheetPage(p);
        return -1;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_USEICONID | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    header.hwndParent = owner;
    header.hInstance = App().instance;
    header.pszIcon = MAKEINTRESOURCEA(IDI_ENTRY);
    header.pszCaption = kSheetCaption;
    header.nPages = 2;
    header.nStartPage = 0;
    header.phpage = pages;
    header.pfnCallback = SheetCallback;
    return PropertySheetA(&header);
}
