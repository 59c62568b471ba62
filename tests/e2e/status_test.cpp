// The status column, the confirmation after a wake run and the waiting
// command line, against simulated computers in the peer namespace
// (peer_computer.py): 10.77.0.1 is the peer itself, addresses from .60 on
// belong to nobody until a test makes them answer. 10.88.0.0/16 lies behind
// the peer, which the program's namespace takes for its router; the connect
// log (ConnectLog.h) shows what the checks sent there and on the link.
#include <winsock2.h>
#include <sddl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "TestEnv.h"
#include "ConnectLog.h"
#include "EntryDialogDriver.h"
#include "WakeListener.h"

namespace e2e {
namespace {

constexpr int kCmdStatusCheck = 40042;
constexpr int kStatusColumn = 11;
constexpr int kCommandLineText = 1301;
const SYSTEMTIME kStamp = {2024, 4, 0, 1, 9, 30, 0, 0};
const char kAnswers[] = "応答あり";
const char kSilent[] = "応答なし";

// Commands to the simulated computers; each returns once it has been done.
class PeerComputers {
public:
    bool Available() const { return !testenv::Variable("NL_E2E_PEER_CONTROL").empty(); }
    bool Do(const std::string& command) {
        HANDLE f = CreateFileA(testenv::Variable("NL_E2E_PEER_CONTROL").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return false;
        const std::string line = command + "\n";
        DWORD written = 0;
        WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(f);
        const int number = ++sent_ + base_;
        return WaitUntil([&] { return Acked() >= number; }, 10000);
    }
    void Start() { base_ = Acked(); sent_ = 0; }

private:
    static int Acked() {
        const std::string text = ReadFileBytes(testenv::Variable("NL_E2E_PEER_ACK"));
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    int base_ = 0;
    int sent_ = 0;
};

struct Computer {
    const char* name;
    uint8_t last;      // <net>.<last>; 0 for no address
    uint8_t mac;       // 02-4E-4C-00-00-<mac>
    int32_t excluded;
    uint8_t net[3] = {10, 77, 0};
};

EntryRecord RecordOf(const Computer& c, int id) {
    EntryFields f = {c.name, {0, 0, 0, 0}, {255, 255, 255, 0}, 9, {0x02, 0x4E, 0x4C, 0, 0, c.mac},
                     "", "", "", kStamp, kStamp, kStamp, c.excluded};
    if (c.last) {
        for (int i = 0; i < 3; ++i) f.ip[i] = c.net[i];
        f.ip[3] = c.last;
    }
    return MakeRecord(f, id);
}

std::string MacHex(uint8_t mac) {
    char text[16];
    std::snprintf(text, sizeof text, "024E4C0000%02X", mac);
    return text;
}

// The whole magic packet for the simulated computer `mac`, as hex.
std::string MagicFor(uint8_t mac, const uint8_t* password = nullptr) {
    const uint8_t bytes[6] = {0x02, 0x4E, 0x4C, 0, 0, mac};
    return MagicPayload(bytes, password);
}

const std::multiset<int> kEveryPort = {22, 135, 445, 3389};

class StatusTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        // tests/e2e/run.sh always starts the simulated computers: without
        // them these tests would prove nothing, so they fail instead of skipping.
        ASSERT_TRUE(peer.Available()) << "NL_E2E_PEER_CONTROL is not set; run tests/e2e/run.sh";
        ASSERT_TRUE(connects.Available()) << "NL_E2E_CONNECT_LOG is not set; run tests/e2e/run.sh";
        peer.Start();
        ASSERT_TRUE(peer.Do("reset"));
        listener.Mark();
        connects.Mark();
    }
    void TearDown() override {
        AppFixture::TearDown();
        if (peer.Available()) peer.Do("reset");
    }

    void LaunchComputers(const std::vector<Computer>& computers) {
        std::vector<EntryRecord> records;
        for (size_t i = 0; i < computers.size(); ++i) records.push_back(RecordOf(computers[i], static_cast<int>(i)));
        LaunchWith(records);
    }
    void WriteComputers(const std::vector<Computer>& computers) {
        std::vector<EntryRecord> records;
        for (size_t i = 0; i < computers.size(); ++i) records.push_back(RecordOf(computers[i], static_cast<int>(i)));
        ASSERT_TRUE(WriteFileBytes(DataFile(), FileOf(records)));
    }

