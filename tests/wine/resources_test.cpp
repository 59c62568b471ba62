// The menus, accelerators, dialogs and version block compiled into
// Nodelark.exe, read back through the platform as the program reads them.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "resource.h"

namespace {

std::string ProgramPath() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self);
    path.resize(path.rfind('\\'));  // ...\tests\wine
    path.resize(path.rfind('\\'));  // ...\tests
    path.resize(path.rfind('\\'));  // build folder
    return path + "\\src\\Nodelark.exe";
}

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << ProgramPath();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }
    HMENU Load(int id) { return LoadMenuA(module_, MAKEINTRESOURCEA(id)); }
    HMODULE module_ = nullptr;
};

}  // namespace

namespace {

// One menu item as the table below writes it: text "-" is a separator, a
// popup has items and id 0.
struct MenuSpec {
    const char* text;
    UINT id;
    bool grayed;
    std::vector<MenuSpec> items;
};

MenuSpec Cmd(const char* text, UINT id, bool grayed = false) { return {text, id, grayed, {}}; }
MenuSpec Sep() { return {"-", 0, false, {}}; }
MenuSpec Sub(const char* text, std::vector<MenuSpec> items) { return {text, 0, false, std::move(items)}; }

std::vector<MenuSpec> UnregisteredTools() {
    return {Cmd("&1:(未登録)", IDM_TOOL1, true), Cmd("&2:(未登録)", IDM_TOOL2, true), Cmd("&3:(未登録)", IDM_TOOL3, true),
            Cmd("&4:(未登録)", IDM_TOOL4, true), Cmd("&5:(未登録)", IDM_TOOL5, true)};
}

// Compares a loaded menu with its table, item by item and popup by popup.
void ExpectMenu(HMENU menu, const std::vector<MenuSpec>& expected, const std::string& where) {
    ASSERT_NE(nullptr, menu) << where;
    ASSERT_EQ(static_cast<int>(expected.size()), GetMenuItemCount(menu)) << where;
    for (size_t i = 0; i < expected.size(); ++i) {
        const MenuSpec& want = expected[i];
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) << where << " item " << i;
        const std::string at = where + " > " + want.text;
        if (std::string(want.text) == "-") {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR) << where << " item " << i << " should be a separator";
            continue;
        }
        EXPECT_EQ(want.text, std::string(text)) << where << " item " << i;
        EXPECT_EQ(want.grayed, (info.fState & MFS_GRAYED) != 0) << at;
        EXPECT_FALSE(info.fState & MFS_CHECKED) << at;
        if (want.items.empty()) {
            EXPECT_EQ(nullptr, info.hSubMenu) << at;
            EXPECT_EQ(want.id, info.wID) << at;
        } else {
            ExpectMenu(info.hSubMenu, want.items, at);
        }
    }
}

}  // namespace

