#pragma once
// The tool registration dialog (resource 120) driven from outside: its
// controls by id, typing as WM_SETTEXT (which raises the same change notices
// as keys) and choosing as a selection plus the notice a user's pick sends.
#include <windows.h>

#include <string>
#include <vector>

#include "AppDriver.h"

namespace e2e {

constexpr char kToolsDialogCaption[] = "ﾂｰﾙの登録";
constexpr int kToolList = 1017, kToolCommand = 1018, kToolCommandBrowse = 1019, kToolTitle = 1020,
              kToolArgv = 1021, kToolPlaceholder = 1022, kToolFolder = 1023, kToolFolderBrowse = 1024,
              kToolDelete = 1025, kToolSave = 1026, kToolTimeout = 1029, kToolShowWindow = 1035,
              kToolExecStyle = 1036;
constexpr int kToolDropDownButton = 40012;

inline void TypeText(HWND dialog, int id, const std::string& text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

inline std::string FieldText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

inline void Choose(HWND dialog, int id, int item) {
    HWND combo = GetDlgItem(dialog, id);
    SendMessageA(combo, CB_SETCURSEL, item, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// Chooses as Choose does, without waiting for what the choice opens (the
// question before unsaved edits are dropped).
inline void ChooseLater(HWND dialog, int id, int item) {
    HWND combo = GetDlgItem(dialog, id);
    SendMessageA(combo, CB_SETCURSEL, item, 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

inline int Chosen(HWND dialog, int id) {
    return static_cast<int>(SendMessageA(GetDlgItem(dialog, id), CB_GETCURSEL, 0, 0));
}

inline std::vector<std::string> ComboItems(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    std::vector<std::string> items;
    // Wine hands list texts across processes as the control keeps them,
    // in UTF-16: ask in that form and convert.
    for (int i = 0, n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)); i < n; ++i) {
        wchar_t wide[600] = {};
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        char text[1200] = {};
        WideCharToMultiByte(932, 0, wide, -1, text, sizeof text - 1, nullptr, nullptr);
        items.push_back(text);
    }
    return items;
}

// Presses a button without waiting for what it opens (a message box, a
// menu, a file dialog).
inline void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline bool NoMessageBox(DWORD pid) { return WaitDialog(pid, "Nodelark", 700) == nullptr; }

}  // namespace e2e
