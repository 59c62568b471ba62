// The network scan box, driven in the switched topology that
// tests/e2e/scan_run.sh makes for it: the app at 10.78.0.2/24 on a bridge
// with four peers (the first also the default gateway, which answers for
// 10.79.0.1 behind it and forwards nothing), and the usual peer 10.77.0.1 on
// a second link. The box sweeps a subnet as soon as it opens, so these tests
// refuse to run anywhere else.
#include "AppFixture.h"
#include "ExchangeDriver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace e2e {
namespace {

constexpr int kCmdNetScan = 40041, kCmdWakeAllRun = 40006;
constexpr int kScanSubnet = 1311, kScanFrom = 1312, kScanTo = 1313, kScanStart = 1314, kScanStop = 1315,
              kScanList = 1316, kScanProgress = 1317, kScanStatus = 1318;
constexpr char kScanCaption[] = "ﾈｯﾄﾜｰｸから検索";
constexpr char kDefaultSubnet[] = "10.78.0.2 / 255.255.255.0";
constexpr char kSecondSubnet[] = "10.77.0.2 / 255.255.255.0";
// A scan of 254 addresses ends within a few seconds; allow for a slow machine.
constexpr DWORD kScanWaitMs = 30000;

const SYSTEMTIME kNever = {};

struct Peer {
    std::string address;
    std::string mac;
    std::string name;
};

// "address,MAC,name;..." as scan_run.sh hands it over.
std::vector<Peer> ScanPeers() {
    std::vector<Peer> peers;
    const char* list = std::getenv("NL_E2E_SCAN_PEERS");
    std::stringstream all(list ? list : "");
    for (std::string item; std::getline(all, item, ';');) {
        if (item.empty()) continue;
        std::stringstream fields(item);
        Peer p;
        std::getline(fields, p.address, ',');
        std::getline(fields, p.mac, ',');
        std::getline(fields, p.name, ',');
        peers.push_back(p);
    }
    return peers;
}

std::string PeerMac() {
    const char* mac = std::getenv("NL_E2E_PEER_MAC");
    return mac ? mac : "";
}

EntryRecord Entry(const char* name, std::initializer_list<uint8_t> ip, std::initializer_list<uint8_t> mac) {
    EntryFields f = {name, {}, {255, 255, 255, 0}, 9, {}, "", "", "", kNever, kNever, kNever, 0};
    std::copy(ip.begin(), ip.end(), f.ip);
    std::copy(mac.begin(), mac.end(), f.mac);
    return MakeRecord(f, 0);
}

struct ScanRowView {
    std::string address, mac, name, state;
    int box;  // state image: 0 none, 1 unchecked, 2 checked
    bool operator==(const ScanRowView& o) const {
        return address == o.address && mac == o.mac && name == o.name && state == o.state && box == o.box;
    }
};

std::ostream& operator<<(std::ostream& out, const ScanRowView& r) {
    return out << "{" << r.address << ", " << r.mac << ", " << r.name << ", " << r.state << ", " << r.box << "}";
}

class NetScanTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        if (HasFatalFailure()) return;
        peers_ = ScanPeers();
        ASSERT_EQ(4u, peers_.size()) << "NL_E2E_SCAN_PEERS is not set: the scan tests run only in the topology "
                                        "tests/e2e/scan_run.sh makes";
        ASSERT_EQ(17u, PeerMac().size());
    }

    HWND OpenScan() {
        app.PostCommand(kCmdNetScan);
        HWND dialog = WaitDialog(app.Pid(), kScanCaption);
        EXPECT_NE(nullptr, dialog) << "the scan box did not open";
        if (dialog) {
            EXPECT_EQ(app.Main(), GetWindow(dialog, GW_OWNER));
        }
        return dialog;
    }

    static std::string Status(HWND dialog) { return WindowText(GetDlgItem(dialog, kScanStatus)); }
    static bool StatusStarts(HWND dialog, const char* prefix) { return Status(dialog).rfind(prefix, 0) == 0; }
    static bool Finished(HWND dialog) { return StatusStarts(dialog, "検索を完了しました"); }
    static int ProgressHigh(HWND dialog) {
        return static_cast<int>(SendMessageA(GetDlgItem(dialog, kScanProgress), PBM_GETRANGE, FALSE, 0));
    }
    static int ProgressPos(HWND dialog) {
        return static_cast<int>(SendMessageA(GetDlgItem(dialog, kScanProgress), PBM_GETPOS, 0, 0));
    }
    // A scan of `addresses` addresses has run to its end.
    static bool WaitScanOf(HWND dialog, int addresses, DWORD timeoutMs = kScanWaitMs) {
        return WaitUntil([&] {
            return Finished(dialog) && ProgressHigh(dialog) == addresses && ProgressPos(dialog) == addresses;
        }, timeoutMs);
    }
    static bool Answers(HWND window, DWORD timeoutMs = 1000) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
    }

    static std::vector<ScanRowView> Rows(HWND dialog) {
        HWND list = GetDlgItem(dialog, kScanList);
        std::vector<ScanRowView> rows;
        for (int i = 0, n = listview::Count(list); i < n; ++i)
            rows.push_back({listview::Text(list, i, 0), listview::Text(list, i, 1), listview::Text(list, i, 2),
                            listview::Text(list, i, 3), listview::StateImage(list, i)});
        return rows;
    }

    // The subnet shown in the drop-down list, and how many it offers.
    static std::string ShownSubnet(HWND dialog) { return WindowText(GetDlgItem(dialog, kScanSubnet)); }
    static int SubnetCount(HWND dialog) {
        return static_cast<int>(SendMessageA(GetDlgItem(dialog, kScanSubnet), CB_GETCOUNT, 0, 0));
    }

    static void ChooseSubnet(HWND dialog, int index) {
        HWND combo = GetDlgItem(dialog, kScanSubnet);
        SendMessageA(combo, CB_SETCURSEL, index, 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kScanSubnet, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    }

    static std::string Address(HWND dialog, int id) {
        HWND control = GetDlgItem(dialog, id);
        RemoteBuffer buffer(control, sizeof(DWORD));
        DWORD value = 0;
        SendMessageA(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(buffer.At(0)));
        buffer.Read(0, &value, sizeof value);
        return std::to_string(FIRST_IPADDRESS(value)) + "." + std::to_string(SECOND_IPADDRESS(value)) + "." +
               std::to_string(THIRD_IPADDRESS(value)) + "." + std::to_string(FOURTH_IPADDRESS(value));
    }

    static void SetRange(HWND dialog, DWORD from, DWORD to) {
        SendMessageA(GetDlgItem(dialog, kScanFrom), IPM_SETADDRESS, 0, from);
        SendMessageA(GetDlgItem(dialog, kScanTo), IPM_SETADDRESS, 0, to);
    }

    // Scans a range and waits for its end.
    static bool Rescan(HWND dialog, DWORD from, DWORD to, int addresses) {
        SetRange(dialog, from, to);
        ClickButton(dialog, kScanStart);
        return WaitScanOf(dialog, addresses);
    }

    // Starts a scan of 4,094 addresses behind the gateway, which answers for
    // none but the first: it runs for many seconds.
    static bool StartLongScan(HWND dialog) {
        SetRange(dialog, MAKEIPADDRESS(10, 79, 0, 1), MAKEIPADDRESS(10, 79, 15, 254));
        ClickButton(dialog, kScanStart);
        return WaitUntil([&] {
            return StatusStarts(dialog, "検索中") && ProgressHigh(dialog) == 4094 && ProgressPos(dialog) > 0;
        });
    }

    static void SetCheck(HWND dialog, int row, bool checked) {
        HWND list = GetDlgItem(dialog, kScanList);
        RemoteBuffer buffer(list, sizeof(LVITEMA));
        LVITEMA item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
        buffer.Write(0, &item, sizeof item);
        SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(buffer.At(0)));
    }

    ScanRowView PeerRow(size_t i, const char* state, int box) const {
        return {peers_[i].address, peers_[i].mac, peers_[i].name, state, box};
    }
    // Every peer, none registered.
    std::vector<ScanRowView> NewPeerRows() const {
        std::vector<ScanRowView> rows;
        for (size_t i = 0; i < peers_.size(); ++i) rows.push_back(PeerRow(i, "新規", 2));
        return rows;
    }
    // Names fill in after their rows, also after the scan is done.
    static bool WaitRows(HWND dialog, const std::vector<ScanRowView>& want) {
        return WaitUntil([&] { return Rows(dialog) == want; });
    }

    std::vector<std::string> WakeListColumn(int column) const {
        std::vector<std::string> texts;
        HWND list = app.WakeList();
        for (int i = 0, n = listview::Count(list); i < n; ++i) texts.push_back(listview::Text(list, i, column));
        return texts;
    }

    int RowNamed(const std::string& name) const {
        std::vector<std::string> names = WakeListColumn(0);
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) return static_cast<int>(i);
        return -1;
    }

    std::vector<EntryRecord> SavedRecords() const {
        std::vector<EntryRecord> records;
        for (const std::string& bytes : Records(ReadFileBytes(DataFile()))) {
            EntryRecord r;
            std::memcpy(&r, bytes.data(), sizeof r);
            records.push_back(r);
        }
        return records;
    }

    // What an added computer's record holds: the new-entry defaults and
    // what the scan learnt.
    static void ExpectAdded(const EntryRecord& r, const std::string& name, const std::string& address,
                            const std::string& mac, const std::string& hostName) {
        SCOPED_TRACE(address);
        EXPECT_EQ(name, r.name);
        EXPECT_EQ(address, IpText(r.ipAddress));
        EXPECT_EQ("255.255.255.0", IpText(r.subnetMask));
        EXPECT_EQ(2034, r.port);
        EXPECT_EQ(mac, MacText(r.macAddress));
        EXPECT_EQ(hostName, r.hostName);
        EXPECT_STREQ("", r.place);
        EXPECT_STREQ("", r.comment);
        EXPECT_NE(0, r.registeredTime.wYear);
        EXPECT_EQ(0, r.updatedTime.wYear);
        EXPECT_EQ(0, r.lastSentTime.wYear);
        EXPECT_EQ(0, r.excluded);
        const uint8_t zero[6] = {};
        EXPECT_EQ(0, std::memcmp(zero, r.reserved, sizeof zero));
    }

    static std::string IpText(const uint8_t o[4]) {
        return std::to_string(o[0]) + "." + std::to_string(o[1]) + "." + std::to_string(o[2]) + "." +
               std::to_string(o[3]);
    }

    bool Logged(const std::string& line) const {
        for (const std::string& l : LogLines())
            if (l == line) return true;
        return false;
    }

    std::vector<Peer> peers_;
};

