#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "entries/WakeEntry.h"
#include "wake/WakeWatch.h"

namespace {

const std::string kPc1 = "[PC1(10.77.0.50)]";
const std::string kPc2 = "[PC2(10.77.0.51)]";
constexpr uint32_t kAddr1 = 0x32004D0Au;
constexpr uint32_t kAddr2 = 0x33004D0Au;

std::vector<uint32_t> Tags(const std::vector<ProbeTarget>& targets) {
    std::vector<uint32_t> tags;
    for (const ProbeTarget& t : targets) tags.push_back(t.tag);
    return tags;
}

}  // namespace

TEST(WakeWatchText, LinesAndCells) {
    WakeEntry e;
    std::memset(&e, 0, sizeof e);
    std::strcpy(e.name, "事務所PC");
    const uint8_t ip[4] = {192, 168, 1, 7};
    std::memcpy(e.ipAddress, ip, 4);
    EXPECT_EQ("[事務所PC(192.168.1.7)]", EntryLabel(e));
    EXPECT_EQ("[PC1(10.77.0.50)]の起動を確認しました (12秒)", ConfirmedText(kPc1, 12999));
    EXPECT_EQ("[PC1(10.77.0.50)]の起動を確認しました (0秒)", ConfirmedText(kPc1, 0));
    EXPECT_EQ("[PC1(10.77.0.50)]の起動を確認できませんでした", NotConfirmedText(kPc1));
    EXPECT_EQ("[PC1(10.77.0.50)]は送信前から応答があります", AnsweringBeforeText(kPc1));
    EXPECT_EQ("[PC1(10.77.0.50)]の応答を待っています (残り300秒)", WaitingText(kPc1, 0, 299001));
    EXPECT_EQ("[PC1(10.77.0.50)] ほか2台の応答を待っています (残り1秒)", WaitingText(kPc1, 2, 1));
    EXPECT_STREQ("応答あり", VerdictCellText(ProbeVerdict::Answers));
    EXPECT_STREQ("応答なし", VerdictCellText(ProbeVerdict::Silent));
    EXPECT_STREQ("", VerdictCellText(ProbeVerdict::Unknown));
    EXPECT_EQ(0, WaitExitCode(WaitEnd::AllAnswered));
    EXPECT_EQ(1, WaitExitCode(WaitEnd::TimedOut));
    EXPECT_EQ(2, WaitExitCode(WaitEnd::NothingSent));
}

TEST(WakeWatch, ConfirmedOnceAtTheFirstAnswer) {
    WakeWatch w;
    EXPECT_EQ("", w.Sent(1, kAddr1, kPc1, false, 1000));
    EXPECT_EQ(std::vector<uint32_t>{1}, Tags(w.ToProbe()));
    EXPECT_TRUE(w.Result(1, ProbeVerdict::Silent, 3000).empty());
    EXPECT_TRUE(w.Result(2, ProbeVerdict::Answers, 3000).empty()) << "an entry never sent to";
    // A resend does not restart the count.
    EXPECT_EQ("", w.Sent(1, kAddr1, kPc1, false, 31000));
    EXPECT_EQ(std::vector<std::string>{ConfirmedText(kPc1, 41000)}, w.Result(1, ProbeVerdict::Answers, 42000));
    EXPECT_TRUE(w.Result(1, ProbeVerdict::Answers, 43000).empty());
    EXPECT_TRUE(w.Expire(1000000).empty());
    EXPECT_FALSE(w.Busy());
}

TEST(WakeWatch, AnsweringBeforeTheSendIsNotConfirmed) {
    WakeWatch w;
    EXPECT_EQ(AnsweringBeforeText(kPc1), w.Sent(1, kAddr1, kPc1, true, 0));
    EXPECT_TRUE(w.ToProbe().empty());
    EXPECT_TRUE(w.Result(1, ProbeVerdict::Answers, 100).empty());
    EXPECT_EQ(0u, w.Expire(kConfirmLimitMs + 1).size());
}

TEST(WakeWatch, FiveMinutesWithoutAnAnswer) {
    WakeWatch w;
    w.Sent(1, kAddr1, kPc1, false, 0);
    w.Sent(2, kAddr2, kPc2, false, 60000);
    EXPECT_TRUE(w.Expire(kConfirmLimitMs - 1).empty());
    EXPECT_EQ(std::vector<std::string>{NotConfirmedText(kPc1)}, w.Expire(kConfirmLimitMs));
    EXPECT_EQ(std::vector<uint32_t>{2}, Tags(w.ToProbe()));
    EXPECT_TRUE(w.Result(1, ProbeVerdict::Answers, kConfirmLimitMs + 5).empty()) << "too late: no second line";
    EXPECT_EQ(std::vector<std::string>{NotConfirmedText(kPc2)}, w.Expire(kConfirmLimitMs + 60000));
    EXPECT_FALSE(w.Busy());
}

