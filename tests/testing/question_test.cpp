#include "question.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace cheshi;

QuestionRow row(Cell answer, Cell type = std::string(kChoiceType)) {
    return {"七年级", "语文", "第一课", "题目", "甲", "乙", "丙", "丁", "C", answer, "0", type};
}

TEST(Question, OptionOrderRoundsHalvesToEvenAndDrawsAgainOnATakenColumn) {
    // 0 → 4, 0 → 4 again, 0.4 → 5.2 → 5, 0.5 → 5.5 → 6, 0.5 again, 0.9 → 6.7 → 7.
    SequenceRandom r({0.0, 0.0, 0.4, 0.5, 0.5, 0.9});
    EXPECT_EQ(drawOptionOrder(r), (OptionOrder{4, 5, 6, 7}));
    EXPECT_EQ(r.used(), 6u);

    FixedStartRandom f, same;
    for (int i = 0; i < 200; ++i) {
        OptionOrder o = drawOptionOrder(f);
        EXPECT_EQ(o, drawOptionOrder(same));  // a fixed start: the same run every time
        std::sort(o.begin(), o.end());
        ASSERT_EQ(o, (OptionOrder{4, 5, 6, 7}));
    }
    const OptionOrder order{7, 4, 6, 5};
    EXPECT_EQ(questionText(row("丙"), order), "1.题目\r\n  A.丁\r\n  B.甲\r\n  C.丙\r\n  D.乙");
    EXPECT_EQ(questionText(row("丙", "填空题"), order), "题目");
}

// Only tixing "选择题" makes a multiple choice; marking is exact.
TEST(Question, ChoiceByTixingAndExactMarking) {
    EXPECT_TRUE(isChoice(row("丙")));
    for (Cell type : {Cell("填空题"), Cell(""), Cell(), Cell("选择题 ")})
        EXPECT_FALSE(isChoice(row("丙", type)));
    EXPECT_FALSE(isChoice(QuestionRow{"七年级", "语文", "第一课", "题目"}));
    const QuestionRow paris = row("Paris");
    EXPECT_TRUE(markChoice(paris, "Paris"));
    EXPECT_FALSE(markChoice(paris, "paris"));
    EXPECT_FALSE(markChoice(row("Ｐaris"), "Paris"));  // full-width letter
    EXPECT_FALSE(markChoice(row(""), ""));             // no answer text: nothing is right
    EXPECT_FALSE(markChoice(row(std::nullopt), ""));

    const QuestionRow q = row("中华人民共和国", "填空题");
    EXPECT_TRUE(markFillIn(q, "人民"));
    EXPECT_FALSE(markFillIn(q, "中华人民共和国成立"));
    EXPECT_FALSE(markFillIn(q, "中华 人民"));
    EXPECT_FALSE(markFillIn(q, ""));
    EXPECT_FALSE(markFillIn(row(std::nullopt, "填空题"), "人民"));
    // The score of counters beyond 16 bits.
    EXPECT_EQ(score(0, 0), 0);
    EXPECT_EQ(score(40000, 20000), 66);
}

}  // namespace
