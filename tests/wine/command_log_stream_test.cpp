// The Command Log page while a tool's output streams in from another thread:
// the page keeps taking the mouse, and the last line of a stream ends up in
// view. A thread appending a line every 10 ms stands in for the tool.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>

#include "app/MainWindowWin32.h"
#include "log/CommandLogWin32.h"
#include "resource.h"

namespace {

struct ContextMenuSeen {
    int count = 0;
    bool onPage = false;
};
ContextMenuSeen g_contextMenu;
HWND g_page = nullptr;

// The main window's share: the flush, and a record of the context-menu
// request as the real router sees it (it only opens a menu over the page).
LRESULT CALLBACK StreamStandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (OnCommandLogMessage(window, message, wParam)) return 0;
    if (message == WM_CONTEXTMENU) {
        POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ++g_contextMenu.count;
        g_contextMenu.onPage = WindowFromPoint(at) == g_page;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int RowCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

bool Visible(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

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

class CommandLogStream : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = StreamStandInProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "NlStreamStandIn";
        RegisterClassA(&wc);
        main_ = CreateWindowExA(WS_EX_TOPMOST, "NlStreamStandIn", "stream", WS_POPUP | WS_VISIBLE, 20, 20, 700, 460,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, main_);
        tab_ = CreateWindowExA(0, WC_TABCONTROLA, "Tab", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 700, 460,
                               main_, reinterpret_cast<HMENU>(IDC_TAB), nullptr, nullptr);
        static const WORD left[] = {LVCFMT_LEFT, LVCFMT_LEFT};
        static const int widths[] = {100, 500};
        static const char* const texts[] = {"時間", "出力"};
        log_ = CreateListPage(tab_, IDC_COMMAND_LOG, "Command Log", 2, left, widths, texts, LVS_NOSORTHEADER, false);
        for (int index = 0; index < 2; ++index) {
            TCITEMA item = {};
            item.mask = TCIF_TEXT | TCIF_PARAM;
            item.pszText = const_cast<char*>("t");
            item.lParam = reinterpret_cast<LPARAM>(log_);
            SendMessageA(tab_, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
        }
        SendMessageA(tab_, TCM_SETCURSEL, 1, 0);
        MoveWindow(log_, 4, 30, 690, 420, TRUE);
        ShowWindow(log_, SW_SHOW);
        SetForegroundWindow(main_);
        g_page = log_;
        g_contextMenu = {};
        stream_.main = main_;
    }
    void TearDown() override {
        StopStream();
        DestroyWindow(main_);
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

    // One round of the message loop; counts any moment the page was not a
    // visible window while lines streamed in.
    void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (!Visible(log_)) ++hiddenRounds_;
    }
    template <typename Condition>
    bool PumpUntil(Condition done, DWORD timeoutMs = 5000) {
        DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            Pump();
        }
        return true;
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

    HWND main_ = nullptr, tab_ = nullptr, log_ = nullptr;
    Stream stream_;
    HANDLE thread_ = nullptr;
    int hiddenRounds_ = 0;
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
    EXPECT_TRUE(PumpUntil([&] { return g_contextMenu.count > 0; })) << "no context menu request";
    EXPECT_TRUE(g_contextMenu.onPage);

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
