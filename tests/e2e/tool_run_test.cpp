// Tool runs as a user sees them: a tool registered in Tools.ini before the
// start runs the project's console child for one entry, for the selected
// ones or for all, and its output lands on the Command Log line by line.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "WakeListener.h"

namespace e2e {
namespace {

constexpr int kCmdTool1 = 40014, kCmdTool2 = 40015, kCmdSelectAll = 40021, kCmdCancel = 40020;
constexpr int kToolMark = 4;
constexpr int kTabLog = 1;
const SYSTEMTIME kNever = {};

struct Tool {
    int number;
    int execStyle;
    std::string argv;          // arguments after the child's own path
    int timeout = 0;
    std::string command = "";  // empty: the test child
};

// Unquoted: the profile reader drops quotes around a whole value, and the
// build path holds no space.
std::string ChildCommand() { return ExeFolder() + "NlChild.exe"; }

// Writes Tools.ini in the data folder, as the registration dialog would.
void WriteTools(const std::vector<Tool>& tools) {
    std::string ini;
    for (const Tool& t : tools) {
        ini += "[Tool" + std::to_string(t.number) + "]\r\n";
        ini += "IsEnable=1\r\nTitle=child " + std::to_string(t.number) + "\r\n";
        ini += "ExecStyle=" + std::to_string(t.execStyle) + "\r\n";
        ini += "Command=" + (t.command.empty() ? ChildCommand() : t.command) + "\r\n";
        ini += "Argv=" + t.argv + "\r\nArgvFlag=0x00000000\r\nWorkFolder=\r\n";
        ini += "Timeout=" + std::to_string(t.timeout) + "\r\nShowWindow=0\r\n";
    }
    ASSERT_TRUE(WriteFileBytes(DataFolder() + "\\Tools.ini", ini));
}

EntryRecord Entry(int id, const char* name, uint8_t last, const char* host) {
    EntryFields f = {name, {10, 77, 0, last}, {255, 255, 255, 0}, 9, {0x00, 0x1B, 0x21, 0x3A, 0x4B, last},
                     host, "", "", kNever, kNever, kNever, 0};
    return MakeRecord(f, id);
}

std::vector<EntryRecord> ThreeEntries() {
    return {Entry(1, "PC1", 11, "host-one"), Entry(2, "PC2", 12, "host-two"), Entry(3, "PC3", 13, "host-three")};
}

class ToolRunTest : public AppFixture {
protected:
    std::string Status(int part) const { return StatusText(app.StatusBar(), part); }
    bool RunCompleted() const { return Status(0) == "ﾂｰﾙｺﾏﾝﾄﾞの実行が完了しました"; }
    bool HasLine(const std::string& line) const {
        std::vector<std::string> lines = LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // Lines reach the page in a burst shortly after they were written: wait
    // for the expected ones before comparing.
    void ExpectRunLines(const std::vector<std::string>& expected) const {
        WaitUntil([&] { return RunLines() == expected; }, 5000);
        EXPECT_EQ(expected, RunLines());
    }
    bool WaitLine(const std::string& line, DWORD ms = 5000) const {
        return WaitUntil([&] { return HasLine(line); }, ms);
    }
    // The Command Log from the run's first line on.
    std::vector<std::string> RunLines() const {
        std::vector<std::string> lines = LogLines();
        auto first = std::find(lines.begin(), lines.end(), "ツールコマンドの実行開始...");
        return std::vector<std::string>(first, lines.end());
    }
    // Answers the argument prompt with `text`.
    void AnswerPrompt(const std::string& text) {
        HWND prompt = WaitDialog(app.Pid(), "ｺﾏﾝﾄﾞ引数の指定");
        ASSERT_NE(nullptr, prompt);
        SendMessageA(ChildById(prompt, 1021), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        ClickButton(prompt, IDOK);
        ASSERT_TRUE(WaitGone(prompt));
    }
    // The expected lines of one command: its start, its command line, what
    // it printed and its completion.
    static std::vector<std::string> CommandLines(const std::string& commandLine, std::vector<std::string> output,
                                                 int exitCode) {
        std::vector<std::string> lines = {"ｺﾏﾝﾄﾞの実行を開始します...", commandLine};
        lines.insert(lines.end(), output.begin(), output.end());
        lines.push_back("ｺﾏﾝﾄﾞの実行が完了しました 終了ｺｰﾄﾞ=" + std::to_string(exitCode));
        return lines;
    }
};

TEST_F(ToolRunTest, OnceForTheSelectedEntryWithPlaceholdersAndPrompt) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{1, 0, "-w \"$(IP)|$(mask)|$(MAC)|$(Host)|$(ip)|$(INPUT)\\n\" -x 3"}}));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(ThreeEntries()));
    ASSERT_NO_FATAL_FAILURE(SetSelected(1, true));
    ASSERT_NO_FATAL_FAILURE(SetSelected(2, true));
    app.PostCommand(kCmdTool1);
    ASSERT_NO_FATAL_FAILURE(AnswerPrompt("typed ソ"));
    ASSERT_TRUE(WaitUntil([&] { return RunCompleted(); }, 20000)) << Status(0);

    const std::string args = "-w \"10.77.0.12|255.255.255.0|00-1B-21-3A-4B-0C|host-two|$(ip)|typed ソ\\n\" -x 3";
    std::vector<std::string> expected = {"ツールコマンドの実行開始..."};
    for (const std::string& line :
         CommandLines(ChildCommand() + " " + args, {"10.77.0.12|255.255.255.0|00-1B-21-3A-4B-0C|host-two|$(ip)|typed ソ"}, 3))
        expected.push_back(line);
    ExpectRunLines(expected);
    EXPECT_EQ("", Status(1));
    EXPECT_EQ(kTabLog, tabs::Current(app.Tab()));
    // Only the first selected entry ran; the selection is left alone.
    EXPECT_EQ(kToolMark, listview::StateImage(app.WakeList(), 1));
    EXPECT_NE(kToolMark, listview::StateImage(app.WakeList(), 2));
    EXPECT_EQ((std::vector<bool>{false, true, true}), listview::SelectedRows(app.WakeList()));
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolRunTest, ForEachSelectedEntryDeselectingEachWhenDone) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{2, 1, "-w $(HOST)\\n"}}));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(ThreeEntries()));
    ASSERT_NO_FATAL_FAILURE(SetSelected(0, true));
    ASSERT_NO_FATAL_FAILURE(SetSelected(2, true));
    app.PostCommand(kCmdTool2);
    ASSERT_TRUE(WaitUntil([&] { return RunCompleted(); }, 30000)) << Status(0);
    std::vector<std::string> expected = {"ツールコマンドの実行開始..."};
    for (const char* host : {"host-one", "host-three"})
        for (const std::string& line : CommandLines(ChildCommand() + " -w " + host + "\\n", {host}, 0))
            expected.push_back(line);
    ExpectRunLines(expected);
    EXPECT_EQ((std::vector<bool>{false, false, false}), listview::SelectedRows(app.WakeList()));
    EXPECT_EQ(kToolMark, listview::StateImage(app.WakeList(), 0));
    EXPECT_NE(kToolMark, listview::StateImage(app.WakeList(), 1));
    EXPECT_EQ(kToolMark, listview::StateImage(app.WakeList(), 2));
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolRunTest, ForAllEntriesOutputIsCutIntoLines) {
    // A form feed first, CR LF, bare LF, empty lines, CP932 text ("あい" is
    // 82 A0 82 A2) with a character split over two writes, standard error,
    // a last line without LF.
    ASSERT_NO_FATAL_FAILURE(WriteTools({{1, 2,
        "-w \"\\f$(IP) start\\r\\n\" -w \"\\n\\nbare\\n\" -w \\x82\\xa0\\x82 -s 100 -w \\xa2\\n -e err\\n -w end"}}));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(ThreeEntries()));
    app.PostCommand(kCmdTool1);
    ASSERT_TRUE(WaitUntil([&] { return RunCompleted(); }, 40000)) << Status(0);
    std::vector<std::string> expected = {"ツールコマンドの実行開始..."};
    for (int last : {11, 12, 13}) {
        std::string ip = "10.77.0." + std::to_string(last);
        std::string commandLine = ChildCommand() + " -w \"\\f" + ip +
                                  " start\\r\\n\" -w \"\\n\\nbare\\n\" -w \\x82\\xa0\\x82 -s 100 -w \\xa2\\n -e err\\n -w end";
        for (const std::string& line : CommandLines(commandLine, {ip + " start ", "bare", "あい", "err", "end"}, 0))
            expected.push_back(line);
    }
    ExpectRunLines(expected);
    for (int row = 0; row < 3; ++row) EXPECT_EQ(kToolMark, listview::StateImage(app.WakeList(), row)) << row;
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolRunTest, TimeOutStopsTheChildAndTheRunEnds) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{1, 0, "-w waiting\\n -s 30000", 500}}));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(ThreeEntries()));
    app.PostCommand(kCmdTool1);
    ASSERT_TRUE(WaitUntil([&] { return RunCompleted(); }, 20000)) << Status(0);
    std::vector<std::string> expected = {"ツールコマンドの実行開始...", "ｺﾏﾝﾄﾞの実行を開始します...",
                                         ChildCommand() + " -w waiting\\n -s 30000", "waiting",
                                         "プロセスがタイムアウトしました", "プロセスを強制停止しました",
                                         "ｺﾏﾝﾄﾞの実行が完了しました 終了ｺｰﾄﾞ=259"};
    ExpectRunLines(expected);
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolRunTest, CtrlBreakStopsTheCommandAndTheNextRunIsNotRefused) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{1, 0, "-w reading\\n -r"}, {2, 0, "-w again -x 5"}}));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(ThreeEntries()));
    app.PostCommand(kCmdTool1);
    ASSERT_TRUE(WaitUntil([&] { return HasLine("reading"); }, 10000));
    EXPECT_EQ("ﾂｰﾙｺﾏﾝﾄﾞを実行中です...", Status(0));
    EXPECT_EQ("中止するにはCtrl+Breakを押して下さい", Status(1));
    for (int command : {40006, 40007, 40012})
        EXPECT_EQ(0, ToolbarState(app.Toolbar(), command) & TBSTATE_ENABLED) << command << " stays enabled while running";
    ASSERT_TRUE(BringToFront(app.Main()));
    PressKey(VK_CANCEL, {VK_CONTROL});
    HWND box = WaitDialog(app.Pid(), "Nodelark", 3000);
    ASSERT_NE(nullptr, box) << "Ctrl+Break did not ask";
    EXPECT_EQ("ツール実行を中止します", MessageBoxText(box));
    ClickButton(box, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return HasLine("プロセスを強制停止しました 終了コードは 1 です"); }, 10000));
    EXPECT_EQ("ﾂｰﾙｺﾏﾝﾄﾞの実行中にｴﾗｰが発生しました", Status(0));
    std::vector<std::string> lines = LogLines();
    EXPECT_EQ(1, static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
                  return l.rfind("プロセス終了待機スレッド強制停止 handle=", 0) == 0;
              })));

    app.PostCommand(kCmdTool2);
    ASSERT_TRUE(WaitUntil([&] { return RunCompleted(); }, 20000)) << Status(0);
    EXPECT_TRUE(WaitLine("ｺﾏﾝﾄﾞの実行が完了しました 終了ｺｰﾄﾞ=5"));
    EXPECT_FALSE(HasLine("ツールコマンドは実行中です"));
    for (int command : {40006, 40007, 40012})
        EXPECT_NE(0, ToolbarState(app.Toolbar(), command) & TBSTATE_ENABLED) << command << " not enabled again";
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolRunTest, UnknownCommandReportsTheFailureAndTheNextRunIsNotRefused) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{1, 0, "-x 1", 0, "no-such-tool-here.exe"}, {2, 0, "-w fine"}}));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(ThreeEntries()));
    app.PostCommand(kCmdTool1);
    HWND box = WaitDialog(app.Pid(), "エラー", 10000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("プロセスの生成に失敗しました", MessageBoxText(box));
    ClickButton(box, IDOK);
    HWND detail = WaitDialog(app.Pid(), "エラー詳細", 5000);
    ASSERT_NE(nullptr, detail);
    ClickButton(detail, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return HasLine("ツールコマンドの実行に失敗しました"); }, 5000));
    std::vector<std::string> lines = RunLines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ("no-such-tool-here.exe -x 1", lines[2]);
    EXPECT_EQ("プロセスの生成に失敗しました", lines[3]);
    EXPECT_EQ(0u, lines[4].rfind("プロセスを強制停止しました 終了コードは ", 0));
    EXPECT_EQ("ツールコマンドの実行に失敗しました", lines[5]);

    app.PostCommand(kCmdTool2);
    ASSERT_TRUE(WaitUntil([&] { return RunCompleted(); }, 20000)) << Status(0);
    EXPECT_TRUE(WaitLine("fine"));
    EXPECT_FALSE(HasLine("ツールコマンドは実行中です"));
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolRunTest, RefusesAnUnregisteredToolAndAStyleOneRunWithoutSelection) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{2, 1, "-w x"}}));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(ThreeEntries()));
    struct Refusal {
        int command;
        const char* text;
    };
    for (const Refusal& r : {Refusal{kCmdTool1, "ツールが未登録です(No.1)"},
                             Refusal{kCmdTool2, "ツールの実行には対象となるエントリが最低１以上指定されていないければなりません"}}) {
        app.PostCommand(r.command);
        HWND box = WaitDialog(app.Pid(), "Nodelark", 5000);
        ASSERT_NE(nullptr, box) << r.text;
        EXPECT_EQ(r.text, MessageBoxText(box));
        ClickButton(box, IDOK);
        ASSERT_TRUE(WaitGone(box));
        EXPECT_TRUE(WaitUntil([&] { return LogLines().back() == r.text; }, 5000)) << r.text;
    }
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolRunTest, CommandLineToolRunForANamedEntryEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{2, 0, "-w $(HOST)"}}));
    std::string bytes = FileOf(ThreeEntries());
    ASSERT_TRUE(WriteFileBytes(DataFile(), bytes));
    ASSERT_TRUE(app.Start("/t2 PC1"));
    ASSERT_TRUE(app.WaitExit(30000)) << "the program did not end after its run";
    EXPECT_EQ(0u, app.ExitCode());
    std::vector<std::string> lines;
    for (const std::string& line : CrLfLines(ReadFileBytes(LogFile())))
        if (line.size() > 20) lines.push_back(line.substr(20));   // after the date and time
    auto at = [&](const std::string& text) { return std::find(lines.begin(), lines.end(), text); };
    ASSERT_NE(lines.end(), at("コマンドラインからの実行依頼（エントリ指定有り）"));
    EXPECT_NE(lines.end(), at("host-one"));
    EXPECT_NE(lines.end(), at("ｺﾏﾝﾄﾞの実行が完了しました 終了ｺｰﾄﾞ=0"));
    EXPECT_NE(lines.end(), at("コマンドラインからの実行依頼の為アプリケーション終了（コマンド）"));
    EXPECT_LT(at("host-one"), at("コマンドラインからの実行依頼の為アプリケーション終了（コマンド）"));
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

