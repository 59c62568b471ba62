#pragma once
// A tool's command made safe to start: a program named without a folder is
// looked for in the system folders and PATH alone and started by its full
// path.
#include <string>

struct ToolStart {
    std::string application;   // the program to start; empty: the command line says
    std::string commandLine;   // what the child gets as its command line
};

// False when a program named without a folder is in none of those folders;
// GetLastError is then ERROR_FILE_NOT_FOUND, as for any missing program.
bool ResolveToolStart(const std::string& commandLine, ToolStart* start);

// Where a tool without a working folder starts: the system folder, which
// only administrators can write to, so no program or DLL that someone left
// there can be picked up by the tool's own searches.
std::string DefaultToolFolder();