TEST_F(NetScanTest, ListsExactlyTheLivePeersAndAddsOnlyTheCheckedOnes) {
    // The second peer is registered already, under another name.
    ASSERT_NO_FATAL_FAILURE(LaunchWith({Entry("known", {10, 78, 0, 12}, {0x02, 0x4E, 0x4C, 0x53, 0x00, 0x12})}));
    HWND dialog = OpenScan();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(2, SubnetCount(dialog));
    EXPECT_EQ(kDefaultSubnet, ShownSubnet(dialog)) << "the subnet of the default route comes first";
    EXPECT_EQ("10.78.0.1", Address(dialog, kScanFrom));
    EXPECT_EQ("10.78.0.254", Address(dialog, kScanTo));
    EXPECT_TRUE(Answers(dialog)) << "the box must answer while it scans";

    // 254 addresses but the program's own.
    ASSERT_TRUE(WaitScanOf(dialog, 253)) << Status(dialog);
    EXPECT_EQ("検索を完了しました: 4台見つかりました", Status(dialog));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kScanStop)));
    const std::vector<ScanRowView> want = {PeerRow(0, "新規", 2), PeerRow(1, "登録済み", 1), PeerRow(2, "新規", 2),
                                           PeerRow(3, "新規", 2)};
    ASSERT_TRUE(WaitRows(dialog, want)) << testing::PrintToString(Rows(dialog));

    SetCheck(dialog, 3, false);
    ASSERT_EQ(1, listview::StateImage(GetDlgItem(dialog, kScanList), 3));
    ClickButton(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));

    ASSERT_EQ((std::vector<std::string>{"known", peers_[0].name, "10.78.0.13"}), WakeListColumn(0));
    HWND list = app.WakeList();
    const std::vector<std::string> row1 = EntryCells(list, 1);
    ASSERT_EQ(11u, row1.size());
    EXPECT_EQ((std::vector<std::string>{peers_[0].name, "10.78.0.11", "255.255.255.0", peers_[0].mac, peers_[0].name,
                                        "", "", "2034", "0000/00/00 00:00:00", "0000/00/00 00:00:00"}),
              std::vector<std::string>(row1.begin(), row1.begin() + 10));
    EXPECT_TRUE(IsStamp(row1[10])) << row1[10];
    EXPECT_EQ("", listview::Text(list, 2, 4)) << "no reverse name: the computer name stays empty";
    EXPECT_TRUE(WaitUntil([&] { return Logged("ﾈｯﾄﾜｰｸから検索: 2件のｴﾝﾄﾘを追加しました"); }));

    ASSERT_EQ(0, app.Close());
    std::vector<EntryRecord> saved = SavedRecords();
    ASSERT_EQ(3u, saved.size());
    EXPECT_STREQ("known", saved[0].name);
    ExpectAdded(saved[1], peers_[0].name, "10.78.0.11", peers_[0].mac, peers_[0].name);
    ExpectAdded(saved[2], "10.78.0.13", "10.78.0.13", peers_[2].mac, "");
}

