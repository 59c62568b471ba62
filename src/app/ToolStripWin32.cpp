// The main window's tool strip: images, labels, buttons and tooltips.
#include "app/ToolStripWin32.h"

#include <memory>

#include "app/MainWindowWin32.h"
#include "resource.h"

namespace {
HIMAGELIST ImageListFromBitmaps(HBITMAP image, HBITMAP mask, ToolbarBand& band) {
    BITMAP info = {};
    if (!GetObjectA(image, sizeof info, &info)) return nullptr;
    // Square images: the strip's height is each one's width.
    band.imageWidth = info.bmHeight;
    band.buttonCount = info.bmHeight > 0 ? info.bmWidth / info.bmHeight : 0;
    band.imageHeight = info.bmHeight;
    HIMAGELIST list = ImageList_Create(band.imageWidth, info.bmHeight, ILC_COLOR16 | ILC_MASK, band.buttonCount, 0);
    if (list) ImageList_Add(list, image, mask);
    return list;
}

void SetToolbarImages(HINSTANCE instance, ToolbarBand& band, int imageId, int maskId, UINT message) {
    HBITMAP image = static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(imageId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    HBITMAP mask = static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(maskId), IMAGE_BITMAP, 0, 0, LR_MONOCHROME));
    if (image && mask) {
        HIMAGELIST list = ImageListFromBitmaps(image, mask, band);
        HIMAGELIST old = reinterpret_cast<HIMAGELIST>(SendMessageA(band.toolbar, message, 0, reinterpret_cast<LPARAM>(list)));
        if (old) ImageList_Destroy(old);
    }
    if (image) DeleteObject(image);
    if (mask) DeleteObject(mask);
}
void SetImagesForDpi(HINSTANCE instance, ToolbarBand& band, UINT dpi) {
    const int mask = BitmapForDpi(IDB_TOOLBAR_MASK, dpi);
    SetToolbarImages(instance, band, BitmapForDpi(IDB_TOOLBAR, dpi), mask, TB_SETIMAGELIST);
    SetToolbarImages(instance, band, BitmapForDpi(IDB_TOOLBAR_DISABLED, dpi), mask, TB_SETDISABLEDIMAGELIST);
}
}  // namespace

void RescaleToolStrip(HINSTANCE instance, CDlgbar& bar, UINT dpi, HFONT font) {
    HWND toolbar = bar.FindToolbar();
    ToolbarBand* band = bar.BandOf(toolbar);
    if (!band) return;
    const int buttons = band->buttonCount;
    SetImagesForDpi(instance, *band, dpi);
    band->buttonCount = buttons;
    if (font) SendMessageA(toolbar, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageA(toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(band->imageWidth, band->imageHeight));
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    bar.RefitToolbar(toolbar);
    // The tips were placed over the buttons as they were.
    if (band->tooltip) {
        for (int i = 0; i < buttons; ++i) {
            TBBUTTON button = {};
            if (!SendMessageA(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button))) continue;
            TOOLINFOA tool = {};
            tool.cbSize = sizeof tool;
            tool.hwnd = toolbar;
            tool.uId = static_cast<UINT_PTR>(button.idCommand);
            SendMessageA(toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&tool.rect));
            SendMessageA(band->tooltip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
}

CDlgbar* BuildToolStrip(HINSTANCE instance, HWND mainWindow, UINT dpi) {
    auto bar = std::make_unique<CDlgbar>(instance, mainWindow);
    if (!bar->CreateStrip(IDC_TOOLSTRIP)) return nullptr;
    HWND toolbar = bar->AddToolbar();
    if (!toolbar) return bar.release();
    ToolbarBand* band = bar->BandOf(toolbar);
    SetImagesForDpi(instance, *band, dpi);

    static const char* const kLabels[] = {"WAKE", "ENTRY", "TOOL", "ABOUT"};
    static const char* const kTips[] = {"MORROWBEL", "ENTRY", "TOOL", "ABOUT"};
    static const int kCommands[] = {IDM_WAKE_ALL, IDM_ENTRY_NEW, IDM_TOOLS_REGISTER, IDM_ABOUT};
    TBBUTTON buttons[4] = {};
    for (int i = 0; i < 4; ++i) {
        // The string pool wants a double-terminated list.
        char label[16] = {};
        lstrcpynA(label, kLabels[i], sizeof label - 1);
        LRESULT index = SendMessageA(toolbar, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(label));
        buttons[i].iBitmap = i;
        buttons[i].idCommand = kCommands[i];
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = static_cast<BYTE>(BTNS_AUTOSIZE | (i < 3 ? BTNS_DROPDOWN : 0));
        buttons[i].iString = index;
    }
    bar->SetButtons(toolbar, buttons, 4);

    if (band->tooltip) DestroyWindow(band->tooltip);
    band->tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, bar->Strip(), nullptr, instance, nullptr);
    if (band->tooltip) {
        for (int i = 0; i < band->buttonCount && i < 4; ++i) {
            TOOLINFOA tool = {};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_SUBCLASS;
            tool.hwnd = toolbar;
            tool.uId = kCommands[i];
            SendMessageA(toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&tool.rect));
            tool.hinst = instance;
            tool.lpszText = const_cast<char*>(kTips[i]);
            SendMessageA(band->tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        }
        SendMessageA(toolbar, TB_SETTOOLTIPS, reinterpret_cast<WPARAM>(band->tooltip), 0);
    }
    SendMessageA(toolbar, TB_SETINDENT, 4, 0);
    bar->FitFirstBand();
    return bar.release();
}
