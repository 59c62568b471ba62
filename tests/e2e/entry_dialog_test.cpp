// The entry sheet and the add, edit and delete commands, as a user meets
// them: boxes typed into, OK and Cancel, the rows and the saved data file.
#include "AppFixture.h"
#include "EntryDialogDriver.h"

#include <cstdlib>
#include <cstring>

namespace e2e {
namespace {

const SYSTEMTIME kNever = {};
const SYSTEMTIME kRegistered = {2024, 3, 2, 5, 7, 8, 9, 0};
const SYSTEMTIME kSent = {2024, 4, 1, 1, 10, 0, 0, 0};

EntryRecord Record(const char* name, uint8_t last, int32_t id) {
    const EntryFields fields = {name, {10, 77, 0, last}, {255, 255, 255, 0}, 9, {2, 0, 0, 0, 0, last},
                                "host", "２階", "memo", kSent, kRegistered, kNever, 0};
    return MakeRecord(fields, id);
}

constexpr int kIdYes = 6, kIdNo = 7;

class EntryDialogTest : public AppFixture {
protected:
    void LaunchWithRows(int rows) {
        const char* names[] = {"alpha", "ｻｰﾊﾞ室", "gamma", "delta", "epsilon"};
        records_.clear();
        for (int i = 0; i < rows; ++i) records_.push_back(Record(names[i], static_cast<uint8_t>(10 + i), i));
        ASSERT_NO_FATAL_FAILURE(LaunchWith(records_));
        ASSERT_EQ(listview::Count(app.WakeList()), rows);
    }

    HWND OpenSheet(int command) {
        app.PostCommand(command);
        HWND sheet = WaitEntrySheet(app.Pid());
        EXPECT_NE(sheet, nullptr) << "the entry sheet did not open";
        return sheet;
    }

    // OK or Cancel, then the sheet must go and focus return to the list.
    void Close(HWND sheet, int button) {
        ClickButton(sheet, button);
        ASSERT_TRUE(WaitGone(sheet)) << "the sheet stayed open";
        EXPECT_TRUE(WaitUntil([&] { return FocusOf(app.Main()) == app.WakeList(); }, 3000))
            << "the focus is not on the Wake List";
    }

    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int r = 0, n = listview::Count(app.WakeList()); r < n; ++r) {
            std::string joined;
            for (const std::string& cell : EntryCells(app.WakeList(), r)) joined += cell + "|";
            rows.push_back(joined);
        }
        return rows;
    }

    // Closes the program cleanly and returns the records it saved.
    std::vector<EntryRecord> CloseAndRead() {
        EXPECT_EQ(app.Close(), 0);
        std::string bytes = ReadFileBytes(DataFile());
        EXPECT_EQ(bytes.size() % sizeof(EntryRecord), 0u);
        std::vector<EntryRecord> saved(bytes.size() / sizeof(EntryRecord));
        if (!saved.empty()) std::memcpy(saved.data(), bytes.data(), saved.size() * sizeof(EntryRecord));
        return saved;
    }

    std::vector<EntryRecord> records_;
};

