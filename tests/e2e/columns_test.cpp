// The Wake List's and the Command Log's columns in the order and widths the
// user gives them: dragged by their headers, kept across starts in
// Nodelark.ini, and the program's defaults wherever nothing was changed.
#include "AppFixture.h"

#include <cstring>
#include <string>
#include <vector>

namespace e2e {
namespace {

std::vector<int> ColumnOrder(HWND list) {
    const int count = listview::ColumnCount(list);
    std::vector<int> order(static_cast<size_t>(count), -1);
    RemoteBuffer remote(list, order.size() * sizeof(int));
    if (count > 0 && remote.IsValid() &&
        SendMessageA(list, LVM_GETCOLUMNORDERARRAY, count, reinterpret_cast<LPARAM>(remote.At(0))))
        remote.Read(0, order.data(), order.size() * sizeof(int));
    return order;
}

bool SetColumnOrder(HWND list, const std::vector<int>& order) {
    RemoteBuffer remote(list, order.size() * sizeof(int));
    return remote.Write(0, order.data(), order.size() * sizeof(int)) &&
           SendMessageA(list, LVM_SETCOLUMNORDERARRAY, order.size(), reinterpret_cast<LPARAM>(remote.At(0)));
}

int ColumnWidth(HWND list, int column) { return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)); }

std::vector<int> Identity(int count) {
    std::vector<int> order;
    for (int i = 0; i < count; ++i) order.push_back(i);
    return order;
}

INPUT MouseAt(POINT point, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = point.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = point.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    return input;
}

// The window holding the mouse capture in the thread of `window`.
HWND CaptureOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndCapture : nullptr;
}

// A press on one header item, a move across once the header holds the
// mouse, and the release on the left edge of another.
bool DragHeader(HWND list, int from, int to) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    RECT source = {}, target = {};
    if (!header || !listview::HeaderItemRect(list, from, &source) || !listview::HeaderItemRect(list, to, &target))
        return false;
    const int y = (source.top + source.bottom) / 2;
    INPUT press[] = {MouseAt({(source.left + source.right) / 2, y}, 0),
                     MouseAt({(source.left + source.right) / 2, y}, MOUSEEVENTF_LEFTDOWN)};
    SendInput(2, press, sizeof(INPUT));
    if (!WaitUntil([&] { return CaptureOf(header) == header; }, 5000)) return false;
    INPUT across[] = {MouseAt({(source.left + source.right) / 2 - 15, y}, 0),
                      MouseAt({(target.left + target.right) / 2, y}, 0), MouseAt({target.left + 3, y}, 0)};
    SendInput(3, across, sizeof(INPUT));
    INPUT release[] = {MouseAt({target.left + 3, y}, MOUSEEVENTF_LEFTUP)};
    SendInput(1, release, sizeof(INPUT));
    return WaitUntil([&] { return CaptureOf(header) != header; }, 5000);
}

std::string IniFile() { return DataFolder() + "\\Nodelark.ini"; }

EntryRecord Entry(const char* name, uint8_t last, int32_t id) {
    const SYSTEMTIME stamp = {2024, 4, 0, 1, 9, 30, 0, 0};
    const EntryFields fields = {name, {10, 77, 0, last}, {255, 255, 255, 0}, 9, {2, 0, 0, 0, 0, last},
                                "", "", "", stamp, stamp, stamp, 0};
    return MakeRecord(fields, id);
}

class ColumnsTest : public AppFixture {};

TEST_F(ColumnsTest, DraggedAndWidenedColumnsComeBackAtTheNextStart) {
    const std::vector<EntryRecord> entries = {Entry("alpha", 70, 0), Entry("beta", 71, 1)};
    ASSERT_NO_FATAL_FAILURE(LaunchWith(entries));
    HWND wake = app.WakeList(), log = app.CommandLog();
    const int wakeColumns = listview::ColumnCount(wake);
    ASSERT_EQ(12, wakeColumns);
    EXPECT_EQ(Identity(wakeColumns), ColumnOrder(wake)) << "the default order is the program's own";
    EXPECT_EQ(Identity(2), ColumnOrder(log));
    for (HWND list : {wake, log})
        EXPECT_TRUE(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_HEADERDRAGDROP);

    // The status column, dragged by the user to the front (after narrowing
    // the others, so that its header is on screen).
    ASSERT_NO_FATAL_FAILURE(MaximizeInFront());
    for (int column = 1; column < 11; ++column) SendMessageA(wake, LVM_SETCOLUMNWIDTH, column, 40);
    ASSERT_TRUE(DragHeader(wake, 11, 0));
    ASSERT_TRUE(WaitUntil([&] { return ColumnOrder(wake)[0] == 11; }, 5000))
        << testing::PrintToString(ColumnOrder(wake));
    const std::vector<int> dragged = ColumnOrder(wake);
    EXPECT_EQ("alpha", listview::Text(wake, 0, 0)) << "a moved column keeps its cells";
    ASSERT_TRUE(SendMessageA(wake, LVM_SETCOLUMNWIDTH, 3, 222));
    ASSERT_TRUE(SetColumnOrder(log, {1, 0}));
    ASSERT_TRUE(SendMessageA(log, LVM_SETCOLUMNWIDTH, 1, 555));
    ASSERT_EQ(0, app.Close());

    ASSERT_NO_FATAL_FAILURE(Launch());
    wake = app.WakeList();
    log = app.CommandLog();
    EXPECT_EQ(dragged, ColumnOrder(wake));
    EXPECT_EQ(222, ColumnWidth(wake, 3));
    EXPECT_EQ((std::vector<int>{1, 0}), ColumnOrder(log));
    EXPECT_EQ(555, ColumnWidth(log, 1));
    EXPECT_EQ("alpha", listview::Text(wake, 0, 0));
    EXPECT_EQ(0, app.Close());
}

// A start where nothing was moved leaves no settings behind, and a damaged
// line leaves the lists as the program makes them.
TEST_F(ColumnsTest, NothingMovedWritesNothingAndADamagedLineIsPassedOver) {
    ASSERT_NO_FATAL_FAILURE(LaunchWith({Entry("alpha", 70, 0)}));
    const int width = ColumnWidth(app.WakeList(), 0);
    ASSERT_EQ(0, app.Close());
    EXPECT_FALSE(FileExists(IniFile())) << ReadFileBytes(IniFile());

    ASSERT_TRUE(WriteFileBytes(IniFile(), "[WakeList]\r\nOrder=11,0,0,1,2,3,4,5,6,7,8,9\r\nWidths=1,2,3\r\n"
                                          "[CommandLog]\r\nOrder=1,x\r\nWidths=99999,1\r\n"));
    ASSERT_NO_FATAL_FAILURE(Launch());
    EXPECT_EQ(Identity(12), ColumnOrder(app.WakeList()));
    EXPECT_EQ(width, ColumnWidth(app.WakeList(), 0));
    EXPECT_EQ(Identity(2), ColumnOrder(app.CommandLog()));
    EXPECT_EQ(0, app.Close());
}

}  // namespace
}  // namespace e2e
