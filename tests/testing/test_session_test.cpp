#include "test_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

using namespace cheshi;

QuestionRow choiceRow(const std::string& id, int rightColumn) {
    QuestionRow r{"七年级",     "数学",    "第" + id + "课",
                  "题" + id,    id + "甲", id + "乙",
                  id + "丙",    id + "丁", "",
                  std::nullopt, "0",       std::string(kChoiceType)};
    r[kDaanneirong] = r[static_cast<std::size_t>(rightColumn)];
    return r;
}

QuestionRow fillInRow(const std::string& answer, Cell type = std::string("填空题")) {
    return {"七年级", "语文", "古诗", "填空", "", "", "", "", "", answer, "1", type};
}

// The slot (1..4) whose option text is the question's answer text.
int rightSlot(const TestSession& s) {
    const auto& q = *s.current();
    const auto& answer = *s.rows()[q.position][kDaanneirong];
    return static_cast<int>(std::find(q.options.begin(), q.options.end(), answer) -
                            q.options.begin()) +
           1;
}

std::vector<std::size_t> askedPositions(std::size_t n, RandomSource& random) {
    std::vector<QuestionRow> rows;
    for (std::size_t i = 0; i < n; ++i) rows.push_back(fillInRow("答" + std::to_string(i)));
    TestSession s(random);
    s.start(std::move(rows));
    std::vector<std::size_t> asked;
    while (s.current()) {
        asked.push_back(s.current()->position);
        EXPECT_TRUE(s.answerFillIn("答"));
    }
    EXPECT_EQ(s.phase(), TestSession::Phase::Finished);
    EXPECT_EQ(s.tihao(), n + 1);
    EXPECT_TRUE(std::equal(asked.begin(), asked.end(), s.chouqu().begin(), s.chouqu().end()));
    return asked;
}

TEST(DrawTable, DrawsAgainOnAnEarlierPosition) {
    DrawTable t;
    t.reset(4);
    // 0.6 → 2; 0.6 → 2 again; 0.1 → 0; 0.9 → 3; 0.1 and 0.3 → 0 again, then 1.
    SequenceRandom r({0.6, 0.6, 0.1, 0.9, 0.1, 0.3});
    for (int i = 0; i < 4; ++i) t.draw(r);
    EXPECT_EQ(std::vector<std::size_t>(t.drawn().begin(), t.drawn().end()),
              (std::vector<std::size_t>{2, 0, 3, 1}));
    EXPECT_EQ(r.used(), 6u);
}

TEST(TestSession, EveryRowIsAskedExactlyOnce) {
    // A fixed sequence, spread over [0, 1) so that every row can be drawn: positions and
    // option orders take from it in turn, and rejected draws are drawn again.
    std::vector<double> weyl;
    for (int k = 0; k < 1009; ++k) weyl.push_back(std::fmod(k * 0.6180339887498949, 1.0));
    SequenceRandom fixed(weyl);
    for (std::size_t n : {1u, 2u, 7u, 30u}) {
        auto asked = askedPositions(n, fixed);
        std::sort(asked.begin(), asked.end());
        std::vector<std::size_t> all(n);
        std::iota(all.begin(), all.end(), 0);
        EXPECT_EQ(asked, all) << n;
    }
    // Beyond the old table of 10,000 entries.
    FixedStartRandom random;
    auto asked = askedPositions(20000, random);
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(std::adjacent_find(asked.begin(), asked.end()), asked.end());
    EXPECT_EQ(asked.size(), 20000u);
    EXPECT_EQ(asked.back(), 19999u);
}

