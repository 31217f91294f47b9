#include "study_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using study::Cell;
using study::QuestionRow;

// A row of `tiku` in column order.
QuestionRow fillIn(std::string text, Cell letter, std::string answer) {
    return {"初一", "数学", "有理数", text, "", "", "", "", letter, answer, "0", "填空题"};
}

// Entries by layout: the answer letter, not the type, decides on options; nulls and missing
// columns read as empty text; line breaks in a question stay as they are.
TEST(StudyListing, EntriesLaidOutByTheirLetter) {
    const QuestionRow letterless{"初一", "数学", "有理数", "水的化学式", "H2O", "CO2",
                                 "O2",   "N2",   "",       "H2O",        "0",   "选择题"};
    EXPECT_FALSE(study::isChoiceLayout(letterless));
    const std::tuple<QuestionRow, std::size_t, std::string> cases[] = {
        {letterless, 9, "10.水的化学式(H2O)\r\n"},
        {fillIn("填空", "C", "答"), 0, "1.填空(C)\r\n  A.\r\n  B.\r\n  C.\r\n  D.\r\n"},
        {QuestionRow(12), 0, "1.()\r\n"},
        {{"g", "s", "c", std::nullopt, std::nullopt, "b", std::nullopt, std::nullopt, "B",
          std::nullopt, std::nullopt, std::nullopt},
         1,
         "2.(B)\r\n  A.\r\n  B.b\r\n  C.\r\n  D.\r\n"},
        {{"g", "s", "c", "题"}, 2, "3.题()\r\n"},  // never read past a short row's end
        {fillIn("第一行\r\n第二行", std::nullopt, "答"), 0, "1.第一行\r\n第二行(答)\r\n"},
    };
    for (const auto& [row, index, expected] : cases)
        EXPECT_EQ(study::listingEntry(row, index), expected);
}

// The keyword goes in as typed, wildcards and all, with its quotes doubled.
TEST(StudySearch, KeywordKeepsItsWildcards) {
    EXPECT_EQ(study::keywordQuery(" it's*"),
              "Select tiku.* From tiku Where (tiku.yuanti Like '* it''s**')");
}

}  // namespace
