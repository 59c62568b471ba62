// Wake runs of the real program, with the packets counted by the peer in the
// test network namespace.
#include <winsock2.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "WakeListener.h"

namespace e2e {
namespace {

constexpr int kCmdWakeSelected = 40033, kCmdCancel = 40020;
constexpr int kSentImage = 2, kFailedImage = 3;
const SYSTEMTIME kOldStamp = {2024, 4, 0, 1, 9, 30, 0, 0};
const SYSTEMTIME kNever = {};

struct Target {
    const char* name;
    uint8_t ip[4];
    uint8_t mask[4];
    int32_t port;
    uint8_t mac[6];
    int32_t excluded;
    int expectedPort;  // 0: no packet
};

EntryRecord RecordOf(const Target& t, int id, SYSTEMTIME lastSent = kOldStamp) {
    EntryFields f = {t.name, {t.ip[0], t.ip[1], t.ip[2], t.ip[3]}, {t.mask[0], t.mask[1], t.mask[2], t.mask[3]},
                     t.port, {t.mac[0], t.mac[1], t.mac[2], t.mac[3], t.mac[4], t.mac[5]}, "", "", "",
                     lastSent, kOldStamp, kOldStamp, t.excluded};
    return MakeRecord(f, id);
}

// Ten complete entries, one port apart in their MACs.
std::vector<EntryRecord> TenEntries() {
    std::vector<EntryRecord> records;
    for (int i = 0; i < 10; ++i) {
        std::string name = "PC" + std::to_string(i + 1);
        Target t = {name.c_str(), {10, 77, 0, static_cast<uint8_t>(20 + i)}, {255, 255, 255, 0}, 9,
                    {0x02, 0, 0, 0, 0, static_cast<uint8_t>(i + 1)}, 0, 9};
        records.push_back(RecordOf(t, i, kNever));
    }
    return records;
}

std::vector<EntryRecord> ReadRecords(const std::string& bytes) {
    std::vector<EntryRecord> records(bytes.size() / sizeof(EntryRecord));
    if (!records.empty()) std::memcpy(records.data(), bytes.data(), records.size() * sizeof(EntryRecord));
    return records;
}

bool IsNever(const SYSTEMTIME& t) { return t.wYear == 0 && t.wMonth == 0 && t.wDay == 0 && t.wHour == 0; }

class WakeRunTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        ASSERT_FALSE(WakeListener::LogPath().empty()) << "NL_E2E_LISTENER_LOG is not set; run tests/e2e/run.sh";
        listener.Mark();
    }