int CountChildren() {
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, "NlChild.exe") == 0) ++count;
    CloseHandle(snapshot);
    return count;
}

TEST_F(ToolRunTest, ClosingWhileACommandRunsStopsItAndExitsCleanly) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{1, 0, "-w reading\\n -r"}}));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(ThreeEntries()));
    app.PostCommand(kCmdTool1);
    ASSERT_TRUE(WaitUntil([&] { return HasLine("reading"); }, 10000));
    EXPECT_EQ(1, CountChildren());
    EXPECT_EQ(0, app.Close(15000));
    EXPECT_TRUE(WaitUntil([] { return CountChildren() == 0; }, 5000)) << "the child outlived the program";
}

TEST_F(ToolRunTest, CommandLineRunEndsTheProgramOnceAtItsFirstError) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{3, 0, "-s 30000", 500}}));
    std::string bytes = FileOf(ThreeEntries());
    ASSERT_TRUE(WriteFileBytes(DataFile(), bytes));
    ASSERT_TRUE(app.Start("/t3"));
    ASSERT_TRUE(app.WaitExit(30000)) << "the program did not end after the time-out";
    EXPECT_EQ(0u, app.ExitCode());
    std::string log = ReadFileBytes(LogFile());
    const std::string closing = "コマンドラインからの実行依頼の為アプリケーション終了（エラー）";
    size_t first = log.find(closing);
    ASSERT_NE(std::string::npos, first);
    EXPECT_EQ(std::string::npos, log.find(closing, first + 1)) << "the closing line came twice";
    EXPECT_NE(std::string::npos, log.find("プロセスがタイムアウトしました"));
    EXPECT_TRUE(WaitUntil([] { return CountChildren() == 0; }, 5000));
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

