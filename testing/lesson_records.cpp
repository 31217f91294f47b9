#include "lesson_records.h"

#include <cstdint>

#include "sql_texts.h"
#include "window_data.h"

namespace cheshi {

void writeZhuangtai(dao::Recordset& rs, std::size_t position, int value) {
    rs.setAbsolutePosition(static_cast<long>(position));
    rs.Edit();
    rs.Fields(kZhuangtai) = jet::Value(static_cast<std::int64_t>(value));
    rs.Update();
}

LessonRecords::LessonRecords() : ws_("", "admin", "") {}

std::size_t LessonRecords::open(const std::filesystem::path& bank, const std::string& query) {
    close();
    try {
        ws_ = dao::Workspace("", "admin", "");
        db_ = ws_.OpenDatabase(bank);
        rs_ = db_.OpenRecordset(query);
        return static_cast<std::size_t>(rs_.RecordCount());
    } catch (...) {
        close();
        throw;
    }
}

QuestionRow LessonRecords::row(std::size_t position) noexcept {
    try {
        rs_.setAbsolutePosition(static_cast<long>(position));
        return bank::textRow(rs_);
    } catch (const std::exception&) {
        QuestionRow unreadable(kTixing + 1);
        unreadable[kYuanti] = std::string(kUnreadableQuestion);
        return unreadable;
    }
}

bool LessonRecords::write(std::size_t position, int zhuangtai) noexcept {
    try {
        writeZhuangtai(rs_, position, zhuangtai);
        return true;
    } catch (const std::exception&) {
        try {
            rs_.CancelUpdate();
        } catch (const std::exception&) {
        }
        return false;
    }
}

void LessonRecords::close() noexcept {
    rs_.Close();
    db_.Close();
    // The workspace holds the file too; closed, it leaves the bank free for other programs.
    ws_.Close();
}

jet::DateTime dateValue(std::chrono::year_month_day day) {
    using namespace std::chrono;
    const auto days = sys_days(day) - sys_days(year(1899) / December / 30);
    return jet::DateTime{static_cast<double>(days.count())};
}

void appendScore(const std::filesystem::path& bank, const ScoreRow& row) {
    dao::Workspace ws("", "admin", "");
    auto db = ws.OpenDatabase(bank);
    auto rs = db.OpenRecordset(bank::sql::testRecords());
    rs.AddNew();
    const jet::Value cells[] = {
        row.nianji ? jet::Value(*row.nianji) : jet::Value{},
        row.kemu ? jet::Value(*row.kemu) : jet::Value{},
        jet::Value(row.kecheng),
        jet::Value(dateValue(row.riqi)),
        jet::Value(row.zhengque),
        jet::Value(row.cuowu),
        jet::Value(row.defen),
    };
    // A field the table cannot take is left out; the row is still written.
    for (std::size_t i = 0; i < std::size(cells); ++i) {
        try {
            rs.Fields(i) = cells[i];
        } catch (const dao::Error&) {
        }
    }
    rs.Update();
    rs.Close();
    db.Close();
    ws.Close();
}

}  // namespace cheshi
