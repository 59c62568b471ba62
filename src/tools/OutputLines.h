#pragma once
// Cuts a child's output, arriving in chunks of any size, into lines.
// Portable: the runner's reader thread feeds it what each read returned.
#include <cstddef>
#include <functional>
#include <string>

class OutputLineCutter {
public:
    // Longest line held back; a longer one goes out in pieces of at most
    // this many bytes, each ending on a character boundary.
    static constexpr size_t kMaxLine = 1024;

    using Sink = std::function<void(const std::string& line)>;

    explicit OutputLineCutter(Sink sink) : sink_(std::move(sink)) {}

    // Takes one chunk: a carriage return becomes a space, a line feed ends
    // the line, empty lines are counted but not sent, the first line loses
    // a leading form feed. A lead byte that ends the chunk waits for its
    // trail byte in the next one.
    void Feed(const char* data, size_t size);
    // Sends the unfinished last line, if any, as it is.
    void Finish();

    // Lines ended so far, the empty ones included.
    size_t LineCount() const { return lineCount_; }

private:
    void EndLine(size_t end);

    Sink sink_;
    std::string pending_;
    size_t scanned_ = 0;     // bytes of pending_ already looked at
    size_t lineCount_ = 0;
};