// The Nodelark.log lines after their date and time.
std::vector<std::string> LogFileLines() {
    std::vector<std::string> lines;
    for (const std::string& line : CrLfLines(ReadFileBytes(LogFile())))
        if (line.size() > 20) lines.push_back(line.substr(20));
    return lines;
}

TEST_F(ToolRunTest, CommandLineRunOfAMissingProgramEndsCleanlyWithItsErrorLines) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{1, 0, "-x 1", 0, "no-such-tool-here.exe"}}));
    ASSERT_TRUE(WriteFileBytes(DataFile(), FileOf(ThreeEntries())));
    ASSERT_TRUE(app.Start("/t1 PC1"));
    // The failed start shows its two boxes; the close the error asked for
    // waits until the start has returned.
    std::vector<std::string> captions;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND box : ProcessDialogs(app.Pid())) {
            const std::string caption = WindowText(box);
            if (caption != "エラー" && caption != "エラー詳細") continue;
            captions.push_back(caption);
            ClickButton(box, IDOK);
            WaitGone(box);
        }
        return !app.Running();
    }, 30000)) << "the program did not end";
    EXPECT_EQ(0u, app.ExitCode());
    EXPECT_EQ((std::vector<std::string>{"エラー", "エラー詳細"}), captions);
    const std::vector<std::string> lines = LogFileLines();
    auto at = [&](const std::string& text) { return std::find(lines.begin(), lines.end(), text); };
    ASSERT_NE(lines.end(), at("プロセスの生成に失敗しました"));
    ASSERT_NE(lines.end(), at("ツールコマンドの実行に失敗しました")) << "the runner's last line never reached the log";
    EXPECT_LT(at("プロセスの生成に失敗しました"), at("ツールコマンドの実行に失敗しました"));
    EXPECT_NE(lines.end(), at("コマンドラインからの実行依頼の為アプリケーション終了（エラー）"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("Nodelark 終了します", lines.back());
}

TEST_F(ToolRunTest, CommandLineRequestThatWasRefusedLeavesTheProgramInNormalUse) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{2, 0, "-w fine"}}));
    ASSERT_TRUE(WriteFileBytes(DataFile(), FileOf(ThreeEntries())));
    ASSERT_TRUE(app.Start("/t1 PC1"));
    ASSERT_TRUE(app.WaitMainWindow());
    HWND box = WaitDialog(app.Pid(), "Nodelark", 10000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("ツールが未登録です(No.1)", MessageBoxText(box));
    ClickButton(box, IDOK);
    ASSERT_TRUE(WaitGone(box));

    // The user's own run afterwards ends as a normal run: the program stays.
    app.PostCommand(kCmdTool2);
    ASSERT_TRUE(WaitUntil([&] { return RunCompleted(); }, 20000)) << Status(0);
    EXPECT_TRUE(app.Responds(5000)) << "the program closed after the user's run";
    EXPECT_TRUE(app.Running());
    EXPECT_FALSE(HasLine("コマンドラインからの実行依頼の為アプリケーション終了（コマンド）"));
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolRunTest, CancelAskedWhileTheCommandEndsStopsNoOtherCommand) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{1, 2, "-w started\\n -s 1500"}}));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(ThreeEntries()));
    const std::string commandLine = ChildCommand() + " -w started\\n -s 1500";
    const std::string startLine = "ｺﾏﾝﾄﾞの実行を開始します...";

    // Yes, after the command asked about has ended by itself: its completion
    // is logged, no forced stop is claimed and the run goes no further.
    // No: the run goes on with the next entry.
    for (int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(answer == IDYES ? "Yes" : "No");
        const size_t before = LogLines().size();
        auto newLines = [&] {
            std::vector<std::string> lines = LogLines();
            return std::vector<std::string>(lines.begin() + static_cast<long>(std::min(before, lines.size())), lines.end());
        };
        auto count = [&](const std::string& text) {
            std::vector<std::string> lines = newLines();
            return std::count(lines.begin(), lines.end(), text);
        };
        app.PostCommand(kCmdTool1);
        ASSERT_TRUE(WaitUntil([&] { return count("started") == 1; }, 10000));
        app.PostCommand(kCmdCancel);
        HWND box = WaitDialog(app.Pid(), "Nodelark", 5000);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ("ツール実行を中止します", MessageBoxText(box));
        ASSERT_TRUE(WaitUntil([] { return CountChildren() == 0; }, 10000)) << "the child did not end";
        // The completion comes about two seconds after the child's end; while
        // the question is open nothing of it shows, and no command starts.
        EXPECT_FALSE(WaitUntil([&] { return count(startLine) > 1 || count("ｺﾏﾝﾄﾞの実行が完了しました 終了ｺｰﾄﾞ=0") > 0; },
                               4000));
        ClickButton(box, answer);
        ASSERT_TRUE(WaitGone(box));
        std::vector<std::string> expected = {"ツールコマンドの実行開始..."};
        const int commands = answer == IDYES ? 1 : 3;
        for (int i = 0; i < commands; ++i)
            for (const std::string& line : CommandLines(commandLine, {"started"}, 0)) expected.push_back(line);
        if (answer == IDYES) {
            expected.push_back("ﾂｰﾙｺﾏﾝﾄﾞの実行を中止しました");
            ASSERT_TRUE(WaitUntil([&] { return Status(0) == "ﾂｰﾙｺﾏﾝﾄﾞの実行を中止しました"; }, 10000)) << Status(0);
        } else {
            ASSERT_TRUE(WaitUntil([&] { return RunCompleted(); }, 30000)) << Status(0);
        }
        WaitUntil([&] { return newLines() == expected; }, 5000);
        EXPECT_EQ(expected, newLines());
        for (int command : {40006, 40007, 40012})
            EXPECT_NE(0, ToolbarState(app.Toolbar(), command) & TBSTATE_ENABLED) << command;
    }
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolRunTest, WakeRunsAreRefusedWhileAToolRuns) {
    ASSERT_NO_FATAL_FAILURE(WriteTools({{1, 0, "-w reading\\n -r"}}));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(ThreeEntries()));
    WakeListener listener;
    listener.Mark();
    app.PostCommand(kCmdTool1);
    ASSERT_TRUE(WaitLine("reading", 10000));
    const std::string refusal = "ツールコマンドの実行中はWakeUpパケットを送信できません";
    for (int command : {kCmdWakeAll, 40033}) {
        SCOPED_TRACE(command);
        app.PostCommand(command);
        HWND box = WaitDialog(app.Pid(), "Nodelark", 5000);
        ASSERT_NE(nullptr, box) << "the wake run was not refused";
        EXPECT_EQ(refusal, MessageBoxText(box));
        ClickButton(box, IDOK);
        ASSERT_TRUE(WaitGone(box));
        EXPECT_TRUE(WaitUntil([&] { return LogLines().back() == refusal; }, 5000)) << LogLines().back();
        EXPECT_TRUE(IsWindowEnabled(app.Main()));
    }
    EXPECT_FALSE(HasLine("WakeUpパケットの送信開始..."));
    EXPECT_EQ(0u, listener.Count());
    EXPECT_EQ(0, app.Close());
}