    std::string Status(int part) const { return StatusText(app.StatusBar(), part); }
    bool RunEnded() const { return IsWindowEnabled(app.Main()) && Contains(LogLines(), "WakeUpパケットの送信完了"); }
    static bool Contains(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // Command Log lines after the start-up line.
    std::vector<std::string> RunLines() const {
        std::vector<std::string> lines = LogLines();
        if (!lines.empty()) lines.erase(lines.begin());
        return lines;
    }

    WakeListener listener;
};

TEST_F(WakeRunTest, WakeAllSendsOnePacketToEachCompleteEntry) {
    const Target targets[] = {
        {"Alpha", {10, 77, 0, 10}, {255, 255, 255, 0}, 9, {0x00, 0x1B, 0x21, 0x3A, 0x4B, 0x5C}, 0, 9},
        {"Excluded", {10, 77, 0, 11}, {255, 255, 255, 0}, 9, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, 1, 0},
        {"NoMac", {10, 77, 0, 12}, {255, 255, 255, 0}, 9, {0, 0, 0, 0, 0, 0}, 0, 0},
        {"NoMask", {10, 77, 0, 13}, {0, 0, 0, 0}, 9, {0x00, 0x1B, 0x21, 0x00, 0x00, 0x13}, 0, 0},
        {"DefaultPort", {10, 77, 0, 14}, {255, 255, 255, 0}, 0, {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}, 0, 7},
        {"HighPort", {10, 77, 0, 15}, {255, 255, 255, 0}, 65536 + 9, {0x00, 0x1B, 0x21, 0x00, 0x00, 0x15}, 0, 9},
    };
    std::vector<EntryRecord> records;
    for (int i = 0; i < 6; ++i) records.push_back(RecordOf(targets[i], i));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    HWND list = app.WakeList();

    app.PostCommand(kCmdWakeAll);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(app.Main()); }, 3000)) << "the window stays enabled";
    EXPECT_TRUE(WaitUntil([&] { return Status(1) == "中止するにはCtrl+Breakを押して下さい"; }, 3000));
    EXPECT_TRUE(WaitUntil([&] { return Status(0) == "00-11-22-33-44-55 は送信対象外です"; }, 5000));
    ASSERT_TRUE(WaitUntil([&] { return RunEnded(); }, 15000)) << "the run did not end";

    std::vector<Datagram> got = listener.Since();
    ASSERT_EQ(3u, got.size());
    const int sentIndexes[] = {0, 4, 5};
    for (size_t i = 0; i < got.size(); ++i) {
        const Target& t = targets[sentIndexes[i]];
        EXPECT_EQ("10.77.0.2", got[i].source);
        EXPECT_EQ(7, got[i].sourcePort);
        EXPECT_EQ(t.expectedPort, got[i].destinationPort) << t.name;
        EXPECT_EQ(102, got[i].length);
        EXPECT_EQ(MagicPayload(t.mac), got[i].payload) << t.name;
        // The excluded entry between the first two costs a pause as well.
        if (i > 0) {
            EXPECT_GE(got[i].ms - got[i - 1].ms, i == 1 ? 900 : 450) << t.name;
        }
    }

    for (int row = 0; row < 6; ++row) {
        int id = static_cast<int>(listview::Param(list, row));
        const Target& t = targets[id];
        const bool sent = t.expectedPort != 0;
        EXPECT_EQ(sent ? kSentImage : 0, listview::StateImage(list, row)) << t.name;
        const std::string lastSent = listview::Text(list, row, 8);
        if (sent) {
            EXPECT_TRUE(IsStamp(lastSent) && lastSent != "2024/04/01 09:30:00") << t.name << ": " << lastSent;
        } else {
            EXPECT_EQ("2024/04/01 09:30:00", lastSent) << t.name;
        }
    }
    const std::vector<std::string> expected = {
        "WakeUpパケットの送信開始...",
        "[Alpha(10.77.0.10)]への送信成功の通知",
        "[DefaultPort(10.77.0.14)]への送信成功の通知",
        "[HighPort(10.77.0.15)]への送信成功の通知",
        "WakeUpパケットの送信完了",
    };
    EXPECT_EQ(expected, RunLines());
    EXPECT_EQ("送信を完了しました", Status(0));
    EXPECT_EQ("", Status(1));
    EXPECT_EQ(list, FocusOf(list)) << "the Wake List should have the focus again";

    ASSERT_EQ(0, app.Close());
    std::vector<EntryRecord> saved = ReadRecords(ReadFileBytes(DataFile()));
    ASSERT_EQ(6u, saved.size());
    for (const EntryRecord& r : saved) {
        const bool sent = targets[r.id].expectedPort != 0;
        EXPECT_EQ(sent, r.lastSentTime.wYear != 2024) << r.name;
    }
}

// The last-sent times reach the data file while the program runs: a process
// killed a little after its wake run keeps them.
TEST_F(WakeRunTest, LastSentTimesSurviveAKilledProcess) {
    std::vector<EntryRecord> records = TenEntries();
    records.resize(4);
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    app.PostCommand(kCmdWakeAll);
    ASSERT_TRUE(WaitUntil([&] { return RunEnded(); }, 15000)) << "the run did not end";
    ASSERT_EQ(4u, listener.Count());
    std::vector<std::string> shown;
    for (int row = 0; row < 4; ++row) shown.push_back(listview::Text(app.WakeList(), row, 8));
    // Within about a second of the last stamp, with room to spare.
    Sleep(2000);
    app.Kill();
    ASSERT_FALSE(app.Running());
    expectedExitCode = 255;

    std::vector<EntryRecord> saved = ReadRecords(ReadFileBytes(DataFile()));
    ASSERT_EQ(4u, saved.size());
    for (int row = 0; row < 4; ++row) {
        const EntryRecord& r = saved[row];
        EXPECT_FALSE(IsNever(r.lastSentTime)) << r.name;
        char text[32];
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", r.lastSentTime.wYear, r.lastSentTime.wMonth,
                      r.lastSentTime.wDay, r.lastSentTime.wHour, r.lastSentTime.wMinute, r.lastSentTime.wSecond);
        EXPECT_EQ(shown[row], text) << r.name << ": the file holds what the row showed";
    }
}