    std::vector<std::string> Column() const {
        std::vector<std::string> texts;
        HWND list = app.WakeList();
        for (int i = 0, n = listview::Count(list); i < n; ++i) texts.push_back(listview::Text(list, i, kStatusColumn));
        return texts;
    }
    bool ColumnIs(const std::vector<std::string>& expected, DWORD timeoutMs = 20000) const {
        return WaitUntil([&] { return Column() == expected; }, timeoutMs);
    }
    bool HasLine(const std::string& line) const {
        std::vector<std::string> lines = LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // The first Command Log line that starts with `prefix`.
    std::string LineStarting(const std::string& prefix) const {
        for (const std::string& l : LogLines())
            if (l.compare(0, prefix.size(), prefix) == 0) return l;
        return std::string();
    }
    // The connects that reached `address`, by port, once at least `count`
    // have: the log trails the wire a little.
    std::multiset<int> ConnectsTo(const std::string& address, size_t count) const {
        std::multiset<int> ports;
        WaitUntil([&] { return (ports = connects.ConnectsTo(address)).size() >= count; }, 5000);
        return ports;
    }
    PeerComputers peer;
    WakeListener listener;
    ConnectLog connects;
};

TEST_F(StatusTest, ColumnShowsWhoAnswers) {
    const std::vector<Computer> computers = {
        {"peer", 1, 1, 0},       // answers echo and TCP
        {"nobody", 60, 2, 0},    // no computer there
        {"no-address", 0, 3, 0},
        {"excluded", 1, 4, 1},   // checked as well
        {"self", 2, 5, 0},       // the program's own address
    };
    ASSERT_NO_FATAL_FAILURE(LaunchComputers(computers));
    EXPECT_EQ("状態", listview::HeaderText(app.WakeList(), kStatusColumn));
    EXPECT_TRUE(ColumnIs({kAnswers, kSilent, "", kAnswers, kAnswers})) << testing::PrintToString(Column()) << testing::PrintToString(LogLines());
    // Nothing of the entry itself changed.
    EXPECT_EQ("10.77.0.60", listview::Text(app.WakeList(), 1, 1));
    EXPECT_EQ("2024/04/01 09:30:00", listview::Text(app.WakeList(), 1, 8));
}

// A computer that drops echo and TCP but answers ARP, on the link: the one
// connect stirs ARP, and the neighbour table alone says it is on.
TEST_F(StatusTest, OnTheLinkTheNeighbourTableAnswersForAComputerThatDropsEverything) {
    ASSERT_TRUE(peer.Do("dark 10.77.0.80"));
    ASSERT_NO_FATAL_FAILURE(LaunchComputers({{"dark", 80, 1, 0}, {"nobody", 60, 2, 0}}));
    EXPECT_TRUE(ColumnIs({kAnswers, kSilent})) << testing::PrintToString(Column());
    EXPECT_EQ(std::multiset<int>{445}, ConnectsTo("10.77.0.80", 1)) << "one connect, then the table";
    EXPECT_EQ(0u, connects.EchoesTo("10.77.0.80"));
}

// Behind a router, where no neighbour table can tell: with echo dropped the
// TCP answer alone says a computer is on, and the same computer dropping TCP
// as well is not. Each gets every connect.
TEST_F(StatusTest, EchoDroppedAnswersByTcpUnlessTcpIsDroppedToo) {
    ASSERT_TRUE(peer.Do("quiet 1"));
    ASSERT_TRUE(peer.Do("up 10.88.0.61"));
    ASSERT_TRUE(peer.Do("dark 10.88.0.62"));
    Computer quiet = {"quiet", 61, 1, 0, {10, 88, 0}};
    Computer dark = {"dark", 62, 2, 0, {10, 88, 0}};
    ASSERT_NO_FATAL_FAILURE(LaunchComputers({quiet, dark}));
    EXPECT_TRUE(ColumnIs({kAnswers, kSilent})) << testing::PrintToString(Column());
    EXPECT_EQ(kEveryPort, ConnectsTo("10.88.0.62", kEveryPort.size()));
}

TEST_F(StatusTest, ColumnSortsByItsText) {
    ASSERT_NO_FATAL_FAILURE(LaunchComputers({{"a", 70, 1, 0}, {"b", 1, 2, 0}, {"c", 0, 3, 0}, {"d", 71, 4, 0}}));
    ASSERT_TRUE(ColumnIs({kSilent, kAnswers, "", kSilent})) << testing::PrintToString(Column());
    HWND list = app.WakeList();
    ASSERT_TRUE(BringToFront(app.Main()));
    // The last column lies beyond the window's width: scroll it into view.
    SendMessageA(list, LVM_SCROLL, 4000, 0);
    RECT r;
    ASSERT_TRUE(listview::HeaderItemRect(list, kStatusColumn, &r));
    RECT shown;
    GetWindowRect(list, &shown);
    const LONG right = std::min(r.right, shown.right - 4);
    ClickAt(POINT{(r.left + right) / 2, (r.top + r.bottom) / 2});
    // Byte order: the empty text first, then 応答あり (89 9E 93 9A 82 A0) before 応答なし (... 82 C8).
    auto names = [&] {
        std::vector<std::string> n;
        for (int i = 0; i < listview::Count(list); ++i) n.push_back(listview::Text(list, i, 0));
        return n;
    };
    EXPECT_TRUE(WaitUntil([&] {
        std::vector<std::string> n = names();
        return n.size() == 4 && n[0] == "c" && n[1] == "b";
    })) << testing::PrintToString(names());
}

TEST_F(StatusTest, ChecksTurnOffAndOnAndAreRemembered) {
    // The dark computer takes exactly one connect per check: the connect log
    // counts the checks that reached it.
    ASSERT_TRUE(peer.Do("dark 10.77.0.81"));
    const std::vector<Computer> computers = {{"peer", 1, 1, 0}, {"dark", 81, 2, 0}, {"nobody", 60, 3, 0}};
    ASSERT_NO_FATAL_FAILURE(LaunchComputers(computers));
    ASSERT_TRUE(ColumnIs({kAnswers, kAnswers, kSilent}));
    app.Command(kCmdStatusCheck);
    EXPECT_EQ(std::vector<std::string>({"", "", ""}), Column()) << "off empties the column at once";
    EXPECT_NE(std::string::npos, ReadFileBytes(DataFolder() + "\\Nodelark.ini").find("Check=0"));
    ASSERT_EQ(0, app.Close());

    connects.Mark();
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(app.WaitMainWindow());
    ASSERT_TRUE(WaitUntil([&] { return app.CommandLog() && listview::Count(app.CommandLog()) >= 1; }));
    EXPECT_EQ(std::vector<std::string>({"", "", ""}), Column());
    app.Command(kCmdStatusCheck);
    EXPECT_TRUE(ColumnIs({kAnswers, kAnswers, kSilent})) << testing::PrintToString(Column());
    // Its answer came a second after its connect: a check from the start,
    // while off, would have been in the log long before, as a second connect.
    EXPECT_EQ(std::multiset<int>{445}, ConnectsTo("10.77.0.81", 1)) << "only the check after turning on went out";
    EXPECT_NE(std::string::npos, ReadFileBytes(DataFolder() + "\\Nodelark.ini").find("Check=1"));
}

TEST_F(StatusTest, WakeRunConfirmsTheStart) {
    // The sleeper has a SecureOn password: it boots only on the packet that
    // carries it.
    ASSERT_TRUE(peer.Do("boot " + MacHex(7) + " 10.77.0.62 3000 5EC0E0A1B2C3"));
    std::vector<EntryRecord> records = {RecordOf({"sleeper", 62, 7, 0}, 0), RecordOf({"awake", 1, 8, 0}, 1)};
    const uint8_t password[6] = {0x5E, 0xC0, 0xE0, 0xA1, 0xB2, 0xC3};
    std::memcpy(records[0].reserved, password, sizeof password);
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    ASSERT_TRUE(ColumnIs({kSilent, kAnswers}));
    app.Command(kCmdWakeAll);
    ASSERT_TRUE(WaitUntil([&] { return !LineStarting("[sleeper(10.77.0.62)]の起動を確認しました").empty(); }, 30000))
        << testing::PrintToString(LogLines());
    const std::string line = LineStarting("[sleeper(10.77.0.62)]の起動を確認しました");
    const int seconds = std::atoi(line.c_str() + std::strlen("[sleeper(10.77.0.62)]の起動を確認しました ("));
    EXPECT_GE(seconds, 2) << line << ": it booted three seconds after its packet";
    EXPECT_LE(seconds, 20) << line;
    EXPECT_TRUE(HasLine("[awake(10.77.0.1)]は送信前から応答があります")) << testing::PrintToString(LogLines());
    EXPECT_TRUE(LineStarting("[awake(10.77.0.1)]の起動を確認").empty());
    EXPECT_TRUE(ColumnIs({kAnswers, kAnswers}));
}

// What was known of an entry's old address says nothing of its new one: the
// cell empties at once, not at the next sweep half a minute later, and a wake
// right after the edit does not call the new computer awake already.
TEST_F(StatusTest, AnEditThatMovesTheAddressForgetsWhatWasKnown) {
    ASSERT_NO_FATAL_FAILURE(LaunchComputers({{"moved", 1, 8, 0}}));
    ASSERT_TRUE(ColumnIs({kAnswers})) << testing::PrintToString(Column());
    SelectRows(app.WakeList(), {0});
    app.PostCommand(kCmdEditEntry);
    HWND sheet = WaitEntrySheet(app.Pid());
    ASSERT_NE(nullptr, sheet);
    HWND page = DestinationPageOf(sheet);
    ASSERT_NE(nullptr, page);
    SetAddress(page, kEntryIp, 10, 77, 0, 63);
    ClickButton(sheet, IDOK);
    ASSERT_TRUE(WaitGone(sheet));
    ASSERT_EQ("10.77.0.63", listview::Text(app.WakeList(), 0, 1));
    EXPECT_TRUE(ColumnIs({""}, 5000)) << "the old verdict stayed: " << testing::PrintToString(Column());
    app.Command(kCmdWakeAll);
    ASSERT_TRUE(WaitUntil([&] { return HasLine("WakeUpパケットの送信完了"); }, 20000));
    EXPECT_TRUE(LineStarting("[moved(10.77.0.63)]は送信前から応答があります").empty()) << testing::PrintToString(LogLines());
    EXPECT_EQ(0, app.Close());
}

TEST_F(StatusTest, ShutdownWhileChecksAreOut) {
    // 300 computers behind the router that never answer: each check holds
    // its connects for a second, 128 addresses at a time.
    ASSERT_TRUE(peer.Do("dark 10.88.1.0/24"));
    std::vector<Computer> computers;
    std::vector<std::string> names(300);
    for (int i = 0; i < 300; ++i) {
        names[i] = "pc" + std::to_string(i);
        computers.push_back({names[i].c_str(), static_cast<uint8_t>(1 + i % 250), static_cast<uint8_t>(i), 0,
                             {10, 88, 1}});
    }
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        connects.Mark();
        ASSERT_NO_FATAL_FAILURE(LaunchComputers(computers));
        ASSERT_TRUE(WaitUntil([&] { return connects.ConnectsToPrefix("10.88.1.") > 0; }))
            << "no check went out";
        // The last row is asked last: without its verdict, checks are still out.
        EXPECT_EQ("", listview::Text(app.WakeList(), 299, kStatusColumn)) << "every check had ended already";
        ASSERT_TRUE(app.Responds());
        EXPECT_EQ(0, app.Close(15000));
        EXPECT_NE(std::string::npos, ReadFileBytes(LogFile()).find("Nodelark 終了します"));
    }
}

class WaitTest : public StatusTest {
protected:
    void StartWith(const std::vector<Computer>& computers, const std::string& arguments) {
        ASSERT_NO_FATAL_FAILURE(WriteComputers(computers));
        start_ = GetTickCount();
        ASSERT_TRUE(app.Start(arguments));
    }
    // Seconds since the start, once the program has ended.
    double EndAfter(DWORD timeoutMs) {
        if (!app.WaitExit(timeoutMs)) return -1;
        return (GetTickCount() - start_) / 1000.0;
    }
    std::string LogText() const { return ReadFileBytes(LogFile()); }
    DWORD start_ = 0;
};

TEST_F(WaitTest, EndsWithZeroOnceTheComputerAnswers) {
    ASSERT_TRUE(peer.Do("boot " + MacHex(9) + " 10.77.0.63 4000"));
    ASSERT_NO_FATAL_FAILURE(StartWith({{"other", 64, 10, 0}, {"server", 63, 9, 0}}, "/w SERVER /wait:60"));
    HWND box = WaitDialog(app.Pid(), "Nodelark", 10000);
    ASSERT_NE(nullptr, box);
    EXPECT_TRUE(WaitUntil([&] {
        return WindowText(ChildById(box, kCommandLineText)).find("[server(10.77.0.63)]の応答を待っています") == 0;
    })) << WindowText(ChildById(box, kCommandLineText));
    const double seconds = EndAfter(60000);
    ASSERT_GE(seconds, 0) << "the program did not end";
    EXPECT_EQ(0u, app.ExitCode());
    EXPECT_GE(seconds, 4.0);
    const std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("[server(10.77.0.63)]の起動を確認しました")) << log;
    EXPECT_NE(std::string::npos, log.find("コマンドラインからの実行依頼の為アプリケーション終了"));
    EXPECT_EQ(std::string::npos, log.find("[other(")) << "only the named entry is woken and waited for";
}

TEST_F(WaitTest, EndsWithOneAfterItsSecondsAndSendsAgainMeanwhile) {
    ASSERT_NO_FATAL_FAILURE(StartWith({{"dead", 65, 11, 0}, {"peer", 1, 12, 0}}, "+W +WAIT:35"));
    expectedExitCode = 1;
    const double seconds = EndAfter(90000);
    ASSERT_GE(seconds, 0) << "the program did not end";
    EXPECT_EQ(1u, app.ExitCode());
    EXPECT_GE(seconds, 35.0) << "ended before its time";
    EXPECT_LE(seconds, 60.0);
    // The silent one got its packet again after 30 s; the answering one did not.
    std::vector<long long> dead, alive;
    for (const Datagram& d : listener.Since()) {
        if (d.payload == MagicFor(11)) dead.push_back(d.ms);
        if (d.payload == MagicFor(12)) alive.push_back(d.ms);
    }
    ASSERT_EQ(2u, dead.size());
    EXPECT_GE(dead[1] - dead[0], 29000);
    EXPECT_EQ(1u, alive.size());
    const std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("[dead(10.77.0.65)]に再送信しました")) << log;
    EXPECT_NE(std::string::npos, log.find("[peer(10.77.0.1)]は送信前から応答があります")) << log;
    // The 1 is the time-out's: its line, then the close it made, and no other
    // way to 1 (a wait cut short by closing).
    std::vector<std::string> lines;
    for (const std::string& l : CrLfLines(log)) lines.push_back(l.size() > 20 ? l.substr(20) : l);
    const auto timedOut = std::find(lines.begin(), lines.end(), "応答のないコンピュータがあります(待ち時間切れ)");
    ASSERT_NE(lines.end(), timedOut) << log;
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(), *timedOut));
    EXPECT_NE(lines.end(), std::find(timedOut, lines.end(), "コマンドラインからの実行依頼の為アプリケーション終了"))
        << "the close follows the time-out";
    EXPECT_EQ(std::string::npos, log.find("終了するため、応答の待機を打ち切りました")) << log;
}

