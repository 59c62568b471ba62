#include "common/FileDialogWin32.h"

#include <string>

namespace {

// Empty when it cannot be had.
std::string CurrentFolder() {
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    if (size == 0) return std::string();
    std::string folder(size, '\0');
    const DWORD length = GetCurrentDirectoryA(size, &folder[0]);
    if (length == 0 || length >= size) return std::string();
    folder.resize(length);
    return folder;
}

}  // namespace

bool AskForFile(HWND owner, const FileDialogKind& kind, char* file, DWORD size) {
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kind.filter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = size;
    ofn.lpstrTitle = kind.title;
    ofn.lpstrDefExt = kind.extension;
    ofn.Flags = kind.flags;
    return RunFileDialog(&ofn, kind.save) != FALSE;
}

BOOL RunFileDialog(OPENFILENAMEA* ofn, bool save) {
    const std::string before = CurrentFolder();
    ofn->Flags |= OFN_NOCHANGEDIR;
    const BOOL chosen = save ? GetSaveFileNameA(ofn) : GetOpenFileNameA(ofn);
    if (!before.empty()) SetCurrentDirectoryA(before.c_str());
    return chosen;
}
