#pragma once
// A scratch folder of the Wine tests, unique to the process and the call.
#include <windows.h>
#include <string>

inline std::string MakeTempFolder(const char* tag) {
    static int serial = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "nl_" + tag + "_" + std::to_string(GetCurrentProcessId()) + "_" +
                         std::to_string(++serial);
    return CreateDirectoryA(folder.c_str(), nullptr) ? folder : std::string();
}
