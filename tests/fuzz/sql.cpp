// SQL over a small question bank (Jet 4, or Jet 3 in code page 936): the input is an SQL text,
// then after a 0 byte the steps a window takes over the record set of that text (moves, reads,
// edits, additions, deletions). The text is run by the executor over the file and over the same
// rows held in memory, and both must agree; every step ends in a result or a jet::Error, and
// the bank must be sound after the record set changed it.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bank_tables.h"
#include "dao/dao.h"
#include "fuzz_util.h"
#include "jet/create.h"
#include "sql/jet_source.h"

namespace {

using jet::Value;

std::vector<std::vector<Value>> questions() {
    std::vector<std::vector<Value>> rows;
    const char* grades[] = {"初一", "初二", "高一"};
    const char* subjects[] = {"语文", "数学", "English"};
    const std::string longText(3000, 'x');
    for (int i = 0; i < 12; ++i) {
        rows.push_back({std::string(grades[i % 3]),
                        std::string(subjects[i % 3 == 0 ? 0 : i % 2 + 1]),
                        "第" + std::to_string(i % 4 + 1) + "课",
                        i == 5 ? "长题 " + longText : "题目" + std::to_string(i) + "：1+1=？",
                        std::string("A. 1"), std::string("B. 2"),
                        i % 4 == 0 ? Value{} : Value{std::string("C. 3")}, std::string("D. 4"),
                        std::string(i % 2 ? "B" : "A"), std::string("解析"),
                        std::int64_t{i % 3 == 0}, std::string(i % 5 ? "选择题" : "判断题")});
    }
    return rows;
}

std::vector<std::vector<Value>> scores() {
    return {{std::string("初一"), std::string("语文"), std::string("第1课"), jet::DateTime{45000.5},
             std::string("8"), std::string("2"), 80.0},
            {std::string("初二"), std::string("数学"), std::string("第2课"), jet::DateTime{45001},
             std::string("5"), std::string("5"), 50.0},
            {Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}}};
}

std::vector<std::uint8_t> makeBank(jet::Format format) {
    auto tiku = bank::tikuSpec();
    tiku.rows = questions();
    auto chengji = bank::chengjiSpec();
    chengji.rows = scores();
    auto back = bank::backSpec();
    back.rows = {{std::string("/tmp/背景.png")}};
    jet::CreateOptions options;
    options.created = jet::DateTime{45000};
    options.format = format;
    options.codePage = format == jet::Format::Jet3 ? 936 : 0;
    const auto path = fuzz::scratch("sql-template");
    jet::createDatabase(path, {tiku, chengji, back}, options);
    auto bytes = fuzz::readFile(path);
    fuzz::fs::remove(path);
    return bytes;
}

// The same rows, from memory: the executor's path for sources without columns in memory.
struct MemorySource : sql::Source {
    std::map<std::string, std::pair<std::vector<sql::ColumnInfo>, std::vector<std::vector<Value>>>>
        tables;
    std::vector<std::uint64_t> ids;

    explicit MemorySource(jet::Database& db) {
        for (const auto& name : db.tableNames()) {
            auto& [cols, rows] = tables[name];
            for (const auto& c : db.table(name)->columns) cols.push_back({c.name, c.type});
            for (auto s = db.scan(name); s.next();) {
                rows.push_back(s.values());
                ids.push_back(sql::packRowId(s.rowId()));
            }
        }
    }
    const std::pair<std::vector<sql::ColumnInfo>, std::vector<std::vector<Value>>>& find(
        std::string_view table) {
        for (const auto& [name, t] : tables)
            if (sql::fold(name) == sql::fold(table)) return t;
        throw jet::Error("no table " + std::string(table));
    }
    std::vector<sql::ColumnInfo> columns(std::string_view table) override {
        return find(table).first;
    }
    void scan(std::string_view table, const std::vector<bool>&,
              const std::function<void(std::uint64_t, const std::vector<Value>&)>& row) override {
        const auto& rows = find(table).second;
        for (std::size_t i = 0; i < rows.size(); ++i) row(i, rows[i]);
    }
};

bool sameRows(const std::vector<std::vector<Value>>& a, const std::vector<std::vector<Value>>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size()) return false;
        for (std::size_t j = 0; j < a[i].size(); ++j)
            if (!fuzz::sameValue(a[i][j], b[i][j])) return false;
    }
    return true;
}

