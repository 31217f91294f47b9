#include "exchange_files.h"

#include <system_error>

#include "bank_tables.h"
#include "jet/page_file.h"

namespace exchange {

namespace fs = std::filesystem;

bool endsWithMdb(std::string_view path) { return path.ends_with(".mdb"); }

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    bool same = fs::equivalent(a, b, ec);
    return !ec && same;
}

void QuestionFile::close() {
    try {
        records.reset();
    } catch (...) {
    }
    try {
        database.Close();
    } catch (...) {
    }
    try {
        workspace.Close();
    } catch (...) {
    }
}

namespace {

bool isText(jet::ColumnType t) { return t == jet::ColumnType::Text || t == jet::ColumnType::Memo; }
bool isWhole(jet::ColumnType t) {
    return t == jet::ColumnType::Byte || t == jet::ColumnType::Int16 || t == jet::ColumnType::Int32;
}

// Columns are read and written by position, so a tiku fits when each place holds the kind
// the question bank keeps there; names do not matter.
bool hasBankShape(const jet::TableDef& table) {
    namespace tiku = bank::tiku;
    if (table.columns.size() != std::size_t(tiku::kColumnCount)) return false;
    for (const auto& c : table.columns) {
        bool fits = c.position == tiku::zhuangtai ? isWhole(c.type) : isText(c.type);
        if (!fits) return false;
    }
    return true;
}

// A file another program is changing is not thereby a file of the wrong kind.
FileProblem unopenable(const std::exception& e) {
    const auto* jetError = dynamic_cast<const jet::Error*>(&e);
    return jetError && jetError->kind() == jet::ErrorKind::Busy ? FileProblem::Busy
                                                                : FileProblem::NotDatabase;
}

}  // namespace

FileProblem openQuestionFile(const fs::path& path, std::string_view sqlText, bool forWriting,
                             QuestionFile& file) {
    file.close();
    QuestionFile opened;
    try {
        opened.database = opened.workspace.OpenDatabase(path);
    } catch (const std::exception& e) {
        return unopenable(e);
    }
    try {
        auto& engine = opened.database.engine();
        if (!engine.hasTable(bank::tiku::kTable)) return FileProblem::NoTiku;
        if (!hasBankShape(*engine.table(bank::tiku::kTable))) return FileProblem::OtherShape;
        if (forWriting && opened.database.readOnly()) return FileProblem::NotWritable;
        opened.records = opened.database.OpenRecordset(sqlText);
    } catch (const std::exception& e) {
        // A catalog or table definition that cannot be read is not a question file either.
        opened.close();
        return unopenable(e);
    }
    file = std::move(opened);
    return FileProblem::None;
}

}  // namespace exchange
