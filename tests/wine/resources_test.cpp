// The menus, accelerators, dialogs and version block compiled into
// Nodelark.exe, read back through the platform as the program reads them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
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

struct Item {
    std::string text;
    UINT id;        // 0 for a separator, -1 for a submenu
    bool grayed;
};

std::vector<Item> Items(HMENU menu) {
    std::vector<Item> items;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        Item item{text, info.hSubMenu ? static_cast<UINT>(-1) : info.wID, (info.fState & MFS_GRAYED) != 0};
        if (info.fType & MFT_SEPARATOR) item = Item{"", 0, false};
        items.push_back(item);
    }
    return items;
}

std::vector<std::string> Texts(HMENU menu) {
    std::vector<std::string> texts;
    for (const Item& item : Items(menu)) texts.push_back(item.text);
    return texts;
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

TEST_F(ProgramResources, MainMenuBar) {
    HMENU menu = Load(IDM_MAIN_MENU);
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ((std::vector<std::string>{"ﾌｧｲﾙ (&F)", "編集 (&E)", "ﾂｰﾙ (&T)", "ﾍﾙﾌﾟ (&H)"}), Texts(menu));
    std::vector<Item> tools = Items(GetSubMenu(menu, MAIN_MENU_TOOLS_POPUP));
    ASSERT_EQ(7u, tools.size());
    const char* unregistered[] = {"&1:(未登録)", "&2:(未登録)", "&3:(未登録)", "&4:(未登録)", "&5:(未登録)"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(unregistered[i], tools[i].text);
        EXPECT_EQ(static_cast<UINT>(IDM_TOOL1 + i), tools[i].id);
        EXPECT_TRUE(tools[i].grayed);
    }
    EXPECT_EQ(0u, tools[5].id);
    EXPECT_EQ("ﾂｰﾙの登録・修正 (&E)", tools[6].text);
    EXPECT_EQ(static_cast<UINT>(IDM_TOOLS_REGISTER), tools[6].id);

    std::vector<Item> file = Items(GetSubMenu(menu, 0));
    ASSERT_FALSE(file.empty());
    EXPECT_EQ("MagicPacket送信 (&W)", file[0].text);
    EXPECT_EQ((std::vector<std::string>{"全エントリに送信 (&W)", "選択中のエントリに送信 (&S)"}),
              Texts(GetSubMenu(GetSubMenu(menu, 0), 0)));
    EXPECT_EQ("ｱﾌﾟﾘｹｰｼｮﾝの終了 (&X)\tAlt+F4", file.back().text);
    EXPECT_EQ(static_cast<UINT>(IDM_EXIT), file.back().id);
    DestroyMenu(menu);
}

TEST_F(ProgramResources, LogMenuBarAndPopups) {
    HMENU log = Load(IDM_LOG_MENU);
    ASSERT_NE(nullptr, log);
    EXPECT_EQ((std::vector<std::string>{"ﾌｧｲﾙ (&F)", "編集 (&E)", "ﾍﾙﾌﾟ (&H)"}), Texts(log));
    EXPECT_EQ((std::vector<std::string>{"ｴｸｽﾎﾟｰﾄ (&E)", "", "ｱﾌﾟﾘｹｰｼｮﾝの終了 (&X)\tAlt+F4"}), Texts(GetSubMenu(log, 0)));
    EXPECT_EQ("ﾍﾙﾌﾟ (&H)\tF1", Texts(GetSubMenu(log, 2)).back());
    DestroyMenu(log);

    HMENU popups = Load(IDM_POPUPS);
    ASSERT_NE(nullptr, popups);
    EXPECT_EQ(7, GetMenuItemCount(popups));
    std::vector<Item> entry = Items(GetSubMenu(popups, POPUP_ENTRY));
    ASSERT_GT(entry.size(), static_cast<size_t>(POPUP_ENTRY_TOOLS_ITEM));
    EXPECT_EQ("ﾂｰﾙの実行 (&T)", entry[POPUP_ENTRY_TOOLS_ITEM].text);
    EXPECT_EQ(5, GetMenuItemCount(GetSubMenu(GetSubMenu(popups, POPUP_ENTRY), POPUP_ENTRY_TOOLS_ITEM)));
    EXPECT_EQ((std::vector<std::string>{"全エントリに送信 (&W)", "選択中のエントリに送信 (&S)"}),
              Texts(GetSubMenu(popups, POPUP_SEND)));
    EXPECT_EQ((std::vector<std::string>{"ｺﾋﾟｰ (&C)\tCtrl+C", "", "全て選択 (&A)\tCtrl+A", "選択の反転 (&R)\tCtrl+R"}),
              Texts(GetSubMenu(popups, POPUP_OUT)));
    DestroyMenu(popups);
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
    for (int id : {IDD_ABOUT, IDD_FILTER, IDD_COMMAND_LINE})
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
