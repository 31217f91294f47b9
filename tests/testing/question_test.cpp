#include "question.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace cheshi;

QuestionRow row(Cell answer, Cell type = std::string(kChoiceType)) {
    return {"七年级", "语文", "第一课", "题目", "甲", "乙", "丙", "丁", "C", answer, "0", type};
}

TEST(Question, TypeDecidesLayoutByTixingAlone) {
    EXPECT_TRUE(isChoice(row("丙")));
    EXPECT_FALSE(isChoice(row("丙", "填空题")));
    EXPECT_FALSE(isChoice(row("丙", "")));
    EXPECT_FALSE(isChoice(row("丙", std::nullopt)));
    EXPECT_FALSE(isChoice(row("丙", "选择题 ")));
    EXPECT_FALSE(isChoice(QuestionRow{"七年级", "语文", "第一课", "题目"}));
}

TEST(Question, RoundingHalvesGoToEven) {
    EXPECT_EQ(roundHalfEven(4.5), 4);
    EXPECT_EQ(roundHalfEven(5.5), 6);
    EXPECT_EQ(roundHalfEven(6.5), 6);
    EXPECT_EQ(roundHalfEven(4.4999), 4);
    EXPECT_EQ(roundHalfEven(5.5001), 6);
    EXPECT_EQ(roundHalfEven(6.9), 7);
}

TEST(Question, OptionOrderDrawsAgainOnATakenColumn) {
    // 0 → 4, 0 → 4 again, 0.4 → 5.2 → 5, 0.5 → 5.5 → 6, 0.5 again, 0.9 → 6.7 → 7.
    SequenceRandom r({0.0, 0.0, 0.4, 0.5, 0.5, 0.9});
    EXPECT_EQ(drawOptionOrder(r), (OptionOrder{4, 5, 6, 7}));
    EXPECT_EQ(r.used(), 6u);

    FixedStartRandom f;
    for (int i = 0; i < 200; ++i) {
        OptionOrder o = drawOptionOrder(f);
        std::sort(o.begin(), o.end());
        ASSERT_EQ(o, (OptionOrder{4, 5, 6, 7}));
    }
}

TEST(Question, ShownTextOfBothLayouts) {
    const OptionOrder order{7, 4, 6, 5};
    EXPECT_EQ(questionText(row("丙"), order), "1.题目\r\n  A.丁\r\n  B.甲\r\n  C.丙\r\n  D.乙");
    EXPECT_EQ(questionText(row("丙", "填空题"), order), "题目");
    EXPECT_EQ(optionTexts(row("丙"), order), (std::array<std::string, 4>{"丁", "甲", "丙", "乙"}));
}

TEST(Question, ChoiceMarkingIsExact) {
    const QuestionRow paris = row("Paris");
    EXPECT_TRUE(markChoice(paris, "Paris"));
    EXPECT_FALSE(markChoice(paris, "paris"));
    EXPECT_FALSE(markChoice(paris, "Paris "));
    EXPECT_FALSE(markChoice(row("Ｐaris"), "Paris"));  // full-width letter
    // Without an answer text nothing is right, not even an empty option.
    EXPECT_FALSE(markChoice(row(""), ""));
    EXPECT_FALSE(markChoice(row(std::nullopt), ""));
}

TEST(Question, FillInAcceptsAnyUnbrokenPartOfTheAnswer) {
    const QuestionRow q = row("中华人民共和国", "填空题");
    EXPECT_TRUE(markFillIn(q, "人民"));
    EXPECT_TRUE(markFillIn(q, "中华人民共和国"));
    EXPECT_FALSE(markFillIn(q, "中华人民共和国成立"));
    EXPECT_FALSE(markFillIn(q, "中华 人民"));
    EXPECT_FALSE(markFillIn(q, ""));
    EXPECT_FALSE(markFillIn(row("", "填空题"), "人民"));
    EXPECT_FALSE(markFillIn(row(std::nullopt, "填空题"), "人民"));
}

TEST(Question, ScoreAndCaptions) {
    EXPECT_EQ(score(2, 1), 66);
    EXPECT_EQ(score(1, 2), 33);
    EXPECT_EQ(score(0, 3), 0);
    EXPECT_EQ(score(3, 0), 100);
    EXPECT_EQ(score(0, 0), 0);
    EXPECT_EQ(score(40000, 20000), 66);  // beyond 16-bit counters
    EXPECT_EQ(totalCaption(12), "共12 题");
    EXPECT_EQ(remainingCaption(12), "还有12 题");
    const Statistics s = statistics(2, 1);
    EXPECT_EQ(s.right, "2");
    EXPECT_EQ(s.wrong, "1");
    EXPECT_EQ(s.score, "66");
}

}  // namespace
