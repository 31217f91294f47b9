#include "test_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

using namespace cheshi;

QuestionRow choiceRow(int i, std::size_t rightColumn) {
    const std::string id = std::to_string(i);
    QuestionRow r{"七年级",  "数学",    "代数", "题" + id, id + "甲", id + "乙",
                  id + "丙", id + "丁", "",     {},        "0",       std::string(kChoiceType)};
    r[kDaanneirong] = r[rightColumn];
    return r;
}

QuestionRow fillInRow(const std::string& answer) {
    return {"七年级", "语文", "古诗", "填空", "", "", "", "", "", answer, "1", "填空题"};
}

void expectEveryRowOnce(std::size_t n, RandomSource& random) {
    TestSession s(random);
    s.start(std::vector<QuestionRow>(n, fillInRow("答")));
    std::vector<std::size_t> asked;
    for (; s.current(); s.answerFillIn("答")) asked.push_back(s.current()->position);
    EXPECT_TRUE(std::equal(asked.begin(), asked.end(), s.chouqu().begin(), s.chouqu().end()));
    EXPECT_EQ(s.phase(), TestSession::Phase::Finished);
    EXPECT_EQ(s.tihao(), n + 1);
    std::sort(asked.begin(), asked.end());
    std::vector<std::size_t> all(n);
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(asked, all) << n;
}

TEST(TestSession, EveryRowIsAskedExactlyOnce) {
    DrawTable t;
    t.reset(4);
    // 0.6 → 2; 0.6 → 2 again; 0.1 → 0; 0.9 → 3; 0.1 → 0 again; 0.3 → 1.
    SequenceRandom r({0.6, 0.6, 0.1, 0.9, 0.1, 0.3});
    for (int i = 0; i < 4; ++i) t.draw(r);
    EXPECT_EQ(std::vector(t.drawn().begin(), t.drawn().end()),
              (std::vector<std::size_t>{2, 0, 3, 1}));

    // A fixed sequence spread over [0, 1), shared by position draws and option orders.
    std::vector<double> weyl;
    for (int k = 0; k < 1009; ++k) weyl.push_back(std::fmod(k * 0.6180339887498949, 1.0));
    SequenceRandom fixed(weyl);
    for (std::size_t n : {1u, 2u, 7u, 30u}) expectEveryRowOnce(n, fixed);
    FixedStartRandom random;
    expectEveryRowOnce(20000, random);  // beyond the old table of 10,000 entries
}

TEST(TestSession, RightOptionIsMarkedRightWhereverItLands) {
    std::vector<QuestionRow> rows;
    for (int i = 0; i < 24; ++i) rows.push_back(choiceRow(i, 4 + i % 4));
    FixedStartRandom random;
    TestSession s(random);
    s.start(rows);
    std::array<int, 4> landed{};
    for (std::size_t k = 1; s.current(); ++k) {
        const ShownQuestion q = *s.current();
        ASSERT_TRUE(q.choice);
        EXPECT_TRUE(std::is_permutation(q.options.begin(), q.options.end(),
                                        rows[q.position].begin() + 4,
                                        rows[q.position].begin() + 8));
        EXPECT_FALSE(s.answerFillIn("x"));  // the answer box is off for multiple choice
        const auto at = std::find(q.options.begin(), q.options.end(), *s.currentRow()[9]);
        const int slot = int(at - q.options.begin()) + 1;  // 1..4, where the answer text is
        ++landed[slot - 1];
        const bool answerRight = k % 2 == 0;
        const auto a = s.answerChoice(answerRight ? slot : slot % 4 + 1);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->right, answerRight);
        EXPECT_EQ(a->answeredPosition, q.position);
        EXPECT_EQ(a->zhuangtai, answerRight ? 0 : 1);
    }
    EXPECT_EQ(s.duishu(), 12u);
    EXPECT_EQ(s.cuoshu(), 12u);
    for (int n : landed) EXPECT_GT(n, 0);
}

}  // namespace
