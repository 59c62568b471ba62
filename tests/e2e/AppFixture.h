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
    // out fails the test that caused it.
    void TearDown() override {
        if (!app.Process()) return;
        if (!app.Running()) {
            EXPECT_EQ(expectedExitCode, app.ExitCode()) << "Nodelark did not exit cleanly";
            return;
        }
        const bool dialogsOpen = !ProcessDialogs(app.Pid()).empty();
        for (HWND dialog : ProcessDialogs(app.Pid())) PostMessageA(dialog, WM_CLOSE, 0, 0);
        EXPECT_EQ(0, app.Close(10000)) << "Nodelark did not exit cleanly"
                                       << (dialogsOpen ? " (a dialog was still open)" : "");
    }

    // Starts the program, optionally over a data file holding these bytes.
    void Launch(const std::string* dataFile = nullptr, const std::string& arguments = "") {
        if (dataFile) {
            ASSERT_TRUE(WriteFileBytes(DataFile(), *dataFile));
        }
        ASSERT_TRUE(app.Start(arguments)) << "cannot start " << ExePath();
        ASSERT_TRUE(app.WaitMainWindow()) << "no main window";
        ASSERT_TRUE(WaitUntil([&] { return app.CommandLog() && listview::Count(app.CommandLog()) >= 1; }))
            << "the start-up line never arrived";
    }

    void LaunchWith(const std::vector<EntryRecord>& records) {
        std::string bytes = FileOf(records);
        Launch(&bytes);
    }

    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        HWND log = app.CommandLog();
        for (int i = 0, n = listview::Count(log); i < n; ++i)
            lines.push_back(listview::Text(log, i, 1));
        return lines;
    }

    App app;
    // A command-line run that waits may end with another code on purpose.
    DWORD expectedExitCode = 0;
};

}  // namespace e2e
