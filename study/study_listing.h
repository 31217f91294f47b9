// What the study window `xuexi` shows, worked out from plain rows of `tiku`: the listing of a
// lesson or of a keyword search, the count and date captions, and the texts it writes into its
// display instead of a listing. Nothing here touches the database or a widget: the window runs
// the queries and puts the results on screen.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace study {

// One column value; no value (null) reads as empty text wherever it is shown.
using Cell = std::optional<std::string>;
// One row of `tiku` with its columns by position (0 nianji … 11 tixing). A row shorter than
// twelve columns reads its missing columns as null.
using QuestionRow = std::vector<Cell>;

// Column positions the listing reads.
inline constexpr std::size_t kYuanti = 3;
inline constexpr std::size_t kXuanxianga = 4;  // B, C and D follow
inline constexpr std::size_t kDaan = 8;
inline constexpr std::size_t kDaanneirong = 9;

// The display's and the count's contents when the window opens.
inline constexpr std::string_view kNothingChosen = "您还没有选择学习内容！";
inline constexpr std::string_view kCountAtStart = "*******";
// The search's answers in the display.
inline constexpr std::string_view kNoKeyword = "您没有输入关键字！";
inline constexpr std::string_view kNoMatch = "在题库中找不到与关键字相匹配的题目";

// A question counts as multiple choice when its answer letter is a non-empty text, whatever
// its type column says.
bool isChoiceLayout(const QuestionRow& row);

// The entry of the row at 0-based `position` of its result, numbered position + 1. Every line
// of it ends with CR LF.
std::string listingEntry(const QuestionRow& row, std::size_t position);

// The entries of a whole result in its order, joined with nothing between them.
std::string listingText(std::span<const QuestionRow> rows);

// "共", n, "题".
std::string countCaption(std::size_t n);

// "***", the date as the caller formats it (date only), "***".
std::string dateCaption(std::string_view formattedDate);

// The lesson a tree click names: the texts of the clicked node's ancestors and the node, from
// the top level down. Only a lesson node (one with a grandparent) names one; for a grade or
// subject node there is nothing to show. The result is the lesson's SQL text.
std::optional<std::string> lessonQuery(std::span<const std::string> nodePath);

// The search's SQL text for the keyword as typed (blanks kept), or nothing for an empty
// keyword, in which case the window shows kNoKeyword and runs no query.
std::optional<std::string> keywordQuery(std::string_view keyword);

// What the window puts on screen after a query that found `found` rows: a listing of that many
// entries (listingEntry of each row), or a message in its place; and the count caption, empty
// when it is to stay as it was.
struct Display {
    std::size_t entries = 0;
    std::optional<std::string> message;
    std::optional<std::string> count;
};

// A lesson: its listing and count, even for a lesson without rows.
Display lessonDisplay(std::size_t found);
// A keyword search: its listing and count, or kNoMatch with the count left alone.
Display searchDisplay(std::size_t found);

}  // namespace study