TEST(WakeWatch, WaitEndsAndResends) {
    struct Step {
        uint64_t at;
        int32_t answers;  // 0: none
        WaitEnd state;
        std::vector<int32_t> resent;
    };
    const struct {
        const char* name;
        std::vector<int32_t> sent;
        bool answeringBefore;
        std::vector<Step> steps;
    } cases[] = {
        {"nothing sent", {}, false, {{0, 0, WaitEnd::NothingSent, {}}}},
        {"already answering", {1}, true, {{0, 0, WaitEnd::AllAnswered, {}}}},
        {"answers after a resend", {1, 2}, false,
         {{1000, 0, WaitEnd::Waiting, {}},
          {29999, 1, WaitEnd::Waiting, {}},
          {30000, 0, WaitEnd::Waiting, {2}},
          {45000, 0, WaitEnd::Waiting, {}},
          {60000, 2, WaitEnd::AllAnswered, {}}}},
        {"never answers", {1}, false,
         {{30000, 0, WaitEnd::Waiting, {1}}, {59999, 0, WaitEnd::Waiting, {}},
          {60000, 0, WaitEnd::Waiting, {1}}, {89999, 0, WaitEnd::Waiting, {}},
          {90000, 0, WaitEnd::TimedOut, {1}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WakeWatch w;
        w.BeginWait(0, 90000);
        for (int32_t id : c.sent) w.Sent(id, kAddr1 + id, id == 1 ? kPc1 : kPc2, c.answeringBefore, 0);
        for (const Step& s : c.steps) {
            SCOPED_TRACE(s.at);
            if (s.answers) w.Result(s.answers, ProbeVerdict::Answers, s.at);
            EXPECT_EQ(s.resent, w.DueForResend(s.at));
            EXPECT_EQ(s.state, w.WaitState(s.at));
        }
    }
}

TEST(WakeWatch, WaitKeepsAskingAfterTheConfirmLimit) {
    WakeWatch w;
    w.BeginWait(0, 3600000);
    w.Sent(1, kAddr1, kPc1, false, 0);
    // No five-minute line while the wait goes on: the wait's end speaks.
    EXPECT_TRUE(w.Expire(kConfirmLimitMs).empty());
    EXPECT_EQ(std::vector<uint32_t>{1}, Tags(w.ToProbe()));
    EXPECT_EQ(WaitEnd::Waiting, w.WaitState(kConfirmLimitMs));
    EXPECT_EQ("[PC1(10.77.0.50)]の応答を待っています (残り3300秒)", w.WaitText(kConfirmLimitMs));
    // A late answer still counts, and is confirmed.
    EXPECT_EQ(std::vector<std::string>{ConfirmedText(kPc1, kConfirmLimitMs + 10)},
              w.Result(1, ProbeVerdict::Answers, kConfirmLimitMs + 10));
    EXPECT_EQ(WaitEnd::AllAnswered, w.WaitState(kConfirmLimitMs + 10));
    EXPECT_TRUE(w.ToProbe().empty());
}

// After a wait the watch goes on as after any run: a computer past its five
// minutes is let go in silence, a younger one is still confirmed, and the
// next wait starts from nothing.
TEST(WakeWatch, EndOfAWaitLeavesOnlyYoungWatches) {
    WakeWatch w;
    w.BeginWait(0, 3600000);
    w.Sent(1, kAddr1, kPc1, false, 0);
    w.Sent(2, kAddr2, kPc2, false, kConfirmLimitMs - 1000);
    w.EndWait(kConfirmLimitMs + 1);
    EXPECT_FALSE(w.IsWaiting());
    EXPECT_EQ(std::vector<uint32_t>{2}, Tags(w.ToProbe()));
    EXPECT_TRUE(w.Expire(kConfirmLimitMs + 2).empty());
    EXPECT_EQ(std::vector<std::string>{NotConfirmedText(kPc2)}, w.Expire(2 * kConfirmLimitMs));
    EXPECT_EQ(WaitEnd::NothingSent, w.WaitState(2 * kConfirmLimitMs));
    EXPECT_TRUE(w.DueForResend(10 * kConfirmLimitMs).empty());
}

// A wait handed to a program that already watched other computers is for
// the entries its own run sent to: earlier watches neither hold it up nor
// answer for it, and an answer of long ago does not count.
TEST(WakeWatch, AWaitIsForItsOwnRunOnly) {
    WakeWatch w;
    w.Sent(1, kAddr1, kPc1, false, 0);   // an earlier run, still watched
    w.Sent(2, kAddr2, kPc2, false, 0);
    w.Result(2, ProbeVerdict::Answers, 1000);
    w.PrepareWait();
    w.Sent(2, kAddr2, kPc2, false, 2000);  // sent again by the waiting run
    w.BeginWait(2000, 60000);
    EXPECT_EQ(WaitEnd::Waiting, w.WaitState(2000)) << "the earlier answer does not count";
    EXPECT_EQ("[PC2(10.77.0.51)]の応答を待っています (残り60秒)", w.WaitText(2000));
    w.Result(2, ProbeVerdict::Answers, 3000);
    EXPECT_EQ(WaitEnd::AllAnswered, w.WaitState(3000)) << "PC1 of the earlier run is not waited for";
    EXPECT_TRUE(w.DueForResend(100000).empty());

    WakeWatch empty;
    empty.Sent(1, kAddr1, kPc1, false, 0);
    empty.PrepareWait();
    empty.BeginWait(10, 60000);
    EXPECT_EQ(WaitEnd::NothingSent, empty.WaitState(10));
}