TEST_F(ToolRunTest, NoProcessOfAToolsTreeOutlivesItsStopOrTheProgramAndPort7StaysFree) {
    // The child holds no socket of the program, starts a grandchild that
    // sleeps a minute and handles it everything it may inherit.
    ASSERT_NO_FATAL_FAILURE(WriteTools({{1, 0, "-k -g 60000 -w started\\n -r"}}));
    const uint8_t mac[6] = {0x02, 0, 0, 0, 0, 0x31};
    EntryFields target = {"PC1", {10, 77, 0, 31}, {255, 255, 255, 0}, 9, {mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]},
                          "", "", "", kNever, kNever, kNever, 0};
    ASSERT_NO_FATAL_FAILURE(LaunchWith({MakeRecord(target, 1)}));

    app.PostCommand(kCmdTool1);
    ASSERT_TRUE(WaitLine("started", 10000));
    EXPECT_TRUE(HasLine("sockets 0")) << "the wake socket reached the tool";
    EXPECT_EQ(2, CountChildren());
    app.PostCommand(kCmdCancel);
    HWND box = WaitDialog(app.Pid(), "Nodelark", 5000);
    ASSERT_NE(nullptr, box);
    ClickButton(box, IDYES);
    ASSERT_TRUE(WaitGone(box));
    EXPECT_TRUE(WaitUntil([] { return CountChildren() == 0; }, 10000)) << "the grandchild outlived the forced stop";

    app.PostCommand(kCmdTool1);
    ASSERT_TRUE(WaitUntil([] { return CountChildren() == 2; }, 10000));
    EXPECT_EQ(0, app.Close(15000));
    EXPECT_TRUE(WaitUntil([] { return CountChildren() == 0; }, 10000)) << "the grandchild outlived the program";

    // A new start still has port 7 and wakes.
    App again;
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(again.WaitMainWindow());
    WakeListener listener;
    listener.Mark();
    again.PostCommand(kCmdWakeAll);
    EXPECT_TRUE(WaitUntil([&] { return listener.Count() >= 1; }, 10000)) << "no packet after the restart";
    std::vector<Datagram> got = listener.Since();
    if (!got.empty()) {
        EXPECT_EQ(7, got[0].sourcePort);
        EXPECT_EQ(MagicPayload(mac), got[0].payload);
    }
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(again.Main()) != FALSE; }, 10000));
    EXPECT_EQ(0, again.Close());
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