bool SameTime(const SYSTEMTIME& a, const SYSTEMTIME& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Everything after the id, which the program gives afresh.
std::string Body(const EntryRecord& r) { return RecordBytes(r).substr(4); }

struct ControlCase {
    int id;
    const char* className;
    const char* text;       // nullptr: not checked
    int limit;              // EM_GETLIMITTEXT; 0: not checked
    DWORD styles;           // all of these set
};

// Labels carry no id of their own; each must be on its page once.
void ExpectLabels(HWND page, std::initializer_list<const char*> labels) {
    std::vector<ChildInfo> children = Children(page);
    for (const char* label : labels) {
        int found = 0;
        for (const ChildInfo& child : children)
            if (child.className == "Static" && child.text == label) ++found;
        EXPECT_EQ(found, 1) << label;
    }
    int icons = 0;
    for (const ChildInfo& child : children)
        if (child.className == "Static" && (GetWindowLongA(child.window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) ++icons;
    EXPECT_EQ(icons, 1) << "the entry icon";
}

// Every control of the page lies inside the part of the sheet it shows in.
void ExpectAllVisible(HWND sheet, HWND page) {
    RECT shown = {};
    GetClientRect(sheet, &shown);
    MapWindowPoints(sheet, nullptr, reinterpret_cast<POINT*>(&shown), 2);
    RECT pageRect = {};
    GetWindowRect(page, &pageRect);
    IntersectRect(&shown, &shown, &pageRect);
    for (const ChildInfo& child : Children(page)) {
        RECT r = {};
        GetWindowRect(child.window, &r);
        EXPECT_TRUE(r.left >= shown.left && r.top >= shown.top && r.right <= shown.right && r.bottom <= shown.bottom)
            << "control " << child.id << " \"" << child.text << "\" is cut off";
    }
}

void ExpectControls(HWND page, const std::vector<ControlCase>& cases) {
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.id);
        HWND control = GetDlgItem(page, c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(ClassName(control), c.className);
        if (c.text) {
            EXPECT_EQ(WindowText(control), c.text);
        }
        if (c.limit) {
            EXPECT_EQ(SendMessageA(control, EM_GETLIMITTEXT, 0, 0), c.limit);
        }
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)) & c.styles, c.styles);
    }
}

