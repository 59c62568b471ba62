#include "ui/DpiWin32.h"

#include "ui/DpiScale.h"

namespace {
// Looked up, not imported: Windows 10 before 1607 has neither.
template <class Fn>
Fn User32Proc(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

UINT SystemDpi() {
    using GetDpiForSystemFn = UINT(WINAPI*)();
    if (auto forSystem = User32Proc<GetDpiForSystemFn>("GetDpiForSystem")) return forSystem();
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : kBaseDpi;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}
}  // namespace

UINT WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    if (auto forWindow = User32Proc<GetDpiForWindowFn>("GetDpiForWindow")) {
        if (UINT dpi = forWindow(window)) return dpi;
    }
    return SystemDpi();
}

HFONT CreateGuiFontForDpi(UINT dpi) {
    LOGFONTA font = {};
    if (!GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font)) return nullptr;
    font.lfHeight = RescaleForDpi(font.lfHeight, static_cast<int>(SystemDpi()), static_cast<int>(dpi));
    font.lfWidth = 0;
    return CreateFontIndirectA(&font);
}

HFONT CreateStatusFontForDpi(UINT dpi) {
    using ParametersForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    auto forDpi = User32Proc<ParametersForDpiFn>("SystemParametersInfoForDpi");
    if (!forDpi) return nullptr;
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) return nullptr;
    return CreateFontIndirectW(&metrics.lfStatusFont);
}
