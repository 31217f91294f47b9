// Making a new database file, Jet 4 (Access 2000) or Jet 3 (Access 97): the header page, the
// system catalog (MSysObjects, MSysACEs, MSysQueries, MSysRelationships), our tables with their
// rows and long values, and every usage map that other readers follow to find them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "format.h"
#include "value.h"

namespace jet {

struct ColumnSpec {
    std::string name;
    ColumnType type = ColumnType::Text;
    // Text: the maximum in characters (1 to 255; in a Jet 3 file, bytes of its code page).
    // Binary: the maximum in bytes (1 to 255).
    // Ignored for the other kinds.
    std::uint16_t size = 255;
    // Text and memo: Jet's "Unicode compression" (on, as Access sets it by default).
    bool compressed = true;
};

struct TableSpec {
    std::string name;
    std::vector<ColumnSpec> columns;  // in their order in the table
    // Initial rows, one Value per column in column order. Text and memo take std::string
    // (UTF-8), integers int64_t, single and double double, dates DateTime, booleans bool,
    // binary and OLE Bytes; monostate is null.
    std::vector<std::vector<Value>> rows;
};

struct CreateOptions {
    // Creation time written into the header and the catalog; now when not given.
    std::optional<DateTime> created;
    Format format = Format::Jet4;
    // The code page of a Jet 3 file's text (936 for Chinese); 0 takes Access's Western 1252.
    // Jet 4 text is Unicode whatever this says.
    std::uint16_t codePage = 0;
};

// Writes the file atomically: a temporary file beside `path`, flushed, then renamed over it,
// so that `path` is either the complete new file or what it was before. Throws jet::Error
// (naming the file, the table and the column) on a bad table description, a value that does not fit
// its column, or a failure of the file system.
void createDatabase(const std::filesystem::path& path, const std::vector<TableSpec>& tables,
                    const CreateOptions& options = {});

// Copies every user table of `source` (columns with their kinds and sizes, rows in order) into
// a new file at `target` in the format of `options`, written as createDatabase writes. Text
// the target's code page cannot hold is refused, naming the first such row (table, row number,
// column, character), and nothing is written. Indexes and autonumbering are not carried over.
void convertDatabase(const std::filesystem::path& source, const std::filesystem::path& target,
                     const CreateOptions& options);

// Now as Jet counts time: days since 1899-12-30, in UTC.
DateTime jetNow();

}  // namespace jet
