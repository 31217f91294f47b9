// Running the independent readers (mdbtools, mdb-reader) and putting their answers and ours
// into one comparable form.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "jet/create.h"
#include "jet/table_def.h"
#include "jet/value.h"
#include "scratch.h"

namespace jet_test {

// A table's column kinds, in order.
inline std::vector<jet::ColumnType> typesOf(const jet::TableDef& t) {
    std::vector<jet::ColumnType> types;
    for (const auto& c : t.columns) types.push_back(c.type);
    return types;
}

// A table with a column of every kind the engine writes.
inline jet::TableSpec everyKindTable() {
    using T = jet::ColumnType;
    const T kinds[] = {T::Boolean, T::Byte,     T::Int16,  T::Int32, T::Currency, T::Single,
                       T::Double,  T::DateTime, T::Binary, T::Text,  T::OLE,      T::Memo};
    const char* names[] = {"b", "u8", "i16", "i32", "money", "f",
                           "d", "t",  "bin", "txt", "ole",   "memo"};
    jet::TableSpec t{"kinds", {}, {}};
    for (std::size_t i = 0; i < std::size(kinds); ++i)  // text of 10 characters, binary of 20
        t.columns.push_back({names[i], kinds[i], std::uint16_t(kinds[i] == T::Binary ? 20 : 10)});
    return t;
}

struct CommandResult {
    int status = -1;
    std::string out;
};

// Runs a shell command, capturing standard output (standard error is discarded).
CommandResult run(const std::string& command);
bool haveProgram(const std::string& name);
std::string shellQuote(const std::string& s);
std::vector<std::string> splitLines(const std::string& s);
std::vector<std::string> split(const std::string& s, const std::string& sep);

// The cells of one JSON array line as their literal texts; numbers of single and double
// columns are brought to "%.17g" of their value so that shortest and full forms compare.
std::vector<std::string> canonicalJsonRow(const std::string& line,
                                          const std::vector<jet::ColumnType>& types);
// Our row as the export format, in the same canonical form.
std::vector<std::string> canonicalOurRow(const std::vector<jet::Value>& row,
                                         const std::vector<jet::ColumnType>& types);

// A value as mdb-export prints it with the options the tests use (-Q -b hex, dates as
// "%Y-%m-%d %H:%M:%S"); null as kNull.
inline const char* kMdbNull = "<<NULL>>";
std::string mdbtoolsText(const jet::Value& v, jet::ColumnType type);
// A table as mdb-export prints it with those options, split into rows of cells.
std::vector<std::vector<std::string>> mdbExportRows(const std::filesystem::path& file,
                                                    const std::string& table);
// Our rows against the table as mdb-export prints it, cell for cell and row for row, but for
// what mdbtools cannot print: dates before 1899-12-31, characters beyond the first plane (each
// half a '?'), binary values past their first zero byte, empty values (but OLE) as null.
::testing::AssertionResult sameAsMdbExport(const std::filesystem::path& file,
                                           const std::string& table,
                                           const std::vector<std::vector<jet::Value>>& rows,
                                           const std::vector<jet::ColumnType>& types);

// A table's columns as mdb-schema (kind and size) and mdb-reader (name and kind) see them, held
// against our reading of its definition.
void expectKindsAgree(const std::filesystem::path& file, const jet::TableDef& def);

// tests/oracle/export.mjs with these (already quoted) arguments, and whether it can run.
CommandResult mdbReader(const std::string& args);
// A table as mdb-reader reads it, a JSON array a row.
std::vector<std::string> readerLines(const std::filesystem::path& file, const std::string& table);
// mdb-reader decodes Jet 3 text as code page 1252 whatever the file says, and shows the five
// bytes 1252 leaves undefined as U+FFFD: the text bytes of a Jet 3 file come out as this.
std::string asMdbReaderSeesJet3(const std::vector<std::uint8_t>& bytes);
bool haveMdbReader();

// Rows compared cell by cell; the first difference is reported with its row and column (texts
// cut short), so that a failure on a large table stays readable.
::testing::AssertionResult sameRows(const std::vector<std::vector<std::string>>& a,
                                    const std::vector<std::vector<std::string>>& b);
::testing::AssertionResult sameLines(const std::vector<std::string>& a,
                                     const std::vector<std::string>& b);

std::string fileBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::string& bytes);

// The corpus of Access-made files: every .mdb of `dir`, by name.
std::vector<std::filesystem::path> corpusFiles(const std::filesystem::path& dir);

}  // namespace jet_test
