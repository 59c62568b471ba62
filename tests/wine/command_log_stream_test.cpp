// The Command Log page while a tool's output streams in from another thread:
// the page keeps taking the mouse, and the last line of a stream ends up in
// view. A thread appending a line every 10 ms stands in for the tool.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "StandInWindow.h"

namespace {

struct Stream {
    HWND main;
    std::atomic<bool> stop{false};
    std::atomic<int> lines{0};
};

DWORD WINAPI StreamLines(void* param) {
    auto* stream = static_cast<Stream*>(param);
    while (!stream->stop) {
        AppendCommandLog(stream->main, ("tool output " + std::to_string(stream->lines)).c_str());
        ++stream->lines;
        Sleep(10);
    }
    return 0;
}

class CommandLogStream : public StandInWindow {
protected:
    CommandLogStream() : StandInWindow({true}) {}
    void SetUp() override {
        StandInWindow::SetUp();
        stream_.main = main_;
    }
    void TearDown() override {
        StopStream();
        StandInWindow::TearDown();
    }

    void StartStream() { thread_ = CreateThread(nullptr, 0, StreamLines, &stream_, 0, nullptr); }
    void StopStream() {
        if (!thread_) return;
        stream_.stop = true;
        // The thread's appends wait on this thread's message loop.
        while (MsgWaitForMultipleObjects(1, &thread_, FALSE, 5000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) Pump();
        CloseHandle(thread_);
        thread_ = nullptr;
    }

    // Counts any moment the page was not a visible window while lines
    // streamed in.
    void AfterPump() override {
        if (!Shown(log_)) ++hiddenRounds_;
    }
    // The main window's share as the real router sees it: it only opens a
    // menu over the page.
    void OnContextMenu(POINT at) override {
        ++contextMenus_;
        contextMenuOnPage_ = WindowFromPoint(at) == log_;
    }

    // A real click, so that it is hit-tested like the user's.
    void Click(POINT at, DWORD down, DWORD up) {
        SetCursorPos(at.x, at.y);
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_MOUSE;
        input[0].mi.dwFlags = down;
        input[1].mi.dwFlags = up;
        SendInput(2, input, sizeof(INPUT));
    }
    POINT RowPoint(int row) {
        RECT bounds = {};
        bounds.left = LVIR_LABEL;
        SendMessageA(log_, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
        POINT at = {bounds.left + 10, (bounds.top + bounds.bottom) / 2};
        ClientToScreen(log_, &at);
        return at;
    }

    Stream stream_;
    HANDLE thread_ = nullptr;
    int hiddenRounds_ = 0;
    int contextMenus_ = 0;
    bool contextMenuOnPage_ = false;
};

}  // namespace

TEST_F(CommandLogStream, PageTakesClicksAndContextMenuWhileLinesArrive) {
    StartStream();
    ASSERT_TRUE(PumpUntil([&] { return stream_.lines > 60; }));

    // Selecting: the click lands on the page and selects the row under it.
    ASSERT_EQ(log_, WindowFromPoint(RowPoint(static_cast<int>(SendMessageA(log_, LVM_GETTOPINDEX, 0, 0)) + 1)));
    Click(RowPoint(static_cast<int>(SendMessageA(log_, LVM_GETTOPINDEX, 0, 0)) + 1), MOUSEEVENTF_LEFTDOWN,
          MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(PumpUntil([&] { return SendMessageA(log_, LVM_GETSELECTEDCOUNT, 0, 0) == 1; }))
        << "the click did not select a line";
    const int linesAtClick = stream_.lines;

    // Right-clicking asks the main window for the context menu over the page.
    Click(RowPoint(static_cast<int>(SendMessageA(log_, LVM_GETTOPINDEX, 0, 0)) + 2), MOUSEEVENTF_RIGHTDOWN,
          MOUSEEVENTF_RIGHTUP);
    EXPECT_TRUE(PumpUntil([&] { return contextMenus_ > 0; })) << "no context menu request";
    EXPECT_TRUE(contextMenuOnPage_);

    ASSERT_TRUE(PumpUntil([&] { return stream_.lines > linesAtClick + 30; }));
    StopStream();
    EXPECT_EQ(0, hiddenRounds_) << "the page was hidden while lines arrived";

    // Every line reaches the page, and the last one comes into view.
    const int count = stream_.lines;
    EXPECT_TRUE(PumpUntil([&] { return RowCount(log_) == count; })) << RowCount(log_) << " of " << count;
    EXPECT_TRUE(PumpUntil([&] {
        int top = static_cast<int>(SendMessageA(log_, LVM_GETTOPINDEX, 0, 0));
        int perPage = static_cast<int>(SendMessageA(log_, LVM_GETCOUNTPERPAGE, 0, 0));
        return top + perPage >= count;
    })) << "the newest line stayed below the view";
}
