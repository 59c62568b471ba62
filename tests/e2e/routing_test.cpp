// Commands as the user reaches them: context menus, the toolbar's drop-down
// arrows, select all and invert, Ctrl+Break, and the Wake List's keys.
#include "AppFixture.h"
#include "EntryDialogDriver.h"

#include <cstdlib>
#include <functional>

namespace e2e {
namespace {

constexpr int kCmdCancel = 40020, kCmdSelectAll = 40021, kCmdInvert = 40022;
constexpr UINT kWakeDone = 2935;

const SYSTEMTIME kNever = {};

EntryRecord Record(const char* name, uint8_t last) {
    const EntryFields fields = {name, {10, 77, 0, last}, {255, 255, 255, 0}, 9, {2, 0, 0, 0, 0, last},
                            "", "", "", kNever, kNever, kNever, 0};
    return MakeRecord(fields, 0);
}

class RoutingTest : public AppFixture {
protected:
    // Rows carry the ids the program gives them, so the file it saves at
    // the end can be compared with this one.
    void LaunchWithRows(int rows) {
        const char* names[] = {"alpha", "ｻｰﾊﾞ室", "gamma", "delta"};
        records_.clear();
        for (int i = 0; i < rows; ++i) {
            records_.push_back(Record(names[i], static_cast<uint8_t>(10 + i)));
            records_.back().id = i;
        }
        ASSERT_NO_FATAL_FAILURE(LaunchWith(records_));
        ASSERT_EQ(listview::Count(app.WakeList()), rows);
    }

    // The end of a wake run is logged; that message is the one way to add
    // Command Log lines without sending anything.
    void AddLogLines(int count) {
        const int target = listview::Count(app.CommandLog()) + count;
        for (int i = 0; i < count; ++i) PostMessageA(app.Main(), kWakeDone, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.CommandLog()) == target; }));
    }

    HWND Page(int index) const { return index == 0 ? app.WakeList() : app.CommandLog(); }

    static POINT RowPoint(HWND list, int row) {
        RECT r = {};
        EXPECT_TRUE(listview::ItemRect(list, row, &r)) << "row " << row;
        return POINT{r.left + 30, (r.top + r.bottom) / 2};
    }

    // A point of the page below its last row.
    static POINT EmptyPoint(HWND list) {
        RECT client = {};
        GetClientRect(list, &client);
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&client), 2);
        int y = (client.top + client.bottom) / 2;
        RECT last = {};
        if (int n = listview::Count(list); n > 0 && listview::ItemRect(list, n - 1, &last)) {
            EXPECT_GT(y, last.bottom + 10) << "the page is too short to have empty space";
        }
        return POINT{client.left + 40, y};
    }

    // Left clicks on one spot must not pair up into a double-click.
    static void Click(POINT at) {
        Sleep(GetDoubleClickTime() + 100);
        ClickAt(at);
    }

    void SelectByClick(HWND list, int row) {
        Click(RowPoint(list, row));
        ASSERT_TRUE(WaitUntil([&] { return listview::Selected(list, row); })) << "row " << row;
    }

    // Waits until every row of the list shows the wanted selection.
    static bool SelectionBecomes(HWND list, const std::vector<bool>& wanted) {
        return WaitUntil([&] { return listview::SelectedRows(list) == wanted; }, 3000);
    }

    HWND WaitPopup() const {
        HWND popup = nullptr;
        WaitUntil([&] { return (popup = ShownPopupMenu(app.Pid())) != nullptr; }, 3000);
        return popup;
    }

    std::vector<EntryRecord> records_;
};

std::string Marks(const std::vector<bool>& rows) {
    std::string s;
    for (bool on : rows) s += on ? 'X' : '.';
    return s;
}

// ---- context menus

struct ContextCase {
    const char* name;
    int page;                   // 0 Wake List, 1 Command Log
    int selectRow;              // clicked first; -1 for none
    int clickRow;               // right-clicked; -1 for empty space
    WORD key;                   // pressed while the menu is shown
    std::vector<bool> after;    // the page's selection then; empty: not checked
};

class ContextMenuTest : public RoutingTest, public testing::WithParamInterface<ContextCase> {};

