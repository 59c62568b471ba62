#pragma once
// The tool strip: a rebar whose bands each hold one toolbar.
#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <vector>

struct ToolbarBand {
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;        // the tool strip
    HWND tooltip = nullptr;
    int buttonCount = 0;
    int imageWidth = 32;
    int imageHeight = 0;
    std::vector<TBBUTTON> buttons;
    char text[4] = {};
    HWND toolbar = nullptr;
    UINT bandId = 0;
    RECT clientRect = {};
};

class CDlgbar {
public:
    CDlgbar(HINSTANCE instance, HWND parent);
    ~CDlgbar();
    CDlgbar(const CDlgbar&) = delete;
    CDlgbar& operator=(const CDlgbar&) = delete;

    // Creates the rebar window itself; false when it could not be made.
    bool CreateStrip(UINT id);
    HWND AddToolbar();
    int SetButtons(HWND toolbar, const TBBUTTON* buttons, int count);
    HWND FindToolbar() const;
    void SetButtonState(HWND toolbar, UINT command, BYTE clearBits, BYTE setBits);
    void FitFirstBand();
    // The band sized again to its toolbar, after the buttons changed size.
    void RefitToolbar(HWND toolbar);
    ToolbarBand* BandOf(HWND toolbar);

    HWND Strip() const { return strip_; }

    // The two forms the program uses.
    void EnableButton(UINT command) { SetButtonState(FindToolbar(), command, TBSTATE_INDETERMINATE, TBSTATE_ENABLED); }
    void DisableButton(UINT command) { SetButtonState(FindToolbar(), command, TBSTATE_ENABLED, TBSTATE_INDETERMINATE); }

private:
    void SizeBand(ToolbarBand& band);

    HINSTANCE instance_;
    HWND parent_;
    HWND strip_ = nullptr;
    HBITMAP background_ = nullptr;
    std::vector<std::unique_ptr<ToolbarBand>> bands_;
    std::vector<HWND> bandWindows_;
};
