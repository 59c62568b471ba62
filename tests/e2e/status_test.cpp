// The status column, the confirmation after a wake run and the waiting
// command line, against simulated computers in the peer namespace
// (peer_computer.py): 10.77.0.1 is the peer itself, addresses from .60 on
// belong to nobody until a test makes them answer.
#include <winsock2.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "WakeListener.h"

namespace e2e {
namespace {

constexpr int kCmdStatusCheck = 40042;
constexpr int kStatusColumn = 11;
constexpr int kCommandLineText = 1301;
const SYSTEMTIME kStamp = {2024, 4, 0, 1, 9, 30, 0, 0};
const char kAnswers[] = "応答あり";
const char kSilent[] = "応答なし";

std::string Env(const char* name) {
    char buffer[1024] = {};
    DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : std::string();
}

// Commands to the simulated computers; each returns once it has been done.
class PeerComputers {
public:
    bool Available() const { return !Env("NL_E2E_PEER_CONTROL").empty(); }
    bool Do(const std::string& command) {
        HANDLE f = CreateFileA(Env("NL_E2E_PEER_CONTROL").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
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
        const std::string text = ReadFileBytes(Env("NL_E2E_PEER_ACK"));
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    int base_ = 0;
    int sent_ = 0;
};

struct Computer {
    const char* name;
    uint8_t last;      // 10.77.0.<last>; 0 for no address
    uint8_t mac;       // 02-4E-4C-00-00-<mac>
    int32_t excluded;
};

EntryRecord RecordOf(const Computer& c, int id) {
    const uint8_t a = c.last ? 10 : 0, b = c.last ? 77 : 0;
    EntryFields f = {c.name, {a, b, 0, c.last}, {255, 255, 255, 0}, 9, {0x02, 0x4E, 0x4C, 0, 0, c.mac},
                     "", "", "", kStamp, kStamp, kStamp, c.excluded};
    return MakeRecord(f, id);
}

std::string MacHex(uint8_t mac) {
    char text[16];
    std::snprintf(text, sizeof text, "024E4C0000%02X", mac);
    return text;
}

class StatusTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        // tests/e2e/run.sh always starts the simulated computers: without
        // them these tests would prove nothing, so they fail instead of skipping.
        ASSERT_TRUE(peer.Available()) << "NL_E2E_PEER_CONTROL is not set; run tests/e2e/run.sh";
        peer.Start();
        ASSERT_TRUE(peer.Do("reset"));
        listener.Mark();
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
    PeerComputers peer;
    WakeListener listener;
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

TEST_F(StatusTest, EchoDroppedStillAnswersByTcp) {
    ASSERT_TRUE(peer.Do("quiet 1"));
    ASSERT_TRUE(peer.Do("up 10.77.0.61"));
    ASSERT_NO_FATAL_FAILURE(LaunchComputers({{"quiet", 61, 1, 0}, {"nobody", 60, 2, 0}}));
    EXPECT_TRUE(ColumnIs({kAnswers, kSilent})) << testing::PrintToString(Column());
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
    const std::vector<Computer> computers = {{"peer", 1, 1, 0}, {"nobody", 60, 2, 0}};
    ASSERT_NO_FATAL_FAILURE(LaunchComputers(computers));
    ASSERT_TRUE(ColumnIs({kAnswers, kSilent}));
    app.Command(kCmdStatusCheck);
    EXPECT_EQ(std::vector<std::string>({"", ""}), Column()) << "off empties the column at once";
    EXPECT_NE(std::string::npos, ReadFileBytes(DataFolder() + "\\Nodelark.ini").find("Check=0"));
    ASSERT_EQ(0, app.Close());

    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(app.WaitMainWindow());
    ASSERT_TRUE(WaitUntil([&] { return app.CommandLog() && listview::Count(app.CommandLog()) >= 1; }));
    // A check would answer 10.77.0.1 within a second; none comes while off.
    EXPECT_FALSE(WaitUntil([&] { return !Column()[0].empty(); }, 3000));
    app.Command(kCmdStatusCheck);
    EXPECT_TRUE(ColumnIs({kAnswers, kSilent})) << testing::PrintToString(Column());
    EXPECT_NE(std::string::npos, ReadFileBytes(DataFolder() + "\\Nodelark.ini").find("Check=1"));
}

TEST_F(StatusTest, WakeRunConfirmsTheStart) {
    ASSERT_TRUE(peer.Do("boot " + MacHex(7) + " 10.77.0.62 3000"));
    ASSERT_NO_FATAL_FAILURE(LaunchComputers({{"sleeper", 62, 7, 0}, {"awake", 1, 8, 0}}));
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

TEST_F(StatusTest, ShutdownWhileChecksAreOut) {
    std::vector<Computer> computers;
    std::vector<std::string> names(300);
    for (int i = 0; i < 300; ++i) {
        names[i] = "pc" + std::to_string(i);
        computers.push_back({names[i].c_str(), static_cast<uint8_t>(60 + i % 190), static_cast<uint8_t>(i), 0});
    }
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_NO_FATAL_FAILURE(LaunchComputers(computers));
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
        if (d.payload.find(MacHex(11)) == 12) dead.push_back(d.ms);
        if (d.payload.find(MacHex(12)) == 12) alive.push_back(d.ms);
    }
    ASSERT_EQ(2u, dead.size());
    EXPECT_GE(dead[1] - dead[0], 29000);
    EXPECT_EQ(1u, alive.size());
    const std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("[dead(10.77.0.65)]に再送信しました")) << log;
    EXPECT_NE(std::string::npos, log.find("[peer(10.77.0.1)]は送信前から応答があります")) << log;
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