// The menu's own "全て選択 (&A)" and "選択の反転 (&R)" show that the popup
// reaches the main window with its commands.
TEST_P(ContextMenuTest, RightClickShowsAMenuThatClosesOrCommands) {
    const ContextCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(3));
    ASSERT_NO_FATAL_FAILURE(AddLogLines(2));
    ASSERT_NO_FATAL_FAILURE(MaximizeInFront());
    if (c.page == 1) app.Command(kCmdSwitchTab);
    ASSERT_EQ(tabs::Current(app.Tab()), c.page);
    HWND list = Page(c.page);
    if (c.selectRow >= 0) {
        ASSERT_NO_FATAL_FAILURE(SelectByClick(list, c.selectRow));
    }

    RightClickAt(c.clickRow >= 0 ? RowPoint(list, c.clickRow) : EmptyPoint(list));
    HWND popup = WaitPopup();
    ASSERT_NE(popup, nullptr) << "no context menu";
    PressKey(c.key);
    EXPECT_TRUE(WaitGone(popup)) << "the menu stayed open";
    if (!c.after.empty()) {
        EXPECT_TRUE(SelectionBecomes(list, c.after)) << Marks(listview::SelectedRows(list));
    }
    EXPECT_TRUE(app.Responds());
    EXPECT_TRUE(ProcessDialogs(app.Pid()).empty());
    EXPECT_EQ(tabs::Current(app.Tab()), c.page);
}

const bool T = true, F = false;

INSTANTIATE_TEST_SUITE_P(
    Cases, ContextMenuTest,
    testing::Values(
        ContextCase{"WakeListEmptySpaceEscape", 0, -1, -1, VK_ESCAPE, {F, F, F}},
        ContextCase{"WakeListEmptySpaceInvert", 0, -1, -1, 'R', {T, T, T}},
        ContextCase{"WakeListEmptySpaceWithSelectionEscape", 0, 1, -1, VK_ESCAPE, {}},
        ContextCase{"WakeListEmptySpaceWithSelectionSelectAll", 0, 1, -1, 'A', {T, T, T}},
        ContextCase{"WakeListSelectedRowEscape", 0, 1, 1, VK_ESCAPE, {F, T, F}},
        ContextCase{"WakeListSelectedRowInvert", 0, 1, 1, 'R', {T, F, T}},
        ContextCase{"CommandLogSelectedLineEscape", 1, 2, 2, VK_ESCAPE, {F, F, T}},
        ContextCase{"CommandLogSelectedLineInvert", 1, 0, 0, 'R', {F, T, T}},
        ContextCase{"CommandLogSelectedLineSelectAll", 1, 1, 1, 'A', {T, T, T}}),
    [](const testing::TestParamInfo<ContextCase>& info) { return info.param.name; });

TEST_F(RoutingTest, CommandLogWithoutSelectionShowsNoContextMenu) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    ASSERT_NO_FATAL_FAILURE(MaximizeInFront());
    app.Command(kCmdSwitchTab);
    HWND log = app.CommandLog();
    ASSERT_EQ(listview::SelectedRows(log), std::vector<bool>{false});

    RightClickAt(EmptyPoint(log));
    // Input arrives in order: once Ctrl+R has inverted the selection the
    // right-click has been handled, and a menu would have eaten the keys.
    PressKey('R', {VK_CONTROL});
    EXPECT_TRUE(SelectionBecomes(log, {true})) << "the keys after the right-click were lost";
    EXPECT_EQ(ShownPopupMenu(app.Pid()), nullptr) << "a menu was shown with no line selected";
    if (HWND popup = ShownPopupMenu(app.Pid())) {
        PressKey(VK_ESCAPE);
        WaitGone(popup);
    }
    EXPECT_TRUE(app.Responds());
}

// ---- toolbar

struct DropDownCase {
    const char* name;
    int command;
    int selectRow;                // Wake List row clicked first; -1 for none
    WORD key;                     // pressed while the menu is shown
    std::vector<bool> after;      // the Wake List's selection then
    const char* dialog;           // the dialog the key opens, or null
};

class ToolbarDropDownTest : public RoutingTest, public testing::WithParamInterface<DropDownCase> {};

