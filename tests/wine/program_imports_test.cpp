// What Windows loads for Nodelark.exe before any line of it runs: the DLLs
// of its import table. A DLL that is not one of Windows' known DLLs is
// looked for in the program's own folder first (Downloads, say), so the
// table may name known DLLs only, and comctl32, which the manifest binds to
// the system's side-by-side copy.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string ProgramPath() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self);
    path.resize(path.rfind('\\'));  // ...\tests\wine
    path.resize(path.rfind('\\'));  // ...\tests
    path.resize(path.rfind('\\'));  // build folder
    return path + "\\src\\Nodelark.exe";
}

// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs of
// Windows 10 and 11 (the WOW64 and emulation entries left out).
const char* const kKnownDlls[] = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll",  "difxapi.dll", "gdi32.dll",
    "gdiplus.dll",  "imagehlp.dll", "imm32.dll",  "kernel32.dll", "msctf.dll",  "msvcrt.dll",  "normaliz.dll",
    "nsi.dll",      "ole32.dll",   "oleaut32.dll", "psapi.dll",   "rpcrt4.dll", "sechost.dll", "setupapi.dll",
    "shcore.dll",   "shell32.dll", "shlwapi.dll", "user32.dll",  "wldap32.dll", "ws2_32.dll",
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    uint8_t chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    CloseHandle(file);
    return bytes;
}

// The DLL names of a PE32+ file's import and delay-load tables, read from
// the file itself, as the loader reads them. Empty `error` when it parsed.
struct Imports {
    std::vector<std::string> dlls;
    std::vector<std::string> delayed;
    std::string error;
};

class PeReader {
public:
    explicit PeReader(const std::vector<uint8_t>& b) : b_(b) {}

    Imports Read() {
        Imports out;
        if (U16(0) != 0x5A4D) return Fail(out, "no MZ header");
        const uint32_t pe = U32(0x3C);
        if (U32(pe) != 0x00004550) return Fail(out, "no PE signature");
        const uint32_t coff = pe + 4;
        const uint16_t sections = U16(coff + 2);
        const uint16_t optionalSize = U16(coff + 16);
        const uint32_t optional = coff + 20;
        if (U16(optional) != 0x20B) return Fail(out, "not PE32+");
        const uint32_t directories = optional + 112;
        const uint32_t importRva = U32(directories + 1 * 8);
        const uint32_t delayRva = U32(directories + 13 * 8);
        sectionTable_ = optional + optionalSize;
        sectionCount_ = sections;
        if (!ok_) return Fail(out, "truncated headers");
        // IMAGE_IMPORT_DESCRIPTOR: 20 bytes, the name's RVA at 12.
        for (uint32_t at = importRva ? Offset(importRva) : 0; importRva && ok_; at += 20) {
            if (U32(at) == 0 && U32(at + 12) == 0) break;
            out.dlls.push_back(Name(U32(at + 12)));
        }
        // ImgDelayDescr: 32 bytes, the name's RVA at 4.
        for (uint32_t at = delayRva ? Offset(delayRva) : 0; delayRva && ok_; at += 32) {
            if (U32(at + 4) == 0) break;
            out.delayed.push_back(Name(U32(at + 4)));
        }
        if (!ok_) return Fail(out, "an import lies outside the file");
        return out;
    }

private:
    static Imports Fail(Imports& out, const char* why) {
        out.error = why;
        return out;
    }
    uint16_t U16(uint32_t at) {
        if (at + 2 > b_.size()) return ok_ = false, 0;
        return static_cast<uint16_t>(b_[at] | b_[at + 1] << 8);
    }
    uint32_t U32(uint32_t at) {
        if (at + 4 > b_.size()) return ok_ = false, 0;
        return static_cast<uint32_t>(b_[at] | b_[at + 1] << 8 | b_[at + 2] << 16 | static_cast<uint32_t>(b_[at + 3]) << 24);
    }
    // File offset of an RVA, through the section that holds it.
    uint32_t Offset(uint32_t rva) {
        for (uint32_t i = 0; i < sectionCount_; ++i) {
            const uint32_t s = sectionTable_ + i * 40;
            const uint32_t size = std::max(U32(s + 8), U32(s + 16)), va = U32(s + 12), raw = U32(s + 20);
            if (rva >= va && rva < va + size) return raw + (rva - va);
        }
        ok_ = false;
        return 0;
    }
    std::string Name(uint32_t rva) {
        uint32_t at = Offset(rva);
        std::string name;
        while (ok_ && at < b_.size() && b_[at]) name += static_cast<char>(b_[at++]);
        if (at >= b_.size()) ok_ = false;
        return name;
    }

