#include "tools/ToolSettingFile.h"
#include <cstdio>
#include <cstring>
#include "common/Cp932.h"
#include "common/DataPath.h"
#include "common/FixedText.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Room for a whole field with the quotes a save may add: read into the
// field itself, a wrapped value of 259 bytes would lose its last character
// to the reader's quote handling.
constexpr size_t kProfileReadBuffer = 1024;

template <size_t N>
void ReadText(ProfileStore& store, const char* section, const char* key, char (&field)[N]) {
    char buffer[kProfileReadBuffer] = {};
    store.GetString(section, key, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    // A long value ends up as 259 bytes and a terminator, never half a
    // double-byte character.
    SetField(field, CutAtCharBoundary(buffer, N - 1));
}

// What the reader trims: white space and the old end-of-file mark.
bool IsProfileBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }

bool WriteText(ProfileStore& store, const char* section, const char* key, const std::string& text) {
    return store.WriteString(section, key, ProfileTextValue(text).c_str());
}

bool WriteNumber(ProfileStore& store, const char* section, const char* key, const char* form,
                 long long value) {
    char text[16];
    std::snprintf(text, sizeof text, form, value);
    return store.WriteString(section, key, text);
}

// A tool's text in one of its two forms: with its title when registered.
std::string ToolText(int tool, const ToolSetting& setting, const char* registered, const char* unregistered) {
    char text[1024];
    if (setting.IsEnable)
        std::snprintf(text, sizeof text, registered, tool, FieldText(setting.Title).c_str());
    else
        std::snprintf(text, sizeof text, unregistered, tool);
    return text;
}

}  // namespace

uint32_t ParseArgvFlag(const char* text) {
    if (!text || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return 0;
    uint32_t value = 0;
    for (const char* p = text + 2; *p; ++p) {
        int digit = HexDigit(*p);
        if (digit < 0) break;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return value;
}

std::string ProfileTextValue(const std::string& text) {
    if (text.empty()) return text;
    const char first = text.front(), last = text.back();
    const bool quoted = text.size() >= 2 && (first == '"' || first == '\'') && last == first;
    if (quoted || IsProfileBlank(first) || IsProfileBlank(last)) return "\"" + text + "\"";
    return text;
}

std::string ToolSectionName(int tool) { return "Tool" + std::to_string(tool); }

int ToolRunCommand(int tool) { return kFirstToolRunCommand + tool - 1; }

std::string ToolMenuText(int tool, const ToolSetting& setting) {
    return ToolText(tool, setting, "&%d:「%s」の実行", "&%d:(未登録)");
}

std::string ToolListText(int tool, const ToolSetting& setting) {
    return ToolText(tool, setting, "%d.%s", "%d.(未登録)");
}

int ReadToolSetting(ProfileStore& store, const char* section, ToolSetting* record) {
    if (!record) return 0;
    std::memset(record, 0, sizeof *record);
    if (!section) return 0;

    record->IsEnable = store.GetInt(section, "IsEnable", 0);
    if (record->IsEnable == 0) return 0;

    ReadText(store, section, "Title", record->Title);
    record->ExecStyle = static_cast<int32_t>(store.GetInt(section, "ExecStyle", 0));
    ReadText(store, section, "Command", record->Command);
    ReadText(store, section, "Argv", record->Argv);
    char flag[12] = {};
    store.GetString(section, "ArgvFlag", flag, sizeof flag);
    flag[sizeof flag - 1] = '\0';
    record->ArgvFlag = ParseArgvFlag(flag);
    ReadText(store, section, "WorkFolder", record->WorkFolder);
    record->Timeout = store.GetInt(section, "Timeout", 0);
    record->ShowWindow = store.GetInt(section, "ShowWindow", 1);
    return 1;
}

bool WriteToolSetting(ProfileStore& store, const char* section, const ToolSetting& record) {
    if (!section) return false;
    bool ok = store.WriteString(section, "IsEnable", "1");
    ok &= WriteText(store, section, "Title", FieldText(record.Title));
    ok &= WriteNumber(store, section, "ExecStyle", "%lld", record.ExecStyle);
    ok &= WriteText(store, section, "Command", FieldText(record.Command));
    ok &= WriteText(store, section, "Argv", FieldText(record.Argv));
    ok &= WriteNumber(store, section, "ArgvFlag", "0x%08llx", record.ArgvFlag);
    ok &= WriteText(store, section, "WorkFolder", FieldText(record.WorkFolder));
    ok &= WriteNumber(store, section, "Timeout", "%lld", record.Timeout);
    ok &= WriteNumber(store, section, "ShowWindow", "%lld", record.ShowWindow);
    return ok;
}

bool WriteToolDeleted(ProfileStore& store, const char* section) {
    if (!section) return false;
    return WriteNumber(store, section, "IsEnable", "%lld", 0);
}

std::string ToolSettingsPath(const std::string& dataFolder) {
    return JoinDataFolderPath(dataFolder, kToolSettingsFileName);
}
