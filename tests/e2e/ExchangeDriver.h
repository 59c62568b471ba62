#pragma once
// Driving the entry file commands of Nodelark from outside.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <string>
#include <vector>

#include "AppFixture.h"

namespace e2e {

constexpr int kCmdExportEntries = 40019, kCmdImportEntries = 40034, kCmdListing = 40035, kCmdCopy = 40039,
              kCmdPaste = 40040, kCmdSelectAll = 40021;

// Chooses a command whose file dialog has this title, types the path and
// confirms it. True once the dialog has gone.
inline bool ChooseFile(App& app, int command, const char* title, const std::string& path) {
    app.PostCommand(command);
    HWND dialog = WaitDialog(app.Pid(), title);
    return dialog && ConfirmFile(dialog, path);
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
