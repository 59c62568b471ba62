// A run's end that arrives while its cancel question is open waits for the
// answer; one that arrives otherwise is handled at once.
#include <gtest/gtest.h>

#include "ui/CancelQuestion.h"

TEST(CancelQuestion, AnEndWhileTheQuestionIsOpenIsHeldForTheAnswer) {
    struct Case {
        const char* name;
        bool endWhileOpen;
        bool answer;
    };
    const Case cases[] = {
        {"end while open, yes", true, true},
        {"end while open, no", true, false},
        {"no end, yes", false, true},
        {"no end, no", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CancelQuestion<int> question;
        EXPECT_FALSE(question.HoldEnd(1)) << "held with no question open";
        const bool yes = question.Ask([&] {
            EXPECT_TRUE(question.IsOpen());
            if (c.endWhileOpen) {
                EXPECT_TRUE(question.HoldEnd(7));
            }
            return c.answer;
        });
        EXPECT_EQ(yes, c.answer);
        EXPECT_FALSE(question.IsOpen());
        EXPECT_EQ(question.EndHeld(), c.endWhileOpen);
        int result = 0;
        EXPECT_EQ(question.TakeHeldEnd(&result), c.endWhileOpen);
        EXPECT_EQ(result, c.endWhileOpen ? 7 : 0);
        EXPECT_FALSE(question.TakeHeldEnd(&result)) << "handed over twice";
    }
}

TEST(CancelQuestion, ANewQuestionForgetsAnEndNobodyTook) {
    CancelQuestion<int> question;
    question.Ask([&] { return question.HoldEnd(3); });
    question.Ask([] { return false; });
    int result = 0;
    EXPECT_FALSE(question.TakeHeldEnd(&result));
}