TEST_F(WaitTest, EndsWithTwoWhenNothingIsSent) {
    const struct {
        const char* arguments;
        std::vector<Computer> computers;
    } cases[] = {
        {"/w Nobody /wait", {{"pc", 60, 1, 0}}},
        {"/w /wait:10", {{"excluded", 60, 1, 1}, {"no-address", 0, 2, 0}}},
        {"/w pc /wait:0", {{"pc", 60, 1, 0}}},
    };
    expectedExitCode = 2;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        ResetDataFolder();
        listener.Mark();
        ASSERT_NO_FATAL_FAILURE(StartWith(c.computers, c.arguments));
        const double seconds = EndAfter(20000);
        ASSERT_GE(seconds, 0) << "the program stayed open";
        EXPECT_EQ(2u, app.ExitCode());
        EXPECT_EQ(0u, listener.Count());
        EXPECT_NE(std::string::npos, LogText().find("コマンドラインからの実行依頼の為アプリケーション終了"));
    }
}

TEST_F(WaitTest, WithoutWaitTheExitCodeStaysZero) {
    ASSERT_NO_FATAL_FAILURE(StartWith({{"dead", 66, 13, 0}}, "/w dead"));
    ASSERT_GE(EndAfter(20000), 0);
    EXPECT_EQ(0u, app.ExitCode());
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

// A second start of the program, as a script or a scheduled task makes it:
// no window is waited for.
class Caller {
public:
    ~Caller() {
        if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 255);
        if (process_) CloseHandle(process_);
    }
    bool Start(const std::string& arguments) {
        std::string line = "\"" + ExePath() + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        started_ = GetTickCount();
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return false;
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
        return true;
    }
    bool Ended(DWORD timeoutMs) {
        if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
        ended_ = GetTickCount();
        return true;
    }
    bool Running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    DWORD Code() const {
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return code;
    }
    double Seconds() const { return (ended_ - started_) / 1000.0; }
    DWORD Pid() const { return pid_; }

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    DWORD started_ = 0;
    DWORD ended_ = 0;
};