TEST_F(NetScanTest, AddedRowsFollowTheAddressFilterAndTheSortedColumn) {
    ASSERT_NO_FATAL_FAILURE(LaunchWith({Entry("z-hidden", {192, 168, 5, 5}, {0x02, 0, 0, 0, 0, 0x55}),
                                        Entry("b-old", {10, 78, 0, 50}, {0x02, 0, 0, 0, 0, 0x50})}));
    // Sort by name, ascending; then filter 10.78.0.0/24.
    ASSERT_TRUE(BringToFront(app.Main()));
    RECT header = {};
    ASSERT_TRUE(listview::HeaderItemRect(app.WakeList(), 0, &header));
    ClickAt(POINT{(header.left + header.right) / 2, (header.top + header.bottom) / 2});
    ASSERT_TRUE(WaitUntil([&] { return WakeListColumn(0) == std::vector<std::string>{"b-old", "z-hidden"}; }));
    app.PostCommand(kCmdFilter);
    HWND filter = WaitDialog(app.Pid(), "ｱﾄﾞﾚｽﾌｨﾙﾀ設定");
    ASSERT_NE(nullptr, filter);
    SendMessageA(GetDlgItem(filter, 1042), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 78, 0, 0));
    SendMessageA(GetDlgItem(filter, 1032), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("24"));
    ClickButton(filter, IDOK);
    ASSERT_TRUE(WaitGone(filter));
    ASSERT_TRUE(WaitUntil([&] { return WakeListColumn(0) == std::vector<std::string>{"b-old"}; }));

    HWND dialog = OpenScan();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitScanOf(dialog, 253)) << Status(dialog);
    ASSERT_TRUE(WaitRows(dialog, NewPeerRows())) << testing::PrintToString(Rows(dialog));
    ClickButton(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_EQ((std::vector<std::string>{"10.78.0.13", "10.78.0.14", "b-old", peers_[0].name, peers_[1].name}),
              WakeListColumn(0));

    // The other subnet: its computer is stored, but the filter hides it.
    dialog = OpenScan();
    ASSERT_NE(nullptr, dialog);
    ChooseSubnet(dialog, 1);
    EXPECT_EQ(kSecondSubnet, ShownSubnet(dialog));
    EXPECT_EQ("10.77.0.1", Address(dialog, kScanFrom));
    EXPECT_EQ("10.77.0.254", Address(dialog, kScanTo));
    ClickButton(dialog, kScanStart);
    ASSERT_TRUE(WaitUntil([&] { return Rows(dialog).size() == 1u && Finished(dialog); }, kScanWaitMs))
        << Status(dialog);
    ASSERT_TRUE(WaitRows(dialog, {{"10.77.0.1", PeerMac(), "peerhost.test", "新規", 2}}))
        << testing::PrintToString(Rows(dialog));
    ClickButton(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_TRUE(WaitUntil([&] { return Logged("ﾈｯﾄﾜｰｸから検索: 1件のｴﾝﾄﾘを追加しました"); }));
    EXPECT_EQ(-1, RowNamed("peerhost.test"));
    EXPECT_EQ(5, listview::Count(app.WakeList()));

    ASSERT_EQ(0, app.Close());
    std::vector<EntryRecord> saved = SavedRecords();
    ASSERT_EQ(7u, saved.size());
    ExpectAdded(saved[6], "peerhost.test", "10.77.0.1", PeerMac(), "peerhost.test");
}

TEST_F(NetScanTest, AComputerWithoutHardwareAddressIsListedButCannotBeChecked) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND dialog = OpenScan();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitScanOf(dialog, 253)) << Status(dialog);
    // Behind the gateway: it answers, but no neighbour table knows it.
    ASSERT_TRUE(Rescan(dialog, MAKEIPADDRESS(10, 79, 0, 1), MAKEIPADDRESS(10, 79, 0, 1), 1)) << Status(dialog);
    ASSERT_EQ((std::vector<ScanRowView>{{"10.79.0.1", "", "", "MAC不明", 0}}), Rows(dialog));
    SetCheck(dialog, 0, true);
    EXPECT_EQ(0, listview::StateImage(GetDlgItem(dialog, kScanList), 0)) << "the row took a check mark";
    ClickButton(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_TRUE(WaitUntil([&] { return Logged("ﾈｯﾄﾜｰｸから検索: 0件のｴﾝﾄﾘを追加しました"); }));
    EXPECT_EQ(0, listview::Count(app.WakeList()));
}

