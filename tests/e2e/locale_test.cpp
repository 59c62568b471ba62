// Nodelark on a Windows whose system locale is not Japanese: the manifest
// asks for code page 932, so what the program shows reads as Japanese through
// the wide functions, and a name typed there is kept as code page 932.
// tests/e2e/run.sh runs these in a step of their own, with this test program
// started under LANG=en_US.UTF-8 and again under LANG=C.UTF-8; its own ANSI
// code page then is 1252 or 65001, so every text is read here as UTF-16.
#include "AppFixture.h"
#include "EntryDialogDriver.h"

#include <cstring>
#include <string>
#include <vector>

namespace e2e {
namespace {

constexpr size_t kChars = 512;

std::wstring ListTextW(HWND list, int row, int column) {
    RemoteBuffer remote(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    if (!remote.IsValid()) return L"<no remote buffer>";
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof(LVITEMW)));
    item.cchTextMax = static_cast<int>(kChars);
    const wchar_t zero = 0;
    remote.Write(sizeof(LVITEMW), &zero, sizeof zero);
    remote.Write(0, &item, sizeof item);
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.At(0)));
    std::wstring text(kChars, L'\0');
    remote.Read(sizeof(LVITEMW), &text[0], kChars * sizeof(wchar_t));
    text.resize(wcsnlen(text.data(), kChars));
    return text;
}

std::wstring TabCaptionW(HWND tab, int index) {
    RemoteBuffer remote(tab, sizeof(TCITEMW) + kChars * sizeof(wchar_t));
    if (!remote.IsValid()) return L"<no remote buffer>";
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof(TCITEMW)));
    item.cchTextMax = static_cast<int>(kChars);
    remote.Write(0, &item, sizeof item);
    if (!SendMessageW(tab, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(remote.At(0)))) return L"<no item>";
    std::wstring text(kChars, L'\0');
    remote.Read(sizeof(TCITEMW), &text[0], kChars * sizeof(wchar_t));
    text.resize(wcsnlen(text.data(), kChars));
    return text;
}

std::wstring WindowTextW(HWND window) {
    wchar_t text[kChars] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, kChars, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 3000, &got);
    return text;
}

// A shown top-level window of `pid` captioned `caption`: the ANSI look-ups
// would compare this process's code page's bytes.
HWND WaitWindowW(DWORD pid, const wchar_t* caption) {
    struct Search {
        DWORD pid;
        const wchar_t* caption;
        HWND found;
    } search = {pid, caption, nullptr};
    WaitUntil([&] {
        EnumWindows(
            [](HWND window, LPARAM parameter) -> BOOL {
                auto* s = reinterpret_cast<Search*>(parameter);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner != s->pid || !IsWindowVisible(window) || WindowTextW(window) != s->caption) return TRUE;
                s->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    return search.found;
}

// A copy of Nodelark.exe whose manifest lacks the code page entry, as
// Windows 10 reads every manifest; empty on failure.
std::string CopyWithoutCodePageEntry() {
    const std::string copy = TempFolder() + "\\NodelarkWithoutCodePage.exe";
    if (!CopyFileA(ExePath().c_str(), copy.c_str(), FALSE)) return std::string();
    std::string manifest;
    WORD language = 0;
    if (HMODULE module = LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        EnumResourceLanguagesA(
            module, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1),
            [](HMODULE, LPCSTR, LPCSTR, WORD found, LONG_PTR out) -> BOOL {
                *reinterpret_cast<WORD*>(out) = found;
                return FALSE;
            },
            reinterpret_cast<LONG_PTR>(&language));
        if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)))
            if (HGLOBAL loaded = LoadResource(module, found))
                manifest.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
        FreeLibrary(module);
    }
    const size_t begin = manifest.find("<activeCodePage");
    const size_t end = manifest.find("</activeCodePage>");
    if (begin == std::string::npos || end == std::string::npos) return std::string();
    manifest.erase(begin, end + std::strlen("</activeCodePage>") - begin);
    HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
    if (!update) return std::string();
    const bool written = UpdateResourceA(update, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), language, &manifest[0],
                                         static_cast<DWORD>(manifest.size())) != FALSE;
    if (!EndUpdateResourceA(update, !written) || !written) return std::string();
    return copy;
}

class OtherLocaleTest : public AppFixture {};