// Computer names shaped to break out of a tool's command line, as a LAN's
// reverse look-up or an imported file may bring them. Each would make the
// test child write the marker file if its text reached the command line;
// each is refused with its line, the run goes on, and a plain name still
// runs, through cmd.exe and through a program started directly.
TEST_F(ToolRunTest, ComputerNamesThatCouldBreakOutOfTheCommandLineAreRefusedAndTheRunGoesOn) {
    const std::string marker = DataFolder() + "\\broke-out";
    const std::string child = ChildCommand();
    char system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
    const std::string cmd = std::string(system) + "\\cmd.exe";
    const std::string mark = " -f " + marker;
    struct Name { const char* entry; std::string host; std::string refusal; };
    const Name names[] = {
        {"E1", "x\" & " + child + mark + " & rem \"", "使えない文字 '\"'"},
        {"E2", "x&" + child + mark, "使えない文字 '&'"},
        {"E3", "x|" + child + mark, "使えない文字 '|'"},
        {"E4", "x^\"&" + child + mark, "使えない文字 '^'"},
        {"E5", "%USERNAME%", "使えない文字 '%'"},
        {"E6", "!PATH!", "使えない文字 '!'"},
        {"E7", "x<nul", "使えない文字 '<'"},
        {"E8", "x>" + marker, "使えない文字 '>'"},
        {"E9", "x" + mark, "使えない文字 ' '"},
        {"E10", "x\t-f\t" + marker, "制御文字 0x09"},
        {"E11", "x\n" + child + mark, "制御文字 0x0A"},
        {"E12", "pc\x83", "文字として読めないﾊﾞｲﾄ 0x83"},
        {"E\r\nforged", "x&y", "使えない文字 '&'"},
        {"PLAIN", "plain-1.corp_2", ""},
    };
    std::vector<EntryRecord> records;
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        records.push_back(Entry(static_cast<int>(i + 1), names[i].entry, static_cast<uint8_t>(11 + i), ""));
        std::memcpy(records.back().hostName, names[i].host.data(), names[i].host.size());
    }
    ASSERT_NO_FATAL_FAILURE(WriteTools({{1, 2, "/c " + child + " -w \"$(HOST)\"", 0, cmd},
                                        {2, 2, "-w $(HOST) -x 0"}}));
    DeleteFileA(marker.c_str());
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));

    std::vector<std::string> refusals;
    for (size_t i = 0; i + 1 < sizeof names / sizeof names[0]; ++i) {
        std::string shownName = names[i].entry;
        if (shownName == "E\r\nforged") shownName = "E<0x0D><0x0A>forged";
        refusals.push_back("[" + shownName + "(10.77.0." + std::to_string(11 + i) + ")]のｺﾝﾋﾟｭｰﾀ名に" +
                           names[i].refusal + "があるためｺﾏﾝﾄﾞを実行しません");
    }
    for (int tool : {kCmdTool1, kCmdTool2}) {
        SCOPED_TRACE(tool == kCmdTool1 ? "through cmd.exe" : "started directly");
        const std::string line = tool == kCmdTool1 ? cmd + " /c " + child + " -w \"plain-1.corp_2\""
                                                   : child + " -w plain-1.corp_2 -x 0";
        std::vector<std::string> expected = {"ツールコマンドの実行開始..."};
        expected.insert(expected.end(), refusals.begin(), refusals.end());
        for (const std::string& l : CommandLines(line, {"plain-1.corp_2"}, 0)) expected.push_back(l);
        // This run's lines: from its own first line on.
        auto thisRun = [&] {
            std::vector<std::string> lines = LogLines();
            auto first = std::find(lines.rbegin(), lines.rend(), expected.front());
            return std::vector<std::string>(first == lines.rend() ? lines.end() : std::prev(first.base()), lines.end());
        };
        app.PostCommand(tool);
        WaitUntil([&] { return thisRun() == expected; }, 30000);
        EXPECT_EQ(expected, thisRun());
        ASSERT_TRUE(WaitUntil([&] { return RunCompleted(); }, 30000)) << Status(0);
        EXPECT_EQ(kToolMark, listview::StateImage(app.WakeList(), static_cast<int>(refusals.size())));
        for (size_t row = 0; row < refusals.size(); ++row)
            EXPECT_NE(kToolMark, listview::StateImage(app.WakeList(), static_cast<int>(row))) << row;
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(marker.c_str())) << "a name ran a command of its own";
    EXPECT_EQ(0, app.Close());
    // The forged name stays on one line of the log file.
    const std::string log = ReadFileBytes(LogFile());
    EXPECT_NE(std::string::npos, log.find(" " + refusals.back() + "\r\n"));
    EXPECT_EQ(std::string::npos, log.find("\r\nforged("));
}

}  // namespace
}  // namespace e2e
