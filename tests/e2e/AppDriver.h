#pragma once
// Drives Nodelark.exe from outside, the way a user would: through its windows,
// window messages and synthesized input. Texts are CP932 byte strings.
#include <windows.h>
#include <commctrl.h>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

constexpr DWORD kWaitMs = 10000;

// Polls until the predicate holds or the time runs out; true when it held.
bool WaitUntil(const std::function<bool()>& ready, DWORD timeoutMs = kWaitMs);

std::string ExePath();        // Windows path of Nodelark.exe (NL_E2E_EXE)
std::string ExeFolder();      // with a trailing backslash
std::string ShotFolder();     // where failure screenshots go (NL_E2E_SHOTS)
std::string DataFolder();     // <application data>\Morrowbel
std::string TempFolder();     // a scratch folder of this test program

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Empties the data folder (creating it when missing).
void ResetDataFolder();

// Saves the whole screen as a 24-bit BMP file.
bool SaveScreenshot(const std::string& path);
// Reads a rectangle of the screen as 0x00RRGGBB pixels, row by row.
std::vector<uint32_t> CaptureScreen(const RECT& screenRect);

// Memory in another process, for messages whose parameters point to buffers.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    bool IsValid() const { return base_ != nullptr; }
    char* At(size_t offset) const { return static_cast<char*>(base_) + offset; }
    bool Write(size_t offset, const void* data, size_t size);
    bool Read(size_t offset, void* data, size_t size) const;
    std::string ReadText(size_t offset, size_t maxSize) const;
private:
    HANDLE process_ = nullptr;
    void* base_ = nullptr;
    size_t size_ = 0;
};

// Text, class and id of a window of any process.
std::string WindowText(HWND window);
std::string ClassName(HWND window);
DWORD WindowPid(HWND window);

struct ChildInfo {
    HWND window;
    int id;
    std::string className;
    std::string text;
};
std::vector<ChildInfo> Children(HWND parent);
HWND ChildById(HWND parent, int id);   // searches all descendants

// Visible top-level windows of any process that pass the test.
std::vector<HWND> ShownTopWindows(const std::function<bool(HWND)>& wanted);
// Visible top-level dialogs ("#32770") of a process, optionally by caption.
std::vector<HWND> ProcessDialogs(DWORD pid);
HWND WaitDialog(DWORD pid, const std::string& caption, DWORD timeoutMs = kWaitMs);
// The text of a message box (control 0xFFFF).
std::string MessageBoxText(HWND box);
// What a test can tell of an open dialog once it may be gone.
struct OpenDialog {
    std::string caption;
    std::string text;   // a message box's text, else its static texts, one a line
};
OpenDialog DescribeDialog(HWND dialog);
void ClickButton(HWND dialog, int id);
bool WaitGone(HWND window, DWORD timeoutMs = kWaitMs);
// Waits for the program's message box ("Nodelark"), returns its text and
// answers it with the button; "(no message box)" when none came.
std::string AnswerMessageBox(DWORD pid, int button, DWORD timeoutMs = kWaitMs);

// The file name box of an open or save dialog (explorer style: the Edit with
// id 1148; the combo box around it has the same id).
HWND FileNameField(HWND fileDialog);
// Types the path into the file dialog and presses OK; true once it has gone.
bool ConfirmFile(HWND fileDialog, const std::string& path);

// The clipboard's CF_TEXT bytes up to and including the terminating zero.
std::string ClipboardTextBytes();
bool PutClipboardText(const std::string& text);

