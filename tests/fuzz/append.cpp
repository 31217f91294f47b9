// Appending rows of arbitrary values to a table of every kind the engine writes (Jet 4, and
// Jet 3 in code page 936), deleting some of them on the way, then reading them back: every row
// the engine took must read back as given, in the order given, by a scan and by its id, and
// the file must stay sound. A refusal must be one a user can be told about (a value that does
// not fit or a character the file cannot hold).
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "jet/create.h"

namespace {

using jet::ColumnType;
using jet::Value;

const std::vector<jet::ColumnSpec>& columns() {
    static const std::vector<jet::ColumnSpec> c = {{"yes", ColumnType::Boolean},
                                                   {"byte", ColumnType::Byte},
                                                   {"short", ColumnType::Int16},
                                                   {"long", ColumnType::Int32},
                                                   {"money", ColumnType::Currency},
                                                   {"single", ColumnType::Single},
                                                   {"double", ColumnType::Double},
                                                   {"date", ColumnType::DateTime},
                                                   {"bin", ColumnType::Binary, 40},
                                                   {"text", ColumnType::Text, 30},
                                                   {"plain", ColumnType::Text, 255, false},
                                                   {"ole", ColumnType::OLE},
                                                   {"memo", ColumnType::Memo},
                                                   {"guid", ColumnType::Guid},
                                                   {"memo2", ColumnType::Memo, 0, false}};
    return c;
}

std::vector<std::uint8_t> makeFile(jet::Format format) {
    jet::TableSpec t{"t", columns(), {}};
    std::vector<Value> row(columns().size());
    row[3] = std::int64_t{1};
    row[9] = std::string("已有");
    t.rows.push_back(row);
    jet::CreateOptions options;
    options.created = jet::DateTime{45000};
    options.format = format;
    options.codePage = format == jet::Format::Jet3 ? 936 : 0;
    const auto path = fuzz::scratch("append-template");
    jet::createDatabase(path, {t}, options);
    auto bytes = fuzz::readFile(path);
    fuzz::fs::remove(path);
    return bytes;
}

// Text of code points drawn from the input: ASCII, Chinese, other scripts, now and then
// one no file can hold.
std::string textFrom(fuzz::Reader& in, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t k = in.byte();
        std::uint32_t c;
        switch (k % 8) {
            case 0:
            case 1:
            case 2:
                c = 0x20 + in.byte() % 0x5F;
                break;
            case 3:
            case 4:
                c = 0x4E00 + in.u16() % 0x5000;
                break;
            case 5:
                c = 1 + in.u16();
                break;
            case 6:
                c = 0x3000 + in.byte();
                break;
            default:
                c = k & 0x80 ? 0x1F600 + in.byte() % 0x40 : 0xFF01 + in.byte() % 0x5E;
        }
        if (c >= 0xD800 && c < 0xE000) c = 'x';
        jet::appendCodePoint(c, s);
    }
    return s;
}

std::size_t lengthFrom(fuzz::Reader& in) {
    const std::uint8_t b = in.byte();
    if (b < 0xE0) return b % 40;
    if (b < 0xFC) return 200 + in.byte() * 8u;  // past a row, onto long-value pages
    return 4000 + in.u16() % 8000;              // over several long-value pages
}

Value valueFrom(fuzz::Reader& in, ColumnType type) {
    const std::uint8_t tag = in.byte();
    if (tag % 5 == 0) return {};
    const bool wide = tag % 5 == 1;
    switch (type) {
        case ColumnType::Boolean:
            return (tag & 0x10) != 0;
        case ColumnType::Byte:
            return wide ? std::int64_t{static_cast<std::int16_t>(in.u16())}
                        : std::int64_t{in.byte()};
        case ColumnType::Int16:
            return wide ? std::int64_t{static_cast<std::int32_t>(in.u32())}
                        : std::int64_t{static_cast<std::int16_t>(in.u16())};
        case ColumnType::Int32:
            return wide ? static_cast<std::int64_t>(in.u64())
                        : std::int64_t{static_cast<std::int32_t>(in.u32())};
        case ColumnType::Currency:
            return jet::Currency{static_cast<std::int64_t>(in.u64())};
        case ColumnType::Single:
        case ColumnType::Double: {
            double d;
            const std::uint64_t bits = in.u64();
            std::memcpy(&d, &bits, sizeof d);
            return wide ? d : static_cast<std::int16_t>(bits) / 16.0;
        }
        case ColumnType::DateTime: {
            double d;
            const std::uint64_t bits = in.u64();
            std::memcpy(&d, &bits, sizeof d);
            return jet::DateTime{wide ? d : static_cast<std::int32_t>(bits) / 1024.0};
        }
        case ColumnType::Binary:
        case ColumnType::OLE: {
            const std::string s =
                in.text(type == ColumnType::OLE ? lengthFrom(in) : in.byte() % 48);
            return jet::Bytes(s.begin(), s.end());
        }
        case ColumnType::Guid: {
            jet::Guid g;
            for (auto& b : g.bytes) b = in.byte();
            return g;
        }
        case ColumnType::Text:
            return textFrom(in, wide ? in.byte() : in.byte() % 32);
        default:
            return textFrom(in, lengthFrom(in));
    }
}

// What reading the value back should give: a single is stored in 32 bits, a boolean is never
// null.
Value stored(const Value& v, ColumnType type) {
    if (isNull(v) && type == ColumnType::Boolean) return false;
    if (const auto* d = std::get_if<double>(&v); d && type == ColumnType::Single)
        return static_cast<double>(static_cast<float>(*d));
    return v;
}

void expectRow(const std::vector<Value>& got, const std::vector<Value>& want,
               const std::string& what) {
    for (std::size_t i = 0; i < want.size(); ++i)
        if (!fuzz::sameValue(got.at(i), want[i]))
            fuzz::fail(what + ": column " + columns()[i].name + " does not read back as written");
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
        for (auto s = db->scan("t"); s.next();) rows.emplace_back(s.rowId(), s.values());
        for (int n = 0; n < 48 && !in.empty(); ++n) {
            const std::uint8_t op = in.byte();
            if (op % 8 == 7 && !rows.empty()) {
                const std::size_t k = in.u16() % rows.size();
                db->deleteRow("t", rows[k].first);
                rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(k));
                continue;
            }
            std::vector<Value> row;
            for (const auto& c : columns()) row.push_back(valueFrom(in, c.type));
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
            for (std::size_t i = 0; i < row.size(); ++i) row[i] = stored(row[i], columns()[i].type);
            expectRow(db->readRow(*db->table("t"), id), row, "a row read by its id");
            rows.emplace_back(id, row);
        }
    }
    {
        auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
        std::size_t k = 0;
        for (auto s = db->scan("t"); s.next(); ++k) {
            if (k >= rows.size() || s.rowId() != rows[k].first)
                fuzz::fail("the scan finds the rows in another order, or rows no one wrote");
            expectRow(s.values(), rows[k].second, "a row read by a scan");
        }
        if (k != rows.size()) fuzz::fail("the scan misses rows");
        if (db->table("t")->rowCount != rows.size()) fuzz::fail("the definition counts wrong");
    }
    fuzz::expectSound(file, "rows appended and deleted");
    return 0;
}
