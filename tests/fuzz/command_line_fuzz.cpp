// The command-line parser over arbitrary argument bytes.
#include <cstring>

#include "FuzzCheck.h"
#include "wake/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    const CommandLineRequest r = ParseCommandLine(text.c_str());
    if (!r.found) {
        FUZZ_CHECK(r.name.empty() && r.command == 0 && r.tool == 0);
        return 0;
    }
    FUZZ_CHECK(r.name.size() <= kCommandLineNameMax);
    FUZZ_CHECK(text.find(r.name) != std::string::npos);
    if (r.wake) {
        FUZZ_CHECK(r.tool == 0);
        FUZZ_CHECK(r.command == (r.name.empty() ? 40006 : 40033));
        // An unquoted word after the option that starts like an option is
        // never a name; a quoted one always is.
        if (!r.name.empty() && (r.name[0] == '/' || r.name[0] == '+'))
            FUZZ_CHECK(text.find("\"" + r.name) != std::string::npos);
        // A word that looks like an option but is none is reported whole.
        if (!r.unknownOption.empty()) {
            FUZZ_CHECK(r.unknownOption[0] == '/' || r.unknownOption[0] == '+');
            FUZZ_CHECK(r.unknownOption.size() <= 64 && r.unknownOption.find(' ') == std::string::npos);
            FUZZ_CHECK(text.find(r.unknownOption) != std::string::npos);
        }
    } else {
        FUZZ_CHECK(r.unknownOption.empty());
        FUZZ_CHECK(r.tool >= 1 && r.tool <= 5);
        FUZZ_CHECK(r.command == 40013 + r.tool);
    }
    if (r.wait) {
        FUZZ_CHECK(r.wake);
        FUZZ_CHECK(r.waitInvalid ? r.waitSeconds == 0 : (r.waitSeconds >= 1 && r.waitSeconds <= kMaxWaitSeconds));
    } else {
        FUZZ_CHECK(!r.waitInvalid && r.waitSeconds == 0);
    }
    // A cut never leaves half a double-byte character behind.
    FUZZ_CHECK(OccursWhole(text, r.name));
    // The name never takes a space unless it was quoted.
    if (r.name.find(' ') != std::string::npos) FUZZ_CHECK(text.find('"') != std::string::npos);
    return 0;
}