TEST_F(NetScanTest, StopEndsTheScanAtOnceAndTheNextScanStartsClean) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND dialog = OpenScan();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitScanOf(dialog, 253)) << Status(dialog);
    ASSERT_TRUE(StartLongScan(dialog)) << Status(dialog);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, kScanStop)));
    EXPECT_TRUE(Answers(dialog)) << "the box must answer while it scans";
    ClickButton(dialog, kScanStop);
    EXPECT_TRUE(WaitUntil([&] { return StatusStarts(dialog, "検索を中止しました"); }, 2000)) << Status(dialog);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kScanStop)));
    EXPECT_LT(ProgressPos(dialog), 4094);

    // Nothing of the stopped scan comes back into the next one.
    ASSERT_TRUE(Rescan(dialog, MAKEIPADDRESS(10, 78, 0, 11), MAKEIPADDRESS(10, 78, 0, 12), 2)) << Status(dialog);
    const std::vector<ScanRowView> want = {PeerRow(0, "新規", 2), PeerRow(1, "新規", 2)};
    EXPECT_TRUE(WaitRows(dialog, want)) << testing::PrintToString(Rows(dialog));
    ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_EQ(0, listview::Count(app.WakeList()));
}

struct RangeCase {
    const char* name;
    DWORD from, to;
    bool clearTo;
    const char* text;
};

