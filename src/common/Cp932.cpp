#include "common/Cp932.h"

size_t LastBackslash(const std::string& text) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsCp932LeadByte(c) && i + 1 < text.size()) {
            ++i;
            continue;
        }
        if (c == '\\') last = i;
    }
    return last;
}

bool EndsInBackslash(const std::string& text) {
    size_t last = LastBackslash(text);
    return last != std::string::npos && last + 1 == text.size();
}

std::string CutAtCharBoundary(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t end = 0;
    while (end < maxBytes) {
        size_t width = IsCp932LeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + width > maxBytes) break;
        end += width;
    }
    return text.substr(0, end);
}
