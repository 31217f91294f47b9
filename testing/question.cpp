#include "question.h"

#include <cmath>

namespace cheshi {

std::string_view cellText(const QuestionRow& row, std::size_t column) {
    if (column >= row.size() || !row[column]) return {};
    return *row[column];
}

bool isChoice(const QuestionRow& row) {
    return kTixing < row.size() && row[kTixing] && *row[kTixing] == kChoiceType;
}

double roundHalfEven(double x) {
    const double down = std::floor(x);
    const double rest = x - down;
    if (rest < 0.5) return down;
    if (rest > 0.5) return down + 1;
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1;
}

OptionOrder drawOptionOrder(RandomSource& random) {
    OptionOrder order{};
    for (std::size_t slot = 0; slot < order.size(); ++slot) {
        for (;;) {
            const auto column = static_cast<std::size_t>(roundHalfEven(3 * random.next() + 4));
            bool taken = false;
            for (std::size_t k = 0; k < slot; ++k) taken = taken || order[k] == column;
            if (!taken) {
                order[slot] = column;
                break;
            }
        }
    }
    return order;
}

std::array<std::string, 4> optionTexts(const QuestionRow& row, const OptionOrder& order) {
    std::array<std::string, 4> texts;
    for (std::size_t slot = 0; slot < order.size(); ++slot)
        texts[slot] = std::string(cellText(row, order[slot]));
    return texts;
}

std::string questionText(const QuestionRow& row, const OptionOrder& order) {
    if (!isChoice(row)) return std::string(cellText(row, kYuanti));
    static constexpr std::string_view kLabels[4] = {"\r\n  A.", "\r\n  B.", "\r\n  C.", "\r\n  D."};
    std::string text = "1.";
    text += cellText(row, kYuanti);
    for (std::size_t slot = 0; slot < order.size(); ++slot) {
        text += kLabels[slot];
        text += cellText(row, order[slot]);
    }
    return text;
}

bool markChoice(const QuestionRow& row, std::string_view optionText) {
    const std::string_view answer = cellText(row, kDaanneirong);
    return !answer.empty() && optionText == answer;
}

bool markFillIn(const QuestionRow& row, std::string_view typed) {
    const std::string_view answer = cellText(row, kDaanneirong);
    // Byte search is character search here: a UTF-8 text can only be found in another at
    // character boundaries.
    return !typed.empty() && !answer.empty() && answer.find(typed) != std::string_view::npos;
}

int score(std::size_t right, std::size_t wrong) {
    const std::size_t answered = right + wrong;
    if (answered == 0) return 0;
    return static_cast<int>(100 * static_cast<unsigned long long>(right) / answered);
}

std::string totalCaption(std::size_t total) { return "共" + std::to_string(total) + " 题"; }

std::string remainingCaption(std::size_t remaining) {
    return "还有" + std::to_string(remaining) + " 题";
}

Statistics statistics(std::size_t right, std::size_t wrong) {
    return {std::to_string(right), std::to_string(wrong), std::to_string(score(right, wrong))};
}

}  // namespace cheshi