class NetScanRangeTest : public NetScanTest, public testing::WithParamInterface<RangeCase> {};

TEST_P(NetScanRangeTest, IsRefusedWithAMessageAndTheListStays) {
    const RangeCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND dialog = OpenScan();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitScanOf(dialog, 253)) << Status(dialog);
    ASSERT_TRUE(WaitRows(dialog, NewPeerRows())) << testing::PrintToString(Rows(dialog));
    const std::vector<ScanRowView> before = Rows(dialog);
    SetRange(dialog, c.from, c.to);
    if (c.clearTo) SendMessageA(GetDlgItem(dialog, kScanTo), IPM_CLEARADDRESS, 0, 0);
    ClickButton(dialog, kScanStart);
    HWND box = WaitDialog(app.Pid(), "Nodelark");
    ASSERT_NE(nullptr, box) << "no message";
    EXPECT_EQ(c.text, MessageBoxText(box));
    ClickButton(box, IDOK);
    ASSERT_TRUE(WaitGone(box));
    EXPECT_EQ(before, Rows(dialog));
    EXPECT_EQ("検索を完了しました: 4台見つかりました", Status(dialog));
    ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitGone(dialog));
}

INSTANTIATE_TEST_SUITE_P(
    NetScan, NetScanRangeTest,
    testing::Values(RangeCase{"MoreThan4096", MAKEIPADDRESS(10, 78, 0, 1), MAKEIPADDRESS(10, 78, 16, 1), false,
                              "検索範囲が広すぎます (4097ｱﾄﾞﾚｽ)\n一度に検索できるのは4096ｱﾄﾞﾚｽまでです"},
                    RangeCase{"Reversed", MAKEIPADDRESS(10, 78, 0, 20), MAKEIPADDRESS(10, 78, 0, 10), false,
                              "検索範囲の開始ｱﾄﾞﾚｽが終了ｱﾄﾞﾚｽより後ろです"},
                    RangeCase{"BlankEnd", MAKEIPADDRESS(10, 78, 0, 1), 0, true,
                              "検索範囲の終了ｱﾄﾞﾚｽを入力してください"}),
    [](const testing::TestParamInfo<RangeCase>& info) { return info.param.name; });

