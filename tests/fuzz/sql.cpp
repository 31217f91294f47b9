// SQL over a small question bank (Jet 4, or Jet 3 in code page 936): the input is an SQL text,
// then after a 0 byte the steps a window takes over its record set (moves, reads, edits,
// additions, deletions). Every step ends in a result or a jet::Error, and the bank must be sound
// after the record set changed it.
#include <map>

#include "bank_tables.h"
#include "dao/dao.h"
#include "fuzz_util.h"
#include "sql/jet_source.h"

namespace {

using jet::Value;

std::vector<std::uint8_t> makeBank(jet::Format format) {
    using S = std::string;
    auto tiku = bank::tikuSpec();
    const char* grades[] = {"初一", "初二", "高一"};
    const char* subjects[] = {"语文", "数学", "English"};
    for (int i = 0; i < 12; ++i)
        tiku.rows.push_back(
            {S(grades[i % 3]), S(subjects[i % 3 == 0 ? 0 : i % 2 + 1]),
             "第" + std::to_string(i % 4 + 1) + "课",
             i == 5 ? "长题 " + S(3000, 'x') : "题目" + std::to_string(i) + "：1+1=？", S("A. 1"),
             S("B. 2"), i % 4 == 0 ? Value{} : Value{S("C. 3")}, S("D. 4"), S(i % 2 ? "B" : "A"),
             S("解析"), std::int64_t{i % 3 == 0}, S(i % 5 ? "选择题" : "判断题")});
    auto chengji = bank::chengjiSpec();
    chengji.rows = {
        {S("初一"), S("语文"), S("第1课"), jet::DateTime{45000.5}, S("8"), S("2"), 80.0},
        {S("初二"), S("数学"), S("第2课"), jet::DateTime{45001}, S("5"), S("5"), 50.0},
        std::vector<Value>(7)};
    auto back = bank::backSpec();
    back.rows = {{S("/tmp/背景.png")}};
    return fuzz::created({tiku, chengji, back}, format);
}

// The same rows, from memory: the executor's path for sources without columns in memory.
struct MemorySource : sql::Source {
    using Table = std::pair<std::vector<sql::ColumnInfo>, std::vector<std::vector<Value>>>;
    std::map<std::string, Table> tables;

    explicit MemorySource(jet::Database& db) {
        for (const auto& name : db.tableNames()) {
            auto& [cols, rows] = tables[name];
            for (const auto& c : db.table(name)->columns) cols.push_back({c.name, c.type});
            for (auto s = db.scan(name); s.next();) rows.push_back(s.values());
        }
    }
    const Table& find(std::string_view table) {
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

// One step of a window over the record set; `changed` is set before anything is written.
void step(dao::Recordset& rs, fuzz::Reader& in, bool& changed) {
    using R = dao::Recordset;
    static void (R::*const moves[])() = {&R::MoveNext, &R::MovePrevious, &R::MoveFirst,
                                         &R::MoveLast, &R::Requery,      &R::CancelUpdate};
    const std::uint8_t op = in.byte() % 12;
    if (op < std::size(moves)) return (rs.*moves[op])();
    if (op == 6) return rs.setAbsolutePosition(static_cast<std::int8_t>(in.byte()));
    if (op == 7) {
        rs.RecordCount();
        rs.AbsolutePosition();
        if (!rs.Eof() && !rs.Bof()) rs.row();
    } else if (op == 8) {
        changed = true;
        rs.Delete();
    } else if (op == 9) {
        if (rs.fieldCount()) rs.Fields(in.byte() % rs.fieldCount()).text();
    } else {
        op == 10 ? rs.Edit() : rs.AddNew();
        for (std::size_t k = in.byte() % 4; k > 0 && rs.fieldCount(); --k) {
            const std::size_t f = in.byte() % rs.fieldCount();
            // Now and then bytes that are not UTF-8.
            rs.Fields(f) = in.byte() % 4 ? fuzz::valueFrom(in, rs.columns()[f].type, 255)
                                         : Value{in.text(in.byte() % 24)};
        }
        if (in.byte() % 8 == 0) return rs.CancelUpdate();
        changed = true;
        rs.Update();
    }
}

// The text over the file, over the same rows from memory, and fetched row by row as a grid
// does: all three must give the same rows.
void agree(const fuzz::fs::path& file, std::string_view text) {
    auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
    sql::JetSource jetSource(db);
    sql::Result fromFile;
    try {
        fromFile = sql::execute(jetSource, text);
    } catch (const jet::Error&) {
        return;
    }
    MemorySource memory(*db);
    const auto fromMemory = sql::execute(memory, text).rows;
    if (!std::equal(fromFile.rows.begin(), fromFile.rows.end(), fromMemory.begin(),
                    fromMemory.end(), fuzz::sameRow))
        fuzz::fail("the file and memory sources give different rows");
    const auto ids = sql::execute(jetSource, text, {.materialise = false});
    if (ids.grouped) return;
    if (ids.rowIds.size() != fromFile.rows.size())
        fuzz::fail("the unmaterialised result has another number of rows");
    std::vector<bool> wanted(jetSource.columns(ids.table).size(), false);
    for (std::size_t c : ids.projection) wanted.at(c) = true;
    for (std::size_t r = 0; r < ids.rowIds.size(); ++r) {
        const auto row = jetSource.fetch(ids.table, ids.rowIds[r], wanted);
        std::vector<Value> shown;
        for (std::size_t c : ids.projection) shown.push_back(row.at(c));
        if (!fuzz::sameRow(shown, fromFile.rows[r]))
            fuzz::fail("a fetched row differs from the materialised one");
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

    agree(file, text);
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
