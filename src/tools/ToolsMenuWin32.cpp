#include "tools/ToolsMenuWin32.h"
#include <string>
#include "ui/AppContextWin32.h"
#include "resource.h"
#include "tools/SetupWin32.h"
#include "tools/ToolSettingFile.h"

void RefreshToolsMenu(HWND window, HMENU menu) {
    if (!menu) return;
    for (int tool = 1; tool <= kToolCount; ++tool) {
        ToolSetting setting;
        const int registered = LoadToolSetting(window, ToolSectionName(tool).c_str(), &setting);
        std::string text = ToolMenuText(tool, setting);

        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_STATE | MIIM_STRING;
        item.fState = registered ? MFS_ENABLED : (MFS_DISABLED | MFS_GRAYED);
        item.dwTypeData = &text[0];
        SetMenuItemInfoA(menu, ToolRunCommand(tool), FALSE, &item);
    }
}

void RefreshMainToolsMenu(HWND window) {
    HMENU popup = App().mainMenu ? GetSubMenu(App().mainMenu, MAIN_MENU_TOOLS_POPUP) : nullptr;
    RefreshToolsMenu(window, popup);
}
