// Nodelark at the display scale Wine was given (its LogPixels): rows,
// columns, tool strip, status bar and dialogs sized for that DPI, with every
// text whole. tests/e2e/run.sh runs these at 96, 144 and 192 DPI, NL_E2E_DPI
// naming the one of the run; with NL_E2E_PICTURES set they also leave a
// picture of each window they look at in that folder.
#include "AppFixture.h"
#include "EntryDialogDriver.h"

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace e2e {
namespace {

constexpr int kCmdNetScan = 40041;
constexpr int kScanList = 1316;
constexpr char kScanCaption[] = "ﾈｯﾄﾜｰｸから検索";

// What a user sees before changing anything, at 100 %.
constexpr int kWakeListWidths[] = {150, 100, 100, 150, 150, 170, 170, 100, 150, 150, 150, 80};
constexpr int kCommandLogWidths[] = {100, 700};
constexpr int kScanWidths[] = {100, 120, 150, 70};

int RunDpi() {
    const char* value = std::getenv("NL_E2E_DPI");
    return value && *value ? std::atoi(value) : 96;
}

int Scaled(int value, int dpi) { return MulDiv(value, dpi, 96); }
// The images drawn for the scale: 100, 150 or 200 %.
int ImageSize(int size100, int dpi) { return size100 * (dpi >= 192 ? 200 : dpi >= 144 ? 150 : 100) / 100; }
int PointsToPixels(int points, int dpi) { return MulDiv(points, dpi, 72); }

// Looked up: the project builds for Windows versions without them.
template <class Fn>
Fn User32(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// DPI_AWARENESS_PER_MONITOR_AWARE when the window's thread sizes it for its
// monitor; -1 when the system cannot tell.
int WindowAwareness(HWND window) {
    using ContextFn = HANDLE(WINAPI*)(HWND);
    using AwarenessFn = int(WINAPI*)(HANDLE);
    auto context = User32<ContextFn>("GetWindowDpiAwarenessContext");
    auto awareness = User32<AwarenessFn>("GetAwarenessFromDpiAwarenessContext");
    return context && awareness ? awareness(context(window)) : -1;
}

UINT DpiOfWindow(HWND window) {
    using DpiFn = UINT(WINAPI*)(HWND);
    auto forWindow = User32<DpiFn>("GetDpiForWindow");
    return forWindow ? forWindow(window) : 0;
}

int ColumnWidth(HWND list, int column) { return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)); }

RECT RemoteRect(HWND window, UINT message, WPARAM wParam, LONG left = 0) {
    RECT r = {left, 0, 0, 0};
    RemoteBuffer remote(window, sizeof r);
    if (remote.IsValid() && remote.Write(0, &r, sizeof r) &&
        SendMessageA(window, message, wParam, reinterpret_cast<LPARAM>(remote.At(0))))
        remote.Read(0, &r, sizeof r);
    else
        r = RECT{};
    return r;
}

std::wstring TextW(HWND window) {
    wchar_t text[512] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 3000, &got);
    return text;
}

std::string Narrow(const std::wstring& text) {
    char bytes[1024] = {};
    WideCharToMultiByte(932, 0, text.c_str(), -1, bytes, sizeof bytes - 1, nullptr, nullptr);
    return bytes;
}