TEST_F(WakeRunTest, WakeSelectedSendsOnlyToSelectedRows) {
    std::vector<EntryRecord> records = TenEntries();
    records.resize(3);
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    HWND list = app.WakeList();

    // Nothing selected: the run ends without a packet, an image or a step.
    app.PostCommand(kCmdWakeSelected);
    ASSERT_TRUE(WaitUntil([&] { return RunEnded(); }, 10000));
    EXPECT_EQ("送信を完了しました", Status(0));
    for (int row = 0; row < 3; ++row) EXPECT_EQ(0, listview::StateImage(list, row));

    ASSERT_NO_FATAL_FAILURE(SetSelected(1, true));
    size_t before = LogLines().size();
    app.PostCommand(kCmdWakeSelected);
    ASSERT_TRUE(WaitUntil([&] { return LogLines().size() >= before + 3 && IsWindowEnabled(app.Main()); }, 10000));
    std::vector<Datagram> got = listener.Since();
    ASSERT_EQ(1u, got.size());
    int id = static_cast<int>(listview::Param(list, 1));
    EXPECT_EQ(MagicPayload(records[id].macAddress), got[0].payload);
    for (int row = 0; row < 3; ++row) EXPECT_EQ(row == 1 ? kSentImage : 0, listview::StateImage(list, row));
    EXPECT_EQ(0, app.Close());
}

TEST_F(WakeRunTest, CancelStopsTheRunBeforeTheNextEntry) {
    ASSERT_NO_FATAL_FAILURE(LaunchWith(TenEntries()));
    app.PostCommand(kCmdWakeAll);
    ASSERT_TRUE(WaitUntil([&] { return listener.Count() >= 3; }, 10000));
    app.PostCommand(kCmdCancel);
    HWND box = WaitDialog(app.Pid(), "Nodelark", 3000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("送信処理を中止します", MessageBoxText(box));
    const size_t atYes = listener.Count();
    ClickButton(box, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return RunEnded(); }, 5000));
    const size_t sent = listener.Count();
    // The cancel is noticed before the next entry: at most one packet that
    // was already on its way when Yes was pressed.
    EXPECT_LE(sent, atYes + 1);
    EXPECT_LT(sent, 10u);
    EXPECT_EQ("WakeUpパケットの送信を中止しました", Status(0));
    std::vector<std::string> lines = RunLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ("WakeUpパケットの送信を中止しました", lines[lines.size() - 2]);
    EXPECT_EQ("WakeUpパケットの送信完了", lines.back());
    HWND list = app.WakeList();
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(row < static_cast<int>(sent) ? kSentImage : 0, listview::StateImage(list, row)) << row;
    EXPECT_EQ(0, app.Close());
}

TEST_F(WakeRunTest, KeysDuringARunChangeNothingButCtrlBreakStillAsks) {
    ASSERT_NO_FATAL_FAILURE(LaunchWith(TenEntries()));
    HWND list = app.WakeList();
    ASSERT_TRUE(BringToFront(app.Main()));
    RECT row = {};
    ASSERT_TRUE(listview::ItemRect(list, 0, &row));
    ClickAt(POINT{row.left + 20, (row.top + row.bottom) / 2});
    ASSERT_TRUE(WaitUntil([&] { return listview::Selected(list, 0); }));
    const std::vector<bool> selection = listview::SelectedRows(list);
    app.PostCommand(kCmdWakeAll);
    ASSERT_TRUE(WaitUntil([&] { return listener.Count() >= 1; }, 10000));

    struct Key { WORD vk; std::initializer_list<WORD> modifiers; const char* label; };
    const Key keys[] = {{'V', {VK_CONTROL}, "Ctrl+V"}, {'A', {VK_CONTROL}, "Ctrl+A"}, {'R', {VK_CONTROL}, "Ctrl+R"},
                        {VK_DELETE, {}, "Delete"},     {VK_RETURN, {}, "Enter"}};
    for (const Key& key : keys) {
        PressKey(key.vk, key.modifiers);
        // Each command is routed at once; a second start would be refused
        // with a box, an edit or delete would open a dialog.
        EXPECT_TRUE(app.Responds()) << key.label;
        EXPECT_TRUE(ProcessDialogs(app.Pid()).empty()) << key.label << " opened a dialog";
        EXPECT_EQ(10, listview::Count(list)) << key.label;
        EXPECT_EQ(selection, listview::SelectedRows(list)) << key.label;
    }
    // Under Wine most keys do not reach a disabled window at all (Ctrl+Break
    // does); the commands sent as messages show that the router refuses them.
    for (int command : {40040, 40021, 40022, 40011, 40010, 40007, 40006, 40033, 40014})
        EXPECT_TRUE(app.CommandReturns(command)) << command;
    EXPECT_TRUE(ProcessDialogs(app.Pid()).empty());

    PressKey(VK_CANCEL, {VK_CONTROL});
    HWND box = WaitDialog(app.Pid(), "Nodelark", 3000);
    ASSERT_NE(nullptr, box) << "Ctrl+Break did not ask";
    EXPECT_EQ("送信処理を中止します", MessageBoxText(box));
    ClickButton(box, IDNO);
    ASSERT_TRUE(WaitUntil([&] { return RunEnded(); }, 15000));
    EXPECT_EQ("送信を完了しました", Status(0)) << "No must let the run go on to the end";
    EXPECT_EQ(10u, listener.Count());
    EXPECT_EQ(0, app.Close());
}

