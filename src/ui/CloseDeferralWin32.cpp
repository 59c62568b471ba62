#include "ui/CloseDeferralWin32.h"

namespace {
int g_depth = 0;        // UI thread only
bool g_pending = false;
}  // namespace

DeferClose::DeferClose(HWND mainWindow) : window_(mainWindow) { ++g_depth; }

DeferClose::~DeferClose() {
    if (--g_depth > 0 || !g_pending) return;
    g_pending = false;
    PostMessageA(window_, WM_CLOSE, 0, 0);
}

bool CloseDeferred() {
    if (g_depth == 0) return false;
    g_pending = true;
    return true;
}
