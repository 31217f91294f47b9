// A running test or drill: the lesson's rows, the draw table `chouqu`, the counters `tihao`,
// `zongshu`, `duishu` and `cuoshu`, the question on show and what each answer changes. The
// window (`cheshi` or `cuoti`) only moves data between this and its controls and carries out
// the writes it is told to.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "question.h"
#include "random_source.h"

namespace cheshi {

// `chouqu`: the row positions in the order they are asked. Each draw is floor(n × r); after
// the first, a draw equal to an earlier one is drawn again, so every row comes once. The table
// grows with the lesson; a flag per row answers "drawn before?" at once, with the same draws as
// comparing against every earlier entry.
class DrawTable {
  public:
    // Forgets every draw; the next lesson has `rows` rows.
    void reset(std::size_t rows);
    // The next position. Only while drawn().size() < rows.
    std::size_t draw(RandomSource& random);
    // chouqu(1), chouqu(2), … so far.
    std::span<const std::size_t> drawn() const { return order_; }

  private:
    std::size_t pick(RandomSource& random) const;
    std::size_t rows_ = 0;
    std::vector<std::size_t> order_;
    std::vector<bool> taken_;
};

// The question on show.
struct ShownQuestion {
    std::size_t position = 0;            // 0-based row position in the lesson's result
    bool choice = false;                 // option buttons enabled, else the answer box and "确定"
    std::string text;                    // `Text2`
    OptionOrder order{};                 // `shunxu(1..4)`
    std::array<std::string, 4> options;  // `Text6(1..4)`: the texts behind A to D
};

// What the window shows when a lesson starts. The statistics table and the picture stay as
// they are until the first answer.
struct Started {
    std::string total;                      // `Label8`
    std::string remaining;                  // `Label9`
    std::size_t progressMaximum = 0;        // slider or progress bar; its position goes to 0
    std::optional<ShownQuestion> question;  // none for a lesson without rows
};

// What follows an answer, in the order the window carries it out; last of all the window
// clears the option buttons' selection, so the next question starts with none checked.
struct Answered {
    bool right = false;
    std::string_view picture;  // `Picture1`: kRightPicture or kWrongPicture
    // Write this value into `zhuangtai` of the answered row at once, before showing the next
    // question; nothing after a wrong fill-in answer.
    std::size_t answeredPosition = 0;
    std::optional<int> zhuangtai;
    Statistics statistics;              // `Text3`, `Text4`, `Text5`
    std::string remaining;              // `Label9`, kFinished after the last answer
    std::size_t progress = 0;           // slider or progress bar position
    bool finished = false;              // enable "保存测试", disable every answer input
    std::optional<ShownQuestion> next;  // the new question, none when finished
};

// The lesson a saved test belongs to, copied from the last row of the lesson's result.
struct Lesson {
    Cell nianji;
    Cell kemu;
    std::string kecheng;
};

// One row of `chengji`, its fields in column order.
struct ScoreRow {
    Cell nianji;
    Cell kemu;
    std::string kecheng;
    std::chrono::year_month_day riqi;
    std::string zhengque;
    std::string cuowu;
    double defen = 0;
};

class TestSession {
  public:
    enum class Phase { NoTest, Question, Finished };

    explicit TestSession(RandomSource& random = programRandom()) : random_(&random) {}

    // Reads the row at a 0-based position of the lesson's result.
    using RowReader = std::function<QuestionRow(std::size_t position)>;

    // A course node was clicked: its query found `count` rows, in the engine's order. Only the
    // rows asked (and the last, which names the lesson) are read, so a lesson of 100,000
    // questions starts at once. Any running test is abandoned; counters restart and "保存测试"
    // goes off. A lesson without rows shows no question and cannot be answered or saved.
    Started start(std::size_t count, RowReader read);
    // The same over rows already at hand.
    Started start(std::vector<QuestionRow> rows);

    // `Option1(slot)` clicked, slot 1 to 4. Nothing when no multiple-choice question is shown.
    std::optional<Answered> answerChoice(int slot);
    // `qwe`: the text of `Text1` (Enter or "确定"). Nothing when no fill-in question is shown.
    std::optional<Answered> answerFillIn(std::string_view typed);

    // The row to append to `chengji` when "保存测试" is pressed; nothing unless a finished
    // test waits to be saved.
    std::optional<ScoreRow> scoreRow(std::chrono::year_month_day today) const;
    // The row has been written: "保存测试" goes off until another test is finished.
    void saved() { canSave_ = false; }
    bool canSave() const { return canSave_; }

    Phase phase() const;
    const std::optional<ShownQuestion>& current() const { return current_; }
    const Lesson& lesson() const { return lesson_; }
    std::size_t tihao() const { return tihao_; }
    std::size_t zongshu() const { return count_; }
    std::size_t duishu() const { return duishu_; }
    std::size_t cuoshu() const { return cuoshu_; }
    std::span<const std::size_t> chouqu() const { return draws_.drawn(); }
    // The row of the question on show; empty when none is.
    const QuestionRow& currentRow() const { return currentRow_; }

  private:
    ShownQuestion show(std::size_t position);
    Answered answered(bool right, std::optional<int> zhuangtai);

    RandomSource* random_;
    std::size_t count_ = 0;
    RowReader read_;
    QuestionRow currentRow_;
    DrawTable draws_;
    std::optional<ShownQuestion> current_;
    Lesson lesson_;
    std::size_t tihao_ = 0;
    std::size_t duishu_ = 0;
    std::size_t cuoshu_ = 0;
    bool canSave_ = false;
};

}  // namespace cheshi
