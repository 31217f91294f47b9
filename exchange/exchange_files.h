// The files of an export or import: telling whether two paths are one file, copying the template
// or a backup, and opening a question file (any Jet database whose tiku has the question bank's
// shape).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "bank_backup.h"
#include "dao/dao.h"

namespace exchange {

// Exactly ".mdb" as the last four characters, letter case included.
bool endsWithMdb(std::string_view path);

// True when both paths name one existing file (links and different spellings included).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The template copy and the bank's backup: durable, never half written (see bank_backup.h).
using bank::Backup;
using bank::copyReplacing;
using bank::isBackupOf;

// A question file as a window holds it: its own workspace, database and record set.
struct QuestionFile {
    dao::Workspace workspace;
    dao::Database database;
    // Empty until opened (a record set is only ever made by its database).
    std::optional<dao::Recordset> records;

    bool isOpen() const { return records && records->isOpen(); }
    // Record set, database, workspace, in that order; failures are of no interest here.
    void close();
};

enum class FileProblem {
    None,
    NotDatabase,  // missing, unreadable, or not a Jet file
    NoTiku,       // a database without the table tiku
    OtherShape,   // tiku without the twelve columns of the question bank's kinds
    NotWritable,  // opened read-only
    Busy,         // another program is changing it
};

// Opens `path` and the record set `sqlText` on it into `file` (closing what `file` held). On
// any problem `file` is left closed and the problem is returned; `forWriting` also asks that
// the file can be changed.
FileProblem openQuestionFile(const std::filesystem::path& path, std::string_view sqlText,
                             bool forWriting, QuestionFile& file);

}  // namespace exchange
