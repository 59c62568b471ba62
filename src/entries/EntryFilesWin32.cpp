// The File menu's listing, export and import: files and messages here, the
// formats and loops in the portable part.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>

#include "entries/EntList.h"
#include "entries/EntListWin32.h"
#include "entries/EntryCommandsWin32.h"
#include "entries/EntryFiles.h"
#include "entries/WakeListWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

namespace {

// The progress bar moves once per item as far as the user can see, but a
// hundred thousand messages, each repainting the bar, would cost far more
// than the work: steps are passed on together a few dozen times a second,
// and the bar is repainted then, since no message is handled until the
// command returns.
class ProgressPacer {
public:
    explicit ProgressPacer(CProgStbar* status) : status_(status) {}

    // A short job never waits for a repaint; the message loop paints its
    // end state once the command returns.
    void Begin(int total) {
        status_->BeginProgress(total);
        lastPaint_ = GetTickCount();
    }
    void Step() {
        if ((++pending_ & 63) == 0 && GetTickCount() - lastPaint_ >= kPaintMs) Flush();
    }
    void End() {
        HWND bar = status_->ProgressBar();
        if (bar && pending_) SendMessageA(bar, PBM_DELTAPOS, pending_, 0);
        pending_ = 0;
        status_->EndProgress();
    }

private:
    void Paint() {
        UpdateWindow(status_->StatusBar());
        if (HWND bar = status_->ProgressBar()) UpdateWindow(bar);
        lastPaint_ = GetTickCount();
    }
    void Flush() {
        HWND bar = status_->ProgressBar();
        // Unlike a step, a delta stops at the end of the range: a header
        // whose count is too small does not make the bar start over.
        if (bar && pending_) SendMessageA(bar, PBM_DELTAPOS, pending_, 0);
        pending_ = 0;
        Paint();
    }

    static constexpr DWORD kPaintMs = 30;
    CProgStbar* status_;
    int pending_ = 0;
    DWORD lastPaint_ = 0;
};

HANDLE CreateForWriting(const char* path) {
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void ShowFileStatus(CProgStbar* status, const char* text) { status->SetPartText(0, text); }

constexpr char kWriteFailed[] = "ファイルの出力に失敗しました";

// A listing short of entries, or an export whose records stop early, would
// pass for a whole one later: the file goes. Should it stay all the same,
// it is cut after the last piece that reached it whole, and an export's
// header counts only the records in it.
void DiscardFile(HandleRecordFile& file, const char* path) {
    file.Truncate();
    file.Close();
    DeleteFileA(path);
}

}  // namespace

namespace {

// The listing and the export alike: the file written whole or not at all,
// the status bar saying how it went. `write` sets the bar going as its file
// wants it.
int WriteEntryFile(HWND mainWindow, const char* path, const char* failedText, const char* doneText,
                   const std::function<FileWriteResult(CEntList&, HandleRecordFile&, CProgStbar*, ProgressPacer&)>& write) {
    CProgStbar* status = FindObject<CProgStbar>(mainWindow, kProgStbarProp);
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    if (!status || !store) return -1;
    HANDLE handle = CreateForWriting(path);
    if (handle == INVALID_HANDLE_VALUE) {
        ShowError(mainWindow, "ファイルのオープンに失敗しました");
        return 0;
    }
    HandleRecordFile file(handle);
    ProgressPacer progress(status);
    FileWriteResult result = write(*store, file, status, progress);
    if (result.headerFailed || result.writeFailed) {
        DiscardFile(file, path);
        ShowFileStatus(status, failedText);
        progress.End();
        ShowError(mainWindow, kWriteFailed);
        return 0;
    }
    file.Truncate();
    ShowFileStatus(status, doneText);
    progress.End();
    return result.count;
}

}  // namespace

int WriteEntryListing(HWND mainWindow, const char* path) {
    return WriteEntryFile(mainWindow, path, "一覧の保存に失敗しました", "一覧の保存を完了しました",
                          [](CEntList& store, HandleRecordFile& file, CProgStbar* status, ProgressPacer& progress) {
                              ShowFileStatus(status, "一覧を保存しています");
                              return WriteListing(
                                  store, file, [&] { progress.Begin(store.EntryCount()); }, [&] { progress.Step(); });
                          });
}

int ExportEntries(HWND mainWindow, const char* path) {
    return WriteEntryFile(mainWindow, path, "一覧のｴｸｽﾎﾟｰﾄに失敗しました", "一覧のｴｸｽﾎﾟｰﾄを完了しました",
                          [](CEntList& store, HandleRecordFile& file, CProgStbar* status, ProgressPacer& progress) {
                              progress.Begin(store.EntryCount());
                              return WriteExchange(
                                  store, file, [&] { ShowFileStatus(status, "一覧をｴｸｽﾎﾟｰﾄしています"); },
                                  [&] { progress.Step(); });
                          });
}

int ImportEntries(HWND mainWindow, const char* path) {
    CProgStbar* status = FindObject<CProgStbar>(mainWindow, kProgStbarProp);
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    if (!status || !store) return -1;
    HANDLE handle = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        ShowError(mainWindow, "ファイルのオープンに失敗しました");
        return 0;
    }
    LARGE_INTEGER size = {};
    const LONGLONG header = static_cast<LONGLONG>(kExchangeHeaderSize);
    const int64_t fileRecords =
        GetFileSizeEx(handle, &size) && size.QuadPart > header ? (size.QuadPart - header) / sizeof(WakeEntry) : 0;
    HandleRecordFile file(handle);
    HWND list = PageWindow(TabControl(mainWindow), 0);
    ProgressPacer progress(status);
    bool listFrozen = false;
    auto begin = [&](int count) {
        ShowFileStatus(status, "一覧をｲﾝﾎﾟｰﾄしています");
        // The header's count sizes the bar, unless the file plainly holds
        // more (an export of more entries than six digits can count).
        const int64_t total = std::max<int64_t>(count, std::min<int64_t>(fileRecords, INT32_MAX));
        progress.Begin(static_cast<int>(total));
        if (list) {
            // One repaint at the end, as a refresh does.
            SendMessageA(list, WM_SETREDRAW, FALSE, 0);
            listFrozen = true;
        }
    };
    auto added = [&](const WakeEntry& entry) {
        InsertListItem(mainWindow, entry);
        progress.Step();
    };
    ImportResult result = ImportExchange(*store, file, begin, added);
    if (listFrozen) {
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
    if (result.kind == ImportResult::kReadFailed) {
        ShowError(mainWindow, "ファイルの入力に失敗しました");
        return 0;
    }
    if (result.kind == ImportResult::kNotExchange) {
        ShowError(mainWindow, "このﾌｧｲﾙはｲﾝﾎﾟｰﾄできません");
        return 0;
    }
    ShowFileStatus(status, "一覧のｲﾝﾎﾟｰﾄを完了しました");
    progress.End();
    return result.added;
}
