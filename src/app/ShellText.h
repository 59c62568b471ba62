#pragma once
// Text rules of the shell that do not need a window.
#include <string>

// The folder part of a program path, cut at its last backslash. A backslash
// that is the trail byte of a code page 932 double-byte character is not a
// separator. Returns the path unchanged when it has no separator.
std::string FolderOfPath(const std::string& path);

// "ReadMe.txt" beside the program file.
std::string ReadMePathFor(const std::string& programPath);
