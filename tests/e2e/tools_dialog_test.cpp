// The tool registration dialog as a user meets it: registering a tool, the
// questions before edits are lost or a short time-out is saved, deleting,
// and a save that cannot reach the settings file.
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "AppFixture.h"
#include "ToolsDialogDriver.h"

namespace e2e {
namespace {

std::string ToolsIni() { return DataFolder() + "\\Tools.ini"; }

const std::vector<std::string> kUnregistered = {"1.(未登録)", "2.(未登録)", "3.(未登録)", "4.(未登録)",
                                                "5.(未登録)"};

class ToolsDialogTest : public AppFixture {
protected:
    void TearDown() override {
        AppFixture::TearDown();
        RemoveDirectoryA(ToolsIni().c_str());
    }

    HWND OpenDialog() {
        app.PostCommand(kCmdTools);
        HWND dialog = WaitDialog(app.Pid(), kToolsDialogCaption);
        EXPECT_NE(dialog, nullptr) << "the registration dialog did not open";
        if (dialog) {
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), app.Main());
        }
        return dialog;
    }

    void CloseDialog(HWND dialog) {
        Press(dialog, IDCANCEL);
        ASSERT_TRUE(WaitGone(dialog)) << "the dialog stayed open";
    }

    // The width of the popup menu `open` shows, then closed again. The
    // width follows the longest item: the one thing of another process's
    // menu that Wine lets a test see (GetMenuItemCount on it fails).
    int MenuWidth(const std::function<void()>& open) {
        open();
        HWND popup = nullptr;
        WaitUntil([&] { return (popup = ShownPopupMenu(app.Pid())) != nullptr; }, 3000);
        EXPECT_NE(popup, nullptr) << "no menu";
        if (!popup) return 0;
        RECT shown = {};
        GetWindowRect(popup, &shown);
        PressKey(VK_ESCAPE);
        EXPECT_TRUE(WaitGone(popup));
        return shown.right - shown.left;
    }
    // The TOOL button's drop-down, opened by a real click on its arrow.
    int ToolDropDownWidth() {
        return MenuWidth([&] {
            RECT button = {};
            EXPECT_TRUE(ToolbarButtonRect(app.Toolbar(), kToolDropDownButton, &button));
            Sleep(GetDoubleClickTime() + 100);  // not a double-click with the last one
            ClickAt(POINT{button.right - 4, (button.top + button.bottom) / 2});
        });
    }
    // The menu bar's Tools menu, opened with Alt+T.
    void OpenToolsMenu() {
        ASSERT_TRUE(BringToFront(app.Main()));
        PressKey('T', {VK_MENU});
    }
    int ToolsMenuWidth() {
        const int width = MenuWidth([&] { OpenToolsMenu(); });
        // Out of the menu bar too, or the next command waits behind it.
        EXPECT_TRUE(WaitUntil([&] {
            if (!InMenuMode(app.Main())) return true;
            PressKey(VK_ESCAPE);
            return false;
        }, 3000)) << "the menu bar kept the keyboard";
        return width;
    }
};