TEST_P(ToolbarDropDownTest, ArrowDropsAMenuBelowTheButton) {
    const DropDownCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(3));
    ASSERT_NO_FATAL_FAILURE(MaximizeInFront());
    if (c.selectRow >= 0) {
        ASSERT_NO_FATAL_FAILURE(SelectByClick(app.WakeList(), c.selectRow));
    }
    RECT button = {};
    ASSERT_TRUE(ToolbarButtonRect(app.Toolbar(), c.command, &button));

    Click(POINT{button.right - 4, (button.top + button.bottom) / 2});
    HWND popup = WaitPopup();
    ASSERT_NE(popup, nullptr) << "no menu under the arrow";
    RECT shown = {};
    GetWindowRect(popup, &shown);
    EXPECT_GE(shown.top, button.bottom - 1) << "the menu covers the button";
    EXPECT_LE(shown.top, button.bottom + 8);
    EXPECT_LE(std::abs(shown.left - button.left), 8) << "the menu is not at the button's left edge";

    PressKey(c.key);
    EXPECT_TRUE(WaitGone(popup)) << "the menu stayed open";
    EXPECT_TRUE(SelectionBecomes(app.WakeList(), c.after)) << Marks(listview::SelectedRows(app.WakeList()));
    if (c.dialog) {
        HWND dialog = WaitDialog(app.Pid(), c.dialog);
        ASSERT_NE(dialog, nullptr) << "the menu's command did not open " << c.dialog;
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), app.Main());
        ClickButton(dialog, IDCANCEL);
        EXPECT_TRUE(WaitGone(dialog));
    }
    EXPECT_TRUE(app.Responds());
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, ToolbarDropDownTest,
    testing::Values(
        DropDownCase{"Wake", kCmdWakeAll, -1, VK_ESCAPE, {F, F, F}, nullptr},
        DropDownCase{"EntryNothingSelected", kCmdNewEntry, -1, 'A', {T, T, T}, nullptr},
        DropDownCase{"EntryWithSelection", kCmdNewEntry, 1, 'R', {T, F, T}, nullptr},
        DropDownCase{"Tool", kCmdTools, -1, 'E', {F, F, F}, "ﾂｰﾙの登録"}),
    [](const testing::TestParamInfo<DropDownCase>& info) { return info.param.name; });

TEST_F(RoutingTest, AboutButtonOpensTheAboutBox) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    ASSERT_NO_FATAL_FAILURE(MaximizeInFront());
    RECT button = {};
    ASSERT_TRUE(ToolbarButtonRect(app.Toolbar(), kCmdAbout, &button));
    Click(POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2});
    HWND about = WaitDialog(app.Pid(), "Nodelark");
    ASSERT_NE(about, nullptr) << "the About box did not open";
    EXPECT_EQ(GetWindow(about, GW_OWNER), app.Main());
    EXPECT_EQ(ShownPopupMenu(app.Pid()), nullptr) << "ABOUT has no drop-down";
    ClickButton(about, IDOK);
    EXPECT_TRUE(WaitGone(about));
    EXPECT_TRUE(app.Responds());
}

// ---- select all and invert

struct SelectStep {
    const char* name;
    bool realKey;   // the accelerator, or else the command sent as a menu would
    bool invert;
    std::vector<bool> after;
};

void PlaySelectSteps(App& app, HWND page, HWND otherPage, const std::vector<SelectStep>& steps) {
    const std::vector<bool> other = listview::SelectedRows(otherPage);
    for (const SelectStep& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.realKey) {
            ASSERT_TRUE(BringToFront(app.Main()));
            PressKey(step.invert ? 'R' : 'A', {VK_CONTROL});
        } else {
            app.Command(step.invert ? kCmdInvert : kCmdSelectAll);
        }
        EXPECT_TRUE(WaitUntil([&] { return listview::SelectedRows(page) == step.after; }, 3000))
            << Marks(listview::SelectedRows(page)) << " instead of " << Marks(step.after);
        EXPECT_EQ(FocusOf(app.Main()), page) << "the page did not get the focus";
        EXPECT_EQ(listview::SelectedRows(otherPage), other) << "the hidden page changed";
    }
}