class HandOverTest : public StatusTest {
protected:
    // The packets that reached the peer for the simulated computer `mac`.
    size_t PacketsFor(uint8_t mac) {
        size_t count = 0;
        for (const Datagram& d : listener.Since())
            if (d.payload == MagicFor(mac)) ++count;
        return count;
    }
    std::vector<bool> Selection() const { return listview::SelectedRows(app.WakeList()); }
    // The caller shows nothing: no window of its own at any time it runs.
    static bool ShowsAWindow(const Caller& caller) { return FindMainWindow(caller.Pid()) != nullptr; }
};

// The scheduled task's case: Nodelark is open on the desktop, and a second
// start wakes one computer and waits for it. The open window does the work
// and stays as it was; the caller exits with the code the request earned.
TEST_F(HandOverTest, ASecondStartHandsItsRequestToTheOpenWindowAndExitsWithItsCode) {
    ASSERT_TRUE(peer.Do("boot " + MacHex(14) + " 10.77.0.67 2000"));
    ASSERT_NO_FATAL_FAILURE(LaunchComputers({{"PC1", 67, 14, 0}, {"PC2", 68, 15, 0}, {"peer", 1, 16, 0}}));
    ASSERT_NO_FATAL_FAILURE(SetSelected(2, true));
    const std::vector<std::string> rowsBefore = listview::Row(app.WakeList(), 0);

    Caller waitFor;
    ASSERT_TRUE(waitFor.Start("/w PC1 /wait:30"));
    ASSERT_TRUE(waitFor.Ended(60000)) << "the caller never ended";
    EXPECT_FALSE(ShowsAWindow(waitFor));
    EXPECT_EQ(0u, waitFor.Code());
    EXPECT_TRUE(WaitUntil([&] { return !LineStarting("[PC1(10.77.0.67)]の起動を確認しました").empty(); }))
        << testing::PrintToString(LogLines());
    EXPECT_TRUE(WaitUntil([&] { return HasLine("他の起動からの実行依頼を完了しました(終了ｺｰﾄﾞ=0)"); }));
    EXPECT_EQ(1u, PacketsFor(14));
    EXPECT_EQ(0u, PacketsFor(16)) << "the user's selection is not what the request named";
    EXPECT_EQ((std::vector<bool>{false, false, true}), Selection()) << "the user's selection is back";
    EXPECT_TRUE(app.Running());
    EXPECT_TRUE(IsWindowEnabled(app.Main()));

    Caller silent;
    ASSERT_TRUE(silent.Start("/w PC2 /wait:4"));
    ASSERT_TRUE(silent.Ended(30000));
    EXPECT_EQ(1u, silent.Code());
    EXPECT_GE(silent.Seconds(), 4.0);
    EXPECT_TRUE(WaitUntil([&] { return HasLine("応答のないコンピュータがあります(待ち時間切れ)"); }));

    Caller nobody;
    ASSERT_TRUE(nobody.Start("/w NoSuch /wait:5"));
    ASSERT_TRUE(nobody.Ended(15000));
    EXPECT_EQ(2u, nobody.Code());
    EXPECT_LT(nobody.Seconds(), 5.0) << "nothing to wait for: at once";

    listener.Mark();
    Caller plain;
    ASSERT_TRUE(plain.Start("/w PC1"));
    ASSERT_TRUE(plain.Ended(15000));
    EXPECT_EQ(0u, plain.Code());
    EXPECT_TRUE(WaitUntil([&] { return PacketsFor(14) == 1; }));

    EXPECT_EQ((std::vector<bool>{false, false, true}), Selection());
    EXPECT_EQ(3, listview::Count(app.WakeList()));
    EXPECT_EQ(rowsBefore[0], listview::Row(app.WakeList(), 0)[0]);
    EXPECT_EQ(0, app.Close());
}

