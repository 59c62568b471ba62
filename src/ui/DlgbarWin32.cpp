#include "ui/DlgbarWin32.h"
#include "resource.h"

namespace {
constexpr UINT kToolbarId = 2012;
constexpr UINT kBandMessage = 0x0C00;  // tells a band's child its index; toolbars ignore it

}  // namespace

CDlgbar::CDlgbar(HINSTANCE instance, HWND parent) : instance_(instance), parent_(parent) {}

CDlgbar::~CDlgbar() {
    for (auto& band : bands_) {
        if (band->tooltip && IsWindow(band->tooltip)) DestroyWindow(band->tooltip);
        if (band->toolbar && IsWindow(band->toolbar)) {
            for (UINT msg : {TB_GETIMAGELIST, TB_GETDISABLEDIMAGELIST, TB_GETHOTIMAGELIST}) {
                HIMAGELIST list = reinterpret_cast<HIMAGELIST>(SendMessageA(band->toolbar, msg, 0, 0));
                if (list) ImageList_Destroy(list);
            }
            DestroyWindow(band->toolbar);
        }
    }
    for (HWND w : bandWindows_)
        if (IsWindow(w)) DestroyWindow(w);
    if (strip_ && IsWindow(strip_)) DestroyWindow(strip_);
    if (background_) DeleteObject(background_);
    bands_.clear();
    bandWindows_.clear();
}

bool CDlgbar::CreateStrip(UINT id) {
    strip_ = CreateWindowExA(WS_EX_TOOLWINDOW, REBARCLASSNAMEA, nullptr, 0x56800649, 0, 0, 0, 0,
                             parent_, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance_, nullptr);
    if (!strip_) return false;
    REBARINFO info = {};
    info.cbSize = sizeof info;
    SendMessageA(strip_, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
    SetParent(strip_, parent_);
    return true;
}

HWND CDlgbar::AddToolbar() {
    if (!strip_) return nullptr;
    auto band = std::make_unique<ToolbarBand>();
    band->instance = instance_;
    band->parent = strip_;
    DWORD style = WS_CHILD | TBSTYLE_LIST | TBSTYLE_FLAT | CCS_NODIVIDER | CCS_NORESIZE;
    if (GetWindowLongA(strip_, GWL_STYLE) & (CCS_VERT | CCS_TOP)) style |= TBSTYLE_WRAPABLE;
    band->toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, "", style, 0, 0, 0, 0, strip_,
                                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kToolbarId)), instance_, nullptr);
    if (!band->toolbar) return nullptr;
    band->bandId = kToolbarId;
    SendMessageA(band->toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    RECT client = {};
    GetClientRect(band->toolbar, &client);
    REBARBANDINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = RBBIM_STYLE | RBBIM_TEXT | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID | RBBIM_IDEALSIZE;
    if (background_) {
        info.fMask |= RBBIM_BACKGROUND;
        info.hbmBack = background_;
    }
    info.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS;
    info.lpText = band->text;
    info.hwndChild = band->toolbar;
    info.cxMinChild = 0;
    info.cyMinChild = client.bottom - client.top;
    info.cx = info.cxIdeal = client.right - client.left;
    info.wID = kToolbarId;
    if (!SendMessageA(strip_, RB_INSERTBANDA, bandWindows_.size(), reinterpret_cast<LPARAM>(&info))) {
        DestroyWindow(band->toolbar);
        return nullptr;
    }
    bandWindows_.push_back(band->toolbar);
    SendMessageA(band->toolbar, kBandMessage, bandWindows_.size() - 1, reinterpret_cast<LPARAM>(this));
    HWND toolbar = band->toolbar;
    bands_.push_back(std::move(band));
    return toolbar;
}

ToolbarBand* CDlgbar::BandOf(HWND toolbar) {
    for (auto& band : bands_)
        if (band->toolbar == toolbar) return band.get();
    return nullptr;
}