TEST_F(EntryDialogTest, SheetShowsEveryControlOfBothPages) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND sheet = OpenSheet(kCmdNewEntry);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(GetWindow(sheet, GW_OWNER), app.Main());
    HWND apply = GetDlgItem(sheet, 0x3021);
    EXPECT_TRUE(!apply || !IsWindowVisible(apply)) << "the sheet has no Apply button";
    HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    ASSERT_EQ(tabs::Count(tab), 2);
    EXPECT_EQ(tabs::Caption(tab, 0), "送信先");
    EXPECT_EQ(tabs::Caption(tab, 1), "付加情報");

    HWND page = DestinationPageOf(sheet);
    ASSERT_NE(page, nullptr);
    ExpectLabels(page, {"ＩＰアドレス (&I):", "サブネットマスク (&M):", "ポート番号 (&P):", "ＭＡＣアドレス (&F):",
                        "コンピュータ名 (&H):"});
    std::vector<ControlCase> destination = {
        {kEntryName, "Edit", nullptr, 127, 0},
        {kEntryIp, "SysIPAddress32", nullptr, 0, 0},
        {kEntryMask, "SysIPAddress32", nullptr, 0, 0},
        {kEntryPort, "Edit", nullptr, 0, ES_NUMBER | ES_RIGHT},
        {kEntryHost, "Edit", nullptr, 255, 0},
        {kEntryMacLookUp, "Button", "...", 0, 0},
        {kEntryHostLookUp, "Button", "...", 0, 0},
        {kEntryExclude, "Button", "送信対象外とする (&O)", 0, BS_AUTOCHECKBOX},
    };
    for (int i = 0; i < 6; ++i) destination.push_back({kEntryMac1 + i, "Edit", nullptr, 2, 0});
    ExpectControls(page, destination);
    ExpectAllVisible(sheet, page);

    HWND details = ShowDetailsPage(sheet);
    ASSERT_NE(details, nullptr);
    ExpectLabels(details, {"エントリ付加情報の登録", "場所 (&P):", "コメント (&C):", "最終送信日時 (&L):",
                           "更新日時 (&U):", "登録日 (&A):"});
    ExpectControls(details, {
        {kDetailPlace, "Edit", nullptr, 255, 0},
        {kDetailComment, "Edit", nullptr, 255, ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL | WS_HSCROLL},
        {kDetailLastSent, "Edit", "(未設定)", 0, ES_READONLY},
        {kDetailUpdated, "Edit", "(未設定)", 0, ES_READONLY},
        {kDetailRegistered, "Edit", "(未設定)", 0, ES_READONLY},
    });
    ExpectAllVisible(sheet, details);
    ASSERT_NO_FATAL_FAILURE(Close(sheet, IDCANCEL));
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(EntryDialogTest, AddThroughTheSheetShowsTheRowAndKeepsTheEntry) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    ASSERT_TRUE(BringToFront(app.Main()));
    HWND sheet = OpenSheet(kCmdNewEntry);
    ASSERT_NE(sheet, nullptr);
    HWND page = DestinationPageOf(sheet);
    ASSERT_NE(page, nullptr);

    // The defaults of a new entry.
    EXPECT_EQ(Box(page, kEntryName), "新規@送信先");
    EXPECT_TRUE(AddressBlank(page, kEntryIp));
    EXPECT_TRUE(AddressBlank(page, kEntryMask));
    EXPECT_EQ(Box(page, kEntryPort), "2034");
    EXPECT_EQ(MacBoxes(page), "00-00-00-00-00-00");
    EXPECT_EQ(Box(page, kEntryHost), "");
    EXPECT_FALSE(Checked(page, kEntryExclude));

    // Typed as a user types: the address control moves on at each dot.
    ASSERT_TRUE(BringToFront(sheet));
    SetBox(page, kEntryName, "");
    TypeInto(GetDlgItem(page, kEntryName), "pc-01");
    TypeInto(GetDlgItem(page, kEntryIp), "10.77.0.5");
    SetBox(page, kEntryPort, "");
    TypeInto(GetDlgItem(page, kEntryPort), "70000");
    EXPECT_TRUE(WaitUntil([&] { return Box(page, kEntryPort) == "70000"; }, 3000));
    EXPECT_TRUE(WaitUntil([&] { return AddressText(page, kEntryIp) == "10.77.0.5"; }, 3000))
        << AddressText(page, kEntryIp);
    SetBox(page, kEntryName, Box(page, kEntryName) + " 経理部");
    SetAddress(page, kEntryMask, 255, 255, 255, 0);
    const char* const mac[6] = {"0a", "FF", "", "G", "1G", "7"};
    SetMacBoxes(page, mac);
    SetBox(page, kEntryHost, "KEIRI-01");
    ClickAndWait(page, kEntryExclude);
    EXPECT_TRUE(Checked(page, kEntryExclude));

    HWND details = ShowDetailsPage(sheet);
    ASSERT_NE(details, nullptr);
    for (int id : {kDetailLastSent, kDetailUpdated, kDetailRegistered}) EXPECT_EQ(Box(details, id), "(未設定)") << id;
    SetBox(details, kDetailPlace, "東京本社 ソフト開発室");
    SetBox(details, kDetailComment, "1行目\r\n2行目");
    ASSERT_NO_FATAL_FAILURE(Close(sheet, IDOK));

    ASSERT_EQ(listview::Count(app.WakeList()), 1);
    std::vector<std::string> row = listview::Row(app.WakeList(), 0);
    const std::vector<std::string> expected = {"pc-01 経理部", "10.77.0.5", "255.255.255.0", "0A-FF-00-00-01-07",
                                               "KEIRI-01", "東京本社 ソフト開発室", "1行目\r\n2行目", "70000",
                                               "0000/00/00 00:00:00", "0000/00/00 00:00:00"};
    for (size_t c = 0; c < expected.size(); ++c) EXPECT_EQ(row[c], expected[c]) << "column " << c;
    EXPECT_TRUE(IsStamp(row[10]) && row[10] != "0000/00/00 00:00:00") << row[10];
    EXPECT_EQ(listview::Image(app.WakeList(), 0), 1) << "an excluded entry shows image 1";
    EXPECT_EQ(listview::Param(app.WakeList(), 0), 0);

    std::vector<EntryRecord> saved = CloseAndRead();
    ASSERT_EQ(saved.size(), 1u);
    const EntryRecord& r = saved[0];
    EXPECT_STREQ(r.name, "pc-01 経理部");
    EXPECT_EQ(r.port, 70000);
    const uint8_t macBytes[6] = {0x0A, 0xFF, 0, 0, 1, 7};
    EXPECT_EQ(std::memcmp(r.macAddress, macBytes, 6), 0);
    EXPECT_EQ(r.excluded, 1);
    EXPECT_STREQ(r.comment, "1行目\r\n2行目");
    EXPECT_NE(r.registeredTime.wYear, 0);
    EXPECT_TRUE(SameTime(r.updatedTime, kNever));
    EXPECT_TRUE(SameTime(r.lastSentTime, kNever));
}

