// The question bank at the first start: when shujuku.mdb is missing it is made in the bank's
// shape with the sample questions; a file that is there is never replaced or changed, only
// checked, so that a bank the program cannot read is reported instead of lost.
#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include "jet/create.h"
#include "jet/value.h"

namespace bank {

using Row = std::vector<jet::Value>;

// The rows of a sample file: one JSON array per line in the export format, tiku's twelve
// columns in order; blank lines are passed over. Throws jet::Error naming the file and line.
std::vector<Row> loadSample(const std::filesystem::path& jsonl);

// Writes a new file of the given tables, complete or not at all, and only where no file (not
// even a dangling link) exists yet: a file that appears meanwhile is left alone and reported.
void createNew(const std::filesystem::path& file, const std::vector<jet::TableSpec>& tables,
               const jet::CreateOptions& options = {});
// The same for any writer: `write` makes the complete file at the temporary path it is given.
void writeNew(const std::filesystem::path& file,
              const std::function<void(const std::filesystem::path&)>& write);

// The bank's three tables, tiku holding `questions`.
std::vector<jet::TableSpec> bankTables(std::vector<Row> questions);

// Makes the bank (and its folder) from the sample when `bankFile` is missing (with no questions
// when the sample file is missing too) and returns true; otherwise checks that the file opens as a
// Jet database whose tiku has the twelve columns and returns false. Throws jet::Error naming the
// file and what is wrong.
bool ensureBank(const std::filesystem::path& bankFile, const std::filesystem::path& sampleJsonl);

}  // namespace bank
