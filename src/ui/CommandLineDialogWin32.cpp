#include "ui/CommandLineDialogWin32.h"

#include "resource.h"
#include "ui/AppContextWin32.h"
#include "ui/ShellWin32.h"

namespace {
HandedOverRunEnd g_handedOverRunEnd = nullptr;
bool g_quietDialog = false;
}  // namespace

void SetCommandLineDialogQuiet(bool quiet) { g_quietDialog = quiet; }

INT_PTR CALLBACK CommandLineDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowTextA(dialog, kProductName);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    }
    return FALSE;
}

void OpenCommandLineDialog(HWND mainWindow) {
    AppContext& app = App();
    if (!app.commandLineMode || app.commandLineDialog) return;
    HWND dialog = CreateDialogParamA(app.instance, MAKEINTRESOURCEA(IDD_COMMAND_LINE), mainWindow,
                                     CommandLineDialogProc, 0);
    if (!dialog) return;
    // A request handed over by another start must not take the focus from
    // whatever the user is doing in the open window.
    ShowWindow(dialog, g_quietDialog ? SW_SHOWNOACTIVATE : SW_SHOW);
    UpdateWindow(dialog);
    app.commandLineDialog = dialog;
}

void CloseCommandLineDialog() {
    AppContext& app = App();
    if (!app.commandLineDialog) return;
    DestroyWindow(app.commandLineDialog);
    app.commandLineDialog = nullptr;
}

void SetCommandLineDialogText(const char* text) {
    HWND dialog = App().commandLineDialog;
    if (dialog && text) SetDlgItemTextA(dialog, IDC_COMMAND_LINE_TEXT, text);
}


void SetHandedOverRunEnd(HandedOverRunEnd end) { g_handedOverRunEnd = end; }

bool EndHandedOverRun(HWND mainWindow, int exitCode) {
    return g_handedOverRunEnd && g_handedOverRunEnd(mainWindow, exitCode);
}