TEST_F(WakeRunTest, BusyLocalPortMakesEverySendFail) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    SOCKET holder = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(INVALID_SOCKET, holder);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(7);
    ASSERT_EQ(0, bind(holder, reinterpret_cast<sockaddr*>(&local), sizeof local)) << WSAGetLastError();

    std::vector<EntryRecord> records = TenEntries();
    records.resize(3);
    records[1].excluded = 1;
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    app.PostCommand(kCmdWakeAll);
    ASSERT_TRUE(WaitUntil([&] { return RunEnded(); }, 10000));
    HWND list = app.WakeList();
    for (int row = 0; row < 3; ++row) {
        const bool excluded = records[listview::Param(list, row)].excluded != 0;
        EXPECT_EQ(excluded ? 0 : kFailedImage, listview::StateImage(list, row)) << row;
    }
    EXPECT_EQ("送信を完了しました", Status(0));
    EXPECT_EQ(0u, listener.Count());
    const std::vector<std::string> expected = {"WakeUpパケットの送信開始...", "WakeUpパケットの送信完了"};
    EXPECT_EQ(expected, RunLines());
    EXPECT_EQ(0, app.Close());
    closesocket(holder);
    WSACleanup();
}

TEST_F(WakeRunTest, FilterHidingEveryRowLeavesNothingToSend) {
    std::vector<EntryRecord> records = TenEntries();
    records.resize(2);
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    const uint8_t elsewhere[4] = {192, 168, 1, 0};
    ASSERT_NO_FATAL_FAILURE(SetFilter(app, elsewhere, "24", IDOK));
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.WakeList()) == 0; }));

    app.PostCommand(kCmdWakeAll);
    ASSERT_TRUE(WaitUntil([&] { return RunEnded(); }, 10000));
    EXPECT_EQ("WakeUp送信先が未登録です", Status(0));
    const std::vector<std::string> expected = {"WakeUpパケットの送信開始...", "WakeUp送信先が未登録です",
                                               "WakeUpパケットの送信完了"};
    EXPECT_EQ(expected, RunLines());
    EXPECT_EQ(0u, listener.Count());
    EXPECT_EQ(0, app.Close());
}

TEST_F(WakeRunTest, EndSessionDuringARunSavesWhatWasSent) {
    ASSERT_NO_FATAL_FAILURE(LaunchWith(TenEntries()));
    app.PostCommand(kCmdWakeAll);
    ASSERT_TRUE(WaitUntil([&] { return listener.Count() >= 2; }, 10000));
    const DWORD start = GetTickCount();
    PostMessageA(app.Main(), WM_ENDSESSION, TRUE, 0);
    ASSERT_TRUE(app.WaitExit(5000)) << "the program did not end";
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ(0u, app.ExitCode());

    const size_t sent = listener.Count();
    std::vector<EntryRecord> saved = ReadRecords(ReadFileBytes(DataFile()));
    ASSERT_EQ(10u, saved.size());
    size_t stamped = 0;
    for (const EntryRecord& r : saved) {
        if (IsNever(r.lastSentTime)) continue;
        ++stamped;
        EXPECT_LT(static_cast<size_t>(r.id), sent) << "entry " << r.name << " was stamped but never sent";
    }
    EXPECT_EQ(sent, stamped);
    const std::string log = ReadFileBytes(LogFile());
    EXPECT_NE(std::string::npos, log.find("WakeUpパケットの送信を中止しました"));
}

// The command line: the run starts by itself and the program ends after it.
class CommandLineTest : public WakeRunTest {
protected:
    void StartWith(const std::vector<EntryRecord>& records, const std::string& arguments) {
        ASSERT_TRUE(WriteFileBytes(DataFile(), FileOf(records)));
        ASSERT_TRUE(app.Start(arguments));
    }
};