// Measures texts as the program's dialogs draw them: the template's font at
// the run's DPI.
class TextRuler {
public:
    TextRuler(const wchar_t* face, int points, int dpi) : dc_(CreateCompatibleDC(nullptr)) {
        font_ = CreateFontW(-PointsToPixels(points, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
        old_ = SelectObject(dc_, font_);
    }
    ~TextRuler() {
        SelectObject(dc_, old_);
        DeleteObject(font_);
        DeleteDC(dc_);
    }
    TextRuler(const TextRuler&) = delete;
    TextRuler& operator=(const TextRuler&) = delete;

    // The box a text needs: on one line, or broken at words within `width`.
    RECT Needs(const std::wstring& text, int width, bool wrap) const {
        RECT r = {0, 0, wrap ? width : 0, 0};
        DrawTextW(dc_, text.c_str(), -1, &r, DT_CALCRECT | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
        return r;
    }
    int LineHeight() const { return Needs(L"Ag", 0, false).bottom; }

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ old_;
};

std::string Describe(HWND control, const std::wstring& text, const RECT& box, const RECT& needs) {
    std::ostringstream s;
    s << "\"" << Narrow(text) << "\" (id " << GetDlgCtrlID(control) << ") needs " << needs.right << "x" << needs.bottom
      << " and has " << box.right << "x" << box.bottom;
    return s.str();
}

// Every shown static text and button among the dialog's children whose text
// does not fit its box; edit boxes and buttons lower than a line of text.
std::vector<std::string> CutTexts(HWND dialog, const TextRuler& ruler, int dpi) {
    std::vector<std::string> cut;
    for (const ChildInfo& child : Children(dialog)) {
        HWND control = child.window;
        if (!IsWindowVisible(control)) continue;
        RECT box = {};
        GetClientRect(control, &box);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        if (child.className == "Edit" && GetParent(control) == dialog && box.bottom < ruler.LineHeight())
            cut.push_back("edit box (id " + std::to_string(GetDlgCtrlID(control)) + ") lower than a line: " +
                          std::to_string(box.bottom) + " < " + std::to_string(ruler.LineHeight()));
        const std::wstring text = TextW(control);
        if (text.empty()) continue;
        RECT needs = {};
        int room = box.right;
        if (child.className == "Button") {
            switch (style & BS_TYPEMASK) {
            case BS_PUSHBUTTON:
            case BS_DEFPUSHBUTTON:
                room -= 2 * GetSystemMetrics(SM_CXEDGE);
                break;
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX:
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON:
            case BS_3STATE:
            case BS_AUTO3STATE:
                room -= Scaled(13 + 3, dpi);  // the box and its gap
                break;
            case BS_GROUPBOX:
                room -= Scaled(8, dpi);
                break;
            default:
                continue;
            }
            needs = ruler.Needs(text, 0, false);
        } else if (child.className == "Static") {
            if (style & SS_ELLIPSISMASK) continue;  // shortened on purpose
            const LONG kind = style & SS_TYPEMASK;
            if (kind == SS_LEFT || kind == SS_CENTER || kind == SS_RIGHT) needs = ruler.Needs(text, box.right, true);
            else if (kind == SS_SIMPLE || kind == SS_LEFTNOWORDWRAP) needs = ruler.Needs(text, 0, false);
            else continue;
        } else {
            continue;
        }
        if (needs.right > room || needs.bottom > box.bottom) cut.push_back(Describe(control, text, box, needs));
    }
    return cut;
}

// A picture of the window as the screen shows it, for the README: from its
// menu bar down, as Xvfb has no window manager to draw the caption.
void Picture(HWND window, const char* name) {
    const char* folder = std::getenv("NL_E2E_PICTURES");
    if (!folder || !*folder) return;
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    RECT r = {};
    GetWindowRect(window, &r);
    POINT clientTop = {0, 0};
    ClientToScreen(window, &clientTop);
    r.top = clientTop.y - (GetMenu(window) ? GetSystemMetrics(SM_CYMENU) : 0);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    std::vector<uint32_t> pixels;
    const int w = r.right - r.left, h = r.bottom - r.top;
    // Taken once the window has painted: more than one colour on the screen there.
    WaitUntil([&] {
        pixels = CaptureScreen(r);
        for (uint32_t pixel : pixels)
            if ((pixel & 0xFFFFFF) != (pixels.front() & 0xFFFFFF)) return true;
        return false;
    });
    if (pixels.size() != static_cast<size_t>(w) * h) return;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = -h;
    info.biPlanes = 1;
    info.biBitCount = 32;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size() * 4);
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    bytes.append(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 4);
    WriteFileBytes(std::string(folder) + "\\" + name + "-" + std::to_string(RunDpi()) + ".bmp", bytes);
}

EntryRecord Entry(const char* name, uint8_t last, int32_t id) {
    const SYSTEMTIME stamp = {2024, 4, 0, 1, 9, 30, 0, 0};
    const EntryFields fields = {name, {10, 77, 0, last}, {255, 255, 255, 0}, 9, {2, 0, 0, 0, 0, last},
                                "pc-" , "2F 会議室", "定例会議用", stamp, stamp, stamp, 0};
    return MakeRecord(fields, id);
}

class DpiTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        dpi = RunDpi();
        const std::vector<EntryRecord> entries = {Entry("会議室のPC", 70, 0), Entry("受付", 71, 1)};
        ASSERT_NO_FATAL_FAILURE(LaunchWith(entries));
        ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.WakeList()) == 2; }));
    }

    // The row's small image (LVIR_ICON) and the row itself.
    RECT RowPart(HWND list, int row, LONG part) const { return RemoteRect(list, LVM_GETITEMRECT, row, part); }

    int dpi = 96;
};