// The tool commands work the same way: the open window runs the tool for the
// named entry.
TEST_F(HandOverTest, AToolRequestRunsInTheOpenWindow) {
    const std::string ini = "[Tool1]\r\nIsEnable=1\r\nTitle=ip\r\nExecStyle=0\r\nCommand=" + ExeFolder() +
                            "NlChild.exe\r\nArgv=-w \"ip $(IP)\"\r\nArgvFlag=0x00000000\r\nWorkFolder=\r\n"
                            "Timeout=0\r\nShowWindow=0\r\n";
    ASSERT_TRUE(WriteFileBytes(DataFolder() + "\\Tools.ini", ini));
    ASSERT_NO_FATAL_FAILURE(LaunchComputers({{"PC0", 70, 17, 0}, {"PC1", 71, 18, 0}}));
    Caller tool;
    ASSERT_TRUE(tool.Start("/t1 PC1"));
    ASSERT_TRUE(tool.Ended(30000));
    EXPECT_EQ(0u, tool.Code());
    EXPECT_TRUE(WaitUntil([&] { return HasLine("ip 10.77.0.71"); })) << testing::PrintToString(LogLines());
    EXPECT_TRUE(HasLine("コマンドラインからの実行依頼（エントリ指定有り）"));
    EXPECT_FALSE(HasLine("コマンドラインからの実行依頼の為アプリケーション終了（コマンド）"));
    EXPECT_TRUE(app.Running());
    EXPECT_EQ(0, app.Close());
}

