#pragma once
// Files of the data folder ("Ent.dat", "Tools.ini", "Nodelark.log") are
// named by joining the folder and the file name.
#include <string>

// Longest path the program keeps: its path buffers hold 260 characters and a
// terminator.
constexpr size_t kMaxPathText = 260;

// "%s%s" when the folder ends in a backslash, "%s\%s" otherwise. Empty when
// the folder is empty or longer than kMaxPathText, or when the joined path
// would not fit a path buffer: a cut path would name some other file, and an
// empty one makes every reader and writer of that file do nothing.
std::string JoinDataFolderPath(const std::string& folder, const char* fileName);

// Where a new version of the file at `path` is written before it takes that
// file's place: the same folder and name with the extension "new"
// ("Ent.dat" -> "Ent.new", "Tools.ini" -> "Tools.new"), so that it is no
// longer than the path itself. Empty when the name has no three-letter
// extension.
std::string NextVersionPath(const std::string& path);
