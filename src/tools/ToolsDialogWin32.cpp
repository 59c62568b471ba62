// The tool registration dialog: one of the five tools at a time, saved to and
// deleted from the settings file at once.
#include <windows.h>
#include <commdlg.h>
#include <cderr.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/FileDialogKind.h"
#include "common/FileDialogWin32.h"
#include "common/FixedText.h"
#include "resource.h"
#include "tools/SetupWin32.h"
#include "tools/ToolRunWin32.h"
#include "tools/ToolsDialogText.h"
#include "ui/AppContextWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

namespace {

constexpr size_t kFieldMax = kToolTextMax;
// Every number the box takes fits the file's 32 bits.
constexpr int kTimeoutDigits = 9;
const int kTextBoxes[] = {IDC_TOOL_TITLE, IDC_TOOL_COMMAND, IDC_TOOL_ARGV, IDC_TOOL_FOLDER};
constexpr uint32_t kOpenFlags = kOfnExplorer | kOfnFileMustExist | kOfnHideReadOnly | kOfnNoReadOnlyReturn;

const char* const kShowWindowTexts[] = {"通常のウィンドウ", "最小化", "最大化", "非表示"};
const char* const kExecStyleTexts[] = {"１回のみ実行する", "選択中のエントリに対して実行する",
                                       "登録されている全てのエントリに対して実行する"};

std::string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    int length = control ? GetWindowTextLengthA(control) : 0;
    if (length <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1, 0);
    GetWindowTextA(control, buffer.data(), length + 1);
    return buffer.data();
}