// Requests wait their turn behind the entry sheet, behind a wake run from
// the window and behind one another, and are served in the order they came;
// a wake run from the window during a handed-over wait is refused instead of
// touching the wait's sockets.
TEST_F(HandOverTest, RequestsWaitTheirTurnAndAreServedInOrder) {
    constexpr int kCmdNewEntry = 40007;
    std::vector<Computer> computers = {{"PC1", 72, 19, 0}, {"PC2", 73, 20, 0}};
    // Ten more that a wake run from the window sends to, half a second each.
    std::vector<std::string> names(10);
    for (int i = 0; i < 10; ++i) {
        names[i] = "W" + std::to_string(i);
        computers.push_back({names[i].c_str(), static_cast<uint8_t>(100 + i), static_cast<uint8_t>(100 + i), 0});
    }
    ASSERT_NO_FATAL_FAILURE(LaunchComputers(computers));
    app.PostCommand(kCmdNewEntry);
    HWND sheet = WaitDialog(app.Pid(), "エントリ設定");
    ASSERT_NE(nullptr, sheet) << "the entry sheet did not open";

    Caller first, second;
    ASSERT_TRUE(first.Start("/w PC1"));
    ASSERT_TRUE(WaitUntil([&] { return HasLine("他の起動からの実行依頼を受け付けました: /w PC1"); }));
    ASSERT_TRUE(second.Start("/w PC2"));
    ASSERT_TRUE(WaitUntil([&] { return HasLine("他の起動からの実行依頼を受け付けました: /w PC2"); }));
    // Both are queued while the sheet is open: nothing has been sent.
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(second.Running());
    EXPECT_EQ(0u, listener.Count());

    ClickButton(sheet, IDCANCEL);
    ASSERT_TRUE(first.Ended(20000));
    ASSERT_TRUE(second.Ended(20000));
    EXPECT_EQ(0u, first.Code());
    EXPECT_EQ(0u, second.Code());
    ASSERT_TRUE(WaitUntil([&] { return PacketsFor(19) == 1 && PacketsFor(20) == 1; }));
    std::vector<Datagram> got = listener.Since();
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(MagicFor(19), got[0].payload) << "served in the order they came";

    // A wake run from the window: the caller that comes meanwhile is served
    // after it, not beside it.
    listener.Mark();
    app.PostCommand(kCmdWakeAll);
    ASSERT_TRUE(WaitUntil([&] { return listener.Count() >= 1; }));
    Caller during;
    ASSERT_TRUE(during.Start("/w PC1"));
    ASSERT_TRUE(during.Ended(30000));
    EXPECT_EQ(0u, during.Code());
    std::vector<std::string> lines;
    ASSERT_TRUE(WaitUntil([&] {
        lines = LogLines();
        return std::count(lines.begin(), lines.end(), "他の起動からの実行依頼を完了しました(終了ｺｰﾄﾞ=0)") == 3;
    }));
    const long accepted =
        std::find(lines.rbegin(), lines.rend(), "他の起動からの実行依頼を受け付けました: /w PC1").base() - lines.begin() - 1;
    const long windowRunEnd =
        std::find(lines.begin(), lines.end(), "[W9(10.77.0.109)]への送信成功の通知") - lines.begin();
    ASSERT_LT(windowRunEnd, static_cast<long>(lines.size())) << testing::PrintToString(lines);
    EXPECT_LT(accepted, windowRunEnd) << "the caller came during the window's run";
    EXPECT_EQ(MagicFor(19), listener.Since().back().payload) << "its packet came after the window's run";

    Caller waiting;
    ASSERT_TRUE(waiting.Start("/w PC2 /wait:8"));
    ASSERT_TRUE(WaitUntil([&] { return !LineStarting("[PC2(10.77.0.73)]の応答を待っています").empty(); }));
    app.PostCommand(kCmdWakeAll);
    // The run's own box is open too: find the message box by its text.
    HWND box = nullptr;
    EXPECT_TRUE(WaitUntil([&] {
        for (HWND dialog : ProcessDialogs(app.Pid()))
            if (MessageBoxText(dialog) == "応答を待っている間はWakeUpパケットを送信できません") box = dialog;
        return box != nullptr;
    }));
    ASSERT_NE(nullptr, box);
    PostMessageA(box, WM_CLOSE, 0, 0);
    ASSERT_TRUE(waiting.Ended(30000));
    EXPECT_EQ(1u, waiting.Code());
    EXPECT_EQ(0, app.Close());
}

