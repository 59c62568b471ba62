#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "tools/OutputLines.h"

namespace {

struct CutCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> lines;   // sent while feeding and at the end
};

// "ソ" is 83 5C: its trail byte looks like a backslash.
const std::string kSo = "ソ";
const std::string kA = "あ";

std::vector<std::string> Cut(const std::vector<std::string>& chunks) {
    std::vector<std::string> lines;
    OutputLineCutter cutter([&](const std::string& line) { lines.push_back(line); });
    for (const std::string& chunk : chunks) cutter.Feed(chunk.data(), chunk.size());
    cutter.Finish();
    return lines;
}

TEST(OutputLineCutter, CutsLinesOverTable) {
    const CutCase cases[] = {
        {"crlf keeps a space", {"abc\r\n"}, {"abc "}},
        {"bare lf", {"one\ntwo\n"}, {"one", "two"}},
        {"line across reads", {"he", "llo\nwor", "ld\n"}, {"hello", "world"}},
        {"empty lines not sent", {"\n\n\nx\n"}, {"x"}},
        {"form feed of the first line dropped", {"\fpage\n\fnext\n"}, {"page", "\fnext"}},
        {"form feed after empty lines stays", {"\n\fpage\n"}, {"\fpage"}},
        {"first line only a form feed is sent empty", {"\f\nx\n"}, {"", "x"}},
        {"last line without lf sent at the end", {"a\nlast"}, {"a", "last"}},
        {"last line keeps its form feed", {"\flast"}, {"\flast"}},
        {"double-byte split across reads", {"x" + kA.substr(0, 1), kA.substr(1) + kSo + "\n"}, {"x" + kA + kSo}},
        {"lead byte ends the output", {"ab" + kA.substr(0, 1)}, {"ab" + kA.substr(0, 1)}},
        {"trail byte 0x5C is no separator", {kSo + "\\" + kSo + "\n"}, {kSo + "\\" + kSo}},
        {"cr alone is a space, not a line end", {"a\rb\n"}, {"a b"}},
        {"nul does not cut the line", {std::string("a\0b\n", 4)}, {"a b"}},
        {"nothing at all", {}, {}},
    };
    for (const CutCase& c : cases) EXPECT_EQ(Cut(c.chunks), c.lines) << c.name;
}

TEST(OutputLineCutter, CountsEmptyLines) {
    OutputLineCutter cutter([](const std::string&) {});
    std::string text = "\n\nx\n";
    cutter.Feed(text.data(), text.size());
    EXPECT_EQ(cutter.LineCount(), 3u);
}

TEST(OutputLineCutter, LongLineGoesOutInPiecesOnCharacterBoundaries) {
    struct LongCase {
        const char* name;
        std::string prefix;    // single bytes before the double-byte run
        size_t chunkSize;
    };
    const LongCase cases[] = {
        {"even start, one read", "", 5000},
        {"odd start, small reads", "x", 7},
        {"odd start, read size 1023", "x", 1023},
        {"odd start, byte by byte", "x", 1},
    };
    for (const LongCase& c : cases) {
        std::string line = c.prefix;
        while (line.size() < 3000) line += kA;
        std::string text = line + "\nend\n";
        std::vector<std::string> chunks;
        for (size_t i = 0; i < text.size(); i += c.chunkSize) chunks.push_back(text.substr(i, c.chunkSize));
        std::vector<std::string> lines = Cut(chunks);
        ASSERT_GE(lines.size(), 4u) << c.name;
        std::string joined;
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            EXPECT_LE(lines[i].size(), OutputLineCutter::kMaxLine) << c.name;
            if (i + 2 < lines.size()) {
                EXPECT_GE(lines[i].size(), OutputLineCutter::kMaxLine - 1) << c.name << " piece " << i;
            }
            // Each piece, on its own, is whole characters.
            std::string rest = lines[i].substr(c.prefix.size() * (i == 0));
            EXPECT_EQ(rest.size() % 2, 0u) << c.name << " piece " << i;
            for (size_t k = 0; k < rest.size(); k += 2) ASSERT_EQ(rest.substr(k, 2), kA) << c.name;
            joined += lines[i];
        }
        EXPECT_EQ(lines.back(), "end") << c.name;
        EXPECT_EQ(joined, line) << c.name;
    }
}

}  // namespace

// A lead byte that lands just past a full piece and never gets its trail
// byte (the output ends, or a line feed follows) starts the next piece: no
// piece is ever one byte over the bound.
TEST(OutputLineCutter, LoneLeadByteAtTheBoundStartsTheNextPiece) {
    std::string full = " \x05";
    for (int i = 0; i < 511; ++i) full += kSo;
    ASSERT_EQ(full.size(), OutputLineCutter::kMaxLine);
    const std::string lead = kSo.substr(0, 1);
    struct Case { const char* name; std::vector<std::string> chunks; std::vector<std::string> lines; };
    const Case cases[] = {
        {"output ends", {full + lead}, {full, lead}},
        {"line feed follows", {full + lead + "\nx\n"}, {full, lead, "x"}},
        {"byte by byte", {full, lead, "\n"}, {full, lead}},
        {"trail byte comes later", {full + lead, kSo.substr(1) + "\n"}, {full, kSo}},
    };
    for (const Case& c : cases) EXPECT_EQ(Cut(c.chunks), c.lines) << c.name;
}