int Selection(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

void Select(HWND dialog, int id, int item) { SendDlgItemMessageA(dialog, id, CB_SETCURSEL, item, 0); }

bool Ask(HWND dialog, const char* text) {
    return MessageBoxA(dialog, text, kProductName, MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL) == IDYES;
}

bool SettingsFound() { return FindObject<CSetup>(App().toolsDialogOwner, kSetupPropName) != nullptr; }

// The tool whose fields the boxes show, so that a switch the user takes back
// can select it again.
int ShownTool(HWND dialog) { return static_cast<int>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void LoadTool(HWND dialog, int index) {
    SetWindowLongPtrA(dialog, DWLP_USER, index);
    ToolSetting tool = {};
    if (index >= 0 && index < kToolCount)
        LoadToolSetting(App().toolsDialogOwner, ToolSectionName(index + 1).c_str(), &tool);
    // An unregistered tool reads as all zero; its boxes show that.
    SetDlgItemTextA(dialog, IDC_TOOL_TITLE, FieldText(tool.Title).c_str());
    Select(dialog, IDC_TOOL_EXEC_STYLE, tool.IsEnable ? ListItemFromExecStyle(tool.ExecStyle) : 0);
    SetDlgItemTextA(dialog, IDC_TOOL_COMMAND, FieldText(tool.Command).c_str());
    SetDlgItemTextA(dialog, IDC_TOOL_ARGV, FieldText(tool.Argv).c_str());
    SetDlgItemTextA(dialog, IDC_TOOL_FOLDER, FieldText(tool.WorkFolder).c_str());
    SetDlgItemInt(dialog, IDC_TOOL_TIMEOUT, tool.Timeout, FALSE);
    Select(dialog, IDC_TOOL_SHOW_WINDOW, tool.IsEnable ? ListItemFromShowWindow(tool.ShowWindow) : 0);
    EnableWindow(GetDlgItem(dialog, IDC_TOOL_DELETE), tool.IsEnable != 0);
    // Filling the boxes raised their change notices.
    App().toolsDialogDirty = 0;
}

void RefreshToolList(HWND dialog, int index) {
    if (!SettingsFound()) return;
    for (int i = 0; i < kToolCount; ++i) SendDlgItemMessageA(dialog, IDC_TOOL_LIST, CB_DELETESTRING, 0, 0);
    for (int tool = 1; tool <= kToolCount; ++tool) {
        ToolSetting setting;
        LoadToolSetting(App().toolsDialogOwner, ToolSectionName(tool).c_str(), &setting);
        SendDlgItemMessageA(dialog, IDC_TOOL_LIST, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(ToolListText(tool, setting).c_str()));
    }
    Select(dialog, IDC_TOOL_LIST, 0);
    LoadTool(dialog, index);
}

void OnSave(HWND dialog) {
    ToolSetting tool = {};
    SetField(tool.Title, CutAtCharBoundary(ControlText(dialog, IDC_TOOL_TITLE), kFieldMax));
    if (!tool.Title[0]) {
        ShowError(dialog, "ﾀｲﾄﾙを設定して下さい");
        return;
    }
    tool.ExecStyle = ExecStyleFromListItem(Selection(dialog, IDC_TOOL_EXEC_STYLE));
    SetField(tool.Command, CutAtCharBoundary(ControlText(dialog, IDC_TOOL_COMMAND), kFieldMax));
    if (!tool.Command[0]) {
        ShowError(dialog, "ｺﾏﾝﾄﾞを設定して下さい");
        return;
    }
    SetField(tool.Argv, CutAtCharBoundary(ControlText(dialog, IDC_TOOL_ARGV), kFieldMax));
    SetField(tool.WorkFolder, CutAtCharBoundary(ControlText(dialog, IDC_TOOL_FOLDER), kFieldMax));
    tool.Timeout = ParseTimeoutText(ControlText(dialog, IDC_TOOL_TIMEOUT));
    if (TimeoutNeedsConfirmation(tool.Timeout) &&
        !Ask(dialog, "ｺﾏﾝﾄﾞﾀｲﾑｱｳﾄに小さい数字が指定されています\n意図した値ですか"))
        return;
    tool.ShowWindow = ShowWindowFromListItem(Selection(dialog, IDC_TOOL_SHOW_WINDOW));
    int index = Selection(dialog, IDC_TOOL_LIST);
    if (index < 0 || index >= kToolCount) return;
    if (!SaveToolSetting(ToolSectionName(index + 1).c_str(), &tool)) {
        // The fields stay as typed, still marked as changed, so nothing is lost.
        ShowError(dialog, "ﾂｰﾙの設定を保存できませんでした");
        return;
    }
    App().toolsDialogDirty = 0;
    RefreshToolList(dialog, index);
    Select(dialog, IDC_TOOL_LIST, index);
}

void OnDelete(HWND dialog) {
    if (!Ask(dialog, "設定情報を削除します")) return;
    int index = Selection(dialog, IDC_TOOL_LIST);
    if (index < 0 || index >= kToolCount) return;
    if (SettingsFound() && !DeleteToolSetting(ToolSectionName(index + 1).c_str())) {
        ShowError(dialog, "ﾂｰﾙの設定を削除できませんでした");
        return;
    }
    RefreshToolList(dialog, index);
    Select(dialog, IDC_TOOL_LIST, index);
}

// Both the close button (and Esc) and the caption's close box ask before
// unsaved edits are thrown away.
void OnClose(HWND dialog) {
    if (App().toolsDialogDirty && !Ask(dialog, "更新せずに終了しますか？")) return;
    EndDialog(dialog, 0);
}

// Choosing another tool drops unsaved edits only when the user says so.
void OnToolChosen(HWND dialog) {
    const int chosen = Selection(dialog, IDC_TOOL_LIST);
    if (chosen == ShownTool(dialog)) return;
    if (App().toolsDialogDirty && !Ask(dialog, "更新せずに切り替えますか？")) {
        Select(dialog, IDC_TOOL_LIST, ShownTool(dialog));
        return;
    }
    LoadTool(dialog, chosen);
}

// A box counts characters, the file bytes: a text past what the file keeps
// is cut back at once, where the user sees it, never at the save.
void KeepWithinField(HWND dialog, int id) {
    const std::string text = ControlText(dialog, id);
    if (text.size() <= kFieldMax) return;
    SetDlgItemTextA(dialog, id, CutAtCharBoundary(text, kFieldMax).c_str());
    const LRESULT end = SendDlgItemMessageA(dialog, id, WM_GETTEXTLENGTH, 0, 0);
    SendDlgItemMessageA(dialog, id, EM_SETSEL, end, end);
    MessageBeep(MB_ICONWARNING);
}

bool OpenFileDialog(HWND dialog, const char* filter, const char* title, std::vector<char>* file) {
    const FileDialogKind kind = {false, title, filter, nullptr, kOpenFlags};
    const DWORD size = static_cast<DWORD>(file->size());
    if (AskForFile(dialog, kind, file->data(), size)) return true;
    // A text the dialog cannot take as a file name: start it empty instead.
    if (CommDlgExtendedError() != FNERR_INVALIDFILENAME) return false;
    (*file)[0] = '\0';
    return AskForFile(dialog, kind, file->data(), size);
}

void OnBrowseCommand(HWND dialog) {
    std::vector<char> file(520, 0);
    const std::string current =
        CutAtCharBoundary(BrowsedPathForCommand(ControlText(dialog, IDC_TOOL_COMMAND)), file.size() - 1);
    std::memcpy(file.data(), current.data(), current.size());
    if (OpenFileDialog(dialog, "All Files (*.*)\0*.*\0", "実行ｺﾏﾝﾄﾞ指定", &file))
        SetDlgItemTextA(dialog, IDC_TOOL_COMMAND, CommandForBrowsedPath(file.data()).c_str());
}

int CALLBACK FolderBrowserProc(HWND browser, UINT message, LPARAM, LPARAM folder) {
    if (message == BFFM_INITIALIZED && folder) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, folder);
    return 0;
}

void OnBrowseFolder(HWND dialog) {
    std::string folder = FolderForBrowsing(ControlText(dialog, IDC_TOOL_FOLDER));
    // The new dialog style needs COM on this thread.
    HRESULT com = CoInitialize(nullptr);
    BROWSEINFOA info = {};
    info.hwndOwner = dialog;
    info.lpszTitle = "実行時の作業ﾌｫﾙﾀﾞ指定";
    info.ulFlags = App().osVersion.major > 4 ? 0x45 : 0x05;
    info.lpfn = FolderBrowserProc;
    info.lParam = reinterpret_cast<LPARAM>(folder.c_str());
    if (LPITEMIDLIST item = SHBrowseForFolderA(&info)) {
        char path[MAX_PATH] = {};
        BOOL ok = SHGetPathFromIDListA(item, path);
        IMalloc* malloc = nullptr;
        if (SUCCEEDED(SHGetMalloc(&malloc)) && malloc) {
            malloc->Free(item);
            malloc->Release();
        }
        if (ok) SetDlgItemTextA(dialog, IDC_TOOL_FOLDER, path);
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

void OnPlaceholderMenu(HWND dialog) {
    HMENU menu = LoadMenuA(App().instance, MAKEINTRESOURCEA(IDM_POPUPS));
    if (!menu) return;
    RECT button = {};
    GetWindowRect(GetDlgItem(dialog, IDC_TOOL_PLACEHOLDER), &button);
    if (HMENU popup = GetSubMenu(menu, POPUP_CMD_HELP))
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, button.right, button.top, 0, dialog,
                       nullptr);
    DestroyMenu(menu);
}

void AppendArgv(HWND dialog, const std::string& addition) {
    std::string joined;
    if (AppendToArgv(ControlText(dialog, IDC_TOOL_ARGV), addition, &joined))
        SetDlgItemTextA(dialog, IDC_TOOL_ARGV, joined.c_str());
    else
        MessageBeep(MB_ICONWARNING);
}

void OnBrowseArgvFile(HWND dialog) {
    std::vector<char> file(MAX_PATH, 0);
    GetModuleFileNameA(nullptr, file.data(), MAX_PATH - 1);
    if (OpenFileDialog(dialog, "全てのﾌｧｲﾙ (*.*)\0*.*\0", "ﾌｧｲﾙ参照", &file))
        AppendArgv(dialog, QuotedPath(file.data()));
}

bool OnCommand(HWND dialog, int id, int code) {
    switch (id) {
    case IDC_TOOL_LIST:
        if (code == CBN_SELCHANGE) OnToolChosen(dialog);
        return true;
    case IDC_TOOL_TITLE: case IDC_TOOL_COMMAND: case IDC_TOOL_ARGV: case IDC_TOOL_FOLDER:
        if (code == EN_UPDATE) App().toolsDialogDirty = 1;
        if (code == EN_CHANGE) KeepWithinField(dialog, id);
        return true;
    case IDC_TOOL_TIMEOUT:
        if (code == EN_UPDATE) App().toolsDialogDirty = 1;
        return true;
    case IDC_TOOL_EXEC_STYLE: case IDC_TOOL_SHOW_WINDOW:
        if (code == CBN_SELCHANGE) App().toolsDialogDirty = 1;
        return true;
    case IDC_TOOL_SAVE: OnSave(dialog); return true;
    case IDC_TOOL_DELETE: OnDelete(dialog); return true;
    case IDC_TOOL_COMMAND_BROWSE: OnBrowseCommand(dialog); return true;
    case IDC_TOOL_FOLDER_BROWSE: OnBrowseFolder(dialog); return true;
    case IDC_TOOL_PLACEHOLDER: OnPlaceholderMenu(dialog); return true;
    case IDM_ARG_BROWSE: OnBrowseArgvFile(dialog); return true;
    case IDCANCEL: OnClose(dialog); return true;
    default:
        if (const char* placeholder = PlaceholderForCommand(id)) {
            AppendArgv(dialog, placeholder);
            return true;
        }
        return false;
    }
}

}  // namespace

INT_PTR CALLBACK ToolsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        for (const char* text : kShowWindowTexts)
            SendDlgItemMessageA(dialog, IDC_TOOL_SHOW_WINDOW, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        for (const char* text : kExecStyleTexts)
            SendDlgItemMessageA(dialog, IDC_TOOL_EXEC_STYLE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        for (int id : kTextBoxes) SendDlgItemMessageA(dialog, id, EM_SETLIMITTEXT, kFieldMax, 0);
        SendDlgItemMessageA(dialog, IDC_TOOL_TIMEOUT, EM_SETLIMITTEXT, kTimeoutDigits, 0);
        // Stays off when no settings can be found and nothing is loaded.
        EnableWindow(GetDlgItem(dialog, IDC_TOOL_DELETE), FALSE);
        RefreshToolList(dialog, 0);
        App().toolsDialogDirty = 0;
        return TRUE;
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_CLOSE:
        OnClose(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}