TEST_F(DpiTest, TheMainWindowIsDrawnForTheDpiOfItsMonitor) {
    HWND main = app.Main();
    constexpr int kPerMonitorAware = 2;
    EXPECT_EQ(kPerMonitorAware, WindowAwareness(main)) << "the manifest's awareness was not taken";
    EXPECT_EQ(static_cast<UINT>(dpi), DpiOfWindow(main));

    HWND wake = app.WakeList(), log = app.CommandLog();
    for (int column = 0; column < 12; ++column)
        EXPECT_EQ(Scaled(kWakeListWidths[column], dpi), ColumnWidth(wake, column)) << "Wake List column " << column;
    for (int column = 0; column < 2; ++column)
        EXPECT_EQ(Scaled(kCommandLogWidths[column], dpi), ColumnWidth(log, column)) << "Command Log column " << column;

    // Rows: the image drawn for the scale, and room for the list's 10-point text.
    const RECT icon = RowPart(wake, 0, LVIR_ICON), row = RowPart(wake, 0, LVIR_BOUNDS);
    EXPECT_EQ(ImageSize(16, dpi), icon.right - icon.left) << "the row's image";
    EXPECT_GE(row.bottom - row.top, ImageSize(16, dpi));
    EXPECT_GE(row.bottom - row.top, PointsToPixels(10, dpi)) << "a row lower than its text";

    // The tool strip's buttons hold the images drawn for the scale, and their labels.
    HWND toolbar = app.Toolbar();
    ASSERT_NE(nullptr, toolbar);
    const LRESULT buttonSize = SendMessageA(toolbar, TB_GETBUTTONSIZE, 0, 0);
    EXPECT_GE(HIWORD(buttonSize), ImageSize(32, dpi)) << "tool strip button height";
    const TextRuler gui(L"MS UI Gothic", 9, dpi);
    for (int i = 0; i < 4; ++i) {
        const RECT button = RemoteRect(toolbar, TB_GETITEMRECT, i);
        EXPECT_GE(button.right - button.left, ImageSize(32, dpi) + gui.Needs(L"ENTRY", 0, false).right / 2)
            << "tool strip button " << i << " narrower than its image and label";
    }
    // The strip is as high as its buttons, the tabs and the status bar hold their text.
    RECT strip = {};
    GetClientRect(GetParent(toolbar), &strip);
    EXPECT_GE(strip.bottom, HIWORD(buttonSize));
    RECT status = {};
    GetClientRect(app.StatusBar(), &status);
    EXPECT_GE(status.bottom, PointsToPixels(8, dpi)) << "status bar";
    const RECT tabItem = RemoteRect(app.Tab(), TCM_GETITEMRECT, 0);
    EXPECT_GE(tabItem.bottom - tabItem.top, ImageSize(16, dpi)) << "tab";
    Picture(main, "main-window");
}

TEST_F(DpiTest, MovingToAMonitorOfAnotherScaleRedrawsEverythingInProportion) {
    HWND main = app.Main(), wake = app.WakeList();
    ShowWindow(main, SW_RESTORE);
    ASSERT_TRUE(WaitUntil([&] { return !IsZoomed(main); }));
    // Small enough that twice its size still fits the screen.
    ASSERT_TRUE(SetWindowPos(main, nullptr, 10, 10, Scaled(300, dpi), Scaled(220, dpi), SWP_NOZORDER));
    ASSERT_TRUE(SendMessageA(wake, LVM_SETCOLUMNWIDTH, 3, Scaled(222, dpi)));  // a width the user set
    std::vector<int> before;
    for (int column = 0; column < 12; ++column) before.push_back(ColumnWidth(wake, column));
    RECT window = {};
    GetWindowRect(main, &window);
    const LRESULT buttonBefore = SendMessageA(app.Toolbar(), TB_GETBUTTONSIZE, 0, 0);

    // What Windows sends when the window is dragged to a monitor of the other
    // scale: the new DPI and the rectangle that keeps its size in proportion.
    const int other = dpi >= 144 ? 96 : 192;
    RECT suggested = {window.left, window.top, window.left + MulDiv(window.right - window.left, other, dpi),
                      window.top + MulDiv(window.bottom - window.top, other, dpi)};
    RemoteBuffer remote(main, sizeof suggested);
    ASSERT_TRUE(remote.Write(0, &suggested, sizeof suggested));
    SendMessageA(main, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(remote.At(0)));

    RECT now = {};
    GetWindowRect(main, &now);
    EXPECT_EQ(suggested.right - suggested.left, now.right - now.left) << "window width";
    EXPECT_EQ(suggested.bottom - suggested.top, now.bottom - now.top) << "window height";
    for (int column = 0; column < 12; ++column)
        EXPECT_NEAR(MulDiv(before[column], other, dpi), ColumnWidth(wake, column), 1) << "column " << column;
    const RECT icon = RowPart(wake, 0, LVIR_ICON);
    EXPECT_EQ(ImageSize(16, other), icon.right - icon.left) << "the row's image after the move";
    const RECT row = RowPart(wake, 0, LVIR_BOUNDS);
    EXPECT_GE(row.bottom - row.top, PointsToPixels(10, other));
    const LRESULT buttonAfter = SendMessageA(app.Toolbar(), TB_GETBUTTONSIZE, 0, 0);
    EXPECT_GE(HIWORD(buttonAfter), ImageSize(32, other));
    EXPECT_EQ(other > dpi, HIWORD(buttonAfter) > HIWORD(buttonBefore)) << "tool strip buttons did not follow";
    // The strip still sits above the tabs.
    RECT strip = {}, tab = {};
    GetWindowRect(GetParent(app.Toolbar()), &strip);
    GetWindowRect(app.Tab(), &tab);
    EXPECT_GE(strip.bottom - strip.top, HIWORD(buttonAfter));
    EXPECT_LE(strip.bottom, tab.top + GetSystemMetrics(SM_CYEDGE) * 2);

    // And back: the user's widths come back within a pixel.
    RECT back = window;
    ASSERT_TRUE(remote.Write(0, &back, sizeof back));
    SendMessageA(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote.At(0)));
    for (int column = 0; column < 12; ++column)
        EXPECT_NEAR(before[column], ColumnWidth(wake, column), 1) << "column " << column << " after the way back";
    EXPECT_EQ(ImageSize(16, dpi), RowPart(wake, 0, LVIR_ICON).right - RowPart(wake, 0, LVIR_ICON).left);
}

