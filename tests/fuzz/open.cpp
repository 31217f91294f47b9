// A file from arbitrary bytes: opened, read completely (every table, row, long value and index)
// and checked; then a row is added to and taken from every user table. Each step must end in
// a result or a jet::Error, and a sound file must stay sound after a change the engine took.
#include "fuzz_util.h"

namespace {

// Adds a row of nulls and a row of small values to every user table and deletes them again.
// Returns whether any change went through.
bool changeEveryTable(const fuzz::fs::path& file) {
    bool changed = false;
    std::shared_ptr<jet::Database> db;
    std::vector<std::string> names;
    try {
        db = jet::Database::open(file, jet::PageFile::Mode::ReadWrite);
        names = db->tableNames();
    } catch (const jet::Error&) {
        return false;
    }
    for (const auto& name : names) {
        std::vector<jet::Value> values;
        try {
            const auto t = db->table(name);
            for (const auto& c : t->columns) {
                // A small value of the column's kind: true, 1, 0.25, "1", bytes "A".
                static const std::uint8_t kSmall[] = {0x12, 1, 0x41};
                fuzz::Reader small{kSmall, sizeof kSmall};
                values.push_back(fuzz::valueFrom(small, c.type, fuzz::limitOf(*t, c)));
            }
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
    fuzz::writeFile(file, {data, data + size});
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
