// tiku held in memory as a source for the SQL executor: its twelve columns, the rows in the
// order they were put in (the order a scan of the file would give).
#pragma once

#include <string>
#include <vector>

#include "sql/sql.h"

namespace store_test {

struct MemoryTiku : sql::Source {
    std::vector<std::vector<jet::Value>> rows;

    std::vector<sql::ColumnInfo> columns(std::string_view) override {
        static const char* kNames[] = {"nianji",     "kemu",        "kecheng",    "yuanti",
                                       "xuanxianga", "xuanxiangb",  "xuanxiangc", "xuanxiangd",
                                       "daan",       "daanneirong", "zhuangtai",  "tixing"};
        std::vector<sql::ColumnInfo> c;
        for (int i = 0; i < 12; ++i)
            c.push_back({kNames[i], i == 10 ? jet::ColumnType::Int16 : jet::ColumnType::Text});
        return c;
    }
    void scan(
        std::string_view, const std::vector<bool>&,
        const std::function<void(std::uint64_t, const std::vector<jet::Value>&)>& f) override {
        for (std::size_t i = 0; i < rows.size(); ++i) f(i + 1, rows[i]);
    }
    // A question of this grade, subject and lesson with this mark; its other texts empty.
    void add(jet::Value grade, jet::Value subject, jet::Value lesson, std::int64_t mark = 0) {
        std::vector<jet::Value> r(12, std::string());
        r[0] = std::move(grade), r[1] = std::move(subject), r[2] = std::move(lesson);
        r[3] = std::string("题"), r[10] = mark;
        rows.push_back(std::move(r));
    }
};

}  // namespace store_test