    const std::vector<uint8_t>& b_;
    uint32_t sectionTable_ = 0;
    uint32_t sectionCount_ = 0;
    bool ok_ = true;
};

std::string Manifest(const std::string& program) {
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return {};
    std::string text;
    if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        if (HGLOBAL loaded = LoadResource(module, found))
            text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    }
    FreeLibrary(module);
    return text;
}

TEST(ProgramImports, OnlyKnownDllsAndTheManifestsCommonControls) {
    const std::vector<uint8_t> bytes = ReadAll(ProgramPath());
    ASSERT_FALSE(bytes.empty()) << ProgramPath();
    const Imports imports = PeReader(bytes).Read();
    ASSERT_EQ("", imports.error);
    ASSERT_FALSE(imports.dlls.empty()) << "no import table found: the reader is wrong";
    // A delay-loaded DLL is loaded by LoadLibrary at its first call, after
    // the start has narrowed the search to the system folder; it is held to
    // the same rule as an import all the same.
    const std::string manifest = Manifest(ProgramPath());
    std::vector<std::string> all = imports.dlls;
    all.insert(all.end(), imports.delayed.begin(), imports.delayed.end());
    for (const std::string& dll : all) {
        const std::string name = Lower(dll);
        if (name == "comctl32.dll") {
            EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls"))
                << "comctl32 is imported but the manifest does not bind it to the system's copy";
            continue;
        }
        EXPECT_TRUE(std::find_if(std::begin(kKnownDlls), std::end(kKnownDlls),
                                 [&](const char* known) { return name == known; }) != std::end(kKnownDlls))
            << dll << " is no known DLL: Windows would look for it beside Nodelark.exe first";
    }
}

// The window and shell libraries wait for their first call, so that a start
// that only hands its request over loads none of them. GNU ld leaves the
// delay-load directory empty (the helper reads its descriptors directly), so
// the proof is that none is imported and each name is there for the helper.
TEST(ProgramImports, WindowAndShellLibrariesAreDelayLoaded) {
    const std::vector<uint8_t> bytes = ReadAll(ProgramPath());
    ASSERT_FALSE(bytes.empty()) << ProgramPath();
    const Imports imports = PeReader(bytes).Read();
    ASSERT_EQ("", imports.error);
    const std::string file(bytes.begin(), bytes.end());
    for (const char* dll : {"comctl32.dll", "comdlg32.dll", "shell32.dll", "ole32.dll", "user32.dll", "gdi32.dll"}) {
        for (const std::string& imported : imports.dlls) EXPECT_NE(dll, Lower(imported)) << "imported at start";
        EXPECT_NE(std::string::npos, file.find(std::string(dll) + '\0')) << dll << " is not linked at all";
    }
}

// The reader itself, on this test program, which imports IP Helper on
// purpose: a reader that saw no imports would pass anything.
TEST(ProgramImports, ReaderFindsAnImportThatIsNoKnownDll) {
    // Called only to keep IP Helper in this program's import table.
    ULONG count = 0;
    GetNumberOfInterfaces(&count);
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::vector<uint8_t> bytes = ReadAll(self);
    const Imports imports = PeReader(bytes).Read();
    ASSERT_EQ("", imports.error);
    std::vector<std::string> names;
    for (const std::string& dll : imports.dlls) names.push_back(Lower(dll));
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "iphlpapi.dll")) << testing::PrintToString(names);
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "kernel32.dll")) << testing::PrintToString(names);
}

}  // namespace