TEST_F(EntryDialogTest, OkWithoutChangesAddsTheDefaultEntry) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(2));
    HWND sheet = OpenSheet(kCmdNewEntry);
    ASSERT_NE(sheet, nullptr);
    ASSERT_NO_FATAL_FAILURE(Close(sheet, IDOK));
    ASSERT_EQ(listview::Count(app.WakeList()), 3);
    EXPECT_EQ(listview::Text(app.WakeList(), 2, 0), "新規@送信先");
    EXPECT_EQ(listview::Text(app.WakeList(), 2, 1), "0.0.0.0");
    EXPECT_EQ(listview::Text(app.WakeList(), 2, 7), "2034");
    EXPECT_EQ(listview::Param(app.WakeList(), 2), 2);

    // Reopened for editing, it shows its registration and no update yet.
    SelectRows(app.WakeList(), {2});
    sheet = OpenSheet(kCmdEditEntry);
    ASSERT_NE(sheet, nullptr);
    HWND details = ShowDetailsPage(sheet);
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(Box(details, kDetailRegistered), listview::Text(app.WakeList(), 2, 10));
    EXPECT_EQ(Box(details, kDetailUpdated), "(未設定)");
    EXPECT_EQ(Box(details, kDetailLastSent), "(未設定)");
    ASSERT_NO_FATAL_FAILURE(Close(sheet, IDCANCEL));

    std::vector<EntryRecord> saved = CloseAndRead();
    ASSERT_EQ(saved.size(), 3u);
    EntryRecord fresh = saved[2];
    EXPECT_NE(fresh.registeredTime.wYear, 0);
    fresh.registeredTime = kNever;
    EntryRecord defaults = {};
    std::strcpy(defaults.name, "新規@送信先");
    defaults.port = 2034;
    EXPECT_EQ(Body(fresh), Body(defaults));
}

// Cancel after changing boxes on both pages, in the add and the edit sheet.
TEST_F(EntryDialogTest, CancelChangesNothing) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(2));
    const std::vector<std::string> before = Rows();
    for (int command : {kCmdNewEntry, kCmdEditEntry}) {
        SCOPED_TRACE(command);
        SelectRows(app.WakeList(), {1});
        HWND sheet = OpenSheet(command);
        ASSERT_NE(sheet, nullptr);
        HWND page = DestinationPageOf(sheet);
        SetBox(page, kEntryName, "changed");
        SetAddress(page, kEntryIp, 192, 0, 2, 1);
        SetBox(page, kEntryPort, "1");
        HWND details = ShowDetailsPage(sheet);
        ASSERT_NE(details, nullptr);
        SetBox(details, kDetailPlace, "changed");
        ASSERT_NO_FATAL_FAILURE(Close(sheet, IDCANCEL));
        EXPECT_EQ(Rows(), before);
    }
    std::vector<EntryRecord> saved = CloseAndRead();
    ASSERT_EQ(saved.size(), 2u);
    for (size_t i = 0; i < 2; ++i) EXPECT_EQ(RecordBytes(saved[i]), RecordBytes(records_[i])) << i;
}

