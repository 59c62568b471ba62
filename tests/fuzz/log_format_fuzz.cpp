// The log file's line forms over arbitrary times, texts and error codes.
#include <cstdlib>

#include "FuzzCheck.h"
#include "log/LogFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    DateTime now;
    uint16_t* fields = &now.year;
    for (int i = 0; i < 8; ++i) fields[i] = static_cast<uint16_t>((in.Byte() << 8) | in.Byte());
    const uint32_t code = in.U32();
    const std::string text = in.Rest();

    const std::string stamp = FormatDateTime(now);
    // No text writes a line of its own: its control characters show as
    // escapes, and only the tab stays as it is.
    const std::string shown = VisibleLogText(text);
    for (char c : shown) FUZZ_CHECK(!((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F));
    if (shown.size() == text.size()) FUZZ_CHECK(shown == text);
    FUZZ_CHECK(VisibleLogText(shown) == shown);
    const std::string line = FormatLogLine(now, text);
    FUZZ_CHECK(line == stamp + " " + shown + "\r\n");

    const std::string error = FormatLogErrorLine(now, text, code);
    const std::string suffix = "LastErrorCode=";
    FUZZ_CHECK(error.compare(0, stamp.size() + 1 + shown.size() + 1, stamp + " " + shown + " ") == 0);
    const size_t at = error.rfind(suffix);
    FUZZ_CHECK(at != std::string::npos && error.size() >= 2 && error.substr(error.size() - 2) == "\r\n");
    const std::string digits = error.substr(at + suffix.size(), error.size() - 2 - at - suffix.size());
    FUZZ_CHECK(digits.size() >= 8 && digits.find_first_not_of("0123456789") == std::string::npos);
    // The code reads back as it was, also from 0x80000000 up.
    FUZZ_CHECK(std::strtoull(digits.c_str(), nullptr, 10) == code);

    const std::string banner = FormatLogBanner(text.c_str(), text.c_str());
    FUZZ_CHECK(banner.size() >= 4 * 2 && banner.substr(banner.size() - 2) == "\r\n");
    return 0;
}
