#pragma once
// Names every window file shares: message numbers, the main window's class,
// the property names of the long-lived objects, the page lookup and the
// message boxes of every command.
#include <windows.h>

#include <string>
#include <vector>
#include <commctrl.h>

constexpr UINT WM_APP_WAKE_DONE = 2935;
constexpr UINT WM_APP_TOOL_EVENT = 3089;
// Sent by SwitchPage so the main window refreshes its tools menu; the shell
// layer cannot reach the tools itself.
constexpr UINT WM_APP_REFRESH_TOOLS_MENU = WM_APP + 0x2A1;

constexpr char kMainWindowClass[] = "Nodelark_WindowClass";
constexpr char kProductName[] = "Nodelark";

// Window property names of the long-lived objects.
constexpr char kSocketProp[] = "CMorrowbel_Class";
constexpr char kProcessProp[] = "CProcess_Class";
constexpr char kDlgbarProp[] = "CDlgbar_Class";
constexpr char kProgStbarProp[] = "CProgStbar_Class";
constexpr char kEntListProp[] = "CEntList_Class";
constexpr char kSetupPropName[] = "CSetUp_Class";
constexpr char kAppLogPropName[] = "CAppLog_Class";

HWND TabControl(HWND mainWindow);
// The page of tab `index`, or of the current tab when `index` is negative.
HWND PageWindow(HWND tab, int index);
int CurrentTabIndex(HWND tab);
void SwitchPage(HWND mainWindow, HWND tab, int index);

// Shows a failure text the way every command does.
void ShowError(HWND owner, const char* text);
// While the program starts for a request whose caller waits for its exit
// code (a script, a scheduled task), no box may wait for a click: errors
// are kept instead, for the log.
void SetUnattended(bool unattended);
std::vector<std::string> TakeUnattendedErrors();
// Asks a yes/no question, No being the default; true on Yes.
bool AskYesNo(HWND owner, const char* text);