// A caller whose turn does not come within its /wait seconds gives up with
// 2, and the open program says why; nothing is sent for it afterwards.
TEST_F(HandOverTest, ACallerWhoseTurnDoesNotComeGivesUpWithTwo) {
    constexpr int kCmdNewEntry = 40007;
    ASSERT_NO_FATAL_FAILURE(LaunchComputers({{"PC1", 78, 25, 0}}));
    app.PostCommand(kCmdNewEntry);
    HWND sheet = WaitDialog(app.Pid(), "エントリ設定");
    ASSERT_NE(nullptr, sheet);
    Caller late;
    ASSERT_TRUE(late.Start("/w PC1 /wait:2"));
    ASSERT_TRUE(late.Ended(20000));
    EXPECT_EQ(2u, late.Code());
    EXPECT_GE(late.Seconds(), 2.0);
    ClickButton(sheet, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] {
        return HasLine("順番が来ないまま待ち時間を過ぎたため実行依頼を取り消しました(終了ｺｰﾄﾞ=2): /w PC1 /wait:2");
    })) << testing::PrintToString(LogLines());
    EXPECT_EQ(0u, listener.Count());
    EXPECT_EQ(0, app.Close());
}

// The open Nodelark closes while callers wait: one whose packet went out
// hears 1, one still waiting for its turn hears 2.
TEST_F(HandOverTest, ClosingTheOpenProgramTellsEveryCallerWhatIsKnown) {
    ASSERT_NO_FATAL_FAILURE(LaunchComputers({{"PC1", 74, 21, 0}, {"PC2", 75, 22, 0}}));
    Caller running, queued;
    ASSERT_TRUE(running.Start("/w PC1 /wait:60"));
    ASSERT_TRUE(WaitUntil([&] { return !LineStarting("[PC1(10.77.0.74)]の応答を待っています").empty(); }));
    ASSERT_TRUE(queued.Start("/w PC2 /wait:60"));
    ASSERT_TRUE(WaitUntil([&] { return HasLine("他の起動からの実行依頼を受け付けました: /w PC2 /wait:60"); }));
    ExpectOpenAtEnd("Nodelark", "[PC1(10.77.0.74)]の応答を待っています");  // the box of the run that waits
    EXPECT_EQ(0, app.Close(15000));
    ASSERT_TRUE(running.Ended(10000));
    ASSERT_TRUE(queued.Ended(10000));
    EXPECT_EQ(1u, running.Code());
    EXPECT_EQ(2u, queued.Code());
    const std::string log = ReadFileBytes(LogFile());
    EXPECT_NE(std::string::npos, log.find("終了するため、他の起動からの実行依頼を打ち切りました(終了ｺｰﾄﾞ=1)"));
    EXPECT_NE(std::string::npos, log.find("終了するため、順番を待っていた実行依頼を取り消しました(終了ｺｰﾄﾞ=2)"));
}

