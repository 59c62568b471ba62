#pragma once
// The tool settings file's owner, hung on the main window, and the three
// operations every reader and writer of tool definitions goes through. No
// copy is cached: each call reads or writes the file afresh.
#include <windows.h>
#include "tools/ToolSetting.h"
#include "tools/ToolSettingFile.h"


class CMojiCode {
public:
    virtual ~CMojiCode() = default;
};

class CSetup : public CMojiCode {
public:
    CSetup();
    ~CSetup() override = default;
    CSetup(const CSetup&) = delete;
    CSetup& operator=(const CSetup&) = delete;

    // "Tools.ini" in the data folder. A folder that cannot be used leaves the
    // path empty, and every tool then reads as not registered.
    void ComposePath(const char* dataFolder);
    const char* Path() const { return path; }

private:
    char path[261];
};

// The settings file through the platform's private-profile functions. An
// empty path reads only defaults and writes nothing: the platform would take
// a name without a folder as a file of the Windows folder.
class PrivateProfile : public ProfileStore {
public:
    explicit PrivateProfile(const char* path) : path_(path ? path : "") {}
    uint32_t GetInt(const char* section, const char* key, int defaultValue) override;
    size_t GetString(const char* section, const char* key, char* buffer, size_t size) override;
    bool WriteString(const char* section, const char* key, const char* value) override;

private:
    const char* path_;
};

// `window` carries the settings object. Returns 1 when the tool is registered.
int LoadToolSetting(HWND window, const char* section, ToolSetting* record);
// Both find the settings object on App().toolsDialogOwner and return 1 when
// the tool reached the file; 0 when the object or the record is missing, the
// settings path is empty (nothing is written then) or a write failed.
int SaveToolSetting(const char* section, const ToolSetting* record);
int DeleteToolSetting(const char* section);
