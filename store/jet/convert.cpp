// Copying a database into a new file of either format: the source is read whole, then written
// by the file creator, so that the target is complete or absent and the source untouched.
#include "create.h"
#include "database.h"
#include "error.h"

namespace jet {

namespace {

ColumnSpec columnLike(const Column& c, Format from) {
    ColumnSpec made{c.name, c.type, 255, true};
    if (c.type == ColumnType::Text)
        // Jet 4 counts text in UTF-16 units, Jet 3 in bytes; the number the user set is kept.
        made.size = from == Format::Jet4 ? static_cast<std::uint16_t>(c.length / 2) : c.length;
    else if (c.type == ColumnType::Binary)
        made.size = c.length;
    if (from == Format::Jet4) made.compressed = c.compressedText();
    return made;
}

}  // namespace

void convertDatabase(const std::filesystem::path& source, const std::filesystem::path& target,
                     const CreateOptions& options) {
    std::error_code ec;
    if (std::filesystem::equivalent(source, target, ec))
        throw Error(target.string() + ": a file cannot be converted onto itself");
    auto db = Database::open(source, PageFile::Mode::ReadOnly);
    std::vector<TableSpec> tables;
    for (const auto& name : db->tableNames()) {
        const auto def = db->table(name);
        TableSpec copy{def->name, {}, {}};
        // The definition lists the columns in table order, as a scan gives the values.
        for (const auto& c : def->columns) copy.columns.push_back(columnLike(c, db->format()));
        auto scan = db->scan(def);
        while (scan.next()) copy.rows.push_back(scan.values());
        tables.push_back(std::move(copy));
    }
    try {
        createDatabase(target, tables, options);
    } catch (const Error& e) {
        throw Error(std::string(e.what()) + "; no file was made", e.kind());
    }
}

}  // namespace jet