std::string PipeNameOfThisUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
    unsigned char buffer[512];
    DWORD size = 0;
    char* sid = nullptr;
    const bool ok = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
                    ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid);
    CloseHandle(token);
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    if (!ok) return std::string();
    const std::string name = "\\\\.\\pipe\\Nodelark-" + std::to_string(session) + "-" + sid;
    LocalFree(sid);
    return name;
}

// Whatever a stray program writes to the pipe is refused and logged, and the
// next caller is served as usual.
TEST_F(HandOverTest, MalformedRequestsAreRefusedAndTheProgramCarriesOn) {
    ASSERT_NO_FATAL_FAILURE(LaunchComputers({{"PC1", 76, 23, 0}}));
    const std::string name = PipeNameOfThisUser();
    ASSERT_FALSE(name.empty());
    std::string header("NLRQ\x01\0\0\0\0\0\0\0", 12);
    std::string overlong = header + std::string("\xb8\x0b\0\0", 4) + std::string(3000, 'a');
    struct Case { const char* what; std::string bytes; const char* line; };
    const Case cases[] = {
        {"random bytes", std::string("\x8f\x00\xff\x10 random bytes of nobody", 30), "Nodelarkの依頼ではありません"},
        {"an overlong command line", overlong, "長すぎます"},
        {"a caller that breaks off midway", header, "途中で切れています"},
        {"a caller that writes nothing", "", "途中で切れています"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HANDLE pipe = INVALID_HANDLE_VALUE;
        ASSERT_TRUE(WaitUntil([&] {
            pipe = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            return pipe != INVALID_HANDLE_VALUE;
        }));
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
        DWORD written = 0;
        if (!c.bytes.empty()) WriteFile(pipe, c.bytes.data(), static_cast<DWORD>(c.bytes.size()), &written, nullptr);
        CloseHandle(pipe);
        const std::string line = std::string("他の起動からの実行依頼を拒否しました: 形式が正しくありません(") + c.line + ")";
        EXPECT_TRUE(WaitUntil([&] {
            const std::vector<std::string> lines = LogLines();
            return std::count(lines.begin(), lines.end(), line) >= (&c == &cases[3] ? 2 : 1);
        })) << testing::PrintToString(LogLines());
        EXPECT_TRUE(app.Responds());
    }
    Caller good;
    ASSERT_TRUE(good.Start("/w PC1"));
    ASSERT_TRUE(good.Ended(20000));
    EXPECT_EQ(0u, good.Code());
    EXPECT_TRUE(WaitUntil([&] { return PacketsFor(23) == 1; }));
    EXPECT_EQ(0, app.Close());
}

// The program's own /wait cut short by closing its window ends with 1, and
// the log says so.
TEST_F(WaitTest, ClosingTheWindowDuringTheWaitEndsWithOne) {
    ASSERT_NO_FATAL_FAILURE(StartWith({{"dead", 77, 24, 0}}, "/w dead /wait:60"));
    ASSERT_TRUE(app.WaitMainWindow());
    ASSERT_TRUE(WaitUntil([&] { return !LineStarting("[dead(10.77.0.77)]の応答を待っています").empty(); }, 20000));
    expectedExitCode = 1;
    ExpectOpenAtEnd("Nodelark", "[dead(10.77.0.77)]の応答を待っています");  // the box of the run that waits
    EXPECT_EQ(1, app.Close(15000));
    EXPECT_NE(std::string::npos, LogText().find("終了するため、応答の待機を打ち切りました"));
}

}  // namespace
}  // namespace e2e
