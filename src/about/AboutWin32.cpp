// The About box: name, version and the local network settings, drawn afresh
// on every paint.
#include "about/AboutWin32.h"

#include <string>
#include <vector>

#include "about/AboutText.h"
#include "common/ClipboardTextWin32.h"
#include "common/ScopedWin32.h"
#include "net/NetInfoWin32.h"
#include "resource.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

namespace {

constexpr RECT kNetworkRect = {60, 120, 500, 300};
constexpr int kBlockGap = 8;

// The text keeps inside the frame: a line too long for it wraps at a space
// instead of running off the box.
RECT NetworkRect(HWND dialog) {
    RECT r = kNetworkRect;
    if (HWND frame = GetDlgItem(dialog, IDC_ABOUT_NETWORK_GROUP)) {
        RECT f;
        GetWindowRect(frame, &f);
        MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&f), 2);
        if (f.right - 8 < r.right && f.right - 8 > r.left) r.right = f.right - 8;
    }
    return r;
}

HFONT CreateAboutFont(HDC dc, int points, int weight) {
    return CreateFontA(-MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                       SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, 48, "Yu Gothic UI");
}

std::vector<std::string> CurrentBlocks(HWND dialog) {
    // Without the socket object the box shows no network text at all.
    if (!FindObject<void>(GetWindow(dialog, GW_OWNER), kSocketProp)) return {};
    NetInfo info;
    if (CollectNetInfo(info) < 1) return {};
    return AboutNetworkBlocks(info);
}

// Height of one adapter's block in the network font.
int BlockHeight(HWND dialog, const std::string& block) {
    HDC dc = GetDC(dialog);
    ScopedGdi<HFONT> font(CreateAboutFont(dc, 10, FW_NORMAL));
    RECT r = NetworkRect(dialog);
    {
        ScopedSelect select(dc, font.Get());
        DrawTextA(dc, block.c_str(), -1, &r, DT_WORDBREAK | DT_CALCRECT);
    }
    ReleaseDC(dialog, dc);
    return r.bottom - r.top;
}

void MoveBy(HWND dialog, HWND control, int dy, bool grow) {
    if (!control) return;
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    if (grow) MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top + dy, TRUE);
    else MoveWindow(control, r.left, r.top + dy, r.right - r.left, r.bottom - r.top, TRUE);
}

// Several adapters stand one below the other; the box grows to show them all.
void FitToAdapters(HWND dialog) {
    std::vector<std::string> blocks = CurrentBlocks(dialog);
    if (blocks.size() < 2) return;
    int extra = static_cast<int>(blocks.size() - 1) * (BlockHeight(dialog, blocks.front()) + kBlockGap);
    RECT r;
    GetWindowRect(dialog, &r);
    MoveWindow(dialog, r.left, r.top - extra / 2, r.right - r.left, r.bottom - r.top + extra, FALSE);
    MoveBy(dialog, GetDlgItem(dialog, IDC_ABOUT_NETWORK_GROUP), extra, true);
    MoveBy(dialog, GetDlgItem(dialog, IDOK), extra, false);
}

void CopyNetworkText(HWND dialog) {
    std::string text;
    for (const std::string& block : CurrentBlocks(dialog)) text += block + "\n";
    // Clipboard text wants CR LF.
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    CopyTextToClipboard(dialog, crlf);
}

}  // namespace

void PaintAbout(HWND dialog) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog, &ps);
    std::vector<std::string> blocks = CurrentBlocks(dialog);
    SetBkMode(dc, TRANSPARENT);

    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    if (HICON icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 48, 48, 0))) {
        DrawIconEx(dc, 24, 16, icon, 48, 48, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
    }
    {
        ScopedGdi<HFONT> font(CreateAboutFont(dc, 13, FW_BOLD));
        ScopedSelect select(dc, font.Get());
        TextOutA(dc, 90, 30, kProductName, lstrlenA(kProductName));
    }
    {
        ScopedGdi<HFONT> font(CreateAboutFont(dc, 10, FW_NORMAL));
        ScopedSelect select(dc, font.Get());
        const char version[] = "Version 1.0.0";
        TextOutA(dc, 180, 34, version, lstrlenA(version));
    }
    if (!blocks.empty()) {
        ScopedGdi<HFONT> font(CreateAboutFont(dc, 10, FW_NORMAL));
        ScopedSelect select(dc, font.Get());
        const RECT area = NetworkRect(dialog);
        int top = area.top;
        for (size_t i = 0; i < blocks.size(); ++i) {
            RECT r = area;
            r.top = top;
            RECT measure = r;
            DrawTextA(dc, blocks[i].c_str(), -1, &measure, DT_WORDBREAK | DT_CALCRECT);
            r.bottom = measure.bottom;
            if (i + 1 == blocks.size() && r.bottom < r.top + (kNetworkRect.bottom - kNetworkRect.top))
                r.bottom = r.top + (kNetworkRect.bottom - kNetworkRect.top);
            DrawTextA(dc, blocks[i].c_str(), -1, &r, DT_WORDBREAK);
            top = measure.bottom + kBlockGap;
        }
    }
    EndPaint(dialog, &ps);
}

INT_PTR CALLBACK AboutDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        FitToAdapters(dialog);
        return TRUE;
    case WM_PAINT:
        PaintAbout(dialog);
        return TRUE;
    case WM_COPY:
        // Lets the user (and tests) take the network text as plain text.
        CopyNetworkText(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        break;
    }
    return FALSE;
}
