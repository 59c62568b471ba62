#include "tools/OutputLines.h"

#include "common/Cp932.h"

void OutputLineCutter::EndLine(size_t end) {
    std::string line = pending_.substr(0, end);
    if (!line.empty()) {
        // A console program may start its output with a page break.
        if (lineCount_ == 0 && line[0] == '\f') line.erase(0, 1);
        sink_(line);
    }
    ++lineCount_;
}

void OutputLineCutter::Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        char c = data[i];
        // A NUL would cut the line short where it is handed on as C text.
        if (c == '\r' || c == '\0') c = ' ';
        if (c == '\n') {
            EndLine(pending_.size());
            pending_.clear();
            scanned_ = 0;
            continue;
        }
        pending_.push_back(c);
        // Walk the new bytes by character so that a piece never ends
        // between the two bytes of one.
        while (scanned_ < pending_.size()) {
            unsigned char b = static_cast<unsigned char>(pending_[scanned_]);
            size_t width = IsCp932LeadByte(b) ? 2 : 1;
            // Cut before waiting for a trail byte: a lead byte that never
            // gets one (the output ends, or a line feed follows) must not
            // stretch the piece past the bound.
            if (scanned_ + width > kMaxLine) {
                EndLine(scanned_);
                pending_.erase(0, scanned_);
                scanned_ = 0;
                continue;
            }
            if (scanned_ + width > pending_.size()) break;  // trail byte still to come
            scanned_ += width;
        }
    }
}

void OutputLineCutter::Finish() {
    if (!pending_.empty()) sink_(pending_);
    pending_.clear();
    scanned_ = 0;
}
