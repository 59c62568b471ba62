// The page lookup, the page switch and the message boxes every command uses.
#include "ui/ShellWin32.h"

#include "resource.h"
#include "ui/AppContextWin32.h"
#include "ui/DlgbarWin32.h"
#include "ui/WindowPropWin32.h"

int CurrentTabIndex(HWND tab) { return static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0)); }

HWND TabControl(HWND mainWindow) { return GetDlgItem(mainWindow, IDC_TAB); }

HWND PageWindow(HWND tab, int index) {
    if (!tab) return nullptr;
    if (index < 0) index = CurrentTabIndex(tab);
    int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    if (index < 0 || index >= count) return nullptr;
    TCITEMA item = {};
    item.mask = TCIF_PARAM;
    if (!SendMessageA(tab, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<HWND>(item.lParam);
}

void SwitchPage(HWND mainWindow, HWND tab, int index) {
    if (!tab) return;
    AppContext& app = App();
    int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    if (index < 0) {
        index = CurrentTabIndex(tab) + 1;
        if (index > count - 1) index = 0;
    }
    SendMessageA(tab, TCM_SETCURSEL, index, 0);
    CDlgbar* bar = FindObject<CDlgbar>(mainWindow, kDlgbarProp);
    HWND toolbar = bar ? bar->FindToolbar() : nullptr;
    if (index == 0) {
        if (toolbar && !app.toolRunning) {
            bar->EnableButton(IDM_WAKE_ALL);
            bar->EnableButton(IDM_ENTRY_NEW);
        }
        SendMessageA(mainWindow, WM_APP_REFRESH_TOOLS_MENU, 0, 0);
        SetMenu(mainWindow, app.mainMenu);
    } else if (index == 1) {
        if (toolbar) {
            bar->DisableButton(IDM_WAKE_ALL);
            bar->DisableButton(IDM_ENTRY_NEW);
        }
        SetMenu(mainWindow, app.logMenu);
    }
    DrawMenuBar(mainWindow);
    for (int i = 0; i < count; ++i) {
        if (HWND page = PageWindow(tab, i)) ShowWindow(page, i == index ? SW_SHOW : SW_HIDE);
    }
}

namespace {
bool g_unattended = false;
std::vector<std::string> g_unattendedErrors;
}  // namespace

void ShowError(HWND owner, const char* text) {
    if (g_unattended) {
        g_unattendedErrors.push_back(text ? text : "");
        return;
    }
    MessageBoxA(owner, text, kProductName, MB_ICONHAND | MB_SYSTEMMODAL);
}

void SetUnattended(bool unattended) { g_unattended = unattended; }

std::vector<std::string> TakeUnattendedErrors() {
    std::vector<std::string> errors;
    errors.swap(g_unattendedErrors);
    return errors;
}

bool AskYesNo(HWND owner, const char* text) {
    return MessageBoxA(owner, text, kProductName, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SYSTEMMODAL) == IDYES;
}
