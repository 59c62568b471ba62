#include "common/ClipboardTextWin32.h"

#include <cstring>

namespace {
// Closes the clipboard on every way out.
class OpenedClipboard {
public:
    explicit OpenedClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~OpenedClipboard() {
        if (open_) CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_;
};
}  // namespace

ClipboardCopy CopyTextToClipboard(HWND owner, const std::string& text) {
    OpenedClipboard clipboard(owner);
    if (!clipboard.IsOpen()) return ClipboardCopy::NotOpened;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1);
    if (!memory) return ClipboardCopy::NoMemory;
    void* bytes = GlobalLock(memory);
    if (!bytes) {
        GlobalFree(memory);
        return ClipboardCopy::NotLocked;
    }
    std::memcpy(bytes, text.data(), text.size());
    GlobalUnlock(memory);
    // From here the clipboard owns the memory; if it refuses it, it is ours.
    if (SetClipboardData(CF_TEXT, memory)) return ClipboardCopy::Copied;
    GlobalFree(memory);
    return ClipboardCopy::Refused;
}
