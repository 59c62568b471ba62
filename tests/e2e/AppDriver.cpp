#include "AppDriver.h"

#include "TestEnv.h"

#include <shlobj.h>
#include <cstdio>
#include <cstdlib>

namespace e2e {

bool WaitUntil(const std::function<bool()>& ready, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (ready()) return true;
        if (GetTickCount() - start >= timeoutMs) return ready();
        Sleep(50);
    }
}

std::string ExePath() { return testenv::Variable("NL_E2E_EXE"); }

std::string ExeFolder() {
    std::string path = ExePath();
    size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string ShotFolder() { return testenv::Variable("NL_E2E_SHOTS"); }

std::string DataFolder() {
    char folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, FALSE)) return std::string();
    std::string path = folder;
    if (path.empty() || path.back() != '\\') path += '\\';
    return path + "Morrowbel";
}

std::string TempFolder() {
    char buffer[MAX_PATH] = {};
    GetTempPathA(sizeof buffer, buffer);
    std::string path = std::string(buffer) + "nl_e2e";
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
               put == bytes.size());
    CloseHandle(file);
    return ok;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ResetDataFolder() {
    std::string folder = DataFolder();
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileA((folder + "\\" + name).c_str());
        else if (name != "." && name != "..")
            RemoveDirectoryA((folder + "\\" + name).c_str());  // a test's stand-in for a file
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

std::vector<uint32_t> CaptureScreen(const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<uint32_t> pixels;
    if (w <= 0 || h <= 0) return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        pixels.reserve(static_cast<size_t>(w) * h);
        for (int i = 0; i < w * h; ++i) pixels.push_back(p[i] & 0xFFFFFF);
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool SaveScreenshot(const std::string& path) {
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    std::vector<uint32_t> pixels = CaptureScreen(screen);
    const int w = screen.right, h = screen.bottom;
    if (pixels.empty()) return false;
    const int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fileHeader = {};
    BITMAPINFOHEADER infoHeader = {};
    infoHeader.biSize = sizeof infoHeader;
    infoHeader.biWidth = w;
    infoHeader.biHeight = h;  // bottom-up, as viewers expect
    infoHeader.biPlanes = 1;
    infoHeader.biBitCount = 24;
    infoHeader.biSizeImage = static_cast<DWORD>(stride) * h;
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof fileHeader + sizeof infoHeader;
    fileHeader.bfSize = fileHeader.bfOffBits + infoHeader.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
    bytes.append(reinterpret_cast<const char*>(&infoHeader), sizeof infoHeader);
    std::string row(stride, '\0');
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            uint32_t p = pixels[static_cast<size_t>(y) * w + x];
            row[x * 3] = static_cast<char>(p & 0xFF);
            row[x * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
        }
        bytes += row;
    }
    return WriteFileBytes(path, bytes);
}

// ---- remote memory

RemoteBuffer::RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD pid = WindowPid(window);
    if (!pid) return;
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process_) return;
    base_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer() {
    if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
}

bool RemoteBuffer::Write(size_t offset, const void* data, size_t size) {
    SIZE_T done = 0;
    return base_ && offset + size <= size_ &&
           WriteProcessMemory(process_, At(offset), data, size, &done) && done == size;
}

bool RemoteBuffer::Read(size_t offset, void* data, size_t size) const {
    SIZE_T done = 0;
    return base_ && offset + size <= size_ &&
           ReadProcessMemory(process_, At(offset), data, size, &done) && done == size;
}

std::string RemoteBuffer::ReadText(size_t offset, size_t maxSize) const {
    std::string text(maxSize, '\0');
    if (!Read(offset, &text[0], maxSize)) return std::string();
    text.resize(strnlen(text.data(), maxSize));
    return text;
}

// ---- windows

std::string WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 3000, &length))
        return std::string();
    std::string text(length + 1, '\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                        SMTO_ABORTIFHUNG, 3000, &got);
    text.resize(strnlen(text.data(), text.size()));
    return text;
}