TEST_F(ProgramResources, MenusItemByItem) {
    std::vector<MenuSpec> tools = UnregisteredTools();
    tools.push_back(Sep());
    tools.push_back(Cmd("ﾂｰﾙの登録・修正 (&E)", IDM_TOOLS_REGISTER));
    const std::vector<MenuSpec> mainMenu = {
        Sub("ﾌｧｲﾙ (&F)", {Sub("MagicPacket送信 (&W)", {Cmd("全エントリに送信 (&W)", IDM_WAKE_ALL),
                                                       Cmd("選択中のエントリに送信 (&S)", IDM_WAKE_SELECTED)}),
                          Sep(), Cmd("ｴﾝﾄﾘ一覧をﾌｧｲﾙに出力 (&S)", IDM_ENTRY_LISTING), Sep(),
                          Cmd("ｴｸｽﾎﾟｰﾄ (&E)", IDM_ENTRY_EXPORT), Cmd("ｲﾝﾎﾟｰﾄ (&I)", IDM_ENTRY_IMPORT), Sep(),
                          Cmd("ｱﾌﾟﾘｹｰｼｮﾝの終了 (&X)\tAlt+F4", IDM_EXIT)}),
        Sub("編集 (&E)", {Cmd("ｴﾝﾄﾘ新規登録 (&I)", IDM_ENTRY_NEW), Cmd("ﾈｯﾄﾜｰｸから検索 (&N)...", IDM_NET_SCAN),
                         Cmd("ｴﾝﾄﾘ編集 (&E)", IDM_ENTRY_EDIT),
                         Cmd("ｴﾝﾄﾘ削除 (&D)", IDM_ENTRY_DELETE), Sep(), Cmd("ｱﾄﾞﾚｽﾌｨﾙﾀ (&F)", IDM_ADDRESS_FILTER),
                         // Checked by the program from the saved setting.
                         Cmd("応答の確認 (&P)", IDM_STATUS_CHECK),
                         Sep(), Cmd("ｺﾋﾟｰ (&C)\tCtrl+C", IDM_COPY), Cmd("貼り付け (&C)\tCtrl+V", IDM_PASTE), Sep(),
                         Cmd("全て選択 (&A)\tCtrl+A", IDM_SELECT_ALL),
                         Cmd("選択の反転 (&R)\tCtrl+R", IDM_INVERT_SELECTION), Sep(),
                         Cmd("ﾀﾌﾞ切替 (&C)\tCtrl+TAB", IDM_SWITCH_TAB)}),
        Sub("ﾂｰﾙ (&T)", tools),
        Sub("ﾍﾙﾌﾟ (&H)", {Cmd("About (&A)", IDM_ABOUT), Sep(), Cmd("ReadMe (&H)\tF1", IDM_README)}),
    };
    const std::vector<MenuSpec> logMenu = {
        Sub("ﾌｧｲﾙ (&F)", {Cmd("ｴｸｽﾎﾟｰﾄ (&E)", IDM_LOG_EXPORT), Sep(), Cmd("ｱﾌﾟﾘｹｰｼｮﾝの終了 (&X)\tAlt+F4", IDM_EXIT)}),
        Sub("編集 (&E)", {Cmd("ｺﾋﾟｰ (&C)\tCtrl+C", IDM_COPY), Sep(), Cmd("全て選択 (&A)\tCtrl+A", IDM_SELECT_ALL),
                         Cmd("選択の反転 (&R)\tCtrl+R", IDM_INVERT_SELECTION), Sep(),
                         Cmd("ﾀﾌﾞ切替 (&C)\tCtrl+TAB", IDM_SWITCH_TAB)}),
        Sub("ﾍﾙﾌﾟ (&H)", {Cmd("About (&A)", IDM_ABOUT), Sep(), Cmd("ﾍﾙﾌﾟ (&H)\tF1", IDM_README)}),
    };
    const std::vector<MenuSpec> popups = {
        Sub("ENTRY_POPUP", {Cmd("新規登録 (&I)", IDM_ENTRY_NEW), Cmd("ﾈｯﾄﾜｰｸから検索 (&N)...", IDM_NET_SCAN),
                            Cmd("編集 (&E)", IDM_ENTRY_EDIT),
                            Cmd("削除 (&D)", IDM_ENTRY_DELETE), Sep(), Sub("ﾂｰﾙの実行 (&T)", UnregisteredTools()),
                            Sep(), Cmd("ｺﾋﾟｰ (&C)\tCtrl+C", IDM_COPY), Cmd("貼り付け (&C)\tCtrl+V", IDM_PASTE), Sep(),
                            Cmd("全て選択 (&A)\tCtrl+A", IDM_SELECT_ALL),
                            Cmd("選択の反転 (&R)\tCtrl+R", IDM_INVERT_SELECTION)}),
        Sub("ENTRY_POPUP_NONE", {Cmd("新規登録 (&I)", IDM_ENTRY_NEW), Cmd("ﾈｯﾄﾜｰｸから検索 (&N)...", IDM_NET_SCAN), Sep(), Cmd("貼り付け (&C)\tCtrl+V", IDM_PASTE),
                                 Sep(), Cmd("全て選択 (&A)\tCtrl+A", IDM_SELECT_ALL),
                                 Cmd("選択の反転 (&R)\tCtrl+R", IDM_INVERT_SELECTION)}),
        Sub("TOOL_POPUP", tools),
        Sub("DUMMY", {Cmd("ThreadCancel", IDM_THREAD_CANCEL), Cmd("AddressFilter", IDM_ADDRESS_FILTER)}),
        Sub("CMD_HELP", {Cmd("IPｱﾄﾞﾚｽ", IDM_ARG_IP), Cmd("ｻﾌﾞﾈｯﾄﾏｽｸ", IDM_ARG_MASK), Cmd("MACｱﾄﾞﾚｽ", IDM_ARG_MAC),
                         Cmd("ﾎｽﾄ名", IDM_ARG_HOST), Cmd("実行時入力", IDM_ARG_INPUT), Sep(),
                         Cmd("参照...", IDM_ARG_BROWSE)}),
        Sub("SEND_POPUP", {Cmd("全エントリに送信 (&W)", IDM_WAKE_ALL), Cmd("選択中のエントリに送信 (&S)", IDM_WAKE_SELECTED)}),
        Sub("OUT_POPUP", {Cmd("ｺﾋﾟｰ (&C)\tCtrl+C", IDM_COPY), Sep(), Cmd("全て選択 (&A)\tCtrl+A", IDM_SELECT_ALL),
                          Cmd("選択の反転 (&R)\tCtrl+R", IDM_INVERT_SELECTION)}),
    };
    struct Case { int id; const std::vector<MenuSpec>* items; const char* name; };
    for (const Case& c : {Case{IDM_MAIN_MENU, &mainMenu, "menu 101"}, Case{IDM_LOG_MENU, &logMenu, "menu 119"},
                          Case{IDM_POPUPS, &popups, "menu 118"}}) {
        HMENU menu = Load(c.id);
        ExpectMenu(menu, *c.items, c.name);
        if (menu) DestroyMenu(menu);
    }
    // The code reaches these by position.
    HMENU popupMenu = Load(IDM_POPUPS);
    char name[64] = {};
    GetMenuStringA(popupMenu, POPUP_CMD_HELP, name, sizeof name, MF_BYPOSITION);
    EXPECT_STREQ("CMD_HELP", name);
    HMENU entryPopup = GetSubMenu(popupMenu, POPUP_ENTRY);
    GetMenuStringA(entryPopup, POPUP_ENTRY_TOOLS_ITEM, name, sizeof name, MF_BYPOSITION);
    EXPECT_STREQ("ﾂｰﾙの実行 (&T)", name);
    EXPECT_NE(nullptr, GetSubMenu(entryPopup, POPUP_ENTRY_TOOLS_ITEM));
    DestroyMenu(popupMenu);
}