TEST_F(EntryDialogTest, EditShowsTheFirstSelectedEntryAndStampsTheUpdate) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(3));
    SelectRows(app.WakeList(), {1, 2});
    HWND sheet = OpenSheet(kCmdEditEntry);
    ASSERT_NE(sheet, nullptr);
    HWND page = DestinationPageOf(sheet);
    EXPECT_EQ(Box(page, kEntryName), "ｻｰﾊﾞ室");
    EXPECT_EQ(AddressText(page, kEntryIp), "10.77.0.11");
    EXPECT_EQ(AddressText(page, kEntryMask), "255.255.255.0");
    EXPECT_EQ(Box(page, kEntryPort), "9");
    EXPECT_EQ(MacBoxes(page), "02-00-00-00-00-0B");
    EXPECT_EQ(Box(page, kEntryHost), "host");
    SetBox(page, kEntryName, "ｻｰﾊﾞ室 2");
    SetBox(page, kEntryPort, "7");
    // Page "付加情報" is never shown: its fields stay as they were.
    ASSERT_NO_FATAL_FAILURE(Close(sheet, IDOK));

    std::vector<std::string> row = listview::Row(app.WakeList(), 1);
    EXPECT_EQ(row[0], "ｻｰﾊﾞ室 2");
    EXPECT_EQ(row[7], "7");
    EXPECT_EQ(row[5], "２階");
    EXPECT_EQ(row[6], "memo");
    EXPECT_EQ(row[8], "2024/04/01 10:00:00");
    EXPECT_TRUE(IsStamp(row[9]) && row[9] != "0000/00/00 00:00:00") << row[9];
    EXPECT_EQ(row[10], "2024/03/05 07:08:09");
    EXPECT_EQ(listview::Text(app.WakeList(), 2, 0), "gamma") << "only the first selected row is edited";
    EXPECT_EQ(listview::Text(app.WakeList(), 2, 9), "0000/00/00 00:00:00");

    // OK without a change still stamps the update; the details page shows it.
    SelectRows(app.WakeList(), {0});
    sheet = OpenSheet(kCmdEditEntry);
    ASSERT_NE(sheet, nullptr);
    HWND details = ShowDetailsPage(sheet);
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(Box(details, kDetailLastSent), "2024/04/01 10:00:00");
    EXPECT_EQ(Box(details, kDetailRegistered), "2024/03/05 07:08:09");
    EXPECT_EQ(Box(details, kDetailUpdated), "(未設定)");
    EXPECT_EQ(Box(details, kDetailPlace), "２階");
    ASSERT_NO_FATAL_FAILURE(Close(sheet, IDOK));
    EXPECT_TRUE(IsStamp(listview::Text(app.WakeList(), 0, 9)) &&
                listview::Text(app.WakeList(), 0, 9) != "0000/00/00 00:00:00");

    std::vector<EntryRecord> saved = CloseAndRead();
    ASSERT_EQ(saved.size(), 3u);
    EntryRecord expected1 = records_[1];
    std::strcpy(expected1.name, "ｻｰﾊﾞ室 2");
    expected1.port = 7;
    expected1.updatedTime = saved[1].updatedTime;
    EXPECT_NE(saved[1].updatedTime.wYear, 0);
    EXPECT_EQ(Body(saved[1]), Body(expected1));
    EntryRecord expected0 = records_[0];
    expected0.updatedTime = saved[0].updatedTime;
    EXPECT_NE(saved[0].updatedTime.wYear, 0);
    EXPECT_EQ(Body(saved[0]), Body(expected0));
    EXPECT_EQ(Body(saved[2]), Body(records_[2]));
}

