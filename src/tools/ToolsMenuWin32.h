#pragma once
// The five run-tool items (commands 40014..40018) of any menu that holds them,
// rewritten from the settings file before the menu is shown or attached.
#include <windows.h>

// `window` carries the settings object. A menu without the five commands is
// left as it is.
void RefreshToolsMenu(HWND window, HMENU menu);

// The main menu's tools popup (its third) from AppContext::mainMenu.
void RefreshMainToolsMenu(HWND window);
