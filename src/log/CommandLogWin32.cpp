// The Command Log page: appending lines from any thread, and the export.
#include "log/CommandLogWin32.h"

#include <commctrl.h>

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "common/LocalTimeWin32.h"
#include "common/ScopedWin32.h"
#include "common/TextFormat.h"
#include "log/AppLogWin32.h"
#include "log/CommandLogText.h"
#include "log/LogFormat.h"
#include "ui/AppContextWin32.h"
#include "ui/CommandLineDialogWin32.h"
#include "ui/ListViewWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

namespace {

constexpr int kPaperImage = 3;

HWND CommandLogPage(HWND mainWindow) {
    HWND tab = TabControl(mainWindow);
    return tab ? PageWindow(tab, 1) : nullptr;
}


bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

void ScrollToNewest(HWND list) {
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    if (count > 0 && SendMessageA(list, LVM_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&bounds)))
        SendMessageA(list, LVM_SCROLL, 0, bounds.bottom);
}

// Lines on their way to the page. Adding rows to a shown list one message at
// a time (each with its scroll bar and layout work) is what made a stream of
// output crawl, and switching the list's drawing off between messages hides
// it from the mouse. So lines wait here, and the main window moves them in
// one go shortly after a burst began, drawing switched off only inside that
// one step.
struct PendingLine {
    std::string clock;
    std::string text;
};
// Hung on the page it feeds; any thread may add to it.
struct CommandLogQueue {
    std::mutex lock;
    std::deque<PendingLine> pending;
    // A flush message is on its way to the main window.
    bool flushPosted = false;
};
constexpr char kCommandLogQueueProp[] = "CommandLogQueue_Class";

CommandLogQueue* QueueOf(HWND list) { return list ? FindObject<CommandLogQueue>(list, kCommandLogQueueProp) : nullptr; }

}  // namespace

// The log file gets the line at once, on the calling thread, in call order;
// the page gets it with the next flush.
void AppendCommandLog(HWND mainWindow, const char* text) {
    HWND list = CommandLogPage(mainWindow);
    if (!list || !text) return;
    if (CommandLogQueue* queue = QueueOf(list)) {
        bool post = false;
        {
            std::lock_guard<std::mutex> hold(queue->lock);
            queue->pending.push_back({FormatClock(LocalNow()), VisibleLogText(text)});
            // Older lines would only be pushed out of the page again.
            if (queue->pending.size() > static_cast<size_t>(kCommandLogMaxLines)) queue->pending.pop_front();
            post = !queue->flushPosted;
            queue->flushPosted = true;
        }
        // Without the flush message the lines would never reach the page.
        if (post && !PostMessageA(mainWindow, WM_APP_LOG_FLUSH, 0, 0)) FlushCommandLog(mainWindow);
    }

    CAppLog* log = FindObject<CAppLog>(mainWindow, kAppLogPropName);
    if (log && log->IsOpen()) log->WriteLine(text);
}

void FlushCommandLog(HWND mainWindow) {
    HWND list = CommandLogPage(mainWindow);
    CommandLogQueue* queue = QueueOf(list);
    if (!queue) return;
    std::deque<PendingLine> lines;
    {
        std::lock_guard<std::mutex> hold(queue->lock);
        lines.swap(queue->pending);
        queue->flushPosted = false;
    }
    if (lines.empty()) return;

    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    int drop = CommandLogRowsToDrop(count, static_cast<int>(lines.size()));
    if (drop == count && count > 0) {
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    } else {
        for (int i = 0; i < drop; ++i) SendMessageA(list, LVM_DELETEITEM, 0, 0);
    }
    count -= drop;
    for (const PendingLine& line : lines) {
        const int index = InsertRow(list, count, line.clock.c_str(), kPaperImage, 0);
        if (index < 0) continue;
        SetCellText(list, index, 1, line.text);
        ++count;
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    // The newest line is visible even when the user had scrolled up.
    ScrollToNewest(list);
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void AttachCommandLogQueue(HWND commandLogPage) {
    if (commandLogPage && !QueueOf(commandLogPage))
        AttachObject(commandLogPage, kCommandLogQueueProp, new CommandLogQueue);
}

void FreeCommandLogQueue(HWND commandLogPage) {
    if (commandLogPage) delete DetachObject<CommandLogQueue>(commandLogPage, kCommandLogQueueProp);
}

bool OnCommandLogMessage(HWND mainWindow, UINT message, WPARAM wParam) {
    if (message == WM_APP_LOG_FLUSH) {
        if (!SetTimer(mainWindow, kLogFlushTimer, kLogFlushDelayMs, nullptr)) FlushCommandLog(mainWindow);
        return true;
    }
    if (message == WM_TIMER && wParam == kLogFlushTimer) {
        KillTimer(mainWindow, kLogFlushTimer);
        FlushCommandLog(mainWindow);
        return true;
    }
    return false;
}

int ExportCommandLog(HWND mainWindow, const char* path) {
    FlushCommandLog(mainWindow);  // lines still on their way belong in the file
    HWND list = CommandLogPage(mainWindow);
    CProgStbar* status = FindObject<CProgStbar>(mainWindow, kProgStbarProp);
    if (!list || !status) return -1;
    ScopedHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return 0;

    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    status->BeginProgress(count);
    status->SetPartText(0, "出力をｴｸｽﾎﾟｰﾄしています");
    int written = 0;
    for (int row = 0; row < count; ++row) {
        std::string line = FormatExportLine(ListCellText(list, row, 0, kExportTimeMax + 1),
                                            ListCellText(list, row, 1, kExportTextMax + 1));
        if (!WriteAll(file.Get(), line)) break;
        ++written;
        status->StepProgress();
    }
    SetEndOfFile(file.Get());
    status->SetPartText(0, "出力のｴｸｽﾎﾟｰﾄを完了しました");
    status->EndProgress();
    return written;
}

void EndCommandLineRun(HWND mainWindow, int exitCode, const char* closingLine) {
    CloseCommandLineDialog();
    if (EndHandedOverRun(mainWindow, exitCode)) return;
    App().exitCode = exitCode;
    AppendCommandLog(mainWindow, closingLine);
    PostMessageA(mainWindow, WM_CLOSE, 0, 0);
}
