#pragma once
// Where a tool's program is looked for when its command names no folder
// ("ping"): the system folders and PATH only. Windows' own order would try
// Nodelark's folder and the current folder first, and a file dialog or a
// download can put anybody's ping.exe in either. Portable: the folders are
// handed in.
#include <cstddef>
#include <string>
#include <vector>

// The program at the start of a command line, as process creation reads
// it: inside quotes when the line starts with one, else up to the first
// blank or tab.
struct ProgramToken {
    size_t begin;   // of the token, quotes included
    size_t end;     // one past the token, quotes included
    std::string name;
};
ProgramToken ProgramOf(const std::string& commandLine);

// True when the program names a folder, absolute or relative ("C:x.exe",
// ".\x.exe", "bin/x"): then it is started as written.
bool NamesFolder(const std::string& program);

// The file to look for in each folder: the name as written when it has an
// extension, else with ".exe", which is all process creation itself adds.
std::string ProgramFileName(const std::string& program);

// The folders to search, in order: the system folder, the Windows folder,
// then PATH's entries (";" separated, quotes taken off). Empty and relative
// entries, which mean the current folder, are left out, and so are the
// folders in `excluded` (the program's own and the current one) and a
// folder already listed.
std::vector<std::string> ProgramSearchFolders(const std::string& systemFolder, const std::string& windowsFolder,
                                              const std::string& pathVariable,
                                              const std::vector<std::string>& excluded);

// "folder\file", with one backslash between them.
std::string JoinFolder(const std::string& folder, const std::string& file);

// A batch file runs through the command processor: it cannot be given as
// the application to start, only as the command line's first word.
bool IsBatchFile(const std::string& path);

// The command line with its program replaced by this path in quotes; the
// arguments are kept byte for byte.
std::string WithProgram(const std::string& commandLine, const ProgramToken& token, const std::string& path);
