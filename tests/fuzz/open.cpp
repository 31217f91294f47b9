// A file from arbitrary bytes: opened, read completely (every table, row, long value and index)
// and checked; then a row is added to and taken from every user table. Each step must end in
// a result or a jet::Error. A file the check finds sound must still be sound after a change
// the engine accepted.
#include <string>
#include <vector>

#include "fuzz_util.h"

namespace {

// A value of the column's kind, small enough for any column of it.
jet::Value sampleOf(jet::ColumnType type) {
    using T = jet::ColumnType;
    switch (type) {
        case T::Boolean:
            return true;
        case T::Byte:
        case T::Int16:
        case T::Int32:
            return std::int64_t{7};
        case T::Currency:
            return jet::Currency{12345};
        case T::Single:
        case T::Double:
            return 0.5;
        case T::DateTime:
            return jet::DateTime{45000.25};
        case T::Text:
        case T::Memo:
            return std::string("a");
        case T::Binary:
        case T::OLE:
            return jet::Bytes{1, 2, 3};
        default:
            return {};
    }
}

// Adds a row of nulls and a row of small values to every user table and deletes them again.
// Returns whether any change went through.
bool changeEveryTable(const fuzz::fs::path& file) {
    bool changed = false;
    std::shared_ptr<jet::Database> db;
    try {
        db = jet::Database::open(file, jet::PageFile::Mode::ReadWrite);
    } catch (const jet::Error&) {
        return false;
    }
    std::vector<std::string> names;
    try {
        names = db->tableNames();
    } catch (const jet::Error&) {
        return false;
    }
    for (const auto& name : names) {
        std::vector<jet::Value> values;
        try {
            for (const auto& c : db->table(name)->columns) values.push_back(sampleOf(c.type));
        } catch (const jet::Error&) {
            continue;
        }
        for (const auto& row : {std::vector<jet::Value>{}, values}) {
            try {
                const jet::RowId id = db->insertRow(name, row);
                changed = true;
                db->readRow(*db->table(name), id);
                db->deleteRow(name, id);
            } catch (const jet::Error&) {
            }
        }
    }
    return changed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::fs::path file = fuzz::scratch("open");
    fuzz::writeFile(file, data, size);
    try {
        auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
        fuzz::readEverything(*db);
    } catch (const jet::Error&) {
    }
    bool sound = false;
    try {
        sound = jet::checkDatabase(file).empty();
    } catch (const jet::Error&) {
    }
    if (changeEveryTable(file) && sound) fuzz::expectSound(file, "a row added and deleted");
    return 0;
}
