// Appending rows of arbitrary values to a table of every kind the engine writes (Jet 4, and
// Jet 3 in code page 936), deleting some of them on the way, then reading them back: every row
// the engine took must read back as given, in the order given, by a scan and by its id, and
// the file must stay sound. A refusal must be one a user can be told about (a value that does
// not fit or a character the file cannot hold).
#include "fuzz_util.h"

namespace {

using jet::Value;

std::vector<std::uint8_t> makeFile(jet::Format format) {
    using T = jet::ColumnType;
    jet::TableSpec t{"t",
                     {{"yes", T::Boolean},
                      {"byte", T::Byte},
                      {"short", T::Int16},
                      {"long", T::Int32},
                      {"money", T::Currency},
                      {"single", T::Single},
                      {"double", T::Double},
                      {"date", T::DateTime},
                      {"bin", T::Binary, 40},
                      {"text", T::Text, 30},
                      {"plain", T::Text, 255, false},
                      {"ole", T::OLE},
                      {"memo", T::Memo},
                      {"guid", T::Guid},
                      {"memo2", T::Memo, 0, false}},
                     {}};
    t.rows = {std::vector<Value>(t.columns.size())};
    t.rows[0][3] = std::int64_t{1};
    t.rows[0][9] = std::string("已有");
    return fuzz::created({t}, format);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> files[2] = {makeFile(jet::Format::Jet4),
                                                       makeFile(jet::Format::Jet3)};
    static const fuzz::fs::path file = fuzz::scratch("append");
    fuzz::Reader in{data, size};
    fuzz::writeFile(file, files[in.byte() & 1]);
    std::vector<std::pair<jet::RowId, std::vector<Value>>> rows;  // in order
    {
        auto db = jet::Database::open(file, jet::PageFile::Mode::ReadWrite);
        const auto t = db->table("t");
        for (auto s = db->scan("t"); s.next();) rows.emplace_back(s.rowId(), s.values());
        for (int n = 0; n < 48 && !in.empty(); ++n) {
            if (in.byte() % 8 == 7 && !rows.empty()) {
                const std::size_t k = in.u16() % rows.size();
                db->deleteRow("t", rows[k].first);
                rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(k));
                continue;
            }
            std::vector<Value> row;
            for (const auto& c : t->columns)
                row.push_back(fuzz::valueFrom(in, c.type, fuzz::limitOf(*t, c)));
            jet::RowId id;
            try {
                id = db->insertRow("t", row);
            } catch (const jet::Error& e) {
                if (e.kind() != jet::ErrorKind::ValueDoesNotFit &&
                    e.kind() != jet::ErrorKind::Unencodable)
                    fuzz::fail(std::string("a row was refused for no reason a user can mend: ") +
                               e.what());
                continue;
            }
            for (const auto& c : t->columns) row[c.position] = fuzz::stored(row[c.position], *t, c);
            const auto got = db->readRow(*t, id);
            if (!fuzz::sameRow(got, row))
                fuzz::fail("read by its id, " + fuzz::show(row) + " comes back " + fuzz::show(got));
            rows.emplace_back(id, row);
        }
    }
    auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
    std::size_t k = 0;
    for (auto s = db->scan("t"); s.next(); ++k)
        if (k >= rows.size() || s.rowId() != rows[k].first ||
            !fuzz::sameRow(s.values(), rows[k].second))
            fuzz::fail("the scan finds rows in another order, changed, or rows no one wrote");
    if (k != rows.size()) fuzz::fail("the scan misses rows");
    if (db->table("t")->rowCount != rows.size()) fuzz::fail("the definition counts wrong");
    db.reset();
    fuzz::expectSound(file, "rows appended and deleted");
    return 0;
}
