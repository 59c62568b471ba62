#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "common/FixedText.h"
#include "entries/WakeEntry.h"
#include "tools/ToolArguments.h"

namespace {

WakeEntry SampleEntry() {
    WakeEntry entry = {};
    const uint8_t ip[4] = {192, 168, 1, 20};
    const uint8_t mask[4] = {255, 255, 255, 0};
    const uint8_t mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xef};
    std::memcpy(entry.ipAddress, ip, 4);
    std::memcpy(entry.subnetMask, mask, 4);
    std::memcpy(entry.macAddress, mac, 6);
    SetField(entry.hostName, "pc-01");
    return entry;
}

struct ExpandCase {
    const char* name;
    std::string argTemplate;
    bool withEntry;
    std::vector<std::string> answers;   // "" with a leading '!' means cancel
    std::string expected;
    int prompts;
};

std::string Expand(const std::string& argTemplate, const WakeEntry* entry, std::vector<std::string> answers,
                   int* prompts) {
    char field[260] = {};
    std::memcpy(field, argTemplate.data(), std::min(argTemplate.size(), sizeof field));
    size_t next = 0;
    *prompts = 0;
    return ExpandToolArguments(field, sizeof field, entry, [&](std::string& text) {
        ++*prompts;
        std::string answer = next < answers.size() ? answers[next++] : std::string();
        if (!answer.empty() && answer[0] == '!') return false;
        text = answer;
        return true;
    });
}

TEST(ToolArguments, ExpandsOverTable) {
    const ExpandCase cases[] = {
        {"all placeholders", "-a $(IP) -m $(MASK) -h $(MAC) $(HOST)", true, {},
         "-a 192.168.1.20 -m 255.255.255.0 -h 00-1A-2B-3C-4D-EF pc-01", 0},
        {"ip in lower case stays", "$(ip) $(Ip)", true, {}, "$(ip) $(Ip)", 0},
        {"others in any case", "$(mac) $(Mask) $(host) $(iNpUt)", true, {"x"}, "00-1A-2B-3C-4D-EF 255.255.255.0 pc-01 x", 1},
        {"no entry: entry placeholders stay", "$(IP) $(MAC) $(INPUT)", false, {"in"}, "$(IP) $(MAC) in", 1},
        {"input twice, each answer in its place", "[$(INPUT)][$(INPUT)]", true, {"one", "two"}, "[one][two]", 2},
        {"cancelled prompt gives nothing", "a$(INPUT)b $(IP)", true, {"!"}, "ab 192.168.1.20", 1},
        {"incomplete placeholders copied", "$(IP $( $ $(HOSTX) $(IP)", true, {}, "$(IP $( $ $(HOSTX) 192.168.1.20", 0},
        {"empty template", "", true, {}, "", 0},
        {"double-byte text copied whole", "ソ\\$(IP)", true, {}, "ソ\\192.168.1.20", 0},
    };
    WakeEntry entry = SampleEntry();
    for (const ExpandCase& c : cases) {
        int prompts = 0;
        EXPECT_EQ(Expand(c.argTemplate, c.withEntry ? &entry : nullptr, c.answers, &prompts), c.expected) << c.name;
        EXPECT_EQ(prompts, c.prompts) << c.name;
    }
}