TEST_F(ToolsDialogTest, RegisterAToolAndSeeItInTheListMenusAndFile) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    ASSERT_NO_FATAL_FAILURE(MaximizeInFront());
    const int unregisteredWidth = ToolDropDownWidth();
    const int unregisteredMenuWidth = ToolsMenuWidth();

    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(kUnregistered, ComboItems(dialog, kToolList));
    EXPECT_EQ(0, Chosen(dialog, kToolList));
    EXPECT_EQ((std::vector<std::string>{"１回のみ実行する", "選択中のエントリに対して実行する",
                                        "登録されている全てのエントリに対して実行する"}),
              ComboItems(dialog, kToolExecStyle));
    EXPECT_EQ((std::vector<std::string>{"通常のウィンドウ", "最小化", "最大化", "非表示"}),
              ComboItems(dialog, kToolShowWindow));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kToolDelete))) << "nothing to delete yet";
    EXPECT_EQ("0", FieldText(dialog, kToolTimeout));

    // Tool 2: typed, chosen, a placeholder from the ">" menu, then "更新".
    Choose(dialog, kToolList, 1);
    TypeText(dialog, kToolTitle, "疎通確認 ping 長いタイトル");
    Choose(dialog, kToolExecStyle, 1);
    TypeText(dialog, kToolCommand, "C:\\windows\\system32\\ping.exe");
    TypeText(dialog, kToolArgv, "-n 1 ");
    ASSERT_TRUE(BringToFront(dialog));
    Press(dialog, kToolPlaceholder);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (menu = ShownPopupMenu(app.Pid())) != nullptr; }, 3000))
        << "the placeholder menu did not open";
    RECT shown = {}, button = {};
    GetWindowRect(menu, &shown);
    GetWindowRect(GetDlgItem(dialog, kToolPlaceholder), &button);
    EXPECT_LE(std::abs(shown.left - button.right), 4) << "the menu is not at the button's right edge";
    EXPECT_LE(std::abs(shown.top - button.top), 4);
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);  // "IPｱﾄﾞﾚｽ"
    EXPECT_TRUE(WaitGone(menu));
    EXPECT_TRUE(WaitUntil([&] { return FieldText(dialog, kToolArgv) == "-n 1 $(IP)"; }))
        << FieldText(dialog, kToolArgv);
    // The other placeholders join at the very end, with no space added.
    PostMessageA(dialog, WM_COMMAND, 40026, 0);
    EXPECT_TRUE(WaitUntil([&] { return FieldText(dialog, kToolArgv) == "-n 1 $(IP)$(MAC)"; }))
        << FieldText(dialog, kToolArgv);
    TypeText(dialog, kToolFolder, "C:\\windows");
    TypeText(dialog, kToolTimeout, "3000");
    Choose(dialog, kToolShowWindow, 3);  // hidden
    Press(dialog, kToolSave);
    ASSERT_TRUE(WaitUntil([&] { return ComboItems(dialog, kToolList)[1] == "2.疎通確認 ping 長いタイトル"; }))
        << ComboItems(dialog, kToolList)[1];
    EXPECT_TRUE(NoMessageBox(app.Pid())) << "a time-out of 3000 needs no question";
    EXPECT_EQ(1, Chosen(dialog, kToolList));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, kToolDelete)));

    // Right after a save the dialog closes without a question.
    ASSERT_NO_FATAL_FAILURE(CloseDialog(dialog));
    EXPECT_EQ("[Tool2]\r\nIsEnable=1\r\nTitle=疎通確認 ping 長いタイトル\r\nExecStyle=1\r\n"
              "Command=C:\\windows\\system32\\ping.exe\r\nArgv=-n 1 $(IP)$(MAC)\r\nArgvFlag=0x00000000\r\n"
              "WorkFolder=C:\\windows\r\nTimeout=3000\r\nShowWindow=0\r\n",
              ReadFileBytes(ToolsIni()));

    // The menus are refreshed once the dialog has closed: both grow with the
    // new title, and the Tools menu's item 2 runs the tool (which, run for
    // the selected entries with none selected, says so).
    EXPECT_GT(ToolDropDownWidth(), unregisteredWidth) << "the TOOL drop-down does not show the new title";
    EXPECT_GT(ToolsMenuWidth(), unregisteredMenuWidth) << "the Tools menu does not show the new title";
    ASSERT_NO_FATAL_FAILURE(OpenToolsMenu());
    ASSERT_TRUE(WaitUntil([&] { return ShownPopupMenu(app.Pid()) != nullptr; }, 3000));
    PressKey('2');
    EXPECT_EQ("ツールの実行には対象となるエントリが最低１以上指定されていないければなりません",
              AnswerMessageBox(app.Pid(), IDOK))
        << "item 2 of the Tools menu did not run the tool";

    // Opened again, the tool's fields come back as saved.
    dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ("2.疎通確認 ping 長いタイトル", ComboItems(dialog, kToolList)[1]);
    Choose(dialog, kToolList, 1);
    EXPECT_EQ("疎通確認 ping 長いタイトル", FieldText(dialog, kToolTitle));
    EXPECT_EQ(1, Chosen(dialog, kToolExecStyle));
    EXPECT_EQ("C:\\windows\\system32\\ping.exe", FieldText(dialog, kToolCommand));
    EXPECT_EQ("-n 1 $(IP)$(MAC)", FieldText(dialog, kToolArgv));
    EXPECT_EQ("C:\\windows", FieldText(dialog, kToolFolder));
    EXPECT_EQ("3000", FieldText(dialog, kToolTimeout));
    EXPECT_EQ(3, Chosen(dialog, kToolShowWindow));
    ASSERT_NO_FATAL_FAILURE(CloseDialog(dialog));
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolsDialogTest, QuestionsBeforeLosingEditsOrSavingAShortTimeoutAndDelete) {
    const std::string before =
        "[Tool3]\r\nIsEnable=1\r\nTitle=Three\r\nExecStyle=2\r\nCommand=three.exe\r\nArgv=$(HOST)\r\n"
        "ArgvFlag=0x00000000\r\nWorkFolder=\r\nTimeout=5000\r\nShowWindow=5\r\n";
    ASSERT_TRUE(WriteFileBytes(ToolsIni(), before));
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ("3.Three", ComboItems(dialog, kToolList)[2]);
    Choose(dialog, kToolList, 2);
    EXPECT_EQ("Three", FieldText(dialog, kToolTitle));
    EXPECT_EQ(2, Chosen(dialog, kToolExecStyle));
    EXPECT_EQ(0, Chosen(dialog, kToolShowWindow)) << "show command 5 reads as a normal window";

    // Another tool chosen after an edit asks first, as closing does: No
    // keeps the edit and the tool shown, Yes drops the edit.
    TypeText(dialog, kToolTitle, "dropped");
    ChooseLater(dialog, kToolList, 0);
    EXPECT_EQ("更新せずに切り替えますか？", AnswerMessageBox(app.Pid(), IDNO));
    EXPECT_TRUE(WaitUntil([&] { return Chosen(dialog, kToolList) == 2; }));
    EXPECT_EQ("dropped", FieldText(dialog, kToolTitle));
    ChooseLater(dialog, kToolList, 0);
    EXPECT_EQ("更新せずに切り替えますか？", AnswerMessageBox(app.Pid(), IDYES));
    EXPECT_TRUE(WaitUntil([&] { return FieldText(dialog, kToolTitle).empty(); })) << FieldText(dialog, kToolTitle);
    EXPECT_EQ(0, Chosen(dialog, kToolList));
    // Without an edit the switch asks nothing.
    Choose(dialog, kToolList, 2);
    EXPECT_TRUE(NoMessageBox(app.Pid()));
    EXPECT_EQ("Three", FieldText(dialog, kToolTitle));

    // Closing after an edit asks; No keeps the dialog, and the caption's
    // close box asks just the same.
    TypeText(dialog, kToolTitle, "Three edited");
    Press(dialog, IDCANCEL);
    EXPECT_EQ("更新せずに終了しますか？", AnswerMessageBox(app.Pid(), IDNO));
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ("更新せずに終了しますか？", AnswerMessageBox(app.Pid(), IDNO));
    EXPECT_TRUE(IsWindowVisible(dialog));

    // An empty title or command is refused.
    TypeText(dialog, kToolTitle, "");
    Press(dialog, kToolSave);
    EXPECT_EQ("ﾀｲﾄﾙを設定して下さい", AnswerMessageBox(app.Pid(), IDOK));
    TypeText(dialog, kToolTitle, "Three edited");
    TypeText(dialog, kToolCommand, "");
    Press(dialog, kToolSave);
    EXPECT_EQ("ｺﾏﾝﾄﾞを設定して下さい", AnswerMessageBox(app.Pid(), IDOK));
    TypeText(dialog, kToolCommand, "three.exe");

    // A time-out below 100 asks first; No saves nothing.
    for (const char* shortTimeout : {"99", "0"}) {
        TypeText(dialog, kToolTimeout, shortTimeout);
        Press(dialog, kToolSave);
        EXPECT_EQ("ｺﾏﾝﾄﾞﾀｲﾑｱｳﾄに小さい数字が指定されています\n意図した値ですか", AnswerMessageBox(app.Pid(), IDNO));
        EXPECT_EQ(before, ReadFileBytes(ToolsIni()));
        EXPECT_EQ("Three edited", FieldText(dialog, kToolTitle));
    }
    TypeText(dialog, kToolTimeout, "50");
    Press(dialog, kToolSave);
    EXPECT_EQ("ｺﾏﾝﾄﾞﾀｲﾑｱｳﾄに小さい数字が指定されています\n意図した値ですか", AnswerMessageBox(app.Pid(), IDYES));
    ASSERT_TRUE(WaitUntil([&] { return ComboItems(dialog, kToolList)[2] == "3.Three edited"; }));
    EXPECT_NE(std::string::npos, ReadFileBytes(ToolsIni()).find("Timeout=50\r\n"));
    TypeText(dialog, kToolTimeout, "100");
    Press(dialog, kToolSave);
    EXPECT_TRUE(NoMessageBox(app.Pid())) << "100 needs no question";
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(ToolsIni()).find("Timeout=100\r\n") != std::string::npos; }));

    // Delete: asked, then the tool reads as unregistered and its other keys
    // stay in the file.
    Press(dialog, kToolDelete);
    EXPECT_EQ("設定情報を削除します", AnswerMessageBox(app.Pid(), IDNO));
    EXPECT_EQ("3.Three edited", ComboItems(dialog, kToolList)[2]);
    Press(dialog, kToolDelete);
    EXPECT_EQ("設定情報を削除します", AnswerMessageBox(app.Pid(), IDYES));
    ASSERT_TRUE(WaitUntil([&] { return ComboItems(dialog, kToolList) == kUnregistered; }));
    EXPECT_EQ(2, Chosen(dialog, kToolList));
    EXPECT_EQ("", FieldText(dialog, kToolTitle));
    EXPECT_EQ("", FieldText(dialog, kToolCommand));
    EXPECT_EQ("0", FieldText(dialog, kToolTimeout));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kToolDelete)));
    const std::string ini = ReadFileBytes(ToolsIni());
    EXPECT_NE(std::string::npos, ini.find("[Tool3]\r\nIsEnable=0\r\nTitle=Three edited\r\n")) << ini;

    ASSERT_NO_FATAL_FAILURE(CloseDialog(dialog));
    EXPECT_TRUE(NoMessageBox(app.Pid()));
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolsDialogTest, BrowsingFillsTheCommandTheFolderAndTheArguments) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    const std::string exe = ExePath();

    // "..." of the command: the chosen file replaces the text, unquoted.
    TypeText(dialog, kToolCommand, "old.exe");
    Press(dialog, kToolCommandBrowse);
    HWND files = WaitDialog(app.Pid(), "実行ｺﾏﾝﾄﾞ指定");
    ASSERT_NE(files, nullptr) << "no file dialog for the command";
    ASSERT_TRUE(ConfirmFile(files, exe)) << "the file dialog stayed open";
    EXPECT_TRUE(WaitUntil([&] { return FieldText(dialog, kToolCommand) == exe; })) << FieldText(dialog, kToolCommand);

    // A path with a blank comes back in quotes, or process creation would
    // take "...\with" as the program; browsing again starts from it.
    const std::string blankFolder = TempFolder() + "\\with blank";
    CreateDirectoryA(blankFolder.c_str(), nullptr);
    const std::string blankExe = blankFolder + "\\a tool.exe";
    // Any program will do: a copy of the test child.
    ASSERT_TRUE(CopyFileA((ExeFolder() + "NlChild.exe").c_str(), blankExe.c_str(), FALSE)) << GetLastError();
    for (int pass = 0; pass < 2; ++pass) {
        Press(dialog, kToolCommandBrowse);
        files = WaitDialog(app.Pid(), "実行ｺﾏﾝﾄﾞ指定");
        ASSERT_NE(files, nullptr) << "no file dialog for the command";
        if (pass == 1) {
            EXPECT_EQ(std::string::npos, WindowText(FileNameField(files)).find('"')) << "the dialog got the quotes";
        }
        ASSERT_TRUE(ConfirmFile(files, blankExe)) << "the file dialog stayed open";
        EXPECT_TRUE(WaitUntil([&] { return FieldText(dialog, kToolCommand) == "\"" + blankExe + "\""; }))
            << FieldText(dialog, kToolCommand);
    }

    // "参照..." of the placeholder menu: the file joins the arguments in quotes.
    TypeText(dialog, kToolArgv, "-f ");
    PostMessageA(dialog, WM_COMMAND, 40036, 0);
    files = WaitDialog(app.Pid(), "ﾌｧｲﾙ参照");
    ASSERT_NE(files, nullptr) << "no file dialog for the arguments";
    ASSERT_TRUE(ConfirmFile(files, exe)) << "the file dialog stayed open";
    EXPECT_TRUE(WaitUntil([&] { return FieldText(dialog, kToolArgv) == "-f \"" + exe + "\""; }))
        << FieldText(dialog, kToolArgv);

    // "..." of the folder: the browser starts at the typed folder (its
    // trailing backslash dropped) and OK puts the folder back.
    TypeText(dialog, kToolFolder, "C:\\windows\\");
    Press(dialog, kToolFolderBrowse);
    HWND browser = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND d : ProcessDialogs(app.Pid()))
            if (d != dialog) browser = d;
        return browser != nullptr;
    })) << "no folder browser";
    bool titled = false;
    for (const ChildInfo& child : Children(browser)) titled |= child.text == "実行時の作業ﾌｫﾙﾀﾞ指定";
    EXPECT_TRUE(titled) << "the browser does not show its title";
    HWND tree = nullptr;
    for (const ChildInfo& child : Children(browser))
        if (child.className == "SysTreeView32") tree = child.window;
    ASSERT_NE(tree, nullptr);
    // The browser selects the folder once it has initialised.
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) != 0; }));
    ClickButton(browser, IDOK);
    ASSERT_TRUE(WaitGone(browser));
    EXPECT_TRUE(WaitUntil([&] { return _stricmp(FieldText(dialog, kToolFolder).c_str(), "C:\\windows") == 0; }))
        << FieldText(dialog, kToolFolder);

    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ("更新せずに終了しますか？", AnswerMessageBox(app.Pid(), IDYES));
    EXPECT_TRUE(WaitGone(dialog));
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolsDialogTest, ASaveThatCannotReachTheFileSaysSo) {
    // A folder where the settings file should be: every write fails.
    DeleteFileA(ToolsIni().c_str());
    ASSERT_TRUE(CreateDirectoryA(ToolsIni().c_str(), nullptr));
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    TypeText(dialog, kToolTitle, "nowhere");
    TypeText(dialog, kToolCommand, "nowhere.exe");
    TypeText(dialog, kToolTimeout, "1000");
    Press(dialog, kToolSave);
    EXPECT_EQ("ﾂｰﾙの設定を保存できませんでした", AnswerMessageBox(app.Pid(), IDOK));
    // Nothing is lost: the fields stay and closing still asks.
    EXPECT_EQ(kUnregistered, ComboItems(dialog, kToolList));
    EXPECT_EQ("nowhere", FieldText(dialog, kToolTitle));
    Press(dialog, IDCANCEL);
    EXPECT_EQ("更新せずに終了しますか？", AnswerMessageBox(app.Pid(), IDYES));
    EXPECT_TRUE(WaitGone(dialog));
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolsDialogTest, QuotesAndBlanksComeBackAsTypedAndTheQuotedCommandRuns) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    // The command as "参照..." writes a path into the arguments: in quotes.
    const std::string command = "\"" + ExeFolder() + "NlChild.exe\"";
    const std::string argv = "\"-w\" \"quoted $(INPUT)\" -w \"!\"";
    const std::string title = " \"引用\" title";
    const std::string folder = ExeFolder();
    TypeText(dialog, kToolTitle, title);
    TypeText(dialog, kToolCommand, command);
    TypeText(dialog, kToolArgv, argv);
    TypeText(dialog, kToolFolder, folder);
    TypeText(dialog, kToolTimeout, "10000");
    Press(dialog, kToolSave);
    ASSERT_TRUE(WaitUntil([&] { return ComboItems(dialog, kToolList)[0] == "1." + title; })) << ComboItems(dialog, kToolList)[0];
    const std::string ini = ReadFileBytes(ToolsIni());
    EXPECT_NE(std::string::npos, ini.find("\r\nCommand=\"" + command + "\"\r\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("\r\nArgv=\"" + argv + "\"\r\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("\r\nTitle=\"" + title + "\"\r\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("\r\nWorkFolder=" + folder + "\r\n")) << ini;
    ASSERT_NO_FATAL_FAILURE(CloseDialog(dialog));

    dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(title, FieldText(dialog, kToolTitle));
    EXPECT_EQ(command, FieldText(dialog, kToolCommand));
    EXPECT_EQ(argv, FieldText(dialog, kToolArgv));
    EXPECT_EQ(folder, FieldText(dialog, kToolFolder));
    ASSERT_NO_FATAL_FAILURE(CloseDialog(dialog));

    // The tool runs with its command line as typed.
    app.PostCommand(40014);
    HWND prompt = WaitDialog(app.Pid(), "ｺﾏﾝﾄﾞ引数の指定");
    ASSERT_NE(nullptr, prompt);
    SendMessageA(ChildById(prompt, 1021), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("text"));
    ClickButton(prompt, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return StatusText(app.StatusBar(), 0) == "ﾂｰﾙｺﾏﾝﾄﾞの実行が完了しました"; }, 20000))
        << StatusText(app.StatusBar(), 0);
    const std::vector<std::string> lines = LogLines();
    const std::string commandLine = command + " \"-w\" \"quoted text\" -w \"!\"";
    auto at = std::find(lines.begin(), lines.end(), commandLine);
    ASSERT_NE(lines.end(), at) << "no command line " << commandLine;
    ASSERT_LT(at + 1, lines.end());
    EXPECT_EQ("quoted text!", *(at + 1));
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolsDialogTest, EachBoxTakesWhatTheFileKeepsAndNoMore) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    for (int id : {kToolTitle, kToolCommand, kToolArgv, kToolFolder})
        EXPECT_EQ(259, SendMessageA(GetDlgItem(dialog, id), EM_GETLIMITTEXT, 0, 0)) << id;
    EXPECT_EQ(9, SendMessageA(GetDlgItem(dialog, kToolTimeout), EM_GETLIMITTEXT, 0, 0));
    // A text longer than the file keeps is cut at once, in the box, at a
    // character boundary: 200 double-byte characters keep 129 (258 bytes).
    std::string wide;
    for (int i = 0; i < 200; ++i) wide += "ア";
    const struct { int id; std::string typed, kept; } cases[] = {
        {kToolTitle, std::string(300, 't'), std::string(259, 't')},
        {kToolCommand, std::string(258, 'c') + "ア", std::string(258, 'c')},
        {kToolArgv, wide, wide.substr(0, 258)},
        {kToolFolder, std::string(259, 'f'), std::string(259, 'f')},
    };
    for (const auto& c : cases) {
        TypeText(dialog, c.id, c.typed);
        EXPECT_TRUE(WaitUntil([&] { return FieldText(dialog, c.id) == c.kept; })) << c.id << ": " << FieldText(dialog, c.id).size();
    }
    TypeText(dialog, kToolTimeout, "1000");
    Press(dialog, kToolSave);
    ASSERT_TRUE(WaitUntil([&] { return ComboItems(dialog, kToolList)[0] == "1." + std::string(259, 't'); }));
    const std::string ini = ReadFileBytes(ToolsIni());
    for (const auto& c : cases) EXPECT_NE(std::string::npos, ini.find("=" + c.kept + "\r\n")) << c.id;
    ASSERT_NO_FATAL_FAILURE(CloseDialog(dialog));
    EXPECT_EQ(0, app.Close());
}

}  // namespace
}  // namespace e2e