TEST_F(RoutingTest, SelectAllAndInvertOnTheWakeList) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(4));
    ASSERT_NO_FATAL_FAILURE(MaximizeInFront());
    ASSERT_NO_FATAL_FAILURE(SelectByClick(app.WakeList(), 1));
    ASSERT_EQ(listview::SelectedRows(app.WakeList()), (std::vector<bool>{F, T, F, F}));
    PlaySelectSteps(app, app.WakeList(), app.CommandLog(), {
        {"Ctrl+R", true, true, {T, F, T, T}},
        {"invert command", false, true, {F, T, F, F}},
        {"Ctrl+A", true, false, {T, T, T, T}},
        {"invert command on all", false, true, {F, F, F, F}},
        {"select all command", false, false, {T, T, T, T}},
        {"Ctrl+R on all", true, true, {F, F, F, F}},
        {"Ctrl+A on none", true, false, {T, T, T, T}},
    });
}

TEST_F(RoutingTest, SelectAllAndInvertOnTheCommandLog) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(3));
    ASSERT_NO_FATAL_FAILURE(AddLogLines(2));
    ASSERT_NO_FATAL_FAILURE(MaximizeInFront());
    ASSERT_NO_FATAL_FAILURE(SelectByClick(app.WakeList(), 2));
    app.Command(kCmdSwitchTab);
    ASSERT_EQ(tabs::Current(app.Tab()), 1);
    HWND log = app.CommandLog();
    // The first command comes while the focus is still on the hidden page.
    PlaySelectSteps(app, log, app.WakeList(), {{"select all command", false, false, {T, T, T}}});
    ASSERT_NO_FATAL_FAILURE(SelectByClick(log, 1));
    ASSERT_EQ(listview::SelectedRows(log), (std::vector<bool>{F, T, F}));
    PlaySelectSteps(app, log, app.WakeList(), {
        {"Ctrl+R", true, true, {T, F, T}},
        {"invert command", false, true, {F, T, F}},
        {"Ctrl+A", true, false, {T, T, T}},
        {"Ctrl+R on all", true, true, {F, F, F}},
        {"invert command on none", false, true, {T, T, T}},
    });
}

// ---- Ctrl+Break and the Wake List's keys

// What the user can see of the program's state.
struct Visible {
    std::vector<bool> selection;
    std::vector<std::string> logLines;
    std::string status;
    int page;
    HMENU menu;
    bool operator==(const Visible& o) const {
        return selection == o.selection && logLines == o.logLines && status == o.status &&
               page == o.page && menu == o.menu;
    }
};

TEST_F(RoutingTest, CtrlBreakWithNothingRunningDoesNothing) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(3));
    ASSERT_NO_FATAL_FAILURE(MaximizeInFront());
    ASSERT_NO_FATAL_FAILURE(SelectByClick(app.WakeList(), 1));
    auto visible = [&] {
        return Visible{listview::SelectedRows(app.WakeList()), LogLines(),
                       StatusText(app.StatusBar(), 0), tabs::Current(app.Tab()), GetMenu(app.Main())};
    };
    const Visible before = visible();

    PressKey(VK_CANCEL, {VK_CONTROL});
    // Two Ctrl+R later the selection is back: both went through, so the
    // Ctrl+Break before them was handled and left no modal box in their way.
    PressKey('R', {VK_CONTROL});
    ASSERT_TRUE(SelectionBecomes(app.WakeList(), {T, F, T})) << "keys after Ctrl+Break were lost";
    PressKey('R', {VK_CONTROL});
    ASSERT_TRUE(SelectionBecomes(app.WakeList(), {F, T, F}));
    EXPECT_TRUE(ProcessDialogs(app.Pid()).empty()) << "Ctrl+Break asked something";
    EXPECT_TRUE(visible() == before);

    EXPECT_TRUE(app.CommandReturns(kCmdCancel)) << "the cancel command did not return";
    EXPECT_TRUE(ProcessDialogs(app.Pid()).empty()) << "the cancel command asked something";
    EXPECT_TRUE(visible() == before);
    EXPECT_TRUE(IsWindowEnabled(app.Main()));
}

