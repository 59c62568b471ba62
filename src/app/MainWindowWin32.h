#pragma once
// The main window: construction, routing, layout and shutdown.
#include <windows.h>
#include <commctrl.h>

constexpr UINT WM_APP_WAKE_DONE = 2935;
constexpr UINT WM_APP_TOOL_EVENT = 3089;

constexpr char kMainWindowClass[] = "Nodelark_WindowClass";
constexpr char kProductName[] = "Nodelark";

// Window property names of the long-lived objects; the settings object and
// the log name theirs beside their classes.
constexpr char kSocketProp[] = "CMorrowbel_Class";
constexpr char kProcessProp[] = "CProcess_Class";
constexpr char kDlgbarProp[] = "CDlgbar_Class";
constexpr char kProgStbarProp[] = "CProgStbar_Class";
constexpr char kEntListProp[] = "CEntList_Class";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int OnCreate(HWND mainWindow);
int OnDestroy(HWND mainWindow);
// True once the main window is being torn down: a late close request from a
// finishing worker must not destroy it a second time.
bool ShutdownInProgress();
int LayoutMainWindow(HWND mainWindow, WPARAM kind, LPARAM packedSize);

HWND TabControl(HWND mainWindow);
// The page of tab `index`, or of the current tab when `index` is negative.
HWND PageWindow(HWND tab, int index);
void SwitchPage(HWND mainWindow, HWND tab, int index);
int CALLBACK CompareByColumn(LPARAM first, LPARAM second, LPARAM column);
// Marks every column of the Wake List as not sorted yet, so that the first
// click on any of them sorts ascending.
void ResetWakeListSort(HWND list);
// Sorts the Wake List by one column, flipping that column's direction.
void SortWakeListByColumn(HWND mainWindow, HWND list, int column);

HIMAGELIST LoadImageStrip(HWND window, int bitmapId, int imageCount);
HWND CreateListPage(HWND tab, int id, const char* name, int columnCount, const WORD* alignments,
                    const int* widths, const char* const* texts, DWORD extraStyle, bool stateImages);
bool ApplyExplorerTheme(HWND window);
// The Wake List page with its eleven columns, not yet sorted by any.
HWND CreateWakeListPage(HWND tab);
// The Command Log page with its time and output columns.
HWND CreateCommandLogPage(HWND tab);

// Shows a failure text the way every command does.
void ShowError(HWND owner, const char* text);
// Asks a yes/no question, No being the default; true on Yes.
bool AskYesNo(HWND owner, const char* text);
