#include "ui/ProgStbarWin32.h"
#include <cstring>
#include <vector>
#include "ui/StatusParts.h"
#include "common/FixedText.h"

CProgStbar::CProgStbar(HINSTANCE instance, HWND parent, UINT statusId, UINT progressId,
                       const int* percentages, int partCount, int progressPart,
                       const char* initialText)
    : instance_(instance), parent_(parent), statusId_(statusId), progressId_(progressId) {
    SetField(initialText_, initialText);
    partCount_ = partCount < 0 ? 0 : (partCount > kMaxParts ? kMaxParts : partCount);
    for (int i = 0; i < partCount_; ++i) percentages_[i] = percentages[i];
    progressPart_ = progressPart;

    DWORD style = WS_CHILD | WS_VISIBLE | CCS_BOTTOM;
    if (GetWindowLongA(parent_, GWL_STYLE) & WS_THICKFRAME) style |= SBARS_SIZEGRIP;
    statusBar_ = CreateWindowExA(0, STATUSCLASSNAMEA, initialText_, style, 0, 0, 0, 0, parent_,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(statusId_)),
                                 instance_, nullptr);
    if (!statusBar_) return;
    RECT client;
    GetClientRect(parent_, &client);
    Resize(SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    UpdateWindow(statusBar_);
    if (progressPart_ > 0 && progressPart_ < partCount_) {
        progressBar_ = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | PBS_SMOOTH, 0, 0, 0,
                                       0, statusBar_,
                                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(progressId_)),
                                       instance_, nullptr);
        if (progressBar_) Resize(SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    }
}

CProgStbar::~CProgStbar() {
    if (statusBar_) {
        for (int i = 0; i < partCount_; ++i) {
            HICON icon = reinterpret_cast<HICON>(SendMessageA(statusBar_, SB_GETICON, i, 0));
            if (icon) DestroyIcon(icon);
        }
    }
    if (progressBar_) DestroyWindow(progressBar_);
    if (statusBar_) DestroyWindow(statusBar_);
    if (imageList_) ImageList_Destroy(imageList_);
}

void CProgStbar::Resize(WPARAM kind, LPARAM packedSize) {
    if (!statusBar_) return;
    SendMessageA(statusBar_, WM_SIZE, kind, packedSize);
    if (partCount_ <= 0) return;
    GetClientRect(statusBar_, &progressRect_);
    int available = progressRect_.right - progressRect_.left;
    if (GetWindowLongA(statusBar_, GWL_STYLE) & SBARS_SIZEGRIP)
        available -= GetSystemMetrics(SM_CXVSCROLL) + GetSystemMetrics(SM_CXEDGE);
    std::vector<int> edges =
        ComputePartEdges(available, std::vector<int>(percentages_, percentages_ + partCount_),
                         std::vector<int>(fixedWidths_, fixedWidths_ + partCount_));
    SendMessageA(statusBar_, SB_SETPARTS, partCount_, reinterpret_cast<LPARAM>(edges.data()));
    if (progressPart_ > 0 && progressPart_ < partCount_)
        SendMessageA(statusBar_, SB_GETRECT, progressPart_, reinterpret_cast<LPARAM>(&progressRect_));
    if (progressBar_) {
        bool hasIcon = SendMessageA(statusBar_, SB_GETICON, progressPart_, 0) != 0;
        int offset = hasIcon ? iconWidth_ : 0;
        const RECT& r = progressRect_;
        MoveWindow(progressBar_, r.left + offset + 2, r.top + 2, (r.right - r.left) - offset - 5,
                   (r.bottom - r.top) - 5, TRUE);
    }
}

void CProgStbar::SetPartText(int part, const char* text) {
    if (!statusBar_ || part < 0 || part >= kMaxParts) return;
    HICON icon = reinterpret_cast<HICON>(SendMessageA(statusBar_, SB_GETICON, part, 0));
    if (icon) {
        SendMessageA(statusBar_, SB_SETICON, part, 0);
        DestroyIcon(icon);
    }
    SendMessageA(statusBar_, SB_SETTEXTA, SBT_NOBORDERS | part, reinterpret_cast<LPARAM>(text ? text : ""));
    textTypes_[part] = SBT_NOBORDERS;
}

void CProgStbar::BeginProgress(int maximum) {
    if (!progressBar_) return;
    SendMessageA(progressBar_, PBM_SETPOS, 0, 0);
    SendMessageA(progressBar_, PBM_SETRANGE32, 0, maximum);
    SendMessageA(progressBar_, PBM_SETSTEP, 1, 0);
    ShowWindow(progressBar_, SW_SHOW);
}

void CProgStbar::StepProgress() {
    if (progressBar_) SendMessageA(progressBar_, PBM_STEPIT, 0, 0);
}

void CProgStbar::EndProgress() {
    if (progressBar_) ShowWindow(progressBar_, SW_HIDE);
}