TEST_F(NetScanTest, CancelDuringAScanAddsNothingAndTheBoxOpensAgain) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND dialog = OpenScan();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(StartLongScan(dialog)) << Status(dialog);
    ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitGone(dialog, 5000)) << "the box did not close during a scan";
    EXPECT_TRUE(app.Responds());
    EXPECT_EQ(0, listview::Count(app.WakeList()));

    dialog = OpenScan();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitScanOf(dialog, 253)) << Status(dialog);
    EXPECT_EQ(4u, Rows(dialog).size());
    ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_EQ(0, listview::Count(app.WakeList()));
}

TEST_F(NetScanTest, TheProgramClosesCleanlyDuringAScan) {
    ASSERT_NO_FATAL_FAILURE(LaunchWith({Entry("kept", {10, 78, 0, 90}, {0x02, 0, 0, 0, 0, 0x90})}));
    HWND dialog = OpenScan();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(StartLongScan(dialog)) << Status(dialog);
    PostMessageA(app.Main(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.WaitExit(15000)) << "the program did not end during a scan";
    EXPECT_EQ(0u, app.ExitCode());
    std::vector<EntryRecord> saved = SavedRecords();
    ASSERT_EQ(1u, saved.size());
    EXPECT_STREQ("kept", saved[0].name);
}

TEST_F(NetScanTest, RefusedDuringAWakeRun) {
    std::vector<EntryRecord> records;
    for (uint8_t i = 0; i < 10; ++i) records.push_back(Entry("wake", {10, 78, 0, static_cast<uint8_t>(100 + i)},
                                                             {0x02, 0, 0, 0, 1, i}));
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records));
    app.PostCommand(kCmdWakeAllRun);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(app.Main()); })) << "the wake run did not start";
    EXPECT_TRUE(app.CommandReturns(kCmdNetScan)) << "the command opened something during the run";
    for (HWND d : ProcessDialogs(app.Pid())) EXPECT_NE(kScanCaption, WindowText(d));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(app.Main()) != FALSE; }, 20000));
    // Once the run is over, the same command opens the box.
    HWND dialog = OpenScan();
    ASSERT_NE(nullptr, dialog);
    ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitGone(dialog));
}