std::string ClassName(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

DWORD WindowPid(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::vector<ChildInfo> Children(HWND parent) {
    std::vector<HWND> handles;
    EnumChildWindows(parent, [](HWND child, LPARAM out) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(child);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&handles));
    std::vector<ChildInfo> children;
    for (HWND child : handles)
        children.push_back({child, GetDlgCtrlID(child), ClassName(child), WindowText(child)});
    return children;
}

HWND ChildById(HWND parent, int id) {
    for (const ChildInfo& child : Children(parent))
        if (child.id == id) return child.window;
    return nullptr;
}

std::vector<HWND> ShownTopWindows(const std::function<bool(HWND)>& wanted) {
    struct Search { const std::function<bool(HWND)>* wanted; std::vector<HWND> found; } search{&wanted, {}};
    EnumWindows([](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (IsWindowVisible(window) && (*s->wanted)(window)) s->found.push_back(window);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

static HWND FirstShown(DWORD pid, const char* className) {
    std::vector<HWND> found = ShownTopWindows(
        [&](HWND window) { return WindowPid(window) == pid && ClassName(window) == className; });
    return found.empty() ? nullptr : found.front();
}

std::vector<HWND> ProcessDialogs(DWORD pid) {
    return ShownTopWindows([&](HWND window) { return WindowPid(window) == pid && ClassName(window) == "#32770"; });
}

HWND WaitDialog(DWORD pid, const std::string& caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND dialog : ProcessDialogs(pid))
            if (WindowText(dialog) == caption) { found = dialog; return true; }
        return false;
    }, timeoutMs);
    return found;
}

std::string MessageBoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::string();
}

OpenDialog DescribeDialog(HWND dialog) {
    OpenDialog d{WindowText(dialog), MessageBoxText(dialog)};
    if (!d.text.empty()) return d;
    // Another box says what it says in its static texts.
    for (const ChildInfo& child : Children(dialog)) {
        if (child.className != "Static" || child.text.empty()) continue;
        if ((GetWindowLongA(child.window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
        d.text += (d.text.empty() ? "" : "\n") + child.text;
    }
    return d;
}

void ClickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button) PostMessageA(button, BM_CLICK, 0, 0);
}

bool WaitGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

std::string AnswerMessageBox(DWORD pid, int button, DWORD timeoutMs) {
    HWND box = WaitDialog(pid, "Nodelark", timeoutMs);
    if (!box) return "(no message box)";
    std::string text = MessageBoxText(box);
    ClickButton(box, button);
    WaitGone(box);
    return text;
}

HWND FileNameField(HWND fileDialog) {
    for (const ChildInfo& child : Children(fileDialog))
        if (child.id == 1148 && child.className == "Edit") return child.window;
    return nullptr;
}

bool ConfirmFile(HWND fileDialog, const std::string& path) {
    HWND field = FileNameField(fileDialog);
    if (!field) return false;
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ClickButton(fileDialog, IDOK);
    return WaitGone(fileDialog);
}

std::string ClipboardTextBytes() {
    std::string bytes = "(clipboard unreadable)";
    if (!OpenClipboard(nullptr)) return bytes;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        SIZE_T size = GlobalSize(data);
        if (const char* p = static_cast<const char*>(GlobalLock(data))) {
            size_t length = strnlen(p, size);
            bytes.assign(p, length < size ? length + 1 : length);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return bytes;
}

bool PutClipboardText(const std::string& text) {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (memory) {
        char* p = static_cast<char*>(GlobalLock(memory));
        memcpy(p, text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
    }
    CloseClipboard();
    return memory != nullptr;
}

// ---- list view

namespace listview {

int Count(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

int ColumnCount(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

constexpr size_t kTextOffset = 512;
constexpr size_t kTextSize = 2048;

std::string Text(HWND list, int row, int column) {
    RemoteBuffer remote(list, kTextOffset + kTextSize);
    if (!remote.IsValid()) return "<no remote buffer>";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = remote.At(kTextOffset);
    item.cchTextMax = kTextSize;
    char zero = 0;
    remote.Write(kTextOffset, &zero, 1);
    remote.Write(0, &item, sizeof item);
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.At(0)));
    return remote.ReadText(kTextOffset, kTextSize);
}

std::vector<std::string> Row(HWND list, int row) {
    std::vector<std::string> cells;
    for (int c = 0, n = ColumnCount(list); c < n; ++c) cells.push_back(Text(list, row, c));
    return cells;
}

static bool GetItem(HWND list, int row, UINT mask, UINT stateMask, LVITEMA* out) {
    RemoteBuffer remote(list, sizeof(LVITEMA));
    if (!remote.IsValid()) return false;
    LVITEMA item = {};
    item.mask = mask;
    item.iItem = row;
    item.stateMask = stateMask;
    remote.Write(0, &item, sizeof item);
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.At(0)))) return false;
    return remote.Read(0, out, sizeof *out);
}

int Image(HWND list, int row) {
    LVITEMA item = {};
    return GetItem(list, row, LVIF_IMAGE, 0, &item) ? item.iImage : -100;
}

LPARAM Param(HWND list, int row) {
    LVITEMA item = {};
    return GetItem(list, row, LVIF_PARAM, 0, &item) ? item.lParam : -100;
}

UINT State(HWND list, int row, UINT mask) {
    return static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, row, mask));
}

bool Selected(HWND list, int row) { return State(list, row, LVIS_SELECTED) != 0; }

