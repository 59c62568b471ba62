#pragma once
// The status bar with a progress bar embedded in one of its parts. The
// controls are reached only through messages, so worker threads may call
// these operations too.
#include <windows.h>
#include <commctrl.h>

class CProgStbar {
public:
    static constexpr int kMaxParts = 50;

    CProgStbar(HINSTANCE instance, HWND parent, UINT statusId, UINT progressId,
               const int* percentages, int partCount, int progressPart, const char* initialText);
    ~CProgStbar();
    CProgStbar(const CProgStbar&) = delete;
    CProgStbar& operator=(const CProgStbar&) = delete;

    void Resize(WPARAM kind, LPARAM packedSize);
    // A font of the caller's, which outlives the bar; the next Resize takes
    // its height.
    void SetFont(HFONT font) {
        if (statusBar_ && font) SendMessageA(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    void SetPartText(int part, const char* text);
    void BeginProgress(int maximum);
    void StepProgress();
    void EndProgress();

    HWND StatusBar() const { return statusBar_; }
    HWND ProgressBar() const { return progressBar_; }
    // The layout takes the status bar's height from here.
    int Height() const { return progressRect_.bottom; }

private:
    HINSTANCE instance_;
    char initialText_[256];
    HIMAGELIST imageList_ = nullptr;
    int iconWidth_ = 0;
    int reserved_ = 0;
    HWND parent_;
    UINT statusId_;
    UINT progressId_;
    int percentages_[kMaxParts] = {};
    int textTypes_[kMaxParts] = {};
    int partCount_ = 0;
    int progressPart_ = 0;
    int fixedWidths_[kMaxParts] = {};
    HWND statusBar_ = nullptr;
    HWND progressBar_ = nullptr;
    RECT progressRect_ = {};
};
