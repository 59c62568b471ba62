#include <gtest/gtest.h>
#include "TempFolder.h"
#include <windows.h>
#include <cctype>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include "log/AppLogWin32.h"
#include "log/LogFormat.h"

namespace {

const std::string kRule = "*" + std::string(60, '-') + "\r\n";

class AppLogFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder("applog");
        ASSERT_FALSE(folder_.empty());
        path_ = folder_ + "\\Nodelark.log";
    }
    void TearDown() override {
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    // Read with the same sharing the log grants, while the log still holds it.
    std::string ReadLog() const {
        HANDLE h = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return "<missing>";
        std::string data;
        char buf[65536];
        DWORD got = 0;
        while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
        CloseHandle(h);
        return data;
    }

    void WriteFileText(const std::string& text) const {
        HANDLE h = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD written = 0;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(h);
    }

    std::string folder_;
    std::string path_;
};

std::string BannerOf(const std::string& log) { return log.substr(0, log.find(kRule, 1) + kRule.size()); }

// Lines after the banner, each without its CR LF; a torn line shows up as a
// piece without the expected shape.
std::vector<std::string> LinesAfterBanner(const std::string& log) {
    std::vector<std::string> lines;
    size_t pos = BannerOf(log).size();
    while (pos < log.size()) {
        size_t end = log.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(log.substr(pos) + "<no CR LF>");
            break;
        }
        lines.push_back(log.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

// "yyyy/mm/dd hh:mm:ss " at the start of the line.
bool HasTimeStamp(const std::string& line) {
    const char* form = "dddd/dd/dd dd:dd:dd ";
    if (line.size() < 20) return false;
    for (size_t i = 0; i < 20; ++i) {
        if (form[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(line[i])) : line[i] != form[i])
            return false;
    }
    return true;
}

}  // namespace

TEST_F(AppLogFile, OpenEmptiesOldLogAndWritesBannerThenLines) {
    WriteFileText("old run's line\r\nanother\r\n");
    CAppLog log;
    EXPECT_FALSE(log.IsOpen());
    EXPECT_STREQ("ApplicationLog.log", log.FullPath());
    EXPECT_STREQ("ApplicationLog", log.Title());

    ASSERT_EQ(1, log.Open(path_.c_str()));
    EXPECT_TRUE(log.IsOpen());
    EXPECT_STREQ("Nodelark", log.Title());
    EXPECT_STRNE("", log.Notice());
    EXPECT_EQ(0, lstrcmpiA(path_.c_str(), log.FullPath()));

    log.WriteLine("Nodelark 起動しました");
    log.WriteLine("");
    log.WriteErrorLine("", 5);
    log.WriteErrorLine("失敗", 5);
    const std::string text(6000, 'x');
    log.WriteLine(text.c_str());

    const std::string data = ReadLog();
    EXPECT_EQ(kRule + "*\tNodelark\r\n*\t" + log.Notice() + "\r\n" + kRule, BannerOf(data));
    EXPECT_EQ(std::string::npos, data.find("old run"));
    std::vector<std::string> lines = LinesAfterBanner(data);
    ASSERT_EQ(3u, lines.size());
    for (const auto& line : lines) EXPECT_TRUE(HasTimeStamp(line)) << line;
    EXPECT_EQ("Nodelark 起動しました", lines[0].substr(20));
    EXPECT_EQ("失敗 LastErrorCode=00000005", lines[1].substr(20));
    EXPECT_EQ(text, lines[2].substr(20));
}

TEST_F(AppLogFile, RelativePathIsResolved) {
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
    {
        CAppLog log;
        EXPECT_EQ(1, log.Open("Nodelark.log"));
        SetCurrentDirectoryA(previous);
        EXPECT_EQ(0, lstrcmpiA(path_.c_str(), log.FullPath()));
    }
    SetCurrentDirectoryA(previous);
}

TEST_F(AppLogFile, FailedOrRepeatedOpen) {
    CAppLog closed;
    EXPECT_EQ(0, closed.Open(""));
    EXPECT_EQ(0, closed.Open(nullptr));
    EXPECT_EQ(0, closed.Open((folder_ + "\\no such folder\\x.log").c_str()));
    EXPECT_FALSE(closed.IsOpen());
    EXPECT_STREQ("ApplicationLog.log", closed.FullPath());
    closed.WriteLine("dropped");
    closed.WriteErrorLine("dropped", 1);

    CAppLog log;
    ASSERT_EQ(1, log.Open(path_.c_str()));
    log.WriteLine("kept");
    const std::string other = folder_ + "\\other.log";
    EXPECT_EQ(0, log.Open(path_.c_str()));
    EXPECT_EQ(0, log.Open(other.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(other.c_str()));
    std::vector<std::string> lines = LinesAfterBanner(ReadLog());
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("kept", lines[0].substr(20));
}

TEST_F(AppLogFile, TwoThreadsWriteOnlyWholeLines) {
    const int kPerThread = 1500;
    std::set<std::string> expected;
    auto textOf = [](char who, int i) {
        // Lengths vary so a torn line cannot pass for a whole one.
        return std::string(1, who) + "-" + std::to_string(i) + "-" + std::string(i % 200, who);
    };
    for (int i = 0; i < kPerThread; ++i) {
        expected.insert(textOf('M', i));
        expected.insert(textOf('W', i));
    }
    {
        CAppLog log;
        ASSERT_EQ(1, log.Open(path_.c_str()));
        auto writer = [&](char who) {
            for (int i = 0; i < kPerThread; ++i) {
                if (i % 7 == 0)
                    log.WriteErrorLine(textOf(who, i).c_str(), 0);
                else
                    log.WriteLine(textOf(who, i).c_str());
            }
        };
        std::thread worker(writer, 'W');
        writer('M');
        worker.join();
    }
    std::vector<std::string> lines = LinesAfterBanner(ReadLog());
    ASSERT_EQ(expected.size(), lines.size());
    std::set<std::string> seen;
    const std::string suffix = " LastErrorCode=00000000";
    for (const auto& line : lines) {
        ASSERT_TRUE(HasTimeStamp(line)) << line;
        std::string text = line.substr(20);
        if (text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
            text.erase(text.size() - suffix.size());
        seen.insert(text);
    }
    EXPECT_EQ(expected, seen);
}
