// Process entry: single instance, window class, main window, message loop.
#include <windows.h>
#include <commctrl.h>
#include <winsock2.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/SystemLibraryWin32.h"
#include "ui/AppContextWin32.h"
#include "common/LocalTimeWin32.h"
#include "entries/EntListWin32.h"
#include "log/CommandLogWin32.h"
#include "log/LogFormat.h"
#include "ui/ShellWin32.h"
#include "wake/CommandLine.h"
#include "wake/HandOverWin32.h"
#include "wake/WakeRunWin32.h"
#include "app/MainWindowWin32.h"
#include "resource.h"

namespace {

// A start-up failure with the system error code of the moment it happened.
struct StartupError {
    const char* text;
    DWORD code;
};

[[noreturn]] void Fail(const char* text) { throw StartupError{text, GetLastError()}; }

void RegisterMainClass(HINSTANCE instance) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    // The sizes of the system's DPI: 32 and 16 at 100 %, picked from the icon's own images.
    wc.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    wc.hCursor = static_cast<HCURSOR>(LoadImageA(nullptr, MAKEINTRESOURCEA(32512), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kMainWindowClass;
    wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (!RegisterClassExA(&wc)) Fail("ｳｨﾝﾄﾞｳｸﾗｽの登録に失敗");
}

int RunMessageLoop() {
    AppContext& app = App();
    MSG msg;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got == -1) Fail("ﾒｲﾝﾒｯｾｰｼﾞﾙｰﾌﾟでｴﾗｰが発生");
        if (!TranslateAcceleratorA(app.mainWindow, app.accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// A start-up that failed for a waiting caller leaves its reasons in the
// log: in the Command Log when the window came so far, else at the end of
// the log file, which the failed start never opened.
void LogUnattendedFailure(const std::vector<std::string>& lines) {
    AppContext& app = App();
    if (app.mainWindow && IsWindow(app.mainWindow)) {
        for (const std::string& line : lines) AppendCommandLog(app.mainWindow, line.c_str());
        return;
    }
    const std::string path = LogFilePath(LocateDataFolder());
    if (path.empty()) return;
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    for (const std::string& line : lines) {
        const std::string bytes = FormatLogLine(LocalNow(), line);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    CloseHandle(file);
}

// Nodelark's texts are code page 932 bytes handed to the ANSI functions. The
// manifest asks for that code page whatever the system locale, and Windows 11
// honours it; Windows 10 ignores it, and there the user must hear why every
// text is garbled, in words the system can show whatever its code page.
constexpr UINT kJapaneseCodePage = 932;

void WarnOfTheCodePage() {
    wchar_t text[1024];
    const UINT page = GetACP();
    _snwprintf(text, sizeof text / sizeof text[0] - 1,
               L"Nodelark の画面の文字は日本語のコード ページ 932 で書かれていますが、"
               L"この Windows のコード ページは %u です。文字が化けて表示され、入力した名前が"
               L"別のコード ページで保存されることがあります。\n\n"
               L"「設定」→「時刻と言語」→「言語と地域」→「管理用の言語の設定」→"
               L"「システム ロケールの変更」で「日本語 (日本)」を選び、Windows を再起動してください。\n\n"
               L"Nodelark writes its texts in the Japanese code page 932, but this Windows uses code page %u: "
               L"texts will show garbled, and names you type may be stored in another code page. "
               L"Choose \"Japanese (Japan)\" under Settings > Time & language > Language & region > "
               L"Administrative language settings > Change system locale, and restart Windows.",
               page, page);
    text[sizeof text / sizeof text[0] - 1] = L'\0';
    MessageBoxW(nullptr, text, L"Nodelark", MB_ICONWARNING | MB_OK);
}

}  // namespace

// The program's entry point (see src/CMakeLists.txt): the DLL search order is
// narrowed before the C runtime starts, so nothing the runtime or the program
// loads later can come from the program's folder or the current one.
extern "C" int WinMainCRTStartup();
extern "C" int NodelarkStartup() {
    RestrictDllSearchToSystem();
    return WinMainCRTStartup();
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showMode) {
    AppContext& app = App();
    app.instance = instance;
    HANDLE mutex = nullptr;
    int exitCode = 0;
    const CommandLineRequest request = ParseCommandLine(commandLine);
    try {
        mutex = CreateMutexA(nullptr, TRUE, kMainWindowClass);
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            // A script or a scheduled task cannot click a box: its request
            // goes to the running program, and this process makes no window.
            if (request.found) {
                CloseHandle(mutex);
                return HandOverToRunningProgram(commandLine);
            }
            Fail("既に起動されています");
        }

        InitCommonControls();
        INITCOMMONCONTROLSEX icc = {};
        icc.dwSize = sizeof icc;
        icc.dwICC = ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES;
        InitCommonControlsEx(&icc);

        // A script or a scheduled task cannot click the box: the log says it.
        const bool otherCodePage = GetACP() != kJapaneseCodePage;
        if (otherCodePage && !request.found) WarnOfTheCodePage();

        SetUnattended(request.found && request.wait);
        RegisterMainClass(instance);
        char title[64];
        std::snprintf(title, sizeof title, "%s", kProductName);
        app.mainWindow = CreateWindowExA(0, kMainWindowClass, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                         instance, nullptr);
        if (!app.mainWindow) Fail("ｳｨﾝﾄﾞｳ作成に失敗");
        app.accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
        if (!app.accelerators) Fail("ｱｸｾﾗﾚｰﾀﾃｰﾌﾞﾙのﾛｰﾄﾞに失敗");
        SetUnattended(false);
        ShowWindow(app.mainWindow, showMode);
        UpdateWindow(app.mainWindow);
        StartHandOverServer(app.mainWindow);
        if (otherCodePage && request.found) {
            char line[160];
            std::snprintf(line, sizeof line, "ｺｰﾄﾞﾍﾟｰｼﾞが%uのため、日本語が正しく表示されないことがあります(932が必要です)",
                          GetACP());
            AppendCommandLog(app.mainWindow, line);
        }
        RunCommandLine(app.mainWindow, commandLine ? commandLine : "");
        exitCode = RunMessageLoop();
    } catch (const StartupError& e) {
        // A window that failed in its construction was destroyed again, and
        // its destruction asked the loop to quit: that request would close
        // the box at once.
        MSG pending;
        while (PeekMessageA(&pending, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        if (e.text && *e.text) {
            char text[512];
            std::snprintf(text, sizeof text, "%s\n(ErrorCode:0x%08lx)", e.text, static_cast<unsigned long>(e.code));
            // A waiting request's caller is a script: the log and the exit
            // code tell it, no box holds it up.
            if (request.found && request.wait) {
                std::vector<std::string> lines = TakeUnattendedErrors();
                lines.push_back(text);
                LogUnattendedFailure(lines);
            } else {
                MessageBoxA(app.mainWindow, text, kProductName, MB_ICONHAND | MB_SYSTEMMODAL);
            }
        }
        // Nothing of a command-line request was sent.
        exitCode = request.found ? 2 : 0;
    } catch (...) {
        exitCode = request.found ? 2 : 0;
    }
    // A failure after the window was made still goes through the normal
    // shutdown, which saves the entries.
    if (app.mainWindow && IsWindow(app.mainWindow)) DestroyWindow(app.mainWindow);
    WSACleanup();
    if (mutex) CloseHandle(mutex);
    return exitCode;
}