// The item sits in both of the Wake List's context menus, which are also the
// ENTRY button's drop-down.
TEST_F(NetScanTest, OpensFromTheWakeListContextMenus) {
    ASSERT_NO_FATAL_FAILURE(LaunchWith({Entry("one", {10, 78, 0, 91}, {0x02, 0, 0, 0, 0, 0x91})}));
    ShowWindow(app.Main(), SW_MAXIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsZoomed(app.Main()) != FALSE; }));
    ASSERT_TRUE(BringToFront(app.Main()));
    HWND list = app.WakeList();
    RECT client = {};
    GetClientRect(list, &client);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&client), 2);
    RECT row = {};
    ASSERT_TRUE(listview::ItemRect(list, 0, &row));
    const POINT empty = {client.left + 40, (client.top + client.bottom) / 2};
    const POINT onRow = {row.left + 30, (row.top + row.bottom) / 2};
    for (POINT at : {empty, onRow}) {
        SCOPED_TRACE(at.y == empty.y ? "no entry selected" : "an entry selected");
        ClickAt(at);
        ASSERT_TRUE(WaitUntil([&] { return listview::Selected(list, 0) == (at.y == onRow.y); }));
        RightClickAt(at);
        ASSERT_TRUE(WaitUntil([&] { return ShownPopupMenu(app.Pid()) != nullptr; }));
        PressKey('N');
        HWND dialog = WaitDialog(app.Pid(), kScanCaption);
        ASSERT_NE(nullptr, dialog);
        ClickButton(dialog, IDCANCEL);
        ASSERT_TRUE(WaitGone(dialog));
        ASSERT_TRUE(BringToFront(app.Main()));
    }
}

// The same topology with a name server that takes every query and never
// answers (scan_run.sh's second step: the resolver waits 30 s for it). The
// peers named in the hosts file still resolve at once.
class SilentNameServerScanTest : public NetScanTest {
protected:
    void SetUp() override {
        NetScanTest::SetUp();
        if (HasFatalFailure()) return;
        const char* log = std::getenv("NL_E2E_SILENT_DNS_LOG");
        ASSERT_TRUE(log && *log) << "NL_E2E_SILENT_DNS_LOG is not set: these tests run only in the silent name "
                                    "server step of tests/e2e/scan_run.sh";
        serverLog_ = log;
    }

    // How many reverse queries for this peer's address reached the server.
    int QueriesFor(size_t peer) const {
        unsigned a = 0, b = 0, c = 0, d = 0;
        std::sscanf(peers_[peer].address.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
        std::string name;
        for (unsigned octet : {d, c, b, a}) name += Label(std::to_string(octet));
        name += Label("in-addr") + Label("arpa");
        const std::string log = ReadFileBytes(serverLog_);
        int count = 0;
        for (size_t at = 0; (at = log.find(name, at)) != std::string::npos; at += name.size()) ++count;
        return count;
    }

    // A look-up of each unnamed peer is out at the server, and will be for
    // a long while: the resolver never gets an answer.
    bool WaitLookUpsOut(int before2, int before3) const {
        return WaitUntil([&] { return QueriesFor(2) > before2 && QueriesFor(3) > before3; });
    }

private:
    // One label of a query name as the server's log shows it: its length,
    // then its bytes, in hexadecimal.
    static std::string Label(const std::string& text) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(text.size()));
        std::string out = hex;
        for (unsigned char ch : text) {
            std::snprintf(hex, sizeof hex, "%02X", ch);
            out += hex;
        }
        return out;
    }

    std::string serverLog_;
};

