#include "study_listing.h"

#include "sql_texts.h"

namespace study {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string_view cell(const QuestionRow& row, std::size_t i) {
    if (i >= row.size() || !row[i]) return {};
    return *row[i];
}

}  // namespace

bool isChoiceLayout(const QuestionRow& row) { return !cell(row, kDaan).empty(); }

std::string listingEntry(const QuestionRow& row, std::size_t position) {
    const bool choice = isChoiceLayout(row);
    std::string entry = std::to_string(position + 1);
    entry += '.';
    entry += cell(row, kYuanti);
    entry += '(';
    entry += cell(row, choice ? kDaan : kDaanneirong);
    entry += ')';
    entry += kLineEnd;
    if (choice) {
        static constexpr std::string_view kLetters[4] = {"  A.", "  B.", "  C.", "  D."};
        for (std::size_t k = 0; k < 4; ++k) {
            entry += kLetters[k];
            entry += cell(row, kXuanxianga + k);
            entry += kLineEnd;
        }
    }
    return entry;
}

std::string listingText(std::span<const QuestionRow> rows) {
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) text += listingEntry(rows[i], i);
    return text;
}

std::string countCaption(std::size_t n) { return "共" + std::to_string(n) + "题"; }

std::string dateCaption(std::string_view formattedDate) {
    std::string caption = "***";
    caption += formattedDate;
    caption += "***";
    return caption;
}

std::optional<std::string> lessonQuery(std::span<const std::string> nodePath) {
    if (nodePath.size() < 3) return std::nullopt;
    const std::size_t c = nodePath.size() - 1;
    return bank::sql::lessonQuestions(nodePath[c - 2], nodePath[c - 1], nodePath[c]);
}

std::optional<std::string> keywordQuery(std::string_view keyword) {
    if (keyword.empty()) return std::nullopt;
    return bank::sql::keywordSearch(keyword);
}

Display lessonDisplay(std::size_t found) {
    return Display{found, std::nullopt, countCaption(found)};
}

Display searchDisplay(std::size_t found) {
    if (found == 0) return Display{0, std::string(kNoMatch), std::nullopt};
    return lessonDisplay(found);
}

}  // namespace study
