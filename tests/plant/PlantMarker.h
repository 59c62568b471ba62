#pragma once
// One line per planted file that ran: "<what> <its own path> in <process>",
// appended to the file NL_PLANT_MARKER names.
#include <windows.h>

#include <string>

inline void WritePlantMarker(const char* what, HMODULE self) {
    char marker[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("NL_PLANT_MARKER", marker, sizeof marker);
    if (n == 0 || n >= sizeof marker) return;
    char own[MAX_PATH] = {}, process[MAX_PATH] = {};
    GetModuleFileNameA(self, own, sizeof own - 1);
    GetModuleFileNameA(nullptr, process, sizeof process - 1);
    const std::string line = std::string(what) + " " + own + " in " + process + "\r\n";
    HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}
