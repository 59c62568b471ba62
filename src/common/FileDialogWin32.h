#pragma once
// Every open and save dialog of the program goes through here, so none of
// them leaves the process in the folder the user browsed to: a tool or a
// library looked up later by a bare name would otherwise be found there
// (an imported list on a colleague's share, say).
#include <windows.h>
#include <commdlg.h>

#include "common/FileDialogKind.h"

// GetOpenFileNameA or GetSaveFileNameA with the current folder kept as it
// was. OFN_NOCHANGEDIR alone is not enough: Windows ignores it for open
// dialogs.
BOOL RunFileDialog(OPENFILENAMEA* ofn, bool save);

// Asks for a file as `kind` says, through RunFileDialog. `file` holds the
// name the dialog starts with and gets the one chosen; false when the user
// cancelled or the dialog failed (CommDlgExtendedError tells which).
bool AskForFile(HWND owner, const FileDialogKind& kind, char* file, DWORD size);
