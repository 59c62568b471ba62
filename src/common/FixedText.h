#pragma once
// Text fields live in fixed-size arrays that a file may have filled without a
// terminator. These helpers never read past the field's width.
#include <cstddef>
#include <cstring>
#include <string>

// Length of the text in a field of `width` bytes: up to the first NUL, or the
// whole width when the field has none.
inline size_t FieldLength(const char* field, size_t width) {
    const void* nul = std::memchr(field, 0, width);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : width;
}

template <size_t N>
inline size_t FieldLength(const char (&field)[N]) { return FieldLength(field, N); }

// The field as a string, cut at its width when it has no terminator.
template <size_t N>
inline std::string FieldText(const char (&field)[N]) { return std::string(field, FieldLength(field)); }

// Copies `text` into the field, cut so that the terminator always fits, and
// zero-fills the rest.
template <size_t N>
inline void SetField(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    if (text) {
        size_t n = std::strlen(text);
        if (n > N - 1) n = N - 1;
        std::memcpy(field, text, n);
    }
}

template <size_t N>
inline void SetField(char (&field)[N], const std::string& text) { SetField(field, text.c_str()); }
