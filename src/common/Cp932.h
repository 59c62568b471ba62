#pragma once
// Code page 932 text walked character by character: the trail byte of a
// double-byte character may be 0x5C (ソ is 83 5C), which is no backslash.
#include <string>

inline bool IsCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
inline bool IsCp932TrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// True when the text's last character is a backslash.
bool EndsInBackslash(const std::string& text);

// Byte position of the last backslash character, or npos.
size_t LastBackslash(const std::string& text);

// The text cut to at most `maxBytes`, never inside a double-byte character.
std::string CutAtCharBoundary(const std::string& text, size_t maxBytes);
