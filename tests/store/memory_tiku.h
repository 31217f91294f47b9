// The bank held in memory as a source for the SQL executor: tiku's twelve columns with its rows
// in the order they were put in (the order a scan of the file would give), chengji and back
// empty; table names in any letter case, as the engine takes them.
#pragma once

#include <cctype>
#include <string>
#include <vector>

#include "sql/sql.h"

namespace store_test {

struct MemoryTiku : sql::Source {
    std::vector<std::vector<jet::Value>> rows;
    std::vector<std::string> sent;  // every text run through query(), in order

    // The executor over this bank, as the tree builder takes it.
    auto query() {
        return [this](const std::string& text) {
            sent.push_back(text);
            return sql::execute(*this, text);
        };
    }

    static std::string lower(std::string_view s) {
        std::string r(s);
        for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return r;
    }
    std::vector<sql::ColumnInfo> columns(std::string_view name) override {
        using jet::ColumnType;
        const auto t = lower(name);
        if (t == "back") return {{"tupian", ColumnType::Text}};
        if (t == "chengji")
            return {{"nianji", ColumnType::Text},   {"kemu", ColumnType::Text},
                    {"kecheng", ColumnType::Text},  {"riqi", ColumnType::DateTime},
                    {"zhengque", ColumnType::Text}, {"cuowu", ColumnType::Text},
                    {"defen", ColumnType::Double}};
        if (t != "tiku") throw jet::Error("no table " + std::string(name));
        static const char* kNames[] = {"nianji",     "kemu",        "kecheng",    "yuanti",
                                       "xuanxianga", "xuanxiangb",  "xuanxiangc", "xuanxiangd",
                                       "daan",       "daanneirong", "zhuangtai",  "tixing"};
        std::vector<sql::ColumnInfo> c;
        for (int i = 0; i < 12; ++i)
            c.push_back({kNames[i], i == 10 ? ColumnType::Int16 : ColumnType::Text});
        return c;
    }
    // Columns not wanted come as null, as from the engine.
    void scan(
        std::string_view table, const std::vector<bool>& wanted,
        const std::function<void(std::uint64_t, const std::vector<jet::Value>&)>& f) override {
        if (lower(table) != "tiku") return;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            auto r = rows[i];
            for (std::size_t k = 0; k < r.size() && k < wanted.size(); ++k)
                if (!wanted[k]) r[k] = std::monostate{};
            f(i + 1, r);
        }
    }
    // A question of this grade, subject and lesson with this mark, text and type; its other
    // texts empty.
    void add(jet::Value grade, jet::Value subject, jet::Value lesson, std::int64_t mark = 0,
             std::string text = "题", std::string type = "") {
        std::vector<jet::Value> r(12, std::string());
        r[0] = std::move(grade), r[1] = std::move(subject), r[2] = std::move(lesson);
        r[3] = std::move(text), r[10] = mark, r[11] = std::move(type);
        rows.push_back(std::move(r));
    }
};

}  // namespace store_test