TEST_F(OtherLocaleTest, TextsReadAsJapaneseAndATypedNameIsKeptInCodePage932) {
    ASSERT_NE(932u, GetACP()) << "this test proves nothing under a Japanese locale: tests/e2e/run.sh starts it "
                                 "under LANG=en_US.UTF-8 and LANG=C.UTF-8";
    const SYSTEMTIME stamp = {2024, 4, 0, 1, 9, 30, 0, 0};
    const EntryFields fields = {"ｻｰﾊﾞ室", {10, 77, 0, 61}, {255, 255, 255, 0}, 9, {2, 0, 0, 0, 0, 61},
                                "", "２階", "", stamp, stamp, stamp, 0};
    ASSERT_NO_FATAL_FAILURE(LaunchWith({MakeRecord(fields, 0)}));

    HWND tab = GetDlgItem(app.Main(), 2015);
    EXPECT_EQ(L"一覧", TabCaptionW(tab, 0));
    EXPECT_EQ(L"出力", TabCaptionW(tab, 1));
    EXPECT_EQ(L"ｻｰﾊﾞ室", ListTextW(app.WakeList(), 0, 0));
    EXPECT_EQ(L"10.77.0.61", ListTextW(app.WakeList(), 0, 1));
    EXPECT_EQ(L"Nodelark 起動しました", ListTextW(app.CommandLog(), 0, 1));

    // The entry sheet, a dialog of the program's resources, and a name typed
    // into it as a user's keyboard gives it: in UTF-16.
    app.PostCommand(kCmdNewEntry);
    HWND sheet = WaitWindowW(app.Pid(), L"エントリ設定");
    ASSERT_NE(nullptr, sheet);
    HWND page = DestinationPageOf(sheet);
    ASSERT_NE(nullptr, page);
    HWND name = GetDlgItem(page, kEntryName);
    EXPECT_EQ(L"新規@送信先", WindowTextW(name));
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"ﾃｽﾄ端末２"));
    ClickButton(sheet, IDOK);
    ASSERT_TRUE(WaitGone(sheet));
    ASSERT_TRUE(WaitUntil([&] { return listview::Count(app.WakeList()) == 2; }));
    EXPECT_EQ(L"ﾃｽﾄ端末２", ListTextW(app.WakeList(), 1, 0));

    ASSERT_EQ(0, app.Close());
    const std::string bytes = ReadFileBytes(DataFile());
    ASSERT_EQ(2 * sizeof(EntryRecord), bytes.size());
    EntryRecord saved[2];
    std::memcpy(saved, bytes.data(), sizeof saved);
    // The source's literals are code page 932 bytes whatever this process's
    // code page is.
    EXPECT_STREQ("ﾃｽﾄ端末２", saved[1].name);
    EXPECT_STREQ("ｻｰﾊﾞ室", saved[0].name);
}

// Where the system ignores the manifest's code page, the program says once,
// in words any code page shows, what it needs, and goes on when the user has
// read it.
TEST_F(OtherLocaleTest, WithoutTheCodePageItSaysWhatItNeedsOnceAndGoesOn) {
    ASSERT_NE(932u, GetACP()) << "run under a non-Japanese locale (tests/e2e/run.sh --locale)";
    const std::string copy = CopyWithoutCodePageEntry();
    ASSERT_FALSE(copy.empty()) << "cannot make a copy without the manifest's code page entry";
    app.UseProgram(copy);
    ASSERT_TRUE(app.Start());
    HWND box = WaitWindowW(app.Pid(), L"Nodelark");
    ASSERT_NE(nullptr, box);
    std::wstring text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring part = WindowTextW(child);
        if (part.size() > text.size()) text = part;
    }
    EXPECT_NE(std::wstring::npos, text.find(L"日本語 (日本)")) << "the Japanese half";
    EXPECT_NE(std::wstring::npos, text.find(L"Japanese (Japan)")) << "the English half";
    EXPECT_NE(std::wstring::npos, text.find(std::to_wstring(GetACP()))) << "the code page it found";
    ClickButton(box, IDOK);
    ASSERT_TRUE(WaitGone(box));
    ASSERT_TRUE(app.WaitMainWindow()) << "the program did not go on after the box";
    ASSERT_TRUE(WaitUntil([&] { return app.CommandLog() && listview::Count(app.CommandLog()) >= 1; }));
    EXPECT_EQ(0, app.Close());
}

}  // namespace
}  // namespace e2e
