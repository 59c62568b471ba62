// Builds everything the main window keeps for its lifetime.
#include "app/MainWindowWin32.h"

#include <memory>
#include <string>

#include "app/ToolStripWin32.h"
#include "common/AppError.h"
#include "common/DataPath.h"
#include "common/SystemLibraryWin32.h"
#include "entries/DataSaverWin32.h"
#include "entries/EntList.h"
#include "entries/EntListWin32.h"
#include "entries/WakeListColumns.h"
#include "entries/WakeListWin32.h"
#include "log/AppLogWin32.h"
#include "log/CommandLogWin32.h"
#include "log/LogFormat.h"
#include "net/SocketCommWin32.h"
#include "resource.h"
#include "tools/ProcessWin32.h"
#include "tools/SetupWin32.h"
#include "tools/ToolRunState.h"
#include "tools/ToolsMenuWin32.h"
#include "ui/AppContextWin32.h"
#include "ui/DpiScale.h"
#include "ui/DpiWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"
#include "wake/StatusCheckWin32.h"

HFONT CreateListFont(UINT dpi) {
    const int height = -MulDiv(10, static_cast<int>(dpi), 72);
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FF_MODERN | DEFAULT_PITCH,
                       "YU Gothic UI");
}

int BitmapForDpi(int bitmapId, UINT dpi) {
    static const int kSets[][3] = {
        {IDB_TOOLBAR, IDB_TOOLBAR_150, IDB_TOOLBAR_200},
        {IDB_TOOLBAR_MASK, IDB_TOOLBAR_MASK_150, IDB_TOOLBAR_MASK_200},
        {IDB_TOOLBAR_DISABLED, IDB_TOOLBAR_DISABLED_150, IDB_TOOLBAR_DISABLED_200},
        {IDB_SMALL_IMAGES, IDB_SMALL_IMAGES_150, IDB_SMALL_IMAGES_200},
        {IDB_STATE_IMAGES, IDB_STATE_IMAGES_150, IDB_STATE_IMAGES_200},
        {IDB_HEADER_IMAGES, IDB_HEADER_IMAGES_150, IDB_HEADER_IMAGES_200},
    };
    const int scale = ImageScaleForDpi(static_cast<int>(dpi));
    const int index = scale == 200 ? 2 : (scale == 150 ? 1 : 0);
    for (const auto& set : kSets)
        if (set[0] == bitmapId) return set[index];
    return bitmapId;
}

namespace {

void AddTabItem(HWND tab, int index, const char* text, int image, HWND page) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
    item.pszText = const_cast<char*>(text);
    item.iImage = image;
    item.lParam = reinterpret_cast<LPARAM>(page);
    SendMessageA(tab, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
}

// The pages are children of the tab control; the notifications the main
// window acts on must reach it.
bool MainWindowWants(const NMHDR& header) {
    if (header.idFrom != IDC_WAKE_LIST && header.idFrom != IDC_COMMAND_LOG) return false;
    switch (header.code) {
    case NM_DBLCLK:
    case LVN_KEYDOWN:
    case LVN_COLUMNCLICK:
        return true;
    default:
        return false;
    }
}

// The tab control's own procedure sits in its user data. A plain window
// procedure swap, not the common controls' subclass helper: that one looks its
// data up as a window property on every message, which costs a round trip to
// the window server here, and a filling list sends the tab a few messages for
// every row.
LRESULT CALLBACK ForwardPageNotifications(HWND tab, UINT message, WPARAM wParam, LPARAM lParam) {
    auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(tab, GWLP_USERDATA));
    if (message == WM_NOTIFY && MainWindowWants(*reinterpret_cast<const NMHDR*>(lParam)))
        return SendMessageA(GetParent(tab), WM_NOTIFY, wParam, lParam);
    return CallWindowProcW(original, tab, message, wParam, lParam);
}

void ForwardNotificationsOf(HWND tab) {
    LONG_PTR original = GetWindowLongPtrW(tab, GWLP_WNDPROC);
    SetWindowLongPtrW(tab, GWLP_USERDATA, original);
    SetWindowLongPtrW(tab, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForwardPageNotifications));
}

HWND CreateTabControl(HWND mainWindow) {
    HWND tab = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TABCONTROLA, "Tab", 0x54008050, 0, 0, 0, 0, mainWindow,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_TAB)), App().instance, nullptr);
    if (!tab) throw AppError("ﾀﾌﾞｺﾝﾄﾛｰﾙ作成失敗");
    ForwardNotificationsOf(tab);
    SendMessageA(tab, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), TRUE);
    SendMessageA(tab, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(App().smallImages));
    return tab;
}

}  // namespace