// The SecureOn password sits beside the MAC address in six boxes of the same
// kind, empty when the record has none, and lands in the record's six
// reserved bytes; nothing else of the record moves.
TEST_F(EntryDialogTest, SecureOnPasswordIsShownEditedAndKept) {
    records_ = {Record("plain", 10, 0), Record("secured", 11, 1)};
    const uint8_t password[6] = {0x5E, 0xC0, 0x00, 0x4E, 0x00, 0x01};
    std::memcpy(records_[1].reserved, password, 6);
    ASSERT_NO_FATAL_FAILURE(LaunchWith(records_));

    struct Case { int row; const char* shown; const char* typed[6]; uint8_t stored[6]; };
    const Case cases[] = {
        {0, "-----", {"a1", "B2", "", "G", "1G", "7"}, {0xA1, 0xB2, 0x00, 0x00, 0x01, 0x07}},
        {1, "5E-C0-00-4E-00-01", {"", "", "", "", "", ""}, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        SelectRows(app.WakeList(), {c.row});
        HWND sheet = OpenSheet(kCmdEditEntry);
        ASSERT_NE(sheet, nullptr);
        HWND page = DestinationPageOf(sheet);
        ExpectLabels(page, {"ＳｅｃｕｒｅＯｎ (&S):"});
        std::vector<ControlCase> boxes;
        for (int i = 0; i < 6; ++i) boxes.push_back({kEntrySecureOn1 + i, "Edit", nullptr, 2, 0});
        ExpectControls(page, boxes);
        EXPECT_EQ(PasswordBoxes(page), c.shown);
        for (int i = 0; i < 6; ++i) SetBox(page, kEntrySecureOn1 + i, c.typed[i]);
        ASSERT_NO_FATAL_FAILURE(Close(sheet, IDOK));
    }
    std::vector<EntryRecord> saved = CloseAndRead();
    ASSERT_EQ(saved.size(), 2u);
    for (const Case& c : cases) {
        EntryRecord expected = records_[c.row];
        std::memcpy(expected.reserved, c.stored, 6);
        expected.updatedTime = saved[c.row].updatedTime;
        EXPECT_EQ(Body(saved[c.row]), Body(expected)) << c.row;
    }
}

// Under an address filter the rows show what passes it: an edit that moves
// the entry out of the filtered network takes its row away, an edit that
// keeps it inside shows the new values; the store holds both edits.
TEST_F(EntryDialogTest, EditUnderAFilterRemovesTheRowOrShowsTheNewValues) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(3));
    app.PostCommand(kCmdFilter);
    HWND filter = WaitDialog(app.Pid(), "ｱﾄﾞﾚｽﾌｨﾙﾀ設定");
    ASSERT_NE(filter, nullptr);
    SetAddress(filter, 1042, 10, 77, 0, 0);
    SetBox(filter, 1032, "24");
    ClickButton(filter, IDOK);
    ASSERT_TRUE(WaitGone(filter));
    ASSERT_EQ(listview::Count(app.WakeList()), 3);

    struct Edit {
        const char* row;           // the row edited, by its name
        const char* name;
        uint8_t ip[4];
        std::vector<std::string> rowsAfter;
    };
    const Edit edits[] = {
        {"ｻｰﾊﾞ室", "moved", {192, 168, 5, 5}, {"alpha", "gamma"}},
        {"gamma", "still here", {10, 77, 0, 99}, {"alpha", "still here"}},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.name);
        int row = -1;
        for (int r = 0; r < listview::Count(app.WakeList()); ++r)
            if (listview::Text(app.WakeList(), r, 0) == edit.row) row = r;
        ASSERT_GE(row, 0);
        SelectRows(app.WakeList(), {row});
        HWND sheet = OpenSheet(kCmdEditEntry);
        ASSERT_NE(sheet, nullptr);
        HWND page = DestinationPageOf(sheet);
        SetAddress(page, kEntryIp, edit.ip[0], edit.ip[1], edit.ip[2], edit.ip[3]);
        SetBox(page, kEntryName, edit.name);
        ASSERT_NO_FATAL_FAILURE(Close(sheet, IDOK));
        std::vector<std::string> names;
        for (int r = 0; r < listview::Count(app.WakeList()); ++r) names.push_back(listview::Text(app.WakeList(), r, 0));
        EXPECT_EQ(names, edit.rowsAfter);
    }
    const int kept = listview::Count(app.WakeList()) - 1;
    ASSERT_GE(kept, 0);
    EXPECT_EQ(listview::Text(app.WakeList(), kept, 1), "10.77.0.99");
    EXPECT_EQ(listview::Param(app.WakeList(), kept), 2) << "the row keeps its entry's id";

    // A new entry outside the filter is kept without a row.
    HWND sheet = OpenSheet(kCmdNewEntry);
    ASSERT_NE(sheet, nullptr);
    ASSERT_NO_FATAL_FAILURE(Close(sheet, IDOK));
    EXPECT_EQ(listview::Count(app.WakeList()), 2);

    std::vector<EntryRecord> saved = CloseAndRead();
    ASSERT_EQ(saved.size(), 4u);
    EXPECT_STREQ(saved[1].name, "moved");
    const uint8_t moved[4] = {192, 168, 5, 5};
    EXPECT_EQ(std::memcmp(saved[1].ipAddress, moved, 4), 0);
    EXPECT_STREQ(saved[2].name, "still here");
    EXPECT_STREQ(saved[3].name, "新規@送信先");
}