// Cross-process reads of common controls.
namespace listview {
int Count(HWND list);
int ColumnCount(HWND list);
std::string Text(HWND list, int row, int column);
std::vector<std::string> Row(HWND list, int row);
int Image(HWND list, int row);
LPARAM Param(HWND list, int row);
UINT State(HWND list, int row, UINT mask);
bool Selected(HWND list, int row);
int StateImage(HWND list, int row);   // 0 = none
std::string HeaderText(HWND list, int column);
// Screen rectangle of a header item.
bool HeaderItemRect(HWND list, int column, RECT* screenRect);
// Screen rectangle of a whole row.
bool ItemRect(HWND list, int row, RECT* screenRect);
// A real click on a header item (the list's window in front), after the
// double-click time has passed since any earlier click.
bool ClickHeader(HWND list, int column);
// The selected state of every row, in row order.
std::vector<bool> SelectedRows(HWND list);
bool SetSelected(HWND list, int row, bool selected);
// The texts of one column, in row order.
std::vector<std::string> Column(HWND list, int column);
}  // namespace listview

namespace tabs {
int Count(HWND tab);
int Current(HWND tab);
std::string Caption(HWND tab, int index);
LPARAM Param(HWND tab, int index);
}  // namespace tabs

std::string StatusText(HWND statusBar, int part);
int ToolbarState(HWND toolbar, int command);   // -1 when the button is missing
// Screen rectangle of a toolbar button, by its command.
bool ToolbarButtonRect(HWND toolbar, int command, RECT* screenRect);

// A shown popup menu ("#32768") of a process; null when none is shown.
HWND ShownPopupMenu(DWORD pid);
// The window that has the keyboard focus in the thread of this window.
HWND FocusOf(HWND window);
// Whether the thread of this window is tracking a menu (the menu bar or a
// popup).
bool InMenuMode(HWND window);
// A window's rectangle in the client coordinates of another window.
RECT RectIn(HWND window, HWND reference);

// Keyboard input for the foreground window; modifiers are held around the key.
void PressKey(WORD vk, std::initializer_list<WORD> modifiers = {});
bool BringToFront(HWND window);
// Clicks at a screen position, with real mouse input.
void ClickAt(POINT screen);
void RightClickAt(POINT screen);
void DoubleClickAt(POINT screen);

// One running Nodelark process.
class App {
public:
    App() = default;
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // Starts the program with the given command-line arguments.
    bool Start(const std::string& arguments = "");
    // Starts this copy of the program instead (in its own folder, which is
    // also its current folder) from then on.
    void UseProgram(const std::string& path) { program_ = path; }
    bool WaitMainWindow(DWORD timeoutMs = kWaitMs);
    // WM_CLOSE, then waits for the exit; kills a process that hangs.
    // Returns the exit code, or -1 when it had to be killed. The dialogs
    // still open at that moment are kept for DialogsAtClose.
    long Close(DWORD timeoutMs = kWaitMs);
    const std::vector<OpenDialog>& DialogsAtClose() const { return dialogsAtClose_; }
    bool WaitExit(DWORD timeoutMs = kWaitMs);
    DWORD ExitCode() const;
    void Kill();
    bool Running() const;

    DWORD Pid() const { return pid_; }
    HANDLE Process() const { return process_; }
    HWND Main() const { return main_; }
    HWND Tab() const;
    HWND WakeList() const;
    HWND CommandLog() const;
    HWND StatusBar() const;
    HWND Toolbar() const;

    // Sends a command as a menu would; Post does not wait for modal loops.
    void Command(int id) const;
    void PostCommand(int id) const;
    // False when the command has not returned within the time: a modal
    // loop it started, or a hang.
    bool CommandReturns(int id, DWORD timeoutMs = 3000) const;
    // True when the program answers messages within the time.
    bool Responds(DWORD timeoutMs = 3000) const;

private:
    HANDLE process_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD pid_ = 0;
    std::string program_;
    HWND main_ = nullptr;
    std::vector<OpenDialog> dialogsAtClose_;
};

// Selects exactly these rows of a list view of another process, the last
// one focused.
void SelectRows(HWND list, const std::vector<int>& rows);

// Finds the main window of a process ("Nodelark_WindowClass", "Nodelark").
HWND FindMainWindow(DWORD pid);

}  // namespace e2e