// Well inside the 30 s the resolver waits for the silent server.
constexpr DWORD kBeforeTheResolverGivesUpMs = 20000;

TEST_F(SilentNameServerScanTest, RowsAndTheEndDoNotWaitForNamesThatDoNotCome) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND dialog = OpenScan();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitScanOf(dialog, 253, kBeforeTheResolverGivesUpMs)) << Status(dialog);
    EXPECT_EQ("検索を完了しました: 4台見つかりました", Status(dialog));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kScanStop)));
    // Named in the hosts file: those fill in; the others stay empty.
    ASSERT_TRUE(WaitRows(dialog, NewPeerRows())) << testing::PrintToString(Rows(dialog));
    EXPECT_TRUE(WaitLookUpsOut(0, 0)) << "the unnamed peers were never looked up at the server";
    EXPECT_TRUE(Answers(dialog));

    ClickButton(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_TRUE(WaitUntil([&] { return Logged("ﾈｯﾄﾜｰｸから検索: 4件のｴﾝﾄﾘを追加しました"); }));
    ASSERT_EQ(0, app.Close());
    std::vector<EntryRecord> saved = SavedRecords();
    ASSERT_EQ(4u, saved.size());
    ExpectAdded(saved[0], peers_[0].name, peers_[0].address, peers_[0].mac, peers_[0].name);
    ExpectAdded(saved[3], peers_[3].address, peers_[3].address, peers_[3].mac, "");
}

TEST_F(SilentNameServerScanTest, TheBoxClosesAtOnceWhileLookUpsHangAndTheProgramEndsCleanly) {
    ASSERT_NO_FATAL_FAILURE(LaunchWith({Entry("kept", {10, 78, 0, 90}, {0x02, 0, 0, 0, 0, 0x90})}));
    struct Way {
        const char* name;
        void (*close)(HWND dialog);
    };
    const Way ways[] = {
        {"the cancel button", [](HWND dialog) { ClickButton(dialog, IDCANCEL); }},
        {"the title bar's close box", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Esc", [](HWND dialog) {
             PostMessageA(GetDlgItem(dialog, kScanList), WM_KEYDOWN, VK_ESCAPE, 0);
         }},
        {"OK", [](HWND dialog) { ClickButton(dialog, IDOK); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const int before2 = QueriesFor(2), before3 = QueriesFor(3);
        HWND dialog = OpenScan();
        ASSERT_NE(nullptr, dialog);
        ASSERT_TRUE(WaitScanOf(dialog, 253, kBeforeTheResolverGivesUpMs)) << Status(dialog);
        ASSERT_TRUE(WaitLookUpsOut(before2, before3));
        way.close(dialog);
        // A box that waited for its look-ups would stay for the resolver's 30 s.
        ASSERT_TRUE(WaitGone(dialog, 5000)) << "the box waited for its look-ups";
        EXPECT_TRUE(app.Responds());
    }
    EXPECT_TRUE(WaitUntil([&] { return Logged("ﾈｯﾄﾜｰｸから検索: 4件のｴﾝﾄﾘを追加しました"); }));
    // The threads of eight look-ups still wait for the server.
    ASSERT_EQ(0, app.Close());
    std::vector<EntryRecord> saved = SavedRecords();
    ASSERT_EQ(5u, saved.size());
    EXPECT_STREQ("kept", saved[0].name);
}

}  // namespace
}  // namespace e2e
