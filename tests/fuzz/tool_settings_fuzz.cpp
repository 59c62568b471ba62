// A tool's section of the settings file with arbitrary values: the record
// read from it keeps every text inside its field, and writing the record and
// reading it back gives the same record.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "FuzzCheck.h"
#include "tools/ToolSettingFile.h"
#include "../host/ProfileReads.h"

namespace {

using profile_model::AsProfileReads;

// The private-profile reading rules, in memory.
class MemoryProfile : public ProfileStore {
public:
    uint32_t GetInt(const char* section, const char* key, int defaultValue) override {
        auto it = values.find(std::string(section) + "/" + key);
        if (it == values.end()) return static_cast<uint32_t>(defaultValue);
        return static_cast<uint32_t>(std::strtoul(it->second.c_str(), nullptr, 10));
    }
    size_t GetString(const char* section, const char* key, char* buffer, size_t size) override {
        auto it = values.find(std::string(section) + "/" + key);
        const std::string value = it == values.end() ? std::string() : AsProfileReads(it->second);
        const size_t n = std::min(value.size(), size - 1);
        std::memcpy(buffer, value.data(), n);
        buffer[n] = '\0';
        return n;
    }
    bool WriteString(const char* section, const char* key, const char* value) override {
        values[std::string(section) + "/" + key] = value;
        return true;
    }
    std::map<std::string, std::string> values;
};

const char* const kKeys[] = {"IsEnable", "Title", "ExecStyle", "Command", "Argv",
                             "ArgvFlag", "WorkFolder", "Timeout", "ShowWindow"};

template <size_t N>
bool Terminated(const char (&field)[N]) {
    return std::memchr(field, 0, N) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    MemoryProfile file;
    for (const char* key : kKeys) {
        std::string value = in.Line();
        value = value.c_str();  // a profile value ends at its first zero byte
        if (!value.empty()) file.values[std::string("Tool1/") + key] = value;
    }
    ToolSetting first;
    const int registered = ReadToolSetting(file, "Tool1", &first);
    FUZZ_CHECK(registered == (first.IsEnable != 0 ? 1 : 0));
    FUZZ_CHECK(Terminated(first.Title) && Terminated(first.Command) && Terminated(first.Argv) &&
               Terminated(first.WorkFolder));
    if (!registered) {
        static const ToolSetting zero = {};
        FUZZ_CHECK(std::memcmp(&first, &zero, sizeof zero) == 0);
        return 0;
    }
    MemoryProfile written;
    FUZZ_CHECK(WriteToolSetting(written, "Tool1", first));
    ToolSetting second;
    FUZZ_CHECK(ReadToolSetting(written, "Tool1", &second) == 1);
    FUZZ_CHECK(second.IsEnable == 1);
    FUZZ_CHECK(std::strcmp(first.Title, second.Title) == 0);
    FUZZ_CHECK(std::strcmp(first.Command, second.Command) == 0);
    FUZZ_CHECK(std::strcmp(first.Argv, second.Argv) == 0);
    FUZZ_CHECK(std::strcmp(first.WorkFolder, second.WorkFolder) == 0);
    FUZZ_CHECK(first.ExecStyle == second.ExecStyle);
    FUZZ_CHECK(first.ArgvFlag == second.ArgvFlag);
    FUZZ_CHECK(first.Timeout == second.Timeout);
    FUZZ_CHECK(first.ShowWindow == second.ShowWindow);
    return 0;
}
