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

QuestionRow fillInRow(const std::string& answer, Cell type = std::string("填空题")) {
    return {"七年级", "语文", "古诗", "填空", "", "", "", "", "", answer, "1", type};
}

// The slot (1..4) that holds the shown question's answer text.
int rightSlot(const TestSession& s) {
    const auto& q = *s.current();
    const auto at = std::find(q.options.begin(), q.options.end(), *s.currentRow()[9]);
    return static_cast<int>(at - q.options.begin()) + 1;
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
    const Started st = s.start(rows);
    EXPECT_EQ(st.total, "共24 题");
    EXPECT_EQ(st.remaining, "还有24 题");
    std::array<int, 4> landed{};
    for (std::size_t k = 1; s.current(); ++k) {
        const ShownQuestion q = *s.current();
        ASSERT_TRUE(q.choice);
        EXPECT_TRUE(std::is_permutation(q.options.begin(), q.options.end(),
                                        rows[q.position].begin() + 4,
                                        rows[q.position].begin() + 8));
        EXPECT_FALSE(s.answerFillIn("x"));  // the answer box is off for multiple choice
        const int slot = rightSlot(s);
        ++landed[slot - 1];
        const bool answerRight = k % 2 == 0;
        const auto a = s.answerChoice(answerRight ? slot : slot % 4 + 1);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->right, answerRight);
        EXPECT_EQ(a->answeredPosition, q.position);
        EXPECT_EQ(a->zhuangtai, answerRight ? 0 : 1);
        EXPECT_EQ(a->picture, answerRight ? kRightPicture : kWrongPicture);
        EXPECT_EQ(a->progress, k);
        EXPECT_EQ(a->remaining, k < 24 ? remainingCaption(24 - k) : std::string(kFinished));
    }
    EXPECT_EQ(s.duishu(), 12u);
    EXPECT_EQ(s.cuoshu(), 12u);
    for (int n : landed) EXPECT_GT(n, 0);
}

TEST(TestSession, FillInRunsToASavedScoreRow) {
    FixedStartRandom random;
    TestSession s(random);
    // Fill-in by type: "填空题", empty, null, unknown.
    s.start({fillInRow("中华人民共和国"), fillInRow("中华人民共和国", ""),
             fillInRow("中华人民共和国", std::nullopt), fillInRow("中华人民共和国", "判断题")});
    EXPECT_FALSE(s.answerChoice(1));  // option buttons are off for fill-in
    EXPECT_FALSE(s.scoreRow({}));
    const auto a = s.answerFillIn("人民");
    ASSERT_TRUE(a && a->right);
    EXPECT_EQ(a->zhuangtai, 0);
    for (const char* typed : {"中华人民共和国成立", ""}) {
        const auto w = s.answerFillIn(typed);
        ASSERT_TRUE(w && !w->right);
        EXPECT_FALSE(w->zhuangtai);  // a wrong fill-in answer leaves the mark alone
    }
    const auto last = s.answerFillIn("共和");
    ASSERT_TRUE(last && last->finished && !last->next);
    EXPECT_EQ(last->remaining, "测试完毕!");
    EXPECT_EQ(last->statistics.right, "2");
    EXPECT_EQ(last->statistics.wrong, "2");
    EXPECT_EQ(last->statistics.score, "50");
    EXPECT_FALSE(s.answerFillIn("人民"));

    // The saved row's cells are held to both readers by the window test.
    const std::chrono::year_month_day today{std::chrono::year{2026}, std::chrono::month{12},
                                            std::chrono::day{7}};
    const auto saved = s.scoreRow(today);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->kecheng, "古诗");
    EXPECT_EQ(saved->defen, 50.0);
    s.saved();
    EXPECT_FALSE(s.scoreRow(today));
}

}  // namespace
