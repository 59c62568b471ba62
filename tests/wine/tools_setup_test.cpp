#include <gtest/gtest.h>
#include "TempFolder.h"
#include <windows.h>
#include <cstring>
#include <string>
#include "ui/AppContextWin32.h"
#include "ui/ShellWin32.h"
#include "common/FixedText.h"
#include "ui/WindowPropWin32.h"
#include "tools/SetupWin32.h"
#include "tools/ToolsMenuWin32.h"

namespace {

bool IsAllZero(const ToolSetting& s) {
    static const ToolSetting zero = {};
    return std::memcmp(&s, &zero, sizeof s) == 0;
}

// A real Tools.ini in a temporary data folder, and a message-only window
// carrying the settings object as the main window does.
class ToolsFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder("tools");
        ASSERT_FALSE(folder_.empty());
        setup_.ComposePath(folder_.c_str());
        ASSERT_EQ(folder_ + "\\Tools.ini", setup_.Path());
        window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window_);
        ASSERT_TRUE(AttachObject(window_, kSetupPropName, &setup_));
        App().toolsDialogOwner = window_;
    }
    void TearDown() override {
        App().toolsDialogOwner = nullptr;
        DetachObject<CSetup>(window_, kSetupPropName);
        DestroyWindow(window_);
        DeleteFileA(setup_.Path());
        RemoveDirectoryA(folder_.c_str());
    }

    void WriteIni(const std::string& text) {
        HANDLE h = CreateFileA(setup_.Path(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD written = 0;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(h);
    }
    std::string ReadIni() const {
        HANDLE h = CreateFileA(setup_.Path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return "<missing>";
        std::string data;
        char buf[4096];
        DWORD got = 0;
        while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
        CloseHandle(h);
        return data;
    }

    std::string folder_;
    CSetup setup_;
    HWND window_ = nullptr;
};

const char kFullTool1Disabled[] =
    "[Tool1]\r\nIsEnable=0\r\nTitle=Ping\r\nExecStyle=1\r\nCommand=ping.exe\r\nArgv=$(IP)\r\n"
    "ArgvFlag=0x0000001f\r\nWorkFolder=C:\\\r\nTimeout=100\r\nShowWindow=3\r\n";

}  // namespace

TEST_F(ToolsFile, NotRegisteredSectionReadsAllZero) {
    WriteIni(kFullTool1Disabled);
    for (const char* section : {"Tool1", "Tool2"}) {
        ToolSetting s;
        std::memset(&s, 0xCC, sizeof s);
        EXPECT_EQ(0, LoadToolSetting(window_, section, &s)) << section;
        EXPECT_TRUE(IsAllZero(s)) << section;
    }
}

TEST_F(ToolsFile, ReadsKeysWithDefaultsAndCuts) {
    WriteIni("[Tool1]\r\nIsEnable=1\r\n"
             "[Tool2]\r\nIsEnable=1\r\nTitle=" + std::string(300, 'a') + "\r\nArgvFlag=0X1g\r\n"
             "ExecStyle=2\r\nTimeout=5000\r\nShowWindow=0\r\n");
    ToolSetting s;
    ASSERT_EQ(1, LoadToolSetting(window_, "Tool1", &s));
    ToolSetting expected = {};
    expected.IsEnable = 1;
    expected.ShowWindow = 1;
    EXPECT_EQ(0, std::memcmp(&expected, &s, sizeof s));

    ASSERT_EQ(1, LoadToolSetting(window_, "Tool2", &s));
    EXPECT_EQ(std::string(259, 'a'), s.Title);
    EXPECT_EQ(1u, s.ArgvFlag);
    EXPECT_EQ(2, s.ExecStyle);
    EXPECT_EQ(5000u, s.Timeout);
    EXPECT_EQ(0u, s.ShowWindow);
}

TEST_F(ToolsFile, SaveWritesEveryKeyAndReadsBack) {
    ToolSetting s = {};
    SetField(s.Title, "ソフト & Co");
    SetField(s.Command, "C:\\Tools\\scan.exe");
    SetField(s.Argv, "-a $(IP) -m $(MAC)");
    s.ExecStyle = 1;
    s.Timeout = 2000;
    s.ShowWindow = 6;
    ASSERT_EQ(1, SaveToolSetting("Tool2", &s));
    EXPECT_EQ("[Tool2]\r\nIsEnable=1\r\nTitle=ソフト & Co\r\nExecStyle=1\r\n"
              "Command=C:\\Tools\\scan.exe\r\nArgv=-a $(IP) -m $(MAC)\r\nArgvFlag=0x00000000\r\n"
              "WorkFolder=\r\nTimeout=2000\r\nShowWindow=6\r\n",
              ReadIni());

    ToolSetting back;
    ASSERT_EQ(1, LoadToolSetting(window_, "Tool2", &back));
    s.IsEnable = 1;
    EXPECT_EQ(0, std::memcmp(&s, &back, sizeof s));
}

TEST_F(ToolsFile, TextsWithQuotesAndBlanksReadBackThroughTheProfileFunctions) {
    const std::string full = "\"" + std::string(257, 'q') + "\"";
    const char* const texts[] = {"\"C:\\Program Files\\a.exe\"", "\"a b\" -x \"c d\"", "'single'", " padded ",
                                 "\ttab", "\"open only", "\"\"", "\"", "\"ソ\"", full.c_str()};
    for (const char* text : texts) {
        ToolSetting s = {};
        SetField(s.Title, text);
        SetField(s.Command, text);
        SetField(s.Argv, text);
        SetField(s.WorkFolder, text);
        ASSERT_EQ(1, SaveToolSetting("Tool4", &s)) << text;
        ToolSetting back;
        ASSERT_EQ(1, LoadToolSetting(window_, "Tool4", &back)) << text;
        EXPECT_STREQ(text, back.Title);
        EXPECT_STREQ(text, back.Command);
        EXPECT_STREQ(text, back.Argv);
        EXPECT_STREQ(text, back.WorkFolder);
    }
}

TEST_F(ToolsFile, DeleteOnlyClearsIsEnable) {
    ToolSetting s = {};
    SetField(s.Title, "Three");
    SetField(s.Command, "three.exe");
    ASSERT_EQ(1, SaveToolSetting("Tool3", &s));
    ASSERT_EQ(1, SaveToolSetting("Tool1", &s));
    ASSERT_EQ(1, DeleteToolSetting("Tool3"));

    const std::string ini = ReadIni();
    EXPECT_NE(std::string::npos, ini.find("[Tool3]\r\nIsEnable=0\r\nTitle=Three\r\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("Command=three.exe")) << ini;
    ToolSetting back;
    EXPECT_EQ(0, LoadToolSetting(window_, "Tool3", &back));
    EXPECT_TRUE(IsAllZero(back));
    EXPECT_EQ(1, LoadToolSetting(window_, "Tool1", &back));

    ASSERT_EQ(1, SaveToolSetting("Tool3", &s));
    EXPECT_EQ(1, LoadToolSetting(window_, "Tool3", &back));
}

TEST_F(ToolsFile, MissingSettingsObjectReadsAndWritesNothing) {
    WriteIni("[Tool1]\r\nIsEnable=1\r\nTitle=x\r\n");
    const std::string before = ReadIni();
    DetachObject<CSetup>(window_, kSetupPropName);

    ToolSetting s;
    std::memset(&s, 0xCC, sizeof s);
    EXPECT_EQ(0, LoadToolSetting(window_, "Tool1", &s));
    EXPECT_TRUE(IsAllZero(s));
    EXPECT_EQ(0, LoadToolSetting(nullptr, "Tool1", &s));
    EXPECT_EQ(0, SaveToolSetting("Tool1", &s));
    EXPECT_EQ(0, DeleteToolSetting("Tool1"));
    App().toolsDialogOwner = nullptr;
    EXPECT_EQ(0, SaveToolSetting("Tool1", &s));
    EXPECT_EQ(before, ReadIni());
}

TEST_F(ToolsFile, UnusableFolderLeavesPathEmptyAndWritesNothing) {
    setup_.ComposePath(std::string(300, 'd').c_str());
    EXPECT_STREQ("", setup_.Path());
    ToolSetting s = {};
    SetField(s.Title, "nowhere");
    // Nothing was written, and the dialog must be able to say so.
    EXPECT_EQ(0, SaveToolSetting("Tool4", &s));
    EXPECT_EQ(0, DeleteToolSetting("Tool4"));
    EXPECT_EQ(0, LoadToolSetting(window_, "Tool4", &s));
    // An empty name must not become a Tools.ini of the Windows folder.
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((std::string(windows) + "\\Tools.ini").c_str()));
    setup_.ComposePath(folder_.c_str());
}

TEST_F(ToolsFile, ASaveIsAWholeNewFilePutInPlace) {
    WriteIni("; kept\r\n" + std::string(kFullTool1Disabled));
    ToolSetting s = {};
    SetField(s.Title, "Trace");
    SetField(s.Command, "tracert.exe");
    EXPECT_EQ(1, SaveToolSetting("Tool2", &s));
    EXPECT_EQ(1, DeleteToolSetting("Tool1"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder_ + "\\Tools.new").c_str()))
        << "the copy took Tools.ini's place";
    const std::string ini = ReadIni();
    EXPECT_EQ(0u, ini.find("; kept\r\n[Tool1]\r\nIsEnable=0\r\nTitle=Ping\r\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("[Tool2]\r\nIsEnable=1\r\nTitle=Trace\r\n")) << ini;
    ToolSetting back = {};
    EXPECT_EQ(1, LoadToolSetting(window_, "Tool2", &back));
    EXPECT_STREQ("tracert.exe", back.Command);
    EXPECT_EQ(0, LoadToolSetting(window_, "Tool1", &back));

    // The first save makes the file.
    DeleteFileA(setup_.Path());
    EXPECT_EQ(1, SaveToolSetting("Tool3", &s));
    EXPECT_EQ(1, LoadToolSetting(window_, "Tool3", &back));
    EXPECT_EQ(0, LoadToolSetting(window_, "Tool2", &back));
}

TEST_F(ToolsFile, ASaveWhoseCopyCannotBeMadeLeavesTheFileAsItWas) {
    WriteIni(kFullTool1Disabled);
    const std::string copy = folder_ + "\\Tools.new";
    ASSERT_TRUE(CreateDirectoryA(copy.c_str(), nullptr));
    ToolSetting s = {};
    SetField(s.Title, "Trace");
    EXPECT_EQ(0, SaveToolSetting("Tool1", &s));
    EXPECT_EQ(0, DeleteToolSetting("Tool1"));
    RemoveDirectoryA(copy.c_str());
    EXPECT_EQ(kFullTool1Disabled, ReadIni());
}

TEST_F(ToolsFile, UnwritableFileReportsTheSaveAsFailed) {
    // A folder in the file's place: no write can reach it (the tests run as
    // root, for whom a read-only attribute is no obstacle).
    DeleteFileA(setup_.Path());
    ASSERT_TRUE(CreateDirectoryA(setup_.Path(), nullptr));
    ToolSetting s = {};
    SetField(s.Title, "locked");
    SetField(s.Command, "locked.exe");
    EXPECT_EQ(0, SaveToolSetting("Tool1", &s));
    EXPECT_EQ(0, DeleteToolSetting("Tool1"));
    EXPECT_EQ(0, LoadToolSetting(window_, "Tool1", &s));
    RemoveDirectoryA(setup_.Path());
}

namespace {

std::string ItemText(HMENU menu, UINT command) {
    char text[1024] = {};
    GetMenuStringA(menu, command, text, sizeof text, MF_BYCOMMAND);
    return text;
}

bool IsGrayed(HMENU menu, UINT command) {
    UINT state = GetMenuState(menu, command, MF_BYCOMMAND);
    return (state & (MF_GRAYED | MF_DISABLED)) == (MF_GRAYED | MF_DISABLED);
}

// The five run items as the resources hold them, one of them wrongly enabled
// so a refresh has to gray it.
HMENU MakeToolsPopup() {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 40012, "ﾂｰﾙの登録 (&R)...");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    for (int tool = 1; tool <= 5; ++tool) {
        std::string text = "&" + std::to_string(tool) + ":(未登録)";
        AppendMenuA(menu, MF_STRING | (tool == 2 ? 0 : MF_GRAYED), 40013 + tool, text.c_str());
    }
    return menu;
}

}  // namespace

TEST_F(ToolsFile, RefreshToolsMenuShowsRegisteredTools) {
    WriteIni("[Tool1]\r\nIsEnable=1\r\nTitle=Ping\r\n"
             "[Tool2]\r\nIsEnable=0\r\nTitle=Old\r\n"
             "[Tool3]\r\nIsEnable=1\r\nTitle=\r\n");
    HMENU menu = MakeToolsPopup();
    RefreshToolsMenu(window_, menu);

    const struct { UINT command; const char* text; bool grayed; } expected[] = {
        {40014, "&1:「Ping」の実行", false}, {40015, "&2:(未登録)", true},
        {40016, "&3:「」の実行", false},     {40017, "&4:(未登録)", true},
        {40018, "&5:(未登録)", true},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(e.text, ItemText(menu, e.command)) << e.command;
        EXPECT_EQ(e.grayed, IsGrayed(menu, e.command)) << e.command;
    }
    EXPECT_EQ("ﾂｰﾙの登録 (&R)...", ItemText(menu, 40012));
    EXPECT_FALSE(IsGrayed(menu, 40012));

    DetachObject<CSetup>(window_, kSetupPropName);
    RefreshToolsMenu(window_, menu);
    for (UINT command = 40014; command <= 40018; ++command) {
        EXPECT_EQ("&" + std::to_string(command - 40013) + ":(未登録)", ItemText(menu, command));
        EXPECT_TRUE(IsGrayed(menu, command)) << command;
    }
    DestroyMenu(menu);
}

TEST_F(ToolsFile, RefreshMainToolsMenuUsesThirdPopup) {
    WriteIni("[Tool5]\r\nIsEnable=1\r\nTitle=Five\r\n");
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, 40001, "File item");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "ﾌｧｲﾙ (&F)");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), "編集 (&E)");
    HMENU tools = MakeToolsPopup();
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), "ﾂｰﾙ (&T)");

    App().mainMenu = bar;
    RefreshMainToolsMenu(window_);
    App().mainMenu = nullptr;
    EXPECT_EQ("&5:「Five」の実行", ItemText(tools, 40018));
    EXPECT_FALSE(IsGrayed(tools, 40018));
    EXPECT_TRUE(IsGrayed(tools, 40015));

    // A menu without the run commands is left alone.
    RefreshToolsMenu(window_, file);
    EXPECT_EQ(1, GetMenuItemCount(file));
    EXPECT_EQ("File item", ItemText(file, 40001));
    RefreshMainToolsMenu(window_);  // no main menu: nothing to do
    DestroyMenu(bar);
}
