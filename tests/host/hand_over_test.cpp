#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wake/HandOver.h"

namespace {

TEST(HandOver, RequestsReadBackAndBrokenOnesAreRefusedWithTheirReason) {
    HandOverRequest sent;
    sent.callerPid = 0x01020304;
    sent.text = "/w \"My PC\" /wait:30 ソ";
    const std::string good = EncodeHandOverRequest(sent);
    ASSERT_EQ(kHandOverHeaderSize + sent.text.size(), good.size());
    HandOverRequest got;
    ASSERT_EQ(HandOverFault::kNone, DecodeHandOverRequest(good.data(), good.size(), &got));
    EXPECT_EQ(sent.callerPid, got.callerPid);
    EXPECT_EQ(sent.text, got.text);

    HandOverRequest longest;
    longest.text.assign(kHandOverTextMax, 'a');
    const std::string atBound = EncodeHandOverRequest(longest);
    EXPECT_EQ(HandOverFault::kNone, DecodeHandOverRequest(atBound.data(), atBound.size(), &got));

    auto with = [&good](size_t at, char byte) {
        std::string bytes = good;
        bytes[at] = byte;
        return bytes;
    };
    HandOverRequest overlong;
    overlong.text.assign(kHandOverTextMax + 1, 'a');
    HandOverRequest nul;
    nul.text = std::string("/w a\0b", 6);
    struct Case { const char* what; std::string bytes; HandOverFault fault; };
    const Case cases[] = {
        {"empty", "", HandOverFault::kShort},
        {"half a header", good.substr(0, 10), HandOverFault::kShort},
        {"text cut short", good.substr(0, good.size() - 1), HandOverFault::kShort},
        {"another magic", with(0, 'X'), HandOverFault::kMagic},
        {"another version", with(4, 2), HandOverFault::kVersion},
        {"overlong", EncodeHandOverRequest(overlong), HandOverFault::kTooLong},
        {"length far past the message", with(15, '\x7f'), HandOverFault::kTooLong},
        {"bytes after the text", good + "x", HandOverFault::kExtraBytes},
        {"a NUL inside", EncodeHandOverRequest(nul), HandOverFault::kNul},
        {"random bytes", std::string("\x8f\x00\xff\x10 random bytes here", 22), HandOverFault::kMagic},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.fault, DecodeHandOverRequest(c.bytes.data(), c.bytes.size(), &got));
        EXPECT_FALSE(HandOverFaultText(c.fault).empty());
    }
    EXPECT_EQ("他の起動からの実行依頼を拒否しました: 形式が正しくありません(長すぎます)",
              HandOverFaultText(HandOverFault::kTooLong));
}

// The caller's exit code follows what it heard: a finished request's own
// code; when the running Nodelark ends first, 1 once packets went out and 2
// before that. Answers out of order end the conversation.
TEST(HandOver, CallerExitCodeFollowsTheAnswers) {
    using K = HandOverReplyKind;
    struct Case { const char* what; std::vector<HandOverReply> replies; bool allTaken; bool done; int code; };
    const Case cases[] = {
        {"nothing heard", {}, true, false, 2},
        {"queued, then the program ended", {{K::kQueued, 3}}, true, false, 2},
        {"started, nothing sent yet", {{K::kQueued, 0}, {K::kStarted, 0}}, true, false, 2},
        {"sent, then the program ended", {{K::kStarted, 0}, {K::kSent, 0}}, true, false, 1},
        {"done with 0", {{K::kQueued, 0}, {K::kStarted, 0}, {K::kSent, 0}, {K::kDone, 0}}, true, true, 0},
        {"done with 1", {{K::kStarted, 0}, {K::kSent, 0}, {K::kDone, 1}}, true, true, 1},
        {"gave up in the queue", {{K::kQueued, 1}, {K::kDone, 2}}, true, true, 2},
        {"sent before started", {{K::kSent, 0}}, false, false, 2},
        {"queued after started", {{K::kStarted, 0}, {K::kQueued, 0}}, false, false, 2},
        {"a code no start ends with", {{K::kStarted, 0}, {K::kDone, 7}}, false, false, 2},
        {"anything after done", {{K::kDone, 0}, {K::kSent, 0}}, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HandOverProgress progress;
        bool allTaken = true;
        for (const HandOverReply& reply : c.replies) {
            const std::string bytes = EncodeHandOverReply(reply);
            HandOverReply read;
            ASSERT_TRUE(DecodeHandOverReply(bytes.data(), bytes.size(), &read));
            EXPECT_EQ(reply.kind, read.kind);
            EXPECT_EQ(reply.value, read.value);
            allTaken = allTaken && progress.Take(read);
        }
        EXPECT_EQ(c.allTaken, allTaken);
        EXPECT_EQ(c.done, progress.Done());
        EXPECT_EQ(c.code, progress.ExitCode());
    }
    HandOverReply read;
    EXPECT_FALSE(DecodeHandOverReply("NLRS\x09\0\0\0\0\0\0\0", 12, &read)) << "unknown kind";
    EXPECT_FALSE(DecodeHandOverReply("NLRX\x01\0\0\0\0\0\0\0", 12, &read)) << "another magic";
    EXPECT_FALSE(DecodeHandOverReply("NLRS\x01\0\0\0\0\0\0", 11, &read)) << "short";
}

TEST(HandOver, OnePipeForEachUserInEachSession) {
    EXPECT_EQ("\\\\.\\pipe\\Nodelark-1-S-1-5-21-1-2-3-1001", HandOverPipeName(1, "S-1-5-21-1-2-3-1001"));
    EXPECT_NE(HandOverPipeName(1, "S-1-5-21-1"), HandOverPipeName(2, "S-1-5-21-1"));
}

}  // namespace