int CDlgbar::SetButtons(HWND toolbar, const TBBUTTON* buttons, int count) {
    ToolbarBand* band = BandOf(toolbar);
    if (!band) return -1;
    // Never copy more than the caller gave, whatever the image strip counted.
    band->buttonCount = count;
    band->buttons.assign(buttons, buttons + count);
    DWORD exStyle = 0;
    for (const TBBUTTON& b : band->buttons) {
        if (b.fsStyle & BTNS_DROPDOWN) exStyle |= TBSTYLE_EX_DRAWDDARROWS;
        if (b.fsStyle & BTNS_SHOWTEXT) exStyle |= TBSTYLE_EX_MIXEDBUTTONS;
    }
    SendMessageA(toolbar, TB_SETEXTENDEDSTYLE, 0, exStyle);
    SendMessageA(toolbar, TB_ADDBUTTONSA, band->buttons.size(), reinterpret_cast<LPARAM>(band->buttons.data()));
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    GetClientRect(toolbar, &band->clientRect);
    SizeBand(*band);
    ShowWindow(toolbar, SW_SHOW);
    return 0;
}

void CDlgbar::SizeBand(ToolbarBand& band) {
    int count = static_cast<int>(SendMessageA(band.toolbar, TB_BUTTONCOUNT, 0, 0));
    int width = 0, height = 0;
    for (int i = 0; i < count; ++i) {
        RECT r = {};
        SendMessageA(band.toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
        width += r.right - r.left;
        if (i == 0) height = r.bottom - r.top;
    }
    int index = static_cast<int>(SendMessageA(strip_, RB_IDTOINDEX, band.bandId, 0));
    if (index < 0) return;
    REBARBANDINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = RBBIM_CHILDSIZE;
    info.cxMinChild = width + 3 * GetSystemMetrics(SM_CXEDGE);
    info.cyMinChild = height + 2 * GetSystemMetrics(SM_CYEDGE);
    SendMessageA(strip_, RB_SETBANDINFOA, index, reinterpret_cast<LPARAM>(&info));
}

HWND CDlgbar::FindToolbar() const {
    for (const auto& band : bands_)
        if (band->toolbar && GetDlgCtrlID(band->toolbar) == static_cast<int>(kToolbarId)) return band->toolbar;
    return nullptr;
}

void CDlgbar::SetButtonState(HWND toolbar, UINT command, BYTE clearBits, BYTE setBits) {
    if (!toolbar) return;
    LRESULT state = SendMessageA(toolbar, TB_GETSTATE, command, 0);
    if (state == -1) return;
    BYTE bits = static_cast<BYTE>(state);
    if (bits & clearBits) bits &= static_cast<BYTE>(~clearBits);
    bits |= setBits;
    SendMessageA(toolbar, TB_SETSTATE, command, MAKELPARAM(bits, 0));
}

void CDlgbar::RefitToolbar(HWND toolbar) {
    ToolbarBand* band = BandOf(toolbar);
    if (!band) return;
    GetClientRect(toolbar, &band->clientRect);
    SizeBand(*band);
    FitFirstBand();
}

void CDlgbar::FitFirstBand() {
    if (!strip_ || SendMessageA(strip_, RB_GETBANDCOUNT, 0, 0) < 1) return;
    REBARBANDINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE;
    if (!SendMessageA(strip_, RB_GETBANDINFOA, 0, reinterpret_cast<LPARAM>(&info)) || !info.hwndChild) return;
    RECT client = {};
    GetClientRect(info.hwndChild, &client);
    UINT width = client.right - client.left;
    if (!(info.fStyle & RBBS_GRIPPERALWAYS)) info.cxMinChild = width + 14;
    info.cx = width + 14;
    info.cxIdeal = width + 14;
    info.fMask = RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE;
    SendMessageA(strip_, RB_SETBANDINFOA, 0, reinterpret_cast<LPARAM>(&info));
}