TEST_F(CommandLineTest, WakeAllThenEndByItself) {
    std::vector<EntryRecord> records = TenEntries();
    records.resize(3);
    ASSERT_NO_FATAL_FAILURE(StartWith(records, "/w"));
    HWND box = WaitDialog(app.Pid(), "Nodelark", 5000);
    EXPECT_NE(nullptr, box) << "the command-line box was not shown";
    ASSERT_TRUE(app.WaitExit(15000)) << "the program stayed open";
    EXPECT_EQ(0u, app.ExitCode());
    EXPECT_EQ(3u, listener.Count());
    for (const EntryRecord& r : ReadRecords(ReadFileBytes(DataFile())))
        EXPECT_FALSE(IsNever(r.lastSentTime)) << r.name;
    const std::string log = ReadFileBytes(LogFile());
    for (const char* line : {"コマンドラインからの実行依頼（エントリ指定無し）", "WakeUpパケットの送信完了",
                             "コマンドラインからの実行依頼の為アプリケーション終了"})
        EXPECT_NE(std::string::npos, log.find(line)) << line;
}

TEST_F(CommandLineTest, NamedEntryInEitherCaseWakesOnlyIt) {
    std::vector<EntryRecord> records = TenEntries();
    records.resize(3);
    std::strcpy(records[2].name, "My PC");
    struct Case { const char* arguments; int id; };
    const Case cases[] = {{"/w pc2", 1}, {"+WPC2", 1}, {"/w \"my pc\"", 2}};
    for (const Case& c : cases) {
        ResetDataFolder();
        listener.Mark();
        ASSERT_NO_FATAL_FAILURE(StartWith(records, c.arguments));
        ASSERT_TRUE(app.WaitExit(15000)) << c.arguments << ": the program stayed open";
        EXPECT_EQ(0u, app.ExitCode()) << c.arguments;
        std::vector<Datagram> got = listener.Since();
        ASSERT_EQ(1u, got.size()) << c.arguments;
        EXPECT_EQ(MagicPayload(records[c.id].macAddress), got[0].payload) << c.arguments;
        for (const EntryRecord& r : ReadRecords(ReadFileBytes(DataFile())))
            EXPECT_EQ(r.id == c.id, !IsNever(r.lastSentTime)) << c.arguments << " " << r.name;
        EXPECT_NE(std::string::npos, ReadFileBytes(LogFile()).find("コマンドラインからの実行依頼（エントリ指定有り）"));
    }
}

// A typo after /w sends nothing and ends with 2 instead of waking the
// whole list; a quoted name that starts like an option is still a name.
TEST_F(CommandLineTest, ATypoAfterTheWakeOptionSendsNothingAndAQuotedSlashNameIsAName) {
    std::vector<EntryRecord> records = TenEntries();
    records.resize(3);
    std::strcpy(records[1].name, "/srv");
    for (const char* arguments : {"/w /wiat", "/w PC1 /wait:30 /x"}) {
        ResetDataFolder();
        listener.Mark();
        ASSERT_NO_FATAL_FAILURE(StartWith(records, arguments));
        ASSERT_TRUE(app.WaitExit(15000)) << arguments << ": the program stayed open";
        EXPECT_EQ(2u, app.ExitCode()) << arguments;
        EXPECT_EQ(0u, listener.Since().size()) << arguments;
        const std::string word = std::string(arguments).substr(std::string(arguments).rfind(' ') + 1);
        EXPECT_NE(std::string::npos, ReadFileBytes(LogFile()).find("不明なｵﾌﾟｼｮﾝのため送信しません: " + word))
            << arguments;
    }
    ResetDataFolder();
    listener.Mark();
    ASSERT_NO_FATAL_FAILURE(StartWith(records, "/w \"/srv\""));
    ASSERT_TRUE(app.WaitExit(15000)) << "the program stayed open";
    EXPECT_EQ(0u, app.ExitCode());
    std::vector<Datagram> got = listener.Since();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(MagicPayload(records[1].macAddress), got[0].payload);
}

TEST_F(CommandLineTest, UnknownNameSendsNothingAndStaysOpen) {
    std::vector<EntryRecord> records = TenEntries();
    records.resize(2);
    ASSERT_NO_FATAL_FAILURE(StartWith(records, "/w Unknown"));
    ASSERT_TRUE(app.WaitMainWindow());
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.CommandLog()) >= 1; }));
    // The command line is handled before the window answers its first message.
    EXPECT_TRUE(app.Responds());
    EXPECT_TRUE(app.Running());
    EXPECT_TRUE(IsWindowEnabled(app.Main()));
    EXPECT_EQ(std::vector<std::string>{"Nodelark 起動しました"}, LogLines());
    EXPECT_EQ(std::vector<bool>(2, false), listview::SelectedRows(app.WakeList()));
    EXPECT_EQ(0u, listener.Count());
    EXPECT_EQ(0, app.Close());
}

}  // namespace
}  // namespace e2e
