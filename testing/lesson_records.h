// The test and drill windows' traffic with the question bank: the lesson's rows read through a
// record set that stays open while the test runs, the wrong-answer mark written back to one row
// at once, and a finished test appended to chengji. No Qt here, so the benchmark drives the
// very same writes the windows make.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "dao/dao.h"
#include "question.h"
#include "test_session.h"

namespace cheshi {

// `zhuangtai` of the row at `position` of the result: move there, Edit, set field 10, Update.
// The row is on disk when this returns; a failure throws.
void writeZhuangtai(dao::Recordset& rs, std::size_t position, int value);

// The running test's own handles: workspace, database and the test record set.
class LessonRecords {
  public:
    LessonRecords();

    // Drops any earlier test's handles, opens the bank afresh and runs the lesson's query; the
    // number of rows it found. Throws when the bank or the query cannot be read; nothing stays
    // open then.
    std::size_t open(const std::filesystem::path& bank, const std::string& query);
    // The row at `position`, read when asked. A row that can no longer be read (another
    // program deleted it) comes back with a question text saying so and no answer, so the test
    // goes on.
    QuestionRow row(std::size_t position) noexcept;
    // Writes the mark of the row at `position`; false when it could not be written, the mark
    // in the file then being what it was.
    bool write(std::size_t position, int zhuangtai) noexcept;
    void close() noexcept;
    bool isOpen() const { return rs_.isOpen(); }

  private:
    dao::Workspace ws_;
    dao::Database db_;
    dao::Recordset rs_;
};

// riqi as the engine stores a date: days since 1899-12-30, no time of day.
jet::DateTime dateValue(std::chrono::year_month_day day);

// Appends `row` to chengji through "select*from chengji", its seven fields by position. Throws
// when the row was not written (bank missing, locked or read-only, no such table), so that a
// caller never reports a save that did not happen.
void appendScore(const std::filesystem::path& bank, const ScoreRow& row);

}  // namespace cheshi