TEST_F(DpiTest, TheEntrySheetShowsEveryTextWhole) {
    ASSERT_TRUE(listview::SetSelected(app.WakeList(), 0, true));
    app.PostCommand(kCmdEditEntry);
    HWND sheet = WaitEntrySheet(app.Pid());
    ASSERT_NE(nullptr, sheet);
    HWND destination = DestinationPageOf(sheet);
    ASSERT_NE(nullptr, destination);
    const TextRuler ruler(L"MS UI Gothic", 10, dpi);
    for (const std::string& fault : CutTexts(destination, ruler, dpi)) ADD_FAILURE() << "送信先: " << fault;
    RECT name = {};
    GetClientRect(GetDlgItem(destination, kEntryName), &name);
    EXPECT_GE(name.bottom, ruler.LineHeight()) << "the name box";
    Picture(sheet, "entry-sheet");
    HWND details = ShowDetailsPage(sheet);
    ASSERT_NE(nullptr, details);
    for (const std::string& fault : CutTexts(details, ruler, dpi)) ADD_FAILURE() << "付加情報: " << fault;
    ClickButton(sheet, IDCANCEL);
    EXPECT_TRUE(WaitGone(sheet));
}

TEST_F(DpiTest, TheScanBoxShowsEveryTextWholeAndItsColumnsAtScale) {
    app.PostCommand(kCmdNetScan);
    HWND box = WaitDialog(app.Pid(), kScanCaption);
    ASSERT_NE(nullptr, box);
    HWND list = GetDlgItem(box, kScanList);
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(Scaled(kScanWidths[column], dpi), ColumnWidth(list, column)) << "scan column " << column;
    const TextRuler ruler(L"MS UI Gothic", 9, dpi);
    for (const std::string& fault : CutTexts(box, ruler, dpi)) ADD_FAILURE() << "scan box: " << fault;
    Picture(box, "scan-box");
    ClickButton(box, IDCANCEL);
    EXPECT_TRUE(WaitGone(box));
}

TEST_F(DpiTest, TheOtherDialogsShowEveryTextWhole) {
    const struct {
        int command;
        const char* caption;
    } boxes[] = {{kCmdAbout, "Nodelark"}, {kCmdFilter, "ｱﾄﾞﾚｽﾌｨﾙﾀ設定"}, {kCmdTools, "ﾂｰﾙの登録"}};
    const TextRuler ruler(L"MS UI Gothic", 9, dpi);
    for (const auto& b : boxes) {
        app.PostCommand(b.command);
        HWND box = WaitDialog(app.Pid(), b.caption);
        ASSERT_NE(nullptr, box) << b.caption;
        for (const std::string& fault : CutTexts(box, ruler, dpi)) ADD_FAILURE() << b.caption << ": " << fault;
        PostMessageA(box, WM_CLOSE, 0, 0);
        ASSERT_TRUE(WaitGone(box)) << b.caption;
    }
}

}  // namespace
}  // namespace e2e
