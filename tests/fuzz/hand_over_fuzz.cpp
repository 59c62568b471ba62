// A hand-over request of any bytes, as a stray program or a caller that
// broke off may write them: a request is read only when it is whole and
// well formed, and then reads back to the very same bytes.
#include "FuzzCheck.h"
#include "wake/HandOver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HandOverRequest request;
    const HandOverFault fault = DecodeHandOverRequest(data, size, &request);
    FUZZ_CHECK((fault == HandOverFault::kNone) == HandOverFaultText(fault).empty());
    if (fault == HandOverFault::kNone) {
        FUZZ_CHECK(request.text.size() <= kHandOverTextMax);
        FUZZ_CHECK(request.text.find('\0') == std::string::npos);
        FUZZ_CHECK(EncodeHandOverRequest(request) == std::string(reinterpret_cast<const char*>(data), size));
    }
    FUZZ_CHECK(size <= kHandOverRequestMax || fault != HandOverFault::kNone);

    HandOverReply reply;
    if (DecodeHandOverReply(data, size, &reply)) {
        FUZZ_CHECK(EncodeHandOverReply(reply) == std::string(reinterpret_cast<const char*>(data), size));
        HandOverProgress progress;
        progress.Take(reply);
        FUZZ_CHECK(progress.ExitCode() >= 0 && progress.ExitCode() <= 2);
    }
    return 0;
}
