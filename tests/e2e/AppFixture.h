#pragma once
// Common ground of the end-to-end tests: every test starts Nodelark with a
// data folder of its own making and leaves no process behind.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "AppDriver.h"
#include "EntryRecord.h"

namespace e2e {

// Command ids and control ids the tests drive.
constexpr int kCmdExit = 40001, kCmdAbout = 40004, kCmdWakeAll = 40006, kCmdNewEntry = 40007,
              kCmdTools = 40012, kCmdSwitchTab = 40028, kCmdExportLog = 40030,
              kCmdReadMe = 40032, kCmdFilter = 40038;

// "hh:mm:ss"
inline bool IsClock(const std::string& s) {
    static const char shape[] = "dd:dd:dd";
    if (s.size() != 8) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (shape[i] == 'd' ? !isdigit(static_cast<unsigned char>(s[i])) : s[i] != shape[i]) return false;
    return true;
}

// "yyyy/mm/dd hh:mm:ss"
inline bool IsStamp(const std::string& s) {
    static const char shape[] = "dddd/dd/dd dd:dd:dd";
    if (s.size() != 19) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (shape[i] == 'd' ? !isdigit(static_cast<unsigned char>(s[i])) : s[i] != shape[i]) return false;
    return true;
}

// Splits at CR LF; a final line without CR LF is kept as well.
inline std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Fills the address filter dialog (128) and confirms it with the button;
// button 1045 resets the filter first, then OK.
inline void SetFilter(App& app, const uint8_t ip[4], const char* prefix, int button) {
    app.PostCommand(kCmdFilter);
    HWND dialog = WaitDialog(app.Pid(), "ｱﾄﾞﾚｽﾌｨﾙﾀ設定");
    ASSERT_NE(dialog, nullptr) << "the address filter dialog did not open";
    HWND address = GetDlgItem(dialog, 1042);
    HWND bits = GetDlgItem(dialog, 1032);
    ASSERT_NE(address, nullptr);
    ASSERT_NE(bits, nullptr);
    if (ip) SendMessageA(address, IPM_SETADDRESS, 0, MAKEIPADDRESS(ip[0], ip[1], ip[2], ip[3]));
    if (prefix) SendMessageA(bits, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(prefix));
    if (button == 1045) {
        SendMessageA(GetDlgItem(dialog, 1045), BM_CLICK, 0, 0);
        button = IDOK;
    }
    ClickButton(dialog, button);
    ASSERT_TRUE(WaitGone(dialog));
}

// The Wake List cells that show the entry itself; the last column, the
// status, changes whenever a check answers.
constexpr int kEntryColumns = 11;
inline std::vector<std::string> EntryCells(HWND list, int row) {
    std::vector<std::string> cells = listview::Row(list, row);
    if (cells.size() > static_cast<size_t>(kEntryColumns)) cells.resize(kEntryColumns);
    return cells;
}

inline std::string DataFile() { return DataFolder() + "\\Ent.dat"; }
inline std::string LogFile() { return DataFolder() + "\\Nodelark.log"; }

class AppFixture : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ExePath().empty()) << "NL_E2E_EXE is not set; run tests/e2e/run.sh";
        ResetDataFolder();
    }

    // Every test ends with the program closed; a hang or a crash on the way
    // out fails the test that caused it, and so does a dialog nobody looked
    // at: a stray error box would otherwise be closed here unseen.
    void TearDown() override {
        if (!app.Process()) return;
        for (const std::string& dialog : UnexpectedDialogs())
            ADD_FAILURE() << "a window was left open at the end: " << dialog;
        if (!app.Running()) {
            EXPECT_EQ(expectedExitCode, app.ExitCode()) << "Nodelark did not exit cleanly";
            return;
        }
        const std::vector<HWND> open = ProcessDialogs(app.Pid());
        for (HWND dialog : open) PostMessageA(dialog, WM_CLOSE, 0, 0);
        EXPECT_EQ(0, app.Close(10000)) << "Nodelark did not exit cleanly"
                                       << (open.empty() ? "" : " (a dialog was still open)");
    }

    // A dialog with this caption, saying this (or text that starts with it:
    // a box that counts down), may still be open when the test ends (or when
    // it closes the program); the teardown closes it. Every box of the
    // program is captioned "Nodelark": the caption alone tells none apart.
    void ExpectOpenAtEnd(const std::string& caption, const std::string& text) {
        if (text.empty()) ADD_FAILURE() << "an expected box needs the text it shows";
        openAtEnd_.push_back({caption, text});
    }

    // Starts the program, optionally over a data file holding these bytes.
    void Launch(const std::string* dataFile = nullptr, const std::string& arguments = "") {
        if (dataFile) {
            ASSERT_TRUE(WriteFileBytes(DataFile(), *dataFile));
        }
        ASSERT_TRUE(app.Start(arguments)) << "cannot start " << ExePath() << " (error " << GetLastError() << ")";
        ASSERT_TRUE(app.WaitMainWindow()) << "no main window";
        ASSERT_TRUE(WaitUntil([&] { return app.CommandLog() && listview::Count(app.CommandLog()) >= 1; }))
            << "the start-up line never arrived";
    }

    void LaunchWith(const std::vector<EntryRecord>& records) {
        std::string bytes = FileOf(records);
        Launch(&bytes);
    }

    // Big enough that every row, header and toolbar button is on screen, and
    // in front so that real input reaches it.
    void MaximizeInFront() {
        ShowWindow(app.Main(), SW_MAXIMIZE);
        ASSERT_TRUE(WaitUntil([&] { return IsZoomed(app.Main()) != FALSE; }));
        ASSERT_TRUE(BringToFront(app.Main()));
    }

    void SetSelected(int row, bool selected) {
        ASSERT_TRUE(listview::SetSelected(app.WakeList(), row, selected)) << "row " << row;
    }

    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        HWND log = app.CommandLog();
        for (int i = 0, n = listview::Count(log); i < n; ++i)
            lines.push_back(listview::Text(log, i, 1));
        return lines;
    }

    App app;

    // The dialogs open now, or when the test closed the program, that the
    // test did not say it expects, each as caption and text.
    std::vector<std::string> UnexpectedDialogs() const {
        std::vector<OpenDialog> open = app.DialogsAtClose();
        if (app.Running())
            for (HWND dialog : ProcessDialogs(app.Pid())) open.push_back(DescribeDialog(dialog));
        std::vector<std::string> unexpected;
        for (const OpenDialog& dialog : open) {
            bool expected = false;
            for (const OpenDialog& e : openAtEnd_)
                expected |= e.caption == dialog.caption && !e.text.empty() && dialog.text.compare(0, e.text.size(), e.text) == 0;
            if (!expected)
                unexpected.push_back("\"" + dialog.caption + "\"" +
                                     (dialog.text.empty() ? "" : " saying \"" + dialog.text + "\""));
        }
        return unexpected;
    }

    // A command-line run that waits may end with another code on purpose.
    DWORD expectedExitCode = 0;

private:
    std::vector<OpenDialog> openAtEnd_;
};

}  // namespace e2e