TEST(TestSession, RightOptionIsMarkedRightWhereverItLands) {
    std::vector<QuestionRow> rows;
    for (int i = 0; i < 24; ++i) rows.push_back(choiceRow(std::to_string(i), 4 + i % 4));
    FixedStartRandom random;
    TestSession s(random);
    const Started st = s.start(rows);
    EXPECT_EQ(st.total, "共24 题");
    EXPECT_EQ(st.remaining, "还有24 题");
    std::array<int, 4> landed{};
    for (std::size_t k = 1; s.current(); ++k) {
        const ShownQuestion q = *s.current();
        ASSERT_TRUE(q.choice);
        auto options = q.options;
        std::sort(options.begin(), options.end());
        std::array<std::string, 4> fields;
        for (std::size_t c = 0; c < 4; ++c) fields[c] = *rows[q.position][kXuanxianga + c];
        std::sort(fields.begin(), fields.end());
        EXPECT_EQ(options, fields);
        EXPECT_FALSE(s.answerFillIn("x"));  // the answer box is off for multiple choice

        const int slot = rightSlot(s);
        ++landed[slot - 1];
        // Odd questions get a wrong option, even ones the right one.
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
    for (int n : landed) EXPECT_GT(n, 0);  // the right text was seen in every slot
}

TEST(TestSession, FillInCountsAndLeavesTheMarkAfterAWrongAnswer) {
    FixedStartRandom random;
    TestSession s(random);
    s.start({fillInRow("中华人民共和国"), fillInRow("中华人民共和国", ""),
             fillInRow("中华人民共和国", std::nullopt), fillInRow("中华人民共和国", "判断题")});
    EXPECT_FALSE(s.answerChoice(1));  // option buttons are off for fill-in
    const auto a = s.answerFillIn("人民");
    ASSERT_TRUE(a && a->right);
    EXPECT_EQ(a->zhuangtai, 0);
    for (const char* typed : {"中华人民共和国成立", "", "人民 "}) {
        ASSERT_TRUE(s.current());
        EXPECT_FALSE(s.current()->choice);
        EXPECT_EQ(s.current()->text, "填空");
        const auto w = s.answerFillIn(typed);
        ASSERT_TRUE(w);
        EXPECT_FALSE(w->right);
        EXPECT_FALSE(w->zhuangtai);
    }
    EXPECT_EQ(s.duishu(), 1u);
    EXPECT_EQ(s.cuoshu(), 3u);
}

TEST(TestSession, FinishedTestGivesItsScoreRowOnce) {
    FixedStartRandom random;
    TestSession s(random);
    s.start({fillInRow("一"), fillInRow("一"), fillInRow("一")});
    EXPECT_FALSE(s.scoreRow({}));
    s.answerFillIn("一");
    s.answerFillIn("二");
    const auto last = s.answerFillIn("一");
    ASSERT_TRUE(last);
    EXPECT_TRUE(last->finished);
    EXPECT_FALSE(last->next);
    EXPECT_EQ(last->remaining, "测试完毕!");
    EXPECT_EQ(last->statistics.right, "2");
    EXPECT_EQ(last->statistics.wrong, "1");
    EXPECT_EQ(last->statistics.score, "66");
    EXPECT_FALSE(s.answerFillIn("一"));
    EXPECT_EQ(s.phase(), TestSession::Phase::Finished);

    using namespace std::chrono;
    const year_month_day today{year{2026}, month{12}, day{7}};
    const auto saved = s.scoreRow(today);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->nianji, "七年级");
    EXPECT_EQ(saved->kemu, "语文");
    EXPECT_EQ(saved->kecheng, "古诗");
    EXPECT_EQ(saved->riqi, today);
    EXPECT_EQ(saved->zhengque, "2");
    EXPECT_EQ(saved->cuowu, "1");
    EXPECT_EQ(saved->defen, 66.0);
    s.saved();
    EXPECT_FALSE(s.canSave());
    EXPECT_FALSE(s.scoreRow(today));
}

TEST(TestSession, LessonsWithoutRowsOrWithOneRow) {
    FixedStartRandom random;
    TestSession s(random);
    const Started empty = s.start({});
    EXPECT_EQ(empty.total, "共0 题");
    EXPECT_EQ(empty.remaining, "还有0 题");
    EXPECT_FALSE(empty.question);
    EXPECT_FALSE(s.answerChoice(1));
    EXPECT_FALSE(s.answerFillIn("x"));
    EXPECT_FALSE(s.canSave());
    EXPECT_EQ(s.phase(), TestSession::Phase::NoTest);

    const Started one = s.start({choiceRow("1", 6)});
    ASSERT_TRUE(one.question);
    EXPECT_EQ(one.question->position, 0u);
    const auto a = s.answerChoice(rightSlot(s));
    ASSERT_TRUE(a && a->right && a->finished);
    EXPECT_EQ(a->remaining, "测试完毕!");
    EXPECT_TRUE(s.canSave());
}

TEST(TestSession, StartingAnotherLessonMidTestResetsTheCounters) {
    FixedStartRandom random;
    TestSession s(random);
    s.start({fillInRow("一"), fillInRow("一"), fillInRow("一")});
    s.answerFillIn("一");
    s.answerFillIn("二");
    EXPECT_EQ(s.tihao(), 3u);
    std::vector<QuestionRow> other;
    for (int i = 0; i < 12; ++i) other.push_back(choiceRow(std::to_string(i), 5));
    const Started st = s.start(other);
    EXPECT_EQ(st.total, "共12 题");
    EXPECT_EQ(st.progressMaximum, 12u);
    EXPECT_EQ(s.tihao(), 1u);
    EXPECT_EQ(s.duishu(), 0u);
    EXPECT_EQ(s.cuoshu(), 0u);
    EXPECT_FALSE(s.canSave());
    EXPECT_EQ(s.chouqu().size(), 1u);
    EXPECT_EQ(s.lesson().kemu, "数学");
    const auto a = s.answerChoice(rightSlot(s));
    EXPECT_EQ(a->statistics.right, "1");
    EXPECT_EQ(a->statistics.score, "100");
    EXPECT_EQ(a->remaining, "还有11 题");
}

}  // namespace
