// A computer name of any bytes, as a LAN's reverse look-up or a colleague's
// file may bring it: a name the check lets through, put in quotes on a
// command line, is read back by the child as exactly one argument equal to
// the name, and holds nothing cmd.exe would act on.
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "common/FixedText.h"
#include "entries/WakeEntry.h"
#include "tools/ToolArguments.h"

namespace {

// The child's argument split on a command line of code page 932 text, as
// Windows does it after the line became UTF-16: a double-byte character is
// one character, backslashes count only before a quote.
std::vector<std::string> SplitArguments(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            const unsigned char c = static_cast<unsigned char>(line[i]);
            if (IsCp932LeadByte(c) && i + 1 < line.size()) {
                arg.append(line, i, 2);
                i += 2;
            } else if (c == '\\') {
                size_t n = 0;
                while (i < line.size() && line[i] == '\\') ++n, ++i;
                if (i < line.size() && line[i] == '"') {
                    arg.append(n / 2, '\\');
                    if (n % 2) arg += '"', ++i;
                } else {
                    arg.append(n, '\\');
                }
            } else if (c == '"') {
                quoted = !quoted;
                ++i;
            } else {
                arg += static_cast<char>(c);
                ++i;
            }
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const bool japanese = in.Byte() & 1;
    WakeEntry entry = {};
    const std::string name = in.Rest();
    std::memcpy(entry.hostName, name.data(), std::min(name.size(), sizeof entry.hostName));

    const char kTemplate[] = "\"$(HOST)\"";
    const PlaceholderCheck check = CheckEntryPlaceholders(kTemplate, sizeof kTemplate, entry, japanese);
    FUZZ_CHECK((check.fault == PlaceholderFault::kNone) == (check.byte == 0));
    FUZZ_CHECK(!PlaceholderRefusalText(entry, check).empty() == (check.fault != PlaceholderFault::kNone));
    if (check.fault != PlaceholderFault::kNone) return 0;

    const std::string used = ExpandToolArguments(kTemplate, sizeof kTemplate, &entry, nullptr);
    const std::string value = used.substr(1, used.size() - 2);
    FUZZ_CHECK(used == "\"" + value + "\"");
    FUZZ_CHECK(value.empty() || value[0] != '-');
    for (size_t i = 0; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (c >= 0x80) {
            FUZZ_CHECK(japanese);
            if (IsCp932LeadByte(c)) {
                FUZZ_CHECK(i + 1 < value.size() && IsCp932TrailByte(static_cast<unsigned char>(value[i + 1])));
                ++i;
            }
            continue;
        }
        // Nothing that quotes, separates, redirects, escapes or expands.
        FUZZ_CHECK(c != 0 && std::strchr("\"&|<>^%!()\\/ \t,;=`'@*?[]{}~$#+:", c) == nullptr);
        FUZZ_CHECK(c > 0x20 && c != 0x7F);
    }
    const std::vector<std::string> args = SplitArguments("prog " + used);
    FUZZ_CHECK(args.size() == 2 && args[0] == "prog" && args[1] == value);
    return 0;
}