TEST_F(ProgramResources, AcceleratorTable) {
    HACCEL table = LoadAcceleratorsA(module_, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(nullptr, table);
    ACCEL entries[16] = {};
    int count = CopyAcceleratorTableA(table, entries, 16);
    struct Key { BYTE modifiers; WORD key; WORD command; };
    const Key expected[] = {
        {FCONTROL, 'A', IDM_SELECT_ALL},     {FCONTROL, 'C', IDM_COPY},
        {FCONTROL, 'R', IDM_INVERT_SELECTION}, {FCONTROL, 'V', IDM_PASTE},
        {FCONTROL, VK_CANCEL, IDM_THREAD_CANCEL}, {0, VK_F1, IDM_README},
        {FCONTROL, VK_INSERT, IDM_COPY},     {FSHIFT, VK_INSERT, IDM_PASTE},
        {FCONTROL, VK_TAB, IDM_SWITCH_TAB},
    };
    ASSERT_EQ(9, count);
    for (const Key& k : expected) {
        bool found = false;
        for (int i = 0; i < count; ++i) {
            BYTE mods = entries[i].fVirt & (FCONTROL | FSHIFT | FALT);
            found |= mods == k.modifiers && entries[i].key == k.key && entries[i].cmd == k.command &&
                     (entries[i].fVirt & FVIRTKEY);
        }
        EXPECT_TRUE(found) << "key " << k.key << " for command " << k.command;
    }
    DestroyAcceleratorTable(table);
}

TEST_F(ProgramResources, DialogsAndVersion) {
    for (int id : {IDD_ABOUT, IDD_FILTER, IDD_COMMAND_LINE, IDD_NET_SCAN})
        EXPECT_NE(nullptr, FindResourceA(module_, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5))) << "dialog " << id;
    std::string path = ProgramPath();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    const char* names[][2] = {{"FileVersion", "1.0.0.1"}, {"ProductVersion", "1.0.0.1"},
                              {"InternalName", "Nodelark"}, {"OriginalFilename", "Nodelark.exe"}};
    for (auto& pair : names) {
        char* value = nullptr;
        UINT length = 0;
        std::string key = std::string("\\StringFileInfo\\041104b0\\") + pair[0];
        ASSERT_TRUE(VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) << key;
        EXPECT_STREQ(pair[1], value);
    }
}

namespace {
// Builds a dialog from the program's template without the program's
// procedure: the scan box starts scanning in its own, and this tier runs on
// the host network.
INT_PTR CALLBACK InertDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }
}  // namespace

TEST_F(ProgramResources, ScanDialogControls) {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&classes));
    HWND dialog = CreateDialogParamA(module_, MAKEINTRESOURCEA(IDD_NET_SCAN), nullptr, InertDialogProc, 0);
    ASSERT_NE(nullptr, dialog);
    char text[128] = {};
    GetWindowTextA(dialog, text, sizeof text);
    EXPECT_STREQ("ﾈｯﾄﾜｰｸから検索", text);
    struct Control { int id; const char* className; const char* text; };  // null: not compared
    const Control controls[] = {
        {IDC_SCAN_SUBNET, "ComboBox", ""},        {IDC_SCAN_FROM, WC_IPADDRESSA, nullptr},
        {IDC_SCAN_TO, WC_IPADDRESSA, nullptr},          {IDC_SCAN_START, "Button", "再検索 (&A)"},
        {IDC_SCAN_STOP, "Button", "中止 (&T)"},   {IDC_SCAN_LIST, WC_LISTVIEWA, ""},
        {IDC_SCAN_PROGRESS, PROGRESS_CLASSA, ""}, {IDC_SCAN_STATUS, "Static", ""},
        {IDOK, "Button", "OK"},                   {IDCANCEL, "Button", "ｷｬﾝｾﾙ"},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.id);
        HWND control = GetDlgItem(dialog, c.id);
        ASSERT_NE(nullptr, control);
        char className[64] = {};
        GetClassNameA(control, className, sizeof className);
        EXPECT_STRCASEEQ(c.className, className);
        if (!c.text) continue;  // an address box's text is the platform's
        GetWindowTextA(control, text, sizeof text);
        EXPECT_STREQ(c.text, text);
    }
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, IDC_SCAN_LIST), GWL_STYLE) & LVS_REPORT);
    DestroyWindow(dialog);
}
