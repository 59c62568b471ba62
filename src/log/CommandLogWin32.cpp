// The Command Log page: appending lines from any thread, and the export.
#include "log/CommandLogWin32.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/ShellWin32.h"
#include "ui/ProgStbarWin32.h"
#include "common/LocalTimeWin32.h"
#include "common/ScopedWin32.h"
#include "common/TextFormat.h"
#include "ui/WindowPropWin32.h"
#include "log/AppLogWin32.h"
#include "log/CommandLogText.h"

namespace {

constexpr int kPaperImage = 3;

HWND CommandLogPage(HWND mainWindow) {
    HWND tab = TabControl(mainWindow);
    return tab ? PageWindow(tab, 1) : nullptr;
}

std::string CellText(HWND list, int row, int column, size_t bufferSize) {
    std::vector<char> buffer(bufferSize, 0);
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(bufferSize);
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    buffer.back() = 0;
    return buffer.data();
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The page whose drawing is switched off for a burst of lines, with a flush
// on its way to the main window; null otherwise. Drawing and scrolling the
// list once per line is what made a fast stream of output crawl; the user
// sees the same page once the flush has run, before the next paint.
void* volatile g_burstPage = nullptr;

}  // namespace

// Every message below is sent to the page, so from a worker thread the list
// still changes only on the UI thread.
void AppendCommandLog(HWND mainWindow, const char* text) {
    HWND list = CommandLogPage(mainWindow);
    if (!list || !text) return;
    std::string clock = FormatClock(LocalNow());

    if (InterlockedExchangePointer(const_cast<void**>(&g_burstPage), list) != list) {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        // What the system's own redraw switch does: a window marked hidden
        // skips the scroll bar and layout work each new row would cause.
        SetWindowLongA(list, GWL_STYLE, GetWindowLongA(list, GWL_STYLE) & ~WS_VISIBLE);
        PostMessageA(mainWindow, WM_APP_LOG_FLUSH, 0, 0);
    }

    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    if (CommandLogMustDropOldest(count)) {
        SendMessageA(list, LVM_DELETEITEM, 0, 0);
        --count;
    }

    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = count;
    item.pszText = const_cast<char*>(clock.c_str());
    item.iImage = kPaperImage;
    int index = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) return;

    LVITEMA cell = {};
    cell.mask = LVIF_TEXT;
    cell.iItem = index;
    cell.iSubItem = 1;
    cell.pszText = const_cast<char*>(text);
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&cell));

    CAppLog* log = FindObject<CAppLog>(mainWindow, kAppLogPropName);
    if (log && log->IsOpen()) log->WriteLine(text);
}

void FlushCommandLog(HWND mainWindow) {
    HWND tab = TabControl(mainWindow);
    HWND list = CommandLogPage(mainWindow);
    if (!list) return;
    InterlockedCompareExchangePointer(const_cast<void**>(&g_burstPage), nullptr, list);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    // The page is shown again only while its tab is in front.
    LONG style = GetWindowLongA(list, GWL_STYLE);
    if (PageWindow(tab, -1) == list) style |= WS_VISIBLE;
    else style &= ~WS_VISIBLE;
    SetWindowLongA(list, GWL_STYLE, style);
    // The newest line is visible even when the user had scrolled up.
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    if (count > 0 && SendMessageA(list, LVM_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&bounds)))
        SendMessageA(list, LVM_SCROLL, 0, bounds.bottom);
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

bool OnCommandLogMessage(HWND mainWindow, UINT message, WPARAM wParam) {
    if (message == WM_APP_LOG_FLUSH) {
        SetTimer(mainWindow, kLogFlushTimer, kLogFlushDelayMs, nullptr);
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
        std::string line = FormatExportLine(CellText(list, row, 0, kExportTimeMax + 1),
                                            CellText(list, row, 1, kExportTextMax + 1));
        if (!WriteAll(file.Get(), line)) break;
        ++written;
        status->StepProgress();
    }
    SetEndOfFile(file.Get());
    status->SetPartText(0, "出力のｴｸｽﾎﾟｰﾄを完了しました");
    status->EndProgress();
    return written;
}
