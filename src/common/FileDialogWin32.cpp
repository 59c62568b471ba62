#include "common/FileDialogWin32.h"

#include <vector>

namespace {

std::vector<char> CurrentFolder() {
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    std::vector<char> folder(size ? size + 1 : 1, '\0');
    if (size == 0 || GetCurrentDirectoryA(size + 1, folder.data()) > size) folder.assign(1, '\0');
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
    const std::vector<char> before = CurrentFolder();
    ofn->Flags |= OFN_NOCHANGEDIR;
    const BOOL chosen = save ? GetSaveFileNameA(ofn) : GetOpenFileNameA(ofn);
    if (before[0]) SetCurrentDirectoryA(before.data());
    return chosen;
}
