#include <gtest/gtest.h>
#include <cstdint>
#include <cstring>
#include <vector>
#include "common/DialogTemplate.h"

namespace {

struct Bytes {
    std::vector<uint8_t> data;
    void Word(uint16_t w) { data.push_back(static_cast<uint8_t>(w)); data.push_back(static_cast<uint8_t>(w >> 8)); }
    void Dword(uint32_t d) { Word(static_cast<uint16_t>(d)); Word(static_cast<uint16_t>(d >> 16)); }
    void Text(const char* s) { for (; *s; ++s) Word(static_cast<uint8_t>(*s)); Word(0); }
};

// Header fields after the style up to the menu: item count and the rectangle.
void Rest(Bytes& b) { b.Word(0); for (int i = 0; i < 4; ++i) b.Word(10); }

}  // namespace

TEST(DialogTemplate, FindsThePointSizeInBothLayouts) {
    struct Case { const char* name; bool extended; bool menuOrdinal; const char* windowClass; bool font; };
    const Case cases[] = {
        {"plain, no menu, no class", false, false, nullptr, true},
        {"plain, menu ordinal, named class", false, true, "Cls", true},
        {"extended, no menu, no class", true, false, nullptr, true},
        {"extended, menu ordinal, named class", true, true, "PropSheet", true},
        {"no font", false, false, nullptr, false},
    };
    for (const Case& c : cases) {
        Bytes b;
        const uint32_t style = 0x80C800C4u & ~(c.font ? 0u : 0x40u);
        if (c.extended) {
            b.Word(1); b.Word(0xFFFF); b.Dword(0); b.Dword(0); b.Dword(style);
        } else {
            b.Dword(style); b.Dword(0);
        }
        Rest(b);
        if (c.menuOrdinal) { b.Word(0xFFFF); b.Word(7); } else b.Word(0);
        if (c.windowClass) b.Text(c.windowClass); else b.Word(0);
        b.Text("Caption");
        const size_t fontAt = b.data.size();
        b.Word(8);
        b.Text("MS Shell Dlg");
        uint16_t* size = DialogTemplatePointSize(b.data.data());
        if (!c.font) {
            EXPECT_EQ(nullptr, size) << c.name;
            continue;
        }
        ASSERT_NE(nullptr, size) << c.name;
        EXPECT_EQ(fontAt, reinterpret_cast<uint8_t*>(size) - b.data.data()) << c.name;
        EXPECT_EQ(8, *size) << c.name;
    }
    EXPECT_EQ(nullptr, DialogTemplatePointSize(nullptr));
}
