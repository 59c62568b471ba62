// Nodelark.ini's status setting with any bytes another program or a torn
// write may have left: the profile reader's trimming and quotes, the cut to
// the read buffer, and then only a value that reads exactly "0" turns the
// checks off.
#include <cstring>

#include "FuzzCheck.h"
#include "wake/StatusSettings.h"
#include "../host/ProfileReads.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const bool missing = in.Byte() & 1;
    const std::string stored = in.Line();
    std::string read = missing ? std::string("1") : profile_model::AsProfileReads(stored);
    read = read.substr(0, std::min(read.find('\0'), kStatusValueBytes - 1));
    char value[kStatusValueBytes] = {};
    std::memcpy(value, read.data(), read.size());
    FUZZ_CHECK(StatusChecksOn(value) == (read != "0"));
    FUZZ_CHECK(StatusChecksOn(nullptr));
    return 0;
}
