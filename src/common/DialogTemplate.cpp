#include "common/DialogTemplate.h"

#include <cstring>

namespace {

constexpr uint32_t kSetFont = 0x40;      // DS_SETFONT
constexpr uint16_t kExtendedMark = 0xFFFF;

uint16_t Word(const uint8_t* p) {
    uint16_t w;
    std::memcpy(&w, p, 2);
    return w;
}

// A menu or class field: none, an ordinal, or a zero-terminated UTF-16 name.
const uint8_t* SkipNameOrOrdinal(const uint8_t* p) {
    uint16_t first = Word(p);
    if (first == 0) return p + 2;
    if (first == 0xFFFF) return p + 4;
    while (Word(p) != 0) p += 2;
    return p + 2;
}

const uint8_t* SkipString(const uint8_t* p) {
    while (Word(p) != 0) p += 2;
    return p + 2;
}

}  // namespace

uint16_t* DialogTemplatePointSize(void* dialogTemplate) {
    auto* base = static_cast<uint8_t*>(dialogTemplate);
    if (!base) return nullptr;
    const bool extended = Word(base + 2) == kExtendedMark;
    uint32_t style;
    std::memcpy(&style, base + (extended ? 12 : 0), 4);
    if (!(style & kSetFont)) return nullptr;
    const uint8_t* p = base + (extended ? 26 : 18);
    p = SkipNameOrOrdinal(p);  // menu
    p = SkipNameOrOrdinal(p);  // window class
    p = SkipString(p);         // title
    return reinterpret_cast<uint16_t*>(base + (p - base));
}