HWND CreateWakeListPage(HWND tab) {
    WORD alignments[kWakeListColumns];
    int widths[kWakeListColumns];
    const char* texts[kWakeListColumns];
    for (int i = 0; i < kWakeListColumns; ++i) {
        alignments[i] = kWakeListColumnTable[i].rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
        widths[i] = ScaleToDpi(kWakeListColumnTable[i].width, static_cast<int>(App().dpi));
        texts[i] = kWakeListColumnTable[i].header;
    }
    HWND list = CreateListPage(tab, IDC_WAKE_LIST, "Wake List", kWakeListColumns, alignments, widths, texts, 0, true);
    ResetWakeListSort(list);
    if (HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)))
        SendMessageA(header, HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(App().headerImages));
    return list;
}

HWND CreateCommandLogPage(HWND tab) {
    static const WORD alignments[] = {LVCFMT_LEFT, LVCFMT_LEFT};
    const int widths[] = {ScaleToDpi(100, static_cast<int>(App().dpi)), ScaleToDpi(700, static_cast<int>(App().dpi))};
    static const char* const texts[] = {"時間", "出力"};
    HWND list = CreateListPage(tab, IDC_COMMAND_LOG, "Command Log", 2, alignments, widths, texts, LVS_NOSORTHEADER, false);
    AttachCommandLogQueue(list);
    return list;
}

namespace {

void Construct(HWND mainWindow) {
    AppContext& app = App();
    app.mainMenu = LoadMenuA(app.instance, MAKEINTRESOURCEA(IDM_MAIN_MENU));
    app.logMenu = LoadMenuA(app.instance, MAKEINTRESOURCEA(IDM_LOG_MENU));
    app.dpi = WindowDpi(mainWindow);
    app.listFont = CreateListFont(app.dpi);
    app.guiFont = CreateGuiFontForDpi(app.dpi);

    app.smallImages = LoadImageStrip(mainWindow, BitmapForDpi(IDB_SMALL_IMAGES, app.dpi), 4);
    if (!app.smallImages) throw AppError("ｲﾒｰｼﾞﾘｽﾄ作成失敗");
    app.stateImages = LoadImageStrip(mainWindow, BitmapForDpi(IDB_STATE_IMAGES, app.dpi), 4);
    if (!app.stateImages) throw AppError("ｲﾒｰｼﾞﾘｽﾄ作成失敗");
    app.headerImages = LoadImageStrip(mainWindow, BitmapForDpi(IDB_HEADER_IMAGES, app.dpi), 2);
    if (!app.headerImages) throw AppError("ｲﾒｰｼﾞﾘｽﾄ作成失敗");

    ZeroMemory(app.filterAddress, sizeof app.filterAddress);
    app.filterPrefixBits = 0;

    auto socket = std::make_unique<CSocketComm>();
    socket->Open();
    bool started = socket->IsStarted();
    // Attached even when it failed, so shutdown releases what it started.
    AttachObject(mainWindow, kSocketProp, socket.release());
    if (!started) throw AppError("ソケットのオープンに失敗しました");

    if (CProcess* runner = CreateProcessRunner()) AttachObject(mainWindow, kProcessProp, runner);
    AttachObject(mainWindow, kToolRunProp, new ToolRunState());

    if (CDlgbar* bar = BuildToolStrip(app.instance, mainWindow, app.dpi)) AttachObject(mainWindow, kDlgbarProp, bar);

    static const int kPercentages[] = {40, 30, 20, 10};
    auto* status = new CProgStbar(app.instance, mainWindow, IDC_STATUSBAR, IDC_PROGRESS, kPercentages, 4, 2, "ﾚﾃﾞｨ");
    AttachObject(mainWindow, kProgStbarProp, status);

    HWND tab = CreateTabControl(mainWindow);
    HWND wakeList = CreateWakeListPage(tab);
    HWND commandLog = CreateCommandLogPage(tab);
    AddTabItem(tab, 0, "一覧", 2, wakeList);
    AddTabItem(tab, 1, "出力", 3, commandLog);
    ShowWindow(commandLog, SW_HIDE);

    auto store = std::make_unique<CEntList>();
    store->OpenDataFile();
    CEntList* storePtr = store.release();
    AttachObject(mainWindow, kEntListProp, storePtr);
    // Every change to the entries reaches the disk within about a second.
    auto saver = std::make_unique<CDataSaver>(mainWindow, *storePtr);
    CDataSaver* saverPtr = saver.release();
    AttachObject(mainWindow, kDataSaverProp, saverPtr);
    storePtr->SetChangeHook([saverPtr] { saverPtr->OnChange(); });
    RefreshEntryList(mainWindow);

    // The columns as the user left them: dragged into another order, widened.
    auto layouts = std::make_unique<ColumnLayouts>();
    layouts->iniPath = JoinDataFolderPath(storePtr->DataFolder(), kStatusSettingsFile);
    layouts->wakeList = RestoreColumnLayout(wakeList, layouts->iniPath, kWakeListSection, app.dpi);
    layouts->commandLog = RestoreColumnLayout(commandLog, layouts->iniPath, kCommandLogSection, app.dpi);
    AttachObject(mainWindow, kColumnLayoutsProp, layouts.release());

    auto setup = std::make_unique<CSetup>();
    setup->ComposePath(storePtr->DataFolder());
    AttachObject(mainWindow, kSetupPropName, setup.release());

    RefreshMainToolsMenu(mainWindow);
    SetMenu(mainWindow, app.mainMenu);
    DrawMenuBar(mainWindow);

    ApplyExplorerTheme(wakeList);
    ApplyExplorerTheme(commandLog);

    auto log = std::make_unique<CAppLog>();
    std::string logPath = LogFilePath(storePtr->DataFolder());
    if (!logPath.empty()) log->Open(logPath.c_str());
    AttachObject(mainWindow, kAppLogPropName, log.release());

    AppendCommandLog(mainWindow, "Nodelark 起動しました");
    ReportDataFileState(mainWindow);

    auto check = std::make_unique<CStatusCheck>(mainWindow, storePtr->DataFolder());
    CStatusCheck* checkPtr = check.release();
    AttachObject(mainWindow, kStatusCheckProp, checkPtr);
    AttachObject<CRunWait>(mainWindow, kRunWaitProp, checkPtr);
    checkPtr->Start();
    CheckMenuItem(app.mainMenu, IDM_STATUS_CHECK, MF_BYCOMMAND | (checkPtr->Enabled() ? MF_CHECKED : MF_UNCHECKED));
    SetFocus(wakeList);
}

}  // namespace

