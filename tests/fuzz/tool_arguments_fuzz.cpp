// A tool's argument template with arbitrary text, entry fields and answers:
// the expansion stays within its bound, asks once per $(INPUT) at most, and
// the command line built from it too.
#include <cstring>

#include "FuzzCheck.h"
#include "entries/WakeEntry.h"
#include "tools/ToolArguments.h"

namespace {

size_t CountInputs(const std::string& text) {
    size_t count = 0;
    for (size_t at = 0; (at = text.find("$(", at)) != std::string::npos; at += 2) {
        std::string word = text.substr(at, 8);
        for (char& c : word) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        if (word == "$(INPUT)") ++count;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const bool withEntry = in.Byte() & 1;
    const uint8_t cancelAt = in.Byte();
    std::string argTemplate = in.Line();
    if (argTemplate.size() > 260) argTemplate.resize(260);
    const std::string command = in.Line();
    const std::string answer = in.Line();
    WakeEntry entry;
    const std::string fields = in.Rest();
    std::memset(&entry, 0, sizeof entry);
    std::memcpy(&entry, fields.data(), std::min(fields.size(), sizeof entry));

    size_t asked = 0;
    const std::string expanded = ExpandToolArguments(
        argTemplate.c_str(), argTemplate.size(), withEntry ? &entry : nullptr, [&](std::string& text) {
            ++asked;
            if (asked == cancelAt) return false;
            text = answer;
            return true;
        });
    FUZZ_CHECK(expanded.size() <= kMaxToolArguments);
    FUZZ_CHECK(asked <= CountInputs(argTemplate.c_str()));
    // $(IP) is known in upper case only.
    if (argTemplate.find("$(ip)") != std::string::npos && argTemplate.find('\0') == std::string::npos &&
        expanded.size() < kMaxToolArguments / 2)
        FUZZ_CHECK(expanded.find("$(ip)") != std::string::npos);

    const std::string line = BuildToolCommandLine(command, expanded);
    FUZZ_CHECK(line.size() <= kMaxToolCommandLine);
    const std::string prefix = command.substr(0, std::min(command.size(), line.size()));
    FUZZ_CHECK(line.compare(0, prefix.size(), prefix) == 0 || EndsInLoneLeadByte(prefix));
    return 0;
}