// A computer name comes from the LAN's reverse look-ups and from other
// people's files: it may go into a command line only when nothing in it can
// quote, separate, redirect, escape or expand.
TEST(ToolArguments, ComputerNamesThatCouldBreakOutAreRefused) {
    struct Case {
        std::string name;
        bool japanese;
        PlaceholderFault fault;
        unsigned char byte;
    };
    const Case cases[] = {
        {"pc-01", true, PlaceholderFault::kNone, 0},
        {"Srv_2.corp.example", false, PlaceholderFault::kNone, 0},
        {"", true, PlaceholderFault::kNone, 0},
        {"事務所ＰＣ", true, PlaceholderFault::kNone, 0},
        {"ｿﾌﾄ開発-1", true, PlaceholderFault::kNone, 0},
        {"ソ表能", true, PlaceholderFault::kNone, 0},  // trail bytes 0x5C: whole characters
        {"pc1\" & calc.exe & rem \"", true, PlaceholderFault::kCharacter, '"'},
        {"pc1&calc", true, PlaceholderFault::kCharacter, '&'},
        {"a|b", true, PlaceholderFault::kCharacter, '|'},
        {"a^b", true, PlaceholderFault::kCharacter, '^'},
        {"%USERNAME%", true, PlaceholderFault::kCharacter, '%'},
        {"!x!", true, PlaceholderFault::kCharacter, '!'},
        {"a<b", true, PlaceholderFault::kCharacter, '<'},
        {"a>b", true, PlaceholderFault::kCharacter, '>'},
        {"pc 1", true, PlaceholderFault::kCharacter, ' '},
        {"a\\b", true, PlaceholderFault::kCharacter, '\\'},
        {"a/b", true, PlaceholderFault::kCharacter, '/'},
        {"pc\tx", true, PlaceholderFault::kControl, '\t'},
        {"pc\nx", true, PlaceholderFault::kControl, '\n'},
        {"pc\x7f", true, PlaceholderFault::kControl, 0x7F},
        {"-t", true, PlaceholderFault::kLeadingHyphen, '-'},
        {"pc1\x83", true, PlaceholderFault::kLoneLeadByte, 0x83},      // swallows a closing quote
        {"pc1\x83\x22", true, PlaceholderFault::kLoneLeadByte, 0x83},  // a quote is no trail byte
        {"pc\x80", true, PlaceholderFault::kLoneLeadByte, 0x80},
        {"pc\xFD", true, PlaceholderFault::kLoneLeadByte, 0xFD},
        {"事務所", false, PlaceholderFault::kDoubleByte, 0x8E},
        {"ﾎﾟ", false, PlaceholderFault::kDoubleByte, 0xCE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlaceholderCheck check = CheckHostPlaceholder(c.name, c.japanese);
        EXPECT_EQ(check.fault, c.fault);
        EXPECT_EQ(check.byte, c.byte);
    }
}

TEST(ToolArguments, OnlyATemplateThatUsesTheNameChecksIt) {
    WakeEntry entry = SampleEntry();
    SetField(entry.name, "PC1");
    SetField(entry.hostName, "pc1\" & calc.exe & rem \"");
    auto check = [&entry](const std::string& argTemplate) {
        char field[260] = {};
        std::memcpy(field, argTemplate.data(), std::min(argTemplate.size(), sizeof field));
        return CheckEntryPlaceholders(field, sizeof field, entry, true).fault;
    };
    EXPECT_EQ(check("/c ping -n 1 \"$(HOST)\""), PlaceholderFault::kCharacter);
    EXPECT_EQ(check("$(host)"), PlaceholderFault::kCharacter);
    EXPECT_EQ(check("$(IP) $(MAC) $(MASK) $(INPUT)"), PlaceholderFault::kNone);
    EXPECT_EQ(check("$(HOSTX) $(HOST"), PlaceholderFault::kNone);

    PlaceholderCheck refused = CheckEntryPlaceholders("$(HOST)", 8, entry, true);
    EXPECT_EQ(PlaceholderRefusalText(entry, refused),
              "[PC1(192.168.1.20)]のｺﾝﾋﾟｭｰﾀ名に使えない文字 '\"'があるためｺﾏﾝﾄﾞを実行しません");
    SetField(entry.hostName, "pc\r\n");
    EXPECT_EQ(PlaceholderRefusalText(entry, CheckEntryPlaceholders("$(HOST)", 8, entry, true)),
              "[PC1(192.168.1.20)]のｺﾝﾋﾟｭｰﾀ名に制御文字 0x0Dがあるためｺﾏﾝﾄﾞを実行しません");
    // A name cut at 255 bytes is checked as the expansion would use it.
    std::memset(entry.hostName, 'h', sizeof entry.hostName);
    entry.hostName[255] = '&';
    EXPECT_EQ(CheckEntryPlaceholders("$(HOST)", 8, entry, true).fault, PlaceholderFault::kNone);
}

TEST(ToolArguments, LongHostNameIsCutTo255Bytes) {
    WakeEntry entry = SampleEntry();
    std::memset(entry.hostName, 'h', sizeof entry.hostName);   // no terminator at all
    int prompts = 0;
    EXPECT_EQ(Expand("$(HOST)", &entry, {}, &prompts), std::string(255, 'h'));
}

TEST(ToolArguments, BoundNeverOverflowsNorSplitsACharacter) {
    // Five prompts of 255 bytes each would give 1275; the output stops at
    // the bound, on a character boundary, and asks no more once full.
    const std::string wide = [] { std::string s = "x"; while (s.size() < 255) s += "あ"; return s; }();
    ASSERT_EQ(wide.size(), 255u);
    struct BoundCase {
        const char* name;
        std::string argTemplate;
        std::vector<std::string> answers;
        int maxPrompts;
    };
    const BoundCase cases[] = {
        {"many inputs", "$(INPUT)$(INPUT)$(INPUT)$(INPUT)$(INPUT)$(INPUT)", {wide, wide, wide, wide, wide, wide}, 5},
        {"odd offset", "y$(INPUT)$(INPUT)$(INPUT)$(INPUT)$(INPUT)", {wide, wide, wide, wide, wide}, 5},
    };
    for (const BoundCase& c : cases) {
        int prompts = 0;
        std::string out = Expand(c.argTemplate, nullptr, c.answers, &prompts);
        EXPECT_LE(out.size(), kMaxToolArguments) << c.name;
        EXPECT_GE(out.size(), kMaxToolArguments - 1) << c.name;
        EXPECT_LE(prompts, c.maxPrompts) << c.name;
        // Walk by character: the last one must be whole.
        size_t i = 0;
        while (i < out.size()) i += (static_cast<unsigned char>(out[i]) >= 0x81 && out[i] != 'x' && out[i] != 'y') ? 2 : 1;
        EXPECT_EQ(i, out.size()) << c.name;
    }
}

TEST(ToolArguments, CommandLineJoinsWithOneSpaceAndStaysInBound) {
    EXPECT_EQ(BuildToolCommandLine("ping.exe", ""), "ping.exe ");
    EXPECT_EQ(BuildToolCommandLine("a b", "-x"), "a b -x");
    std::string args;
    while (args.size() < 1100) args += "ソ";
    std::string line = BuildToolCommandLine("c", args);
    EXPECT_EQ(line.size(), 1022u);   // "c " then whole characters only
    EXPECT_EQ(line.substr(line.size() - 2), "ソ");
}

}  // namespace
