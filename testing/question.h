// One question of a test or drill as the window works with it: which layout it takes, the
// order of its options, the text it shows, how an answer is marked, and the texts of the
// counters and the statistics table. Plain rows in, plain texts out: the window reads the rows
// from its record set and puts the results into its controls.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "random_source.h"

namespace cheshi {

// One column value; null shows and compares as no text at all.
using Cell = std::optional<std::string>;
// One row of `tiku`, its columns by position (0 nianji … 11 tixing). A row shorter than
// twelve columns reads its missing columns as null.
using QuestionRow = std::vector<Cell>;

inline constexpr std::size_t kNianji = 0;
inline constexpr std::size_t kKemu = 1;
inline constexpr std::size_t kKecheng = 2;
inline constexpr std::size_t kYuanti = 3;
inline constexpr std::size_t kXuanxianga = 4;  // b, c and d follow at 5, 6 and 7
inline constexpr std::size_t kDaanneirong = 9;
inline constexpr std::size_t kZhuangtai = 10;
inline constexpr std::size_t kTixing = 11;

inline constexpr std::string_view kChoiceType = "选择题";
// What the statistics boxes and the two count labels show before a first test.
inline constexpr std::string_view kNotStarted = "未开始";
inline constexpr std::string_view kFinished = "测试完毕!";
// Shown in place of a question that could not be read while its test ran.
inline constexpr std::string_view kUnreadableQuestion =
    "这道题读不出来了，可能已被别的程序删除或改动。请按“确定”跳过它，或重新选择课时。";
// Pictures in the program folder shown after a right and a wrong answer.
inline constexpr std::string_view kRightPicture = "dui.jpg";
inline constexpr std::string_view kWrongPicture = "cuo.jpg";
// The two windows that run tests differ in caption and queries only.
inline constexpr std::string_view kTestCaption = "测试";
inline constexpr std::string_view kDrillCaption = "错题演练";

// The column's text, empty for null or a missing column.
std::string_view cellText(const QuestionRow& row, std::size_t column);

// Multiple choice only when `tixing` is exactly "选择题"; empty, null or any other type is
// fill-in.
bool isChoice(const QuestionRow& row);

// Rounds to the nearest whole number, a half to the even neighbour (2.5 → 2, 3.5 → 4).
double roundHalfEven(double x);

// `shunxu(1..4)`: the columns (4 to 7, all different) shown as options A to D. Each slot is
// round(3r + 4), drawn again while it equals an earlier slot.
using OptionOrder = std::array<std::size_t, 4>;
OptionOrder drawOptionOrder(RandomSource& random);

// The texts of the options A to D in the given order (the hidden boxes `Text6(1..4)`).
std::array<std::string, 4> optionTexts(const QuestionRow& row, const OptionOrder& order);

// The question box: the question text alone for fill-in; for multiple choice "1." and the
// question, then "  A." … "  D." with the options, lines joined by CR LF, none at the end.
std::string questionText(const QuestionRow& row, const OptionOrder& order);

// Right when the option's text equals `daanneirong` character for character. A question
// without an answer text (null or empty) can never be answered right.
bool markChoice(const QuestionRow& row, std::string_view optionText);

// Right when the typed text is not empty and occurs unbroken inside `daanneirong`; exact
// comparison, no trimming. An empty or null answer text makes every answer wrong.
bool markFillIn(const QuestionRow& row, std::string_view typed);

// floor(100 × right ÷ (right + wrong)); 0 when nothing has been answered yet.
int score(std::size_t right, std::size_t wrong);

// "共" n " 题" and "还有" n " 题".
std::string totalCaption(std::size_t total);
std::string remainingCaption(std::size_t remaining);

// The statistics table `Text3`, `Text4`, `Text5` after an answer.
struct Statistics {
    std::string right;
    std::string wrong;
    std::string score;
};
Statistics statistics(std::size_t right, std::size_t wrong);

}  // namespace cheshi
