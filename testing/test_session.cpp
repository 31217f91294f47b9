#include "test_session.h"

#include <cmath>
#include <memory>

namespace cheshi {

void DrawTable::reset(std::size_t rows) {
    rows_ = rows;
    order_.clear();
    taken_.assign(rows, false);
}

std::size_t DrawTable::pick(RandomSource& random) const {
    const double at = std::floor(static_cast<double>(rows_) * random.next());
    // r < 1 keeps this below rows_; the guard only shields against rounding.
    return at < static_cast<double>(rows_) ? static_cast<std::size_t>(at) : rows_ - 1;
}

std::size_t DrawTable::draw(RandomSource& random) {
    std::size_t position = pick(random);
    // The first draw has nothing to compare with, the rest draw again on an earlier position.
    while (taken_[position]) position = pick(random);
    taken_[position] = true;
    order_.push_back(position);
    return position;
}

Started TestSession::start(std::vector<QuestionRow> rows) {
    auto held = std::make_shared<std::vector<QuestionRow>>(std::move(rows));
    return start(held->size(), [held](std::size_t position) { return (*held)[position]; });
}

Started TestSession::start(std::size_t count, RowReader read) {
    duishu_ = 0;
    cuoshu_ = 0;
    canSave_ = false;
    count_ = count;
    read_ = std::move(read);
    draws_.reset(count_);
    current_.reset();
    currentRow_.clear();
    tihao_ = 1;

    Started view;
    view.total = totalCaption(count_);
    view.remaining = remainingCaption(count_);
    view.progressMaximum = count_;
    if (count_ == 0) {
        lesson_ = {};
        return view;
    }
    const QuestionRow last = read_(count_ - 1);
    lesson_ = {last.size() > kNianji ? last[kNianji] : Cell{},
               last.size() > kKemu ? last[kKemu] : Cell{}, std::string(cellText(last, kKecheng))};
    current_ = show(draws_.draw(*random_));
    view.question = current_;
    return view;
}

ShownQuestion TestSession::show(std::size_t position) {
    currentRow_ = read_(position);
    const QuestionRow& row = currentRow_;
    ShownQuestion q;
    q.position = position;
    q.choice = isChoice(row);
    // Every question draws an option order, fill-in ones too, so the sequence of draws does
    // not depend on the mix of types.
    q.order = drawOptionOrder(*random_);
    q.options = optionTexts(row, q.order);
    q.text = questionText(row, q.order);
    return q;
}

std::optional<Answered> TestSession::answerChoice(int slot) {
    if (!current_ || !current_->choice || slot < 1 || slot > 4) return std::nullopt;
    const bool right = markChoice(currentRow_, current_->options[slot - 1]);
    return answered(right, right ? 0 : 1);
}

std::optional<Answered> TestSession::answerFillIn(std::string_view typed) {
    if (!current_ || current_->choice) return std::nullopt;
    const bool right = markFillIn(currentRow_, typed);
    return answered(right, right ? std::optional<int>(0) : std::nullopt);
}

Answered TestSession::answered(bool right, std::optional<int> zhuangtai) {
    Answered a;
    a.right = right;
    a.picture = right ? kRightPicture : kWrongPicture;
    a.answeredPosition = current_->position;
    a.zhuangtai = zhuangtai;
    ++(right ? duishu_ : cuoshu_);

    ++tihao_;
    if (tihao_ <= count_) {
        current_ = show(draws_.draw(*random_));
    } else {
        current_.reset();
        currentRow_.clear();
    }
    a.statistics = statistics(duishu_, cuoshu_);
    a.progress = duishu_ + cuoshu_;
    a.finished = tihao_ == count_ + 1;
    a.remaining =
        a.finished ? std::string(kFinished) : remainingCaption(count_ - duishu_ - cuoshu_);
    canSave_ = a.finished;
    a.next = current_;
    return a;
}

std::optional<ScoreRow> TestSession::scoreRow(std::chrono::year_month_day today) const {
    if (!canSave_) return std::nullopt;
    return ScoreRow{lesson_.nianji,
                    lesson_.kemu,
                    lesson_.kecheng,
                    today,
                    std::to_string(duishu_),
                    std::to_string(cuoshu_),
                    static_cast<double>(score(duishu_, cuoshu_))};
}

TestSession::Phase TestSession::phase() const {
    if (current_) return Phase::Question;
    if (count_ != 0 && tihao_ == count_ + 1) return Phase::Finished;
    return Phase::NoTest;
}

}  // namespace cheshi
