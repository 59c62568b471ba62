#pragma once
// Driving copy and paste, the clipboard and the entry file commands of
// Nodelark from outside.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <string>
#include <vector>

#include "AppFixture.h"

namespace e2e {

constexpr int kCmdExportEntries = 40019, kCmdImportEntries = 40034, kCmdListing = 40035, kCmdCopy = 40039,
              kCmdPaste = 40040, kCmdSelectAll = 40021;

// Selects exactly these rows of a list view of another process.
inline void SelectRows(HWND list, const std::vector<int>& rows) {
    RemoteBuffer remote(list, sizeof(LVITEMA));
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = 0;
    remote.Write(0, &item, sizeof item);
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(remote.At(0)));
    item.state = LVIS_SELECTED;
    remote.Write(0, &item, sizeof item);
    for (int row : rows) SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote.At(0)));
}

// The file name field of the common file dialog, whichever layout it has.
inline HWND FileNameBox(HWND dialog) {
    HWND combo = GetDlgItem(dialog, 0x47C);
    if (combo) {
        HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
        return edit ? edit : combo;
    }
    return GetDlgItem(dialog, 0x480);
}

// Chooses a command whose file dialog has this title, types the path and
// confirms it. True once the dialog has gone.
inline bool ChooseFile(App& app, int command, const char* title, const std::string& path) {
    app.PostCommand(command);
    HWND dialog = WaitDialog(app.Pid(), title);
    if (!dialog) return false;
    HWND field = FileNameBox(dialog);
    if (!field) return false;
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ClickButton(dialog, IDOK);
    return WaitGone(dialog);
}

// The text of the message box Nodelark shows next; closes it with OK.
inline std::string TakeMessageBox(App& app) {
    HWND box = WaitDialog(app.Pid(), "Nodelark");
    if (!box) return "(no message box)";
    std::string text = MessageBoxText(box);
    ClickButton(box, IDOK);
    WaitGone(box);
    return text;
}

// The clipboard's CF_TEXT bytes up to and including the terminating zero.
inline std::string ClipboardTextBytes() {
    std::string bytes = "(clipboard unreadable)";
    if (!OpenClipboard(nullptr)) return bytes;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        SIZE_T size = GlobalSize(data);
        if (const char* p = static_cast<const char*>(GlobalLock(data))) {
            size_t length = strnlen(p, size);
            bytes.assign(p, length < size ? length + 1 : length);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return bytes;
}

inline bool PutClipboardText(const std::string& text) {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (memory) {
        char* p = static_cast<char*>(GlobalLock(memory));
        memcpy(p, text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
    }
    CloseClipboard();
    return memory != nullptr;
}

// "%d.%d.%d.%d" and "%02X-..." written independently of the program.
inline std::string Dotted(const uint8_t o[4]) {
    char text[20];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", o[0], o[1], o[2], o[3]);
    return text;
}

inline std::string MacText(const uint8_t m[6]) {
    char text[20];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

// The record a row of the data file should be: the same bytes with this id.
inline std::string WithId(const EntryRecord& record, int32_t id) {
    EntryRecord r = record;
    r.id = id;
    return RecordBytes(r);
}

// The whole records of a data file or of an exchange file's body.
inline std::vector<std::string> Records(const std::string& bytes, size_t offset = 0) {
    std::vector<std::string> records;
    for (size_t at = offset; at + sizeof(EntryRecord) <= bytes.size(); at += sizeof(EntryRecord))
        records.push_back(bytes.substr(at, sizeof(EntryRecord)));
    return records;
}

}  // namespace e2e
