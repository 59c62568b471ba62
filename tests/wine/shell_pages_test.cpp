// The Command Log page and Wake List sorting on real common controls, inside
// a small stand-in for the main window.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "StandInWindow.h"

namespace {

class PagesFixture : public StandInWindow {
protected:
    std::vector<std::string> Column(int column) {
        std::vector<std::string> out;
        for (int i = 0; i < RowCount(wakeList_); ++i) out.push_back(CellText(wakeList_, i, column));
        return out;
    }
    std::string TempPath(const char* name) {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        return std::string(dir) + name;
    }
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST_F(PagesFixture, AppendShowsTimeAndTextAndKeepsAtMost6145Lines) {
    AppendCommandLog(main_, "first");
    EXPECT_EQ(0, RowCount(log_)) << "a line waits for the flush";
    ASSERT_TRUE(PumpUntil([&] { return RowCount(log_) == 1; }));
    ASSERT_EQ(1, RowCount(log_));
    std::string time = CellText(log_, 0, 0);
    ASSERT_EQ(8u, time.size());
    EXPECT_EQ(':', time[2]);
    EXPECT_EQ(':', time[5]);
    EXPECT_EQ("first", CellText(log_, 0, 1));

    for (int i = 1; i < 6145; ++i) AppendCommandLog(main_, ("line " + std::to_string(i)).c_str());
    FlushCommandLog(main_);
    EXPECT_EQ(6145, RowCount(log_));
    EXPECT_EQ("first", CellText(log_, 0, 1));
    AppendCommandLog(main_, "newest");
    FlushCommandLog(main_);
    EXPECT_EQ(6145, RowCount(log_));
    EXPECT_EQ("line 1", CellText(log_, 0, 1));
    EXPECT_EQ("newest", CellText(log_, 6144, 1));
    EXPECT_EQ(8u, CellText(log_, 6144, 0).size());

    // A burst longer than the page keeps its own newest lines, in order.
    for (int i = 0; i < 7000; ++i) AppendCommandLog(main_, ("burst " + std::to_string(i)).c_str());
    FlushCommandLog(main_);
    EXPECT_EQ(6145, RowCount(log_));
    EXPECT_EQ("burst 855", CellText(log_, 0, 1));
    EXPECT_EQ("burst 6999", CellText(log_, 6144, 1));
}

TEST_F(PagesFixture, AfterABurstThePageShowsItsNewestLine) {
    SendMessageA(tab_, TCM_SETCURSEL, 1, 0);
    ShowWindow(wakeList_, SW_HIDE);
    ShowWindow(log_, SW_SHOW);
    for (int i = 0; i < 300; ++i) AppendCommandLog(main_, ("line " + std::to_string(i)).c_str());
    ASSERT_TRUE(PumpUntil([&] { return RowCount(log_) == 300; }));
    EXPECT_TRUE(Shown(log_));
    int top = static_cast<int>(SendMessageA(log_, LVM_GETTOPINDEX, 0, 0));
    int perPage = static_cast<int>(SendMessageA(log_, LVM_GETCOUNTPERPAGE, 0, 0));
    EXPECT_GT(top, 0);
    EXPECT_GE(top + perPage, 300) << "the newest line is below the visible rows";
    // Scrolled to the top by the user, the next line brings the end back.
    SendMessageA(log_, LVM_ENSUREVISIBLE, 0, FALSE);
    AppendCommandLog(main_, "newest");
    ASSERT_TRUE(PumpUntil([&] { return RowCount(log_) == 301; }));
    top = static_cast<int>(SendMessageA(log_, LVM_GETTOPINDEX, 0, 0));
    EXPECT_GE(top + perPage, 301);
}

TEST_F(PagesFixture, AHiddenPageStaysHiddenAfterABurst) {
    for (int i = 0; i < 50; ++i) AppendCommandLog(main_, "line");
    ASSERT_TRUE(PumpUntil([&] { return RowCount(log_) == 50; }));
    EXPECT_FALSE(Shown(log_));
    EXPECT_TRUE(Shown(wakeList_));
    EXPECT_EQ(50, RowCount(log_));
}

TEST_F(PagesFixture, AppendFromAWorkerThreadReachesThePage) {
    struct Args { HWND main; } args{main_};
    HANDLE worker = CreateThread(nullptr, 0, [](void* p) -> DWORD {
        AppendCommandLog(static_cast<Args*>(p)->main, "from the worker");
        return 0;
    }, &args, 0, nullptr);
    // The worker's messages are sent to this thread; keep answering them.
    while (MsgWaitForMultipleObjects(1, &worker, FALSE, 5000, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    CloseHandle(worker);
    ASSERT_TRUE(PumpUntil([&] { return RowCount(log_) == 1; }));
    ASSERT_EQ(1, RowCount(log_));
    EXPECT_EQ("from the worker", CellText(log_, 0, 1));
}

TEST_F(PagesFixture, ExportWritesEveryLineAndCutsLongTexts) {
    AppendCommandLog(main_, "Nodelark 起動しました");
    AppendCommandLog(main_, std::string(2000, 'x').c_str());
    std::string path = TempPath("nl_export_test.txt");
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(10000, 'o');  // an older, longer file is replaced
    }
    EXPECT_EQ(2, ExportCommandLog(main_, path.c_str()));
    std::string expected = CellText(log_, 0, 0) + " Nodelark 起動しました\r\n" + CellText(log_, 1, 0) + " " +
                           std::string(1023, 'x') + "\r\n";
    EXPECT_EQ(expected, ReadFile(path));

    char text[64] = {};
    SendMessageA(status_->StatusBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ("出力のｴｸｽﾎﾟｰﾄを完了しました", text);
    EXPECT_FALSE(GetWindowLongA(status_->ProgressBar(), GWL_STYLE) & WS_VISIBLE);
    DeleteFileA(path.c_str());
}

TEST_F(PagesFixture, ExportOfAnEmptyPageAndFailures) {
    std::string path = TempPath("nl_export_empty.txt");
    EXPECT_EQ(0, ExportCommandLog(main_, path.c_str()));
    EXPECT_EQ("", ReadFile(path));
    DeleteFileA(path.c_str());
    // A folder that does not exist: nothing written, nothing reported.
    EXPECT_EQ(0, ExportCommandLog(main_, "Z:\\no\\such\\folder\\x.txt"));
    delete DetachObject<CProgStbar>(main_, kProgStbarProp);
    EXPECT_EQ(-1, ExportCommandLog(main_, path.c_str()));
}

TEST_F(PagesFixture, HeaderClicksSortEachColumnBothWays) {
    AddWakeRow(0, "b", "10.0.0.2", "9");
    AddWakeRow(1, "a", "9.0.0.1", "10");
    AddWakeRow(2, "c", "192.168.1.1", "7");
    SortWakeListByColumn(main_, wakeList_, 2);
    EXPECT_EQ((std::vector<std::string>{"10", "7", "9"}), Column(2));
    SortWakeListByColumn(main_, wakeList_, 2);
    EXPECT_EQ((std::vector<std::string>{"9", "7", "10"}), Column(2));
    // Another column starts ascending, and the first keeps its own toggle.
    SortWakeListByColumn(main_, wakeList_, 1);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.2", "192.168.1.1", "9.0.0.1"}), Column(1));
    SortWakeListByColumn(main_, wakeList_, 2);
    EXPECT_EQ((std::vector<std::string>{"10", "7", "9"}), Column(2));

    HWND header = reinterpret_cast<HWND>(SendMessageA(wakeList_, LVM_GETHEADER, 0, 0));
    HDITEMA item = {};
    item.mask = HDI_FORMAT | HDI_IMAGE;
    SendMessageA(header, HDM_GETITEMA, 2, reinterpret_cast<LPARAM>(&item));
    EXPECT_TRUE(item.fmt & HDF_IMAGE);
    EXPECT_EQ(0, item.iImage);  // ascending arrow
    SendMessageA(header, HDM_GETITEMA, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_FALSE(item.fmt & HDF_IMAGE);
}

TEST_F(PagesFixture, StatusBarPartsAndProgress) {
    RECT client;
    GetClientRect(main_, &client);
    status_->Resize(SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    int edges[4] = {};
    ASSERT_EQ(4, SendMessageA(status_->StatusBar(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)));
    EXPECT_LT(edges[0], edges[1]);
    EXPECT_LT(edges[1], edges[2]);
    auto shown = [&] { return (GetWindowLongA(status_->ProgressBar(), GWL_STYLE) & WS_VISIBLE) != 0; };
    EXPECT_FALSE(shown());
    status_->BeginProgress(0);
    EXPECT_TRUE(shown());
    status_->EndProgress();
    EXPECT_FALSE(shown());
    status_->SetPartText(1, "中止するにはCtrl+Breakを押して下さい");
    char text[64] = {};
    SendMessageA(status_->StatusBar(), SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ("中止するにはCtrl+Breakを押して下さい", text);
}
