#include "tools/SetupWin32.h"
#include <cstring>
#include <string>
#include "ui/AppContextWin32.h"
#include "ui/ShellWin32.h"
#include "common/FixedText.h"
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

int SaveToolSetting(const char* section, const ToolSetting* record) {
    CSetup* setup = FindObject<CSetup>(App().toolsDialogOwner, kSetupPropName);
    if (!setup || !record || !setup->Path()[0]) return 0;
    PrivateProfile profile(setup->Path());
    return WriteToolSetting(profile, section, *record) ? 1 : 0;
}

int DeleteToolSetting(const char* section) {
    CSetup* setup = FindObject<CSetup>(App().toolsDialogOwner, kSetupPropName);
    if (!setup || !setup->Path()[0]) return 0;
    PrivateProfile profile(setup->Path());
    return WriteToolDeleted(profile, section) ? 1 : 0;
}
