#pragma once
// The five tool definitions as kept in the settings file "Tools.ini": one
// section per tool, nine keys each. The logic here runs over ProfileStore so
// it does not depend on the platform's private-profile functions.
#include <cstddef>
#include <cstdint>
#include <string>
#include "tools/ToolSetting.h"

constexpr char kToolSettingsFileName[] = "Tools.ini";
// Commands that run tools 1..5 are this one and the four after it.
constexpr int kFirstToolRunCommand = 40014;

// Section/key/value access with the private-profile semantics: a missing key
// gives the default, an integer is the leading decimal number of its value,
// and a text is cut to fit `size` bytes with its terminator.
class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    virtual uint32_t GetInt(const char* section, const char* key, int defaultValue) = 0;
    // Returns the number of bytes copied, terminator not counted.
    virtual size_t GetString(const char* section, const char* key, char* buffer, size_t size) = 0;
    // False when the value did not reach the file.
    virtual bool WriteString(const char* section, const char* key, const char* value) = 0;
};

// "0x" or "0X" followed by hexadecimal digits, read up to the first non-digit;
// anything else is 0. Digits beyond eight keep only the low 32 bits.
uint32_t ParseArgvFlag(const char* text);

// A text as it is written to the file so that it reads back byte for byte:
// the profile reader trims blanks around a value and takes off one pair of
// matching quotes (" or ') around the whole of it. Such a value goes out in
// one more pair of double quotes, which the reader takes off again (and
// which an older reader took off just the same).
std::string ProfileTextValue(const std::string& text);

// "Tool1".."Tool5" for tools 1..5.
std::string ToolSectionName(int tool);
int ToolRunCommand(int tool);

// Menu item text: "&n:「title」の実行" when registered, "&n:(未登録)" otherwise.
std::string ToolMenuText(int tool, const ToolSetting& setting);
// Registration dialog's list text: "n.title" or "n.(未登録)".
std::string ToolListText(int tool, const ToolSetting& setting);

// Zeroes the record, then fills it when the section says the tool is
// registered. Returns 1 when registered, 0 when not.
int ReadToolSetting(ProfileStore& store, const char* section, ToolSetting* record);
// Writes all nine keys, "IsEnable" always as "1". False when any write
// failed; the keys are still all tried, so a later save can mend the rest.
bool WriteToolSetting(ProfileStore& store, const char* section, const ToolSetting& record);
// Marks the tool as not registered; its other keys stay in the file. False
// when the write failed.
bool WriteToolDeleted(ProfileStore& store, const char* section);

// "Tools.ini" in the data folder; empty when the folder cannot be used, in
// which case nothing is read from or written to any settings file.
std::string ToolSettingsPath(const std::string& dataFolder);