HIMAGELIST LoadImageStrip(HWND window, int bitmapId, int imageCount) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) return nullptr;
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    HIMAGELIST list = nullptr;
    if (imageCount > 0 && info.bmWidth >= imageCount) {
        list = ImageList_Create(info.bmWidth / imageCount, info.bmHeight, ILC_COLOR16 | ILC_MASK, imageCount, 0);
        if (list) ImageList_AddMasked(list, bitmap, RGB(192, 192, 192));
    }
    DeleteObject(bitmap);
    return list;
}

HWND CreateListPage(HWND tab, int id, const char* name, int columnCount, const WORD* alignments,
                    const int* widths, const char* const* texts, DWORD extraStyle, bool stateImages) {
    AppContext& app = App();
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, name, 0x56000049 | extraStyle, 0, 0, 0, 0, tab,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), app.instance, nullptr);
    if (!list) throw AppError("ﾘｽﾄﾋﾞｭｰｺﾝﾄﾛｰﾙの作成失敗");
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), TRUE);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(app.smallImages));
    if (stateImages) SendMessageA(list, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(app.stateImages));
    if (app.osVersion.major == 0) {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (GetVersionExA(&version)) {
#pragma GCC diagnostic pop
            app.osVersion.major = version.dwMajorVersion;
            app.osVersion.minor = version.dwMinorVersion;
        }
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER | LVS_EX_HEADERDRAGDROP);
    for (int i = 0; i < columnCount; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM | LVCF_ORDER;
        column.fmt = alignments[i];
        column.cx = widths[i];
        column.pszText = const_cast<char*>(texts[i]);
        column.iSubItem = i;
        column.iOrder = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(app.listFont), FALSE);
    return list;
}

bool ApplyExplorerTheme(HWND window) {
    HMODULE theme = LoadSystemLibrary("uxtheme.dll");
    if (!theme) return false;
    using IsThemeActiveFn = BOOL(WINAPI*)();
    using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    auto isActive = SystemProc<IsThemeActiveFn>(theme, "IsThemeActive");
    auto setTheme = SystemProc<SetWindowThemeFn>(theme, "SetWindowTheme");
    bool applied = false;
    if (isActive && setTheme && isActive()) {
        wchar_t name[16] = {};
        MultiByteToWideChar(CP_ACP, 0, "explorer", -1, name, 16);
        applied = SUCCEEDED(setTheme(window, name, nullptr));
    }
    FreeLibrary(theme);
    return applied;
}

int OnCreate(HWND mainWindow) {
    try {
        Construct(mainWindow);
        return 0;
    } catch (const AppError& e) {
        ShowError(nullptr, e.Text());
        return -1;
    } catch (const std::bad_alloc&) {
        ShowError(nullptr, "ﾒﾓﾘ不足");
        return -1;
    }
}