int StateImage(HWND list, int row) {
    return static_cast<int>((State(list, row, LVIS_STATEIMAGEMASK) >> 12) & 0xF);
}

std::string HeaderText(HWND list, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    RemoteBuffer remote(header, kTextOffset + 256);
    if (!header || !remote.IsValid()) return std::string();
    HDITEMA item = {};
    item.mask = HDI_TEXT;
    item.pszText = remote.At(kTextOffset);
    item.cchTextMax = 256;
    remote.Write(0, &item, sizeof item);
    SendMessageA(header, HDM_GETITEMA, column, reinterpret_cast<LPARAM>(remote.At(0)));
    return remote.ReadText(kTextOffset, 256);
}

bool HeaderItemRect(HWND list, int column, RECT* screenRect) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    RemoteBuffer remote(header, sizeof(RECT));
    if (!header || !remote.IsValid()) return false;
    if (!SendMessageA(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(remote.At(0))))
        return false;
    RECT r;
    if (!remote.Read(0, &r, sizeof r)) return false;
    MapWindowPoints(header, nullptr, reinterpret_cast<POINT*>(&r), 2);
    *screenRect = r;
    return true;
}

bool ItemRect(HWND list, int row, RECT* screenRect) {
    RemoteBuffer remote(list, sizeof(RECT));
    RECT r = {};
    r.left = LVIR_BOUNDS;
    if (!remote.Write(0, &r, sizeof r)) return false;
    if (!SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote.At(0)))) return false;
    if (!remote.Read(0, &r, sizeof r)) return false;
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
    *screenRect = r;
    return true;
}

bool ClickHeader(HWND list, int column) {
    RECT r;
    if (!HeaderItemRect(list, column, &r)) return false;
    Sleep(GetDoubleClickTime() + 100);  // not a double-click with the last click
    ClickAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return true;
}

std::vector<bool> SelectedRows(HWND list) {
    std::vector<bool> rows;
    for (int i = 0, n = Count(list); i < n; ++i) rows.push_back(Selected(list, i));
    return rows;
}

// Row -1 sets every row.
static bool SetState(HWND list, int row, UINT state, UINT mask) {
    RemoteBuffer remote(list, sizeof(LVITEMA));
    LVITEMA item = {};
    item.stateMask = mask;
    item.state = state;
    return remote.Write(0, &item, sizeof item) &&
           SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)));
}

bool SetSelected(HWND list, int row, bool selected) {
    return SetState(list, row, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

std::vector<std::string> Column(HWND list, int column) {
    std::vector<std::string> texts;
    for (int i = 0, n = Count(list); i < n; ++i) texts.push_back(Text(list, i, column));
    return texts;
}

}  // namespace listview

void SelectRows(HWND list, const std::vector<int>& rows) {
    listview::SetState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int row : rows) listview::SetState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// ---- tab control

namespace tabs {

int Count(HWND tab) { return static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0)); }
int Current(HWND tab) { return static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0)); }

static bool GetItem(HWND tab, int index, TCITEMA* out, std::string* text) {
    RemoteBuffer remote(tab, 512 + 256);
    if (!remote.IsValid()) return false;
    TCITEMA item = {};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = remote.At(512);
    item.cchTextMax = 256;
    char zero = 0;
    remote.Write(512, &zero, 1);
    remote.Write(0, &item, sizeof item);
    if (!SendMessageA(tab, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(remote.At(0)))) return false;
    if (!remote.Read(0, out, sizeof *out)) return false;
    if (text) *text = remote.ReadText(512, 256);
    return true;
}

std::string Caption(HWND tab, int index) {
    TCITEMA item;
    std::string text;
    return GetItem(tab, index, &item, &text) ? text : std::string();
}

LPARAM Param(HWND tab, int index) {
    TCITEMA item;
    return GetItem(tab, index, &item, nullptr) ? item.lParam : 0;
}

}  // namespace tabs

std::string StatusText(HWND statusBar, int part) {
    RemoteBuffer remote(statusBar, 1024);
    if (!remote.IsValid()) return std::string();
    char zero = 0;
    remote.Write(0, &zero, 1);
    DWORD length = LOWORD(SendMessageA(statusBar, SB_GETTEXTLENGTHA, part, 0));
    if (length >= 1024) return std::string();
    SendMessageA(statusBar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(remote.At(0)));
    return remote.ReadText(0, 1024);
}

int ToolbarState(HWND toolbar, int command) {
    return static_cast<int>(SendMessageA(toolbar, TB_GETSTATE, command, 0));
}