Value valueFor(fuzz::Reader& in, jet::ColumnType type) {
    const std::uint8_t tag = in.byte();
    if (tag % 6 == 0) return {};
    switch (type) {
        case jet::ColumnType::Int16:
            return std::int64_t{static_cast<std::int16_t>(in.u16())};
        case jet::ColumnType::Double:
            return static_cast<std::int8_t>(in.byte()) / 8.0;
        case jet::ColumnType::DateTime:
            return jet::DateTime{40000.0 + in.u16()};
        default:
            if (tag % 6 == 1) return std::string(in.byte() * 40u, 'y');  // to long-value pages
            return in.text(in.byte() % 24);
    }
}

// One step of a window over the record set; `changed` is set before anything is written.
void step(dao::Recordset& rs, fuzz::Reader& in, bool& changed) {
    const std::uint8_t op = in.byte();
    switch (op % 12) {
        case 0:
            rs.MoveNext();
            return;
        case 1:
            rs.MovePrevious();
            return;
        case 2:
            rs.MoveFirst();
            return;
        case 3:
            rs.MoveLast();
            return;
        case 4:
            rs.setAbsolutePosition(static_cast<std::int8_t>(in.byte()));
            return;
        case 5:
            rs.RecordCount();
            rs.AbsolutePosition();
            if (!rs.Eof() && !rs.Bof()) rs.row();
            return;
        case 6:
        case 7: {
            if (op % 12 == 6)
                rs.Edit();
            else
                rs.AddNew();
            const std::size_t n = in.byte() % 4;
            for (std::size_t k = 0; k < n && rs.fieldCount(); ++k) {
                const std::size_t f = in.byte() % rs.fieldCount();
                rs.Fields(f) = valueFor(in, rs.columns()[f].type);
            }
            if (in.byte() % 8 == 0) {
                rs.CancelUpdate();
                return;
            }
            changed = true;
            rs.Update();
            return;
        }
        case 8:
            changed = true;
            rs.Delete();
            return;
        case 9:
            rs.Requery();
            return;
        case 10:
            rs.CancelUpdate();
            return;
        default:
            if (rs.fieldCount()) rs.Fields(in.byte() % rs.fieldCount()).text();
            return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> banks[2] = {makeBank(jet::Format::Jet4),
                                                       makeBank(jet::Format::Jet3)};
    static const fuzz::fs::path file = fuzz::scratch("sql");
    const auto* zero = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
    const std::string_view text(reinterpret_cast<const char*>(data),
                                zero ? std::size_t(zero - data) : size);
    fuzz::Reader in{zero ? zero + 1 : data + size, zero ? size - text.size() - 1 : 0};
    fuzz::writeFile(file, banks[in.byte() & 1]);

    {
        auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
        sql::JetSource jetSource(db);
        MemorySource memory(*db);
        sql::Result fromFile, fromMemory;
        bool parsed = true;
        try {
            fromFile = sql::execute(jetSource, text);
        } catch (const jet::Error&) {
            parsed = false;
        }
        if (parsed) {
            fromMemory = sql::execute(memory, text);
            if (!sameRows(fromFile.rows, fromMemory.rows))
                fuzz::fail("the file and memory sources give different rows");
            // The rows of a result fetched by id, as a grid does.
            auto ids = sql::execute(jetSource, text, {.materialise = false});
            if (!ids.grouped) {
                if (ids.rowIds.size() != fromFile.rows.size())
                    fuzz::fail("the unmaterialised result has another number of rows");
                std::vector<bool> wanted(jetSource.columns(ids.table).size(), false);
                for (std::size_t c : ids.projection) wanted.at(c) = true;
                for (std::size_t r = 0; r < ids.rowIds.size(); ++r) {
                    auto row = jetSource.fetch(ids.table, ids.rowIds[r], wanted);
                    std::vector<Value> shown;
                    for (std::size_t c : ids.projection) shown.push_back(row.at(c));
                    if (!sameRows({shown}, {fromFile.rows[r]}))
                        fuzz::fail("a fetched row differs from the materialised one");
                }
            }
        }
    }

    bool changed = false;
    try {
        auto db = dao::Database::open(file);
        auto rs = db.OpenRecordset(text);
        for (std::size_t n = 0; n < 64 && !in.empty(); ++n) {
            try {
                step(rs, in, changed);
            } catch (const jet::Error&) {
            }
        }
    } catch (const jet::Error&) {
    }
    if (changed) fuzz::expectSound(file, "changes through a record set");
    return 0;
}
