#include "tools/SetupWin32.h"
#include <cstring>
#include <string>
#include "ui/AppContextWin32.h"
#include "ui/ShellWin32.h"
#include "common/FixedText.h"
#include "common/DataPath.h"
#include "common/ScopedWin32.h"
#include "ui/WindowPropWin32.h"

CSetup::CSetup() { std::memset(path, 0, sizeof path); }

void CSetup::ComposePath(const char* dataFolder) {
    SetField(path, ToolSettingsPath(dataFolder ? dataFolder : ""));
}

uint32_t PrivateProfile::GetInt(const char* section, const char* key, int defaultValue) {
    if (!*path_) return static_cast<uint32_t>(defaultValue);
    return GetPrivateProfileIntA(section, key, defaultValue, path_);
}

size_t PrivateProfile::GetString(const char* section, const char* key, char* buffer, size_t size) {
    if (size == 0) return 0;
    if (!*path_) {
        buffer[0] = '\0';
        return 0;
    }
    return GetPrivateProfileStringA(section, key, "", buffer, static_cast<DWORD>(size), path_);
}

bool PrivateProfile::WriteString(const char* section, const char* key, const char* value) {
    if (!*path_) return false;
    return WritePrivateProfileStringA(section, key, value, path_) != FALSE;
}

int LoadToolSetting(HWND window, const char* section, ToolSetting* record) {
    if (!record) return 0;
    std::memset(record, 0, sizeof *record);
    CSetup* setup = FindObject<CSetup>(window, kSetupPropName);
    if (!setup) return 0;
    PrivateProfile profile(setup->Path());
    return ReadToolSetting(profile, section, record);
}

namespace {

// The profile functions rewrite the file in place, once for each key: a
// crash between two keys would leave a tool half saved, one during a write a
// torn file. So a save changes a copy beside Tools.ini through the same
// functions, puts the copy on the disk and then in Tools.ini's place in one
// step; a save that fails anywhere leaves Tools.ini as it was.
class ProfileCopy {
public:
    explicit ProfileCopy(const char* path) : path_(path), copy_(NextVersionPath(path)) {}
    ~ProfileCopy() {
        if (!done_ && !copy_.empty()) DeleteFileA(copy_.c_str());
    }
    ProfileCopy(const ProfileCopy&) = delete;
    ProfileCopy& operator=(const ProfileCopy&) = delete;

    // The copy holds what Tools.ini holds (nothing when it does not exist).
    bool Begin() {
        if (copy_.empty()) return false;
        std::string bytes;
        ScopedHandle file(CreateFileA(path_, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND) return false;
        } else {
            char buffer[4096];
            DWORD got = 0;
            for (;;) {
                if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) return false;
                if (got == 0) break;
                bytes.append(buffer, got);
            }
        }
        ScopedHandle copy(CreateFileA(copy_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy.IsValid()) return false;
        DWORD written = 0;
        return bytes.empty() || (WriteFile(copy.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                           nullptr) &&
                                 written == bytes.size());
    }
    const char* Path() const { return copy_.c_str(); }
    bool Commit() {
        // A profile implementation that keeps files in memory (Wine's does)
        // writes this one out now and forgets it.
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy_.c_str());
        {
            ScopedHandle copy(CreateFileA(copy_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!copy.IsValid() || !FlushFileBuffers(copy.Get())) return false;
        }
        if (!MoveFileExA(copy_.c_str(), path_, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
        done_ = true;
        return true;
    }

private:
    const char* path_;
    std::string copy_;
    bool done_ = false;
};

// Runs `write` over a copy of the settings file and puts the copy in place.
template <class Write>
int ChangeSettings(Write write) {
    CSetup* setup = FindObject<CSetup>(App().toolsDialogOwner, kSetupPropName);
    if (!setup || !setup->Path()[0]) return 0;
    ProfileCopy copy(setup->Path());
    if (!copy.Begin()) return 0;
    PrivateProfile profile(copy.Path());
    return write(profile) && copy.Commit() ? 1 : 0;
}

}  // namespace

int SaveToolSetting(const char* section, const ToolSetting* record) {
    if (!record) return 0;
    return ChangeSettings([&](ProfileStore& profile) { return WriteToolSetting(profile, section, *record); });
}

int DeleteToolSetting(const char* section) {
    return ChangeSettings([&](ProfileStore& profile) { return WriteToolDeleted(profile, section); });
}
