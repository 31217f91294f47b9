#include "study_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using study::Cell;
using study::QuestionRow;

// A row of `tiku` in column order.
QuestionRow choice(std::string text, std::string letter, std::string a, std::string b,
                   std::string c, std::string d, std::string answer) {
    return {"初一", "数学", "有理数", text, a, b, c, d, letter, answer, "0", "选择题"};
}
QuestionRow fillIn(std::string text, Cell letter, std::string answer) {
    return {"初一", "数学", "有理数", text, "", "", "", "", letter, answer, "0", "填空题"};
}

std::size_t lineCount(const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2))
        ++n;
    return n;
}

TEST(StudyListing, LessonOfThreeChoicesAndOneFillIn) {
    const std::vector<QuestionRow> rows = {
        choice("1+1=", "B", "1", "2", "3", "4", "2"),
        choice("最小的正整数是", "A", "1", "0", "-1", "2", "1"),
        fillIn("-3的绝对值是", std::nullopt, "3"),
        choice("2×3=", "D", "5", "7", "8", "6", "6"),
    };
    const study::Display shown = study::lessonDisplay(rows);
    EXPECT_EQ(shown.count, "共4题");
    EXPECT_EQ(lineCount(shown.text), 3u * 5 + 1);
    EXPECT_EQ(shown.text,
              "1.1+1=(B)\r\n  A.1\r\n  B.2\r\n  C.3\r\n  D.4\r\n"
              "2.最小的正整数是(A)\r\n  A.1\r\n  B.0\r\n  C.-1\r\n  D.2\r\n"
              "3.-3的绝对值是(3)\r\n"
              "4.2×3=(D)\r\n  A.5\r\n  B.7\r\n  C.8\r\n  D.6\r\n");
}

TEST(StudyListing, LayoutFollowsTheAnswerLetterNotTheType) {
    // Marked as multiple choice, but without a letter: the answer text goes into the brackets.
    QuestionRow row = choice("水的化学式", "", "H2O", "CO2", "O2", "N2", "H2O");
    EXPECT_FALSE(study::isChoiceLayout(row));
    EXPECT_EQ(study::listingEntry(row, 9), "10.水的化学式(H2O)\r\n");
    // A fill-in question that carries a letter is laid out with its options.
    QuestionRow lettered = fillIn("填空", "C", "答");
    EXPECT_EQ(study::listingEntry(lettered, 0), "1.填空(C)\r\n  A.\r\n  B.\r\n  C.\r\n  D.\r\n");
}

TEST(StudyListing, NullValuesShowAsEmptyText) {
    QuestionRow nulls(12);  // every column without a value
    EXPECT_EQ(study::listingEntry(nulls, 0), "1.()\r\n");
    QuestionRow optionsNull = {"g",          "s",          "c",          std::nullopt,
                               std::nullopt, "b",          std::nullopt, std::nullopt,
                               "B",          std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(study::listingEntry(optionsNull, 1), "2.(B)\r\n  A.\r\n  B.b\r\n  C.\r\n  D.\r\n");
    // A row cut short reads its missing columns as null, never past its end.
    EXPECT_EQ(study::listingEntry(QuestionRow{"g", "s", "c", "题"}, 2), "3.题()\r\n");
}

TEST(StudyListing, MultiLineQuestionTextStaysAsItIs) {
    QuestionRow row = fillIn("第一行\r\n第二行", std::nullopt, "答");
    EXPECT_EQ(study::listingEntry(row, 0), "1.第一行\r\n第二行(答)\r\n");
}

TEST(StudySearch, KeywordChoicesAndMessages) {
    EXPECT_EQ(study::keywordQuery(""), std::nullopt);
    EXPECT_EQ(study::kNoKeyword, "您没有输入关键字！");
    // Taken as typed: blanks kept, wildcards kept, quotes doubled.
    EXPECT_EQ(study::keywordQuery(" 数 "),
              "Select tiku.* From tiku Where (tiku.yuanti Like '* 数 *')");
    EXPECT_EQ(study::keywordQuery("a*b"),
              "Select tiku.* From tiku Where (tiku.yuanti Like '*a*b*')");
    EXPECT_EQ(study::keywordQuery("it's"),
              "Select tiku.* From tiku Where (tiku.yuanti Like '*it''s*')");

    const study::Display none = study::searchDisplay({});
    EXPECT_EQ(none.text, "在题库中找不到与关键字相匹配的题目");
    EXPECT_EQ(none.count, std::nullopt);  // the count caption stays as it was

    const std::vector<QuestionRow> found = {fillIn("数一数", std::nullopt, "三")};
    const study::Display one = study::searchDisplay(found);
    EXPECT_EQ(one.text, "1.数一数(三)\r\n");
    EXPECT_EQ(one.count, "共1题");
}

TEST(StudyTree, OnlyALessonNodeNamesAQuery) {
    const std::vector<std::string> grade = {"初一"};
    const std::vector<std::string> subject = {"初一", "数学"};
    const std::vector<std::string> lesson = {"初一", "数学", "第 1 课"};
    EXPECT_EQ(study::lessonQuery(grade), std::nullopt);
    EXPECT_EQ(study::lessonQuery(subject), std::nullopt);
    EXPECT_EQ(study::lessonQuery(lesson),
              "Select tiku.* From tiku Where (tiku.nianji = '初一' ) And (tiku.kemu = '数学' ) "
              "And (tiku.kecheng = '第 1 课' )");
}

TEST(StudyCaptions, CountAndDate) {
    EXPECT_EQ(study::countCaption(0), "共0题");
    EXPECT_EQ(study::countCaption(120), "共120题");
    EXPECT_EQ(study::dateCaption("2026/12/7"), "***2026/12/7***");
    // An empty lesson shows an empty listing and its count rather than the previous lesson's.
    const study::Display empty = study::lessonDisplay({});
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(empty.count, "共0题");
}

}  // namespace
