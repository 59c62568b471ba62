// Files that someone else left where Windows' own search order would find
// them never run inside Nodelark or as its tools: an iphlpapi.dll beside
// Nodelark.exe (Wine told to prefer it, as Windows prefers the program's
// folder for a DLL that is not a known one), and a ping.exe beside it and in
// the folder a list was imported from. The planted files (tests/plant) only
// append a line to a marker file when they run.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "TestEnv.h"
#include "EntryDialogDriver.h"
#include "ExchangeDriver.h"
#include "WakeListener.h"

namespace e2e {
namespace {

constexpr int kCmdTool1 = 40014, kCmdTool2 = 40015, kCmdTool3 = 40016;
constexpr int kStatusColumn = 11;
const SYSTEMTIME kNever = {};

std::string PlantedFile(const char* name) { return ExeFolder() + "planted\\" + name; }

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

// An environment variable for the programs this process starts from now on.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        char old[1024] = {};
        const DWORD n = GetEnvironmentVariableA(name, old, sizeof old);
        had_ = n > 0 && n < sizeof old;
        if (had_) old_ = old;
        SetEnvironmentVariableA(name, value.c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;
private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

// Wine's own DLLs come first unless told otherwise: this program, by its
// file name, takes IP Helper from a file before Wine's, wherever the search
// order finds one first, as Windows does. Only for as long as the test runs.
class NativeIpHelperFor {
public:
    explicit NativeIpHelperFor(const std::string& exeName)
        : app_("Software\\Wine\\AppDefaults\\" + exeName) {
        HKEY key = nullptr;
        const std::string path = app_ + "\\DllOverrides";
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return;
        static const char kOrder[] = "native,builtin";
        ok_ = RegSetValueExA(key, "iphlpapi", 0, REG_SZ, reinterpret_cast<const BYTE*>(kOrder), sizeof kOrder) ==
              ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~NativeIpHelperFor() {
        RegDeleteKeyA(HKEY_CURRENT_USER, (app_ + "\\DllOverrides").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, app_.c_str());
    }
    NativeIpHelperFor(const NativeIpHelperFor&) = delete;
    NativeIpHelperFor& operator=(const NativeIpHelperFor&) = delete;
    bool Ok() const { return ok_; }
private:
    std::string app_;
    bool ok_ = false;
};

// Empties a folder of the test's own (files only) and makes it when missing.
void FreshFolder(const std::string& folder) {
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// Runs a program to its end in the given folder; its exit code, or -1.
long RunToEnd(const std::string& program, const std::string& arguments, const std::string& folder) {
    std::string line = "\"" + program + "\" " + arguments;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder.c_str(),
                        &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(info.hProcess, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return static_cast<long>(code);
}

class PlantedFilesTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        programFolder_ = TempFolder() + "\\program";
        FreshFolder(programFolder_);
        marker_ = TempFolder() + "\\planted-ran.txt";
        DeleteFileA(marker_.c_str());
        ASSERT_TRUE(CopyFileA(ExePath().c_str(), (programFolder_ + "\\Nodelark.exe").c_str(), FALSE));
        app.UseProgram(programFolder_ + "\\Nodelark.exe");
        markerVariable_.reset(new ScopedVariable("NL_PLANT_MARKER", marker_));
    }
    void TearDown() override {
        AppFixture::TearDown();
        overrides_.clear();
        markerVariable_.reset();
    }

    void Plant(const char* name, const std::string& folder, const char* as = nullptr) {
        ASSERT_TRUE(CopyFileA(PlantedFile(name).c_str(), (folder + "\\" + (as ? as : name)).c_str(), FALSE))
            << "cannot plant " << PlantedFile(name);
    }
    // Wine takes a planted DLL from the program's folder before its own, as
    // Windows does for any DLL that is not a known one.
    void PreferPlantedDll(const std::string& exeName) {
        overrides_.emplace_back(new NativeIpHelperFor(exeName));
        ASSERT_TRUE(overrides_.back()->Ok()) << "cannot set the DLL override for " << exeName;
    }

    std::string Marker() const { return ReadFileBytes(marker_); }
    bool HasLine(const std::string& line) const {
        const std::vector<std::string> lines = LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::string programFolder_;
    std::string marker_;
    std::unique_ptr<ScopedVariable> markerVariable_;
    std::vector<std::unique_ptr<NativeIpHelperFor>> overrides_;
};

EntryRecord Peer(int id, const char* name, const uint8_t mac[6]) {
    EntryFields f = {name, {10, 77, 0, 1}, {255, 255, 255, 0}, 9, {mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]},
                     "", "", "", kNever, kNever, kNever, 0};
    return MakeRecord(f, id);
}

TEST_F(PlantedFilesTest, IpHelperBesideTheProgramIsNeverLoadedWhileEverythingThatUsesItWorks) {
    const std::string peerMac = testenv::Variable("NL_E2E_PEER_MAC");
    ASSERT_EQ(17u, peerMac.size()) << "NL_E2E_PEER_MAC is not set; run tests/e2e/run.sh";
    ASSERT_NO_FATAL_FAILURE(Plant("iphlpapi.dll", programFolder_));
    ASSERT_NO_FATAL_FAILURE(PreferPlantedDll("Nodelark.exe"));
    ASSERT_NO_FATAL_FAILURE(PreferPlantedDll("loader.exe"));

    // The plant works: a program in that folder that loads IP Helper by its
    // bare name gets the planted one.
    ASSERT_NO_FATAL_FAILURE(Plant("ping.exe", programFolder_, "loader.exe"));
    EXPECT_EQ(0, RunToEnd(programFolder_ + "\\loader.exe", "/load iphlpapi.dll", programFolder_));
    ASSERT_NE(std::string::npos, Lower(Marker()).find(Lower("dll " + programFolder_ + "\\iphlpapi.dll")))
        << "the planted DLL was not taken by a bare-name load: " << Marker();
    DeleteFileA(marker_.c_str());

    const uint8_t mac[6] = {0x02, 0x4E, 0x4C, 0x00, 0x00, 0x31};
    WakeListener listener;
    listener.Mark();
    ASSERT_NO_FATAL_FAILURE(LaunchWith({Peer(0, "peer", mac)}));

    // Status checks: adapters and the neighbour table.
    EXPECT_TRUE(WaitUntil([&] { return listview::Text(app.WakeList(), 0, kStatusColumn) == "応答あり"; }, 20000))
        << listview::Text(app.WakeList(), 0, kStatusColumn);

    // A wake run: the adapters decide where the packet goes.
    app.Command(kCmdWakeAll);
    EXPECT_TRUE(WaitUntil([&] { return HasLine("WakeUpパケットの送信完了"); }, 20000));
    EXPECT_TRUE(WaitUntil([&] {
        for (const Datagram& d : listener.Since())
            if (d.payload == MagicPayload(mac)) return true;
        return false;
    })) << "no magic packet arrived";

    // The entry sheet's look-ups: MAC address and computer name.
    app.PostCommand(kCmdNewEntry);
    HWND sheet = WaitEntrySheet(app.Pid());
    ASSERT_NE(nullptr, sheet);
    HWND page = DestinationPageOf(sheet);
    SetAddress(page, kEntryIp, 10, 77, 0, 1);
    ASSERT_TRUE(ClickAndWait(page, kEntryMacLookUp));
    EXPECT_EQ(peerMac, MacBoxes(page));
    ASSERT_TRUE(ClickAndWait(page, kEntryHostLookUp));
    EXPECT_EQ("peerhost.test", Box(page, kEntryHost));
    ClickButton(sheet, IDCANCEL);
    ASSERT_TRUE(WaitGone(sheet));

    EXPECT_EQ(0, app.Close());
    EXPECT_EQ("", Marker()) << "the planted DLL ran inside Nodelark";
}

TEST_F(PlantedFilesTest, ToolsNeverRunAPlantedPingAndStartInTheSystemFolder) {
    // One ping.exe beside Nodelark.exe (also its current folder), one in the
    // folder a list comes from, like a colleague's share.
    const std::string share = TempFolder() + "\\share";
    FreshFolder(share);
    ASSERT_NO_FATAL_FAILURE(Plant("ping.exe", programFolder_));
    ASSERT_NO_FATAL_FAILURE(Plant("ping.exe", share));
    ASSERT_TRUE(CopyFileA((ExeFolder() + "NlChild.exe").c_str(), (programFolder_ + "\\NlChild.exe").c_str(), FALSE));
    const uint8_t mac[6] = {0x02, 0x4E, 0x4C, 0x00, 0x00, 0x32};
    ASSERT_TRUE(WriteFileBytes(share + "\\list.ent", "000001 @QORM." + RecordBytes(Peer(0, "shared", mac))));

    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, sizeof system);
    std::string ini;
    auto tool = [&](int n, const std::string& command, const std::string& argv) {
        ini += "[Tool" + std::to_string(n) + "]\r\nIsEnable=1\r\nTitle=t" + std::to_string(n) +
               "\r\nExecStyle=0\r\nCommand=" + command + "\r\nArgv=" + argv +
               "\r\nArgvFlag=0x00000000\r\nWorkFolder=\r\nTimeout=30000\r\nShowWindow=0\r\n";
    };
    tool(1, "ping", "-n 1 127.0.0.1");
    // Where a tool without a working folder starts.
    tool(2, "cmd", "/c cd");
    // A relative path still counts from Nodelark's current folder, which
    // the import's file dialog must have left alone.
    tool(3, ".\\NlChild.exe", "-w \"still here\\n\"");
    ASSERT_TRUE(WriteFileBytes(DataFolder() + "\\Tools.ini", ini));

    ASSERT_NO_FATAL_FAILURE(Launch());
    ASSERT_TRUE(ChooseFile(app, kCmdImportEntries, "一覧のｲﾝﾎﾟｰﾄ", share + "\\list.ent"));
    ASSERT_TRUE(WaitUntil([&] { return StatusText(app.StatusBar(), 0) == "一覧のｲﾝﾎﾟｰﾄを完了しました"; }))
        << StatusText(app.StatusBar(), 0);
    ASSERT_EQ(1, listview::Count(app.WakeList()));

    // Runs a tool to its completion line; the Command Log lines of that run.
    auto run = [&](int command) {
        const size_t from = LogLines().size();
        app.PostCommand(command);
        std::vector<std::string> lines;
        EXPECT_TRUE(WaitUntil([&] {
            lines = LogLines();
            lines.erase(lines.begin(), lines.begin() + static_cast<long>(std::min(from, lines.size())));
            return std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
                return l.rfind("ｺﾏﾝﾄﾞの実行が完了しました 終了ｺｰﾄﾞ=", 0) == 0;
            });
        }, 30000)) << testing::PrintToString(lines);
        return lines;
    };
    std::vector<std::string> lines = run(kCmdTool1);
    EXPECT_TRUE(std::find(lines.begin(), lines.end(), "ping -n 1 127.0.0.1") != lines.end())
        << "the command line is shown as written: " << testing::PrintToString(lines);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("127.0.0.1") != std::string::npos && l != "ping -n 1 127.0.0.1";
    })) << "the system's ping printed nothing: " << testing::PrintToString(lines);
    EXPECT_FALSE(std::find(lines.begin(), lines.end(), "ｺﾏﾝﾄﾞの実行が完了しました 終了ｺｰﾄﾞ=77") != lines.end());

    lines = run(kCmdTool2);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
        std::string shown = l;
        while (!shown.empty() && shown.back() == ' ') shown.pop_back();
        return _stricmp(shown.c_str(), system) == 0;
    })) << "not started in " << system << ": " << testing::PrintToString(lines);

    lines = run(kCmdTool3);
    EXPECT_TRUE(std::find(lines.begin(), lines.end(), "still here") != lines.end())
        << "the current folder moved to the import's folder: " << testing::PrintToString(lines);

    EXPECT_EQ(0, app.Close());
    EXPECT_EQ("", Marker()) << "a planted ping.exe ran";
}

}  // namespace
}  // namespace e2e
