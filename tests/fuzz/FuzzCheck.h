#pragma once
// What every fuzz target shares: a property check that stops the run with
// the input kept, and the code page 932 character walk.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/Cp932.h"

#define FUZZ_CHECK(condition)                                                                       \
    do {                                                                                            \
        if (!(condition)) {                                                                         \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                           \
        }                                                                                           \
    } while (0)

// True when the text's last byte is a lead byte that does not pair with a
// trail byte inside the text.
inline bool EndsInLoneLeadByte(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsCp932LeadByte(c) && i + 1 < text.size() && IsCp932TrailByte(static_cast<unsigned char>(text[i + 1])))
            i += 2;
        else if (i + 1 == text.size())
            return IsCp932LeadByte(c);
        else
            ++i;
    }
    return false;
}

// True when some occurrence of `piece` in `text` is not followed by a byte
// that would complete a character the piece leaves open.
inline bool OccursWhole(const std::string& text, const std::string& piece) {
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        const size_t end = at + piece.size();
        if (!EndsInLoneLeadByte(piece) || end == text.size() ||
            !IsCp932TrailByte(static_cast<unsigned char>(text[end])))
            return true;
    }
    return false;
}

// Consumes the input front to back, for targets that need several values.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
        return v;
    }
    // Up to the next byte 0x0A, or the rest.
    std::string Line() {
        std::string line;
        while (at_ < size_ && data_[at_] != '\n') line += static_cast<char>(data_[at_++]);
        if (at_ < size_) ++at_;
        return line;
    }
    std::string Rest() {
        std::string rest(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
        at_ = size_;
        return rest;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};
