// A child's output in chunks of any size: the lines are the same whatever
// the chunking, each within its bound and free of line-end bytes.
#include <vector>

#include "FuzzCheck.h"
#include "tools/OutputLines.h"

namespace {

struct Cut {
    std::vector<std::string> lines;
    size_t count = 0;
};

Cut CutInChunks(const std::string& text, const uint8_t* sizes, size_t sizeCount) {
    Cut cut;
    OutputLineCutter cutter([&](const std::string& line) { cut.lines.push_back(line); });
    size_t at = 0, i = 0;
    while (at < text.size()) {
        size_t chunk = sizeCount ? sizes[i++ % sizeCount] % 17 + 1 : text.size();
        if (chunk > text.size() - at) chunk = text.size() - at;
        cutter.Feed(text.data() + at, chunk);
        at += chunk;
    }
    cutter.Finish();
    cut.count = cutter.LineCount();
    return cut;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t sizeCount = data[0] % 8;
    if (size < 1 + sizeCount) return 0;
    const uint8_t* sizes = data + 1;
    const std::string text(reinterpret_cast<const char*>(data + 1 + sizeCount), size - 1 - sizeCount);

    const Cut whole = CutInChunks(text, nullptr, 0);
    const Cut chunked = CutInChunks(text, sizes, sizeCount);
    FUZZ_CHECK(whole.lines == chunked.lines);
    FUZZ_CHECK(whole.count == chunked.count);
    for (size_t i = 0; i < whole.lines.size(); ++i) {
        const std::string& line = whole.lines[i];
        // Only a first line that held nothing but a form feed goes out empty.
        if (line.empty()) FUZZ_CHECK(i == 0 && whole.count >= 1);
        FUZZ_CHECK(line.size() <= OutputLineCutter::kMaxLine);
        FUZZ_CHECK(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);
    }
    // No byte of the text is lost or made up: apart from line ends, form
    // feeds and the bytes that become spaces, what goes in comes out.
    size_t letters = 0, sent = 0;
    for (char c : text) letters += (c != '\n' && c != '\r' && c != '\f' && c != '\0' && c != ' ');
    for (const std::string& line : whole.lines)
        for (char c : line) sent += (c != '\f' && c != ' ');
    FUZZ_CHECK(sent == letters);
    return 0;
}
