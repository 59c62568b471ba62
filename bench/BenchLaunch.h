#pragma once
// Starts Nodelark.exe for a benchmark the way the end-to-end driver does:
// shown normally, in its own folder, with optional arguments.
#include <windows.h>

#include <string>
#include <vector>

#include "AppDriver.h"

inline bool LaunchNodelark(PROCESS_INFORMATION& info, const std::string& arguments = "") {
    std::string commandLine = "\"" + e2e::ExePath() + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    const std::string folder = e2e::ExeFolder();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info) != FALSE;
}