TEST_F(EntryDialogTest, DeleteAsksAndRemovesEverySelectedRowOnYes) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(5));
    const std::vector<std::string> before = Rows();
    struct Answer { int button; int remaining; };
    for (Answer answer : {Answer{kIdNo, 5}, Answer{kIdYes, 2}}) {
        SCOPED_TRACE(answer.button == kIdYes ? "Yes" : "No");
        SelectRows(app.WakeList(), {1, 2, 4});
        app.PostCommand(kCmdDeleteEntries);
        HWND box = WaitDialog(app.Pid(), "Nodelark");
        ASSERT_NE(box, nullptr) << "no question";
        EXPECT_EQ(MessageBoxText(box), "エントリーを削除します");
        EXPECT_TRUE(GetDlgItem(box, kIdYes) && GetDlgItem(box, kIdNo));
        ClickButton(box, answer.button);
        ASSERT_TRUE(WaitGone(box));
        ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.WakeList()) == answer.remaining; }));
        EXPECT_TRUE(WaitUntil([&] { return FocusOf(app.Main()) == app.WakeList(); }, 3000));
    }
    EXPECT_EQ(listview::Text(app.WakeList(), 0, 0), "alpha");
    EXPECT_EQ(listview::Text(app.WakeList(), 1, 0), "delta");

    // The highest remaining number plus one: 4 went, so the new one is 4.
    HWND sheet = OpenSheet(kCmdNewEntry);
    ASSERT_NE(sheet, nullptr);
    ASSERT_NO_FATAL_FAILURE(Close(sheet, IDOK));
    ASSERT_EQ(listview::Count(app.WakeList()), 3);
    EXPECT_EQ(listview::Param(app.WakeList(), 2), 4);

    std::vector<EntryRecord> saved = CloseAndRead();
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(Body(saved[0]), Body(records_[0]));
    EXPECT_EQ(Body(saved[1]), Body(records_[3]));
    EXPECT_STREQ(saved[2].name, "新規@送信先");
}

TEST_F(EntryDialogTest, EditAndDeleteWithoutASelectionSayWhy) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(2));
    struct Case { int command; const char* text; };
    for (Case c : {Case{kCmdEditEntry, "編集対象を選択してください"}, Case{kCmdDeleteEntries, "削除対象を選択してください"}}) {
        SCOPED_TRACE(c.text);
        SelectRows(app.WakeList(), {});
        app.PostCommand(c.command);
        HWND box = WaitDialog(app.Pid(), "Nodelark");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), c.text);
        EXPECT_TRUE(GetDlgItem(box, IDOK) || GetDlgItem(box, IDCANCEL));
        EXPECT_FALSE(GetDlgItem(box, kIdNo)) << "an error, not a question";
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitGone(box));
        EXPECT_EQ(listview::Count(app.WakeList()), 2);
    }
    EXPECT_EQ(app.Close(), 0);
}

// Both pages carry the record as "WakeEntryData"; a page that has lost it
// refuses OK and the sheet stays open.
TEST_F(EntryDialogTest, APageWithoutItsRecordRefusesTheApply) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(1));
    const std::vector<std::string> before = Rows();
    for (bool details : {false, true}) {
        SCOPED_TRACE(details ? "付加情報" : "送信先");
        SelectRows(app.WakeList(), {0});
        HWND sheet = OpenSheet(kCmdEditEntry);
        ASSERT_NE(sheet, nullptr);
        HWND destination = DestinationPageOf(sheet);
        HWND other = ShowDetailsPage(sheet);
        ASSERT_NE(other, nullptr);
        HANDLE record = GetPropA(destination, "WakeEntryData");
        EXPECT_NE(record, nullptr);
        EXPECT_EQ(GetPropA(other, "WakeEntryData"), record) << "both pages edit the same record";
        HWND page = details ? other : destination;
        SetBox(destination, kEntryName, "refused");
        ASSERT_NE(RemovePropA(page, "WakeEntryData"), nullptr);
        ASSERT_TRUE(ClickAndWait(sheet, IDOK));
        EXPECT_TRUE(IsWindowVisible(sheet)) << "the sheet closed without its record";
        ASSERT_NO_FATAL_FAILURE(Close(sheet, IDCANCEL));
        EXPECT_EQ(Rows(), before);
    }
    // The same click with the record in place does close the sheet.
    SelectRows(app.WakeList(), {0});
    HWND sheet = OpenSheet(kCmdEditEntry);
    ASSERT_NE(sheet, nullptr);
    SetBox(DestinationPageOf(sheet), kEntryName, "accepted");
    ASSERT_TRUE(ClickAndWait(sheet, IDOK));
    EXPECT_TRUE(WaitGone(sheet));
    EXPECT_TRUE(WaitUntil([&] { return listview::Text(app.WakeList(), 0, 0) == "accepted"; }));
    EXPECT_EQ(app.Close(), 0);
}

