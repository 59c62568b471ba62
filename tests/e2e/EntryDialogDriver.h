#pragma once
// Drives the entry sheet "エントリ設定" from outside, the way the entry
// tests need it.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdint>
#include <string>

#include "AppDriver.h"

namespace e2e {

constexpr int kCmdEditEntry = 40010, kCmdDeleteEntries = 40011;
constexpr char kEntrySheetCaption[] = "エントリ設定";

// Controls of page "送信先".
constexpr int kEntryName = 1013, kEntryIp = 1009, kEntryMask = 1010, kEntryPort = 1034,
              kEntryMac1 = 1001, kEntryHost = 1007, kEntryMacLookUp = 1011,
              kEntryHostLookUp = 1014, kEntryExclude = 1015, kEntrySecureOn1 = 1061;
// Controls of page "付加情報".
constexpr int kDetailPlace = 1008, kDetailComment = 1012, kDetailLastSent = 1009,
              kDetailUpdated = 1010, kDetailRegistered = 1011;

inline HWND WaitEntrySheet(DWORD pid, DWORD timeoutMs = kWaitMs) {
    return WaitDialog(pid, kEntrySheetCaption, timeoutMs);
}

// The page window of the sheet that holds the control `id` among its own
// children. Ids repeat between the pages, so each page has one it alone has.
inline HWND SheetPageWith(HWND sheet, int id) {
    for (const ChildInfo& child : Children(sheet))
        if (child.className == "#32770" && GetParent(child.window) == sheet && GetDlgItem(child.window, id))
            return child.window;
    return nullptr;
}
inline HWND DestinationPageOf(HWND sheet) { return SheetPageWith(sheet, kEntryName); }
// Shows page "付加情報" (its window exists only once shown) and returns it.
inline HWND ShowDetailsPage(HWND sheet) {
    SendMessageA(sheet, PSM_SETCURSEL, 1, 0);
    HWND page = nullptr;
    WaitUntil([&] { return (page = SheetPageWith(sheet, kDetailPlace)) != nullptr && IsWindowVisible(page); });
    return page;
}

inline std::string Box(HWND page, int id) { return WindowText(GetDlgItem(page, id)); }
inline void SetBox(HWND page, int id, const std::string& text) {
    SendMessageA(GetDlgItem(page, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

inline void SetAddress(HWND page, int id, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    SendMessageA(GetDlgItem(page, id), IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d));
}
inline void ClearAddress(HWND page, int id) { SendMessageA(GetDlgItem(page, id), IPM_CLEARADDRESS, 0, 0); }
inline bool AddressBlank(HWND page, int id) { return SendMessageA(GetDlgItem(page, id), IPM_ISBLANK, 0, 0) != 0; }
// "a.b.c.d" as the control holds it.
inline std::string AddressText(HWND page, int id) {
    HWND control = GetDlgItem(page, id);
    RemoteBuffer buffer(control, sizeof(DWORD));
    DWORD value = 0;
    if (!buffer.IsValid()) return "?";
    SendMessageA(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(buffer.At(0)));
    buffer.Read(0, &value, sizeof value);
    return std::to_string(FIRST_IPADDRESS(value)) + "." + std::to_string(SECOND_IPADDRESS(value)) + "." +
           std::to_string(THIRD_IPADDRESS(value)) + "." + std::to_string(FOURTH_IPADDRESS(value));
}

// The six MAC boxes joined with "-".
inline std::string MacBoxes(HWND page) {
    std::string text;
    for (int i = 0; i < 6; ++i) text += (i ? "-" : "") + Box(page, kEntryMac1 + i);
    return text;
}
// The six SecureOn password boxes, "-" between them.
inline std::string PasswordBoxes(HWND page) {
    std::string text;
    for (int i = 0; i < 6; ++i) text += (i ? "-" : "") + Box(page, kEntrySecureOn1 + i);
    return text;
}
inline void SetMacBoxes(HWND page, const char* const boxes[6]) {
    for (int i = 0; i < 6; ++i) SetBox(page, kEntryMac1 + i, boxes[i]);
}

inline bool Checked(HWND page, int id) {
    return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Clicks a button and returns once the program has handled the click, for
// buttons that open nothing modal (a look-up that finds nothing says nothing).
inline bool ClickAndWait(HWND page, int id, DWORD timeoutMs = 15000) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(GetDlgItem(page, id), BM_CLICK, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

// Types ASCII text into a box with real keys, after clicking into it.
inline void TypeInto(HWND control, const char* text) {
    RECT r = {};
    GetWindowRect(control, &r);
    ClickAt(POINT{r.left + 8, (r.top + r.bottom) / 2});
    // The address control hands the focus to its first field.
    WaitUntil([&] {
        HWND focus = FocusOf(control);
        return focus == control || IsChild(control, focus);
    }, 3000);
    for (const char* c = text; *c; ++c) {
        SHORT scan = VkKeyScanA(*c);
        WORD vk = LOBYTE(scan);
        if (HIBYTE(scan) & 1) PressKey(vk, {VK_SHIFT});
        else PressKey(vk);
    }
}

}  // namespace e2e