// Enter and double-click reach the add command on empty space and the edit
// command on a selected row; Delete asks before it removes the selection.
TEST_F(RoutingTest, EnterDoubleClickAndDeleteReachTheEntryCommands) {
    ASSERT_NO_FATAL_FAILURE(LaunchWithRows(3));
    ASSERT_NO_FATAL_FAILURE(MaximizeInFront());
    HWND list = app.WakeList();
    ASSERT_EQ(FocusOf(app.Main()), list);
    auto names = [&] { return listview::Column(list, 0); };

    struct Action {
        const char* name;
        int selectRow;                  // clicked first; -1 for none
        std::function<void()> act;
        const char* dialog;             // the caption of what opens
        std::string shows;              // the sheet's name box, or the question
        int answer;
        std::vector<std::string> after; // the rows' names then
    };
    const std::string kNew = "新規@送信先";
    const Action actions[] = {
        {"Enter with no selection, Cancel", -1, [] { PressKey(VK_RETURN); }, kEntrySheetCaption, kNew, IDCANCEL,
         {"alpha", "ｻｰﾊﾞ室", "gamma"}},
        {"double-click on empty space, OK", -1, [&] {
             Sleep(GetDoubleClickTime() + 100);
             DoubleClickAt(EmptyPoint(list));
         }, kEntrySheetCaption, kNew, IDOK, {"alpha", "ｻｰﾊﾞ室", "gamma", kNew}},
        {"Enter with a selection, Cancel", 1, [] { PressKey(VK_RETURN); }, kEntrySheetCaption, "ｻｰﾊﾞ室", IDCANCEL,
         {"alpha", "ｻｰﾊﾞ室", "gamma", kNew}},
        {"double-click on a row, OK", -1, [&] {
             Sleep(GetDoubleClickTime() + 100);
             DoubleClickAt(RowPoint(list, 2));
         }, kEntrySheetCaption, "gamma", IDOK, {"alpha", "ｻｰﾊﾞ室", "gamma", kNew}},
        {"Delete with a selection, No", 0, [] { PressKey(VK_DELETE); }, "Nodelark", "エントリーを削除します", IDNO,
         {"alpha", "ｻｰﾊﾞ室", "gamma", kNew}},
        {"Delete with a selection, Yes", 0, [] { PressKey(VK_DELETE); }, "Nodelark", "エントリーを削除します", IDYES,
         {"ｻｰﾊﾞ室", "gamma", kNew}},
    };
    for (const Action& action : actions) {
        SCOPED_TRACE(action.name);
        if (action.selectRow >= 0) {
            ASSERT_NO_FATAL_FAILURE(SelectByClick(list, action.selectRow));
        }
        ASSERT_TRUE(BringToFront(app.Main()));
        action.act();
        HWND dialog = WaitDialog(app.Pid(), action.dialog);
        ASSERT_NE(dialog, nullptr) << "nothing opened";
        if (action.dialog == std::string("Nodelark")) {
            EXPECT_EQ(MessageBoxText(dialog), action.shows);
        } else {
            EXPECT_EQ(Box(DestinationPageOf(dialog), kEntryName), action.shows);
        }
        ClickButton(dialog, action.answer);
        ASSERT_TRUE(WaitGone(dialog));
        EXPECT_TRUE(WaitUntil([&] { return names() == action.after; }));
        EXPECT_TRUE(WaitUntil([&] { return FocusOf(app.Main()) == list; }, 3000));
        EXPECT_TRUE(ProcessDialogs(app.Pid()).empty());
    }
    const std::string updated = listview::Text(list, 1, 9);
    EXPECT_TRUE(IsStamp(updated) && updated != "0000/00/00 00:00:00") << updated;

    EXPECT_EQ(app.Close(), 0);
    std::string saved = ReadFileBytes(DataFile());
    ASSERT_EQ(saved.size(), 3 * sizeof(EntryRecord));
    const std::string file = FileOf(records_);
    EXPECT_EQ(saved.substr(4, 972), file.substr(976 + 4, 972)) << "ｻｰﾊﾞ室 is kept as it was";
    // gamma: the same but for its update time.
    EXPECT_EQ(saved.substr(976 + 4, 952), file.substr(2 * 976 + 4, 952));
    EXPECT_EQ(saved.substr(976 + 972, 4), file.substr(2 * 976 + 972, 4));
    EXPECT_EQ(saved.substr(2 * 976 + 4, kNew.size() + 1), kNew + '\0');
}

}  // namespace
}  // namespace e2e