// ---- look-ups, inside the test namespaces: 10.77.0.1 is the peer, named
// peerhost.test by the namespace's hosts file.

std::string PeerMac() {
    const char* mac = std::getenv("NL_E2E_PEER_MAC");
    return mac ? mac : "";
}

TEST_F(EntryDialogTest, LookUpsFillTheBoxesFromThePeer) {
    const std::string peerMac = PeerMac();
    ASSERT_EQ(peerMac.size(), 17u) << "NL_E2E_PEER_MAC is not set; run tests/e2e/run.sh";
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND sheet = OpenSheet(kCmdNewEntry);
    ASSERT_NE(sheet, nullptr);
    HWND page = DestinationPageOf(sheet);
    SetAddress(page, kEntryIp, 10, 77, 0, 1);
    ASSERT_TRUE(ClickAndWait(page, kEntryMacLookUp));
    EXPECT_EQ(MacBoxes(page), peerMac);
    ASSERT_TRUE(ClickAndWait(page, kEntryHostLookUp));
    EXPECT_EQ(Box(page, kEntryHost), "peerhost.test");
    EXPECT_TRUE(ProcessDialogs(app.Pid()).size() == 1) << "a look-up that worked said something";
    ASSERT_NO_FATAL_FAILURE(Close(sheet, IDOK));
    EXPECT_EQ(listview::Text(app.WakeList(), 0, 3), peerMac);
    EXPECT_EQ(listview::Text(app.WakeList(), 0, 4), "peerhost.test");
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(EntryDialogTest, LookUpsThatFindNothingChangeNothing) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    HWND sheet = OpenSheet(kCmdNewEntry);
    ASSERT_NE(sheet, nullptr);
    HWND page = DestinationPageOf(sheet);
    SetBox(page, kEntryHost, "kept");

    // No address: each button says so and changes nothing.
    struct Blank { int button; const char* text; };
    for (Blank b : {Blank{kEntryMacLookUp, "MACｱﾄﾞﾚｽの調査にはIPｱﾄﾞﾚｽの入力が必要です"},
                    Blank{kEntryHostLookUp, "ｺﾝﾋﾟｭｰﾀ名の調査にはIPｱﾄﾞﾚｽの入力が必要です"}}) {
        SCOPED_TRACE(b.text);
        ClickButton(page, b.button);
        HWND box = WaitDialog(app.Pid(), "CommonMessage");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), b.text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitGone(box));
    }
    // An address in the namespace's network that nobody holds: silence.
    SetAddress(page, kEntryIp, 10, 77, 0, 99);
    ASSERT_TRUE(ClickAndWait(page, kEntryMacLookUp));
    ASSERT_TRUE(ClickAndWait(page, kEntryHostLookUp));
    EXPECT_EQ(ProcessDialogs(app.Pid()).size(), 1u);
    EXPECT_EQ(MacBoxes(page), "00-00-00-00-00-00");
    EXPECT_EQ(Box(page, kEntryHost), "kept");

    // Cancel after a look-up that worked: nothing is stored.
    SetAddress(page, kEntryIp, 10, 77, 0, 1);
    ASSERT_TRUE(ClickAndWait(page, kEntryHostLookUp));
    EXPECT_EQ(Box(page, kEntryHost), "peerhost.test");
    ASSERT_NO_FATAL_FAILURE(Close(sheet, IDCANCEL));
    EXPECT_EQ(listview::Count(app.WakeList()), 0);
    EXPECT_EQ(CloseAndRead().size(), 0u);
}

}  // namespace
}  // namespace e2e