bool ToolbarButtonRect(HWND toolbar, int command, RECT* screenRect) {
    RemoteBuffer remote(toolbar, sizeof(RECT));
    if (!toolbar || !remote.IsValid()) return false;
    if (!SendMessageA(toolbar, TB_GETRECT, command, reinterpret_cast<LPARAM>(remote.At(0)))) return false;
    RECT r;
    if (!remote.Read(0, &r, sizeof r)) return false;
    MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&r), 2);
    *screenRect = r;
    return true;
}

HWND ShownPopupMenu(DWORD pid) { return FirstShown(pid, "#32768"); }

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return thread && GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

bool InMenuMode(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return thread && GetGUIThreadInfo(thread, &info) && (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE)) != 0;
}

RECT RectIn(HWND window, HWND reference) {
    RECT r = {};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, reference, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// ---- input

static void SendKey(WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

void PressKey(WORD vk, std::initializer_list<WORD> modifiers) {
    for (WORD m : modifiers) SendKey(m, false);
    SendKey(vk, false);
    SendKey(vk, true);
    for (auto it = modifiers.end(); it != modifiers.begin();) SendKey(*--it, true);
}

bool BringToFront(HWND window) {
    return WaitUntil([&] {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        return GetForegroundWindow() == window;
    }, 3000);
}

static void ClickWith(POINT screen, DWORD down, DWORD up, int times) {
    SetCursorPos(screen.x, screen.y);
    for (int i = 0; i < times; ++i) {
        INPUT inputs[2] = {};
        inputs[0].type = INPUT_MOUSE;
        inputs[0].mi.dwFlags = down;
        inputs[1].type = INPUT_MOUSE;
        inputs[1].mi.dwFlags = up;
        SendInput(2, inputs, sizeof inputs[0]);
    }
}

void ClickAt(POINT screen) { ClickWith(screen, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 1); }
void RightClickAt(POINT screen) { ClickWith(screen, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 1); }
void DoubleClickAt(POINT screen) { ClickWith(screen, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 2); }

// ---- the process

HWND FindMainWindow(DWORD pid) { return FirstShown(pid, "Nodelark_WindowClass"); }

App::~App() {
    if (Running()) Close(5000);
    if (thread_) CloseHandle(thread_);
    if (process_) CloseHandle(process_);
}

bool App::Start(const std::string& arguments) {
    const std::string program = program_.empty() ? ExePath() : program_;
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    std::string folder = program.substr(0, program.find_last_of('\\') + 1);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return false;
    process_ = info.hProcess;
    thread_ = info.hThread;
    pid_ = info.dwProcessId;
    WaitForInputIdle(process_, 5000);
    return true;
}

bool App::WaitMainWindow(DWORD timeoutMs) {
    return WaitUntil([&] {
        main_ = FindMainWindow(pid_);
        return main_ != nullptr;
    }, timeoutMs);
}

bool App::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool App::WaitExit(DWORD timeoutMs) {
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD App::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) GetExitCodeProcess(process_, &code);
    return code;
}

void App::Kill() {
    if (Running()) {
        TerminateProcess(process_, 255);
        WaitForSingleObject(process_, 5000);
    }
}

long App::Close(DWORD timeoutMs) {
    if (!process_) return -1;
    if (Running())
        for (HWND dialog : ProcessDialogs(pid_)) {
            const OpenDialog d = DescribeDialog(dialog);
            // One that went while it was read was on its way out already.
            if (IsWindow(dialog) && IsWindowVisible(dialog)) dialogsAtClose_.push_back(d);
        }
    if (Running() && main_ && IsWindow(main_)) PostMessageA(main_, WM_CLOSE, 0, 0);
    if (!WaitExit(timeoutMs)) {
        Kill();
        return -1;
    }
    return static_cast<long>(ExitCode());
}

HWND App::Tab() const { return main_ ? GetDlgItem(main_, 2015) : nullptr; }

HWND App::WakeList() const {
    HWND tab = Tab();
    return tab ? GetDlgItem(tab, 2016) : nullptr;
}

HWND App::CommandLog() const {
    HWND tab = Tab();
    return tab ? GetDlgItem(tab, 2017) : nullptr;
}

HWND App::StatusBar() const { return main_ ? GetDlgItem(main_, 2013) : nullptr; }

HWND App::Toolbar() const {
    HWND rebar = main_ ? GetDlgItem(main_, 2011) : nullptr;
    return rebar ? GetDlgItem(rebar, 2012) : nullptr;
}

void App::Command(int id) const { SendMessageA(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
void App::PostCommand(int id) const { PostMessageA(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

bool App::CommandReturns(int id, DWORD timeoutMs) const {
    DWORD_PTR result = 0;
    return main_ && SendMessageTimeoutA(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_ABORTIFHUNG,
                                        timeoutMs, &result);
}

bool App::Responds(DWORD timeoutMs) const {
    DWORD_PTR result = 0;
    return main_ && SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result);
}

}  // namespace e2e
