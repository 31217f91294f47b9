#include "exchange_files.h"

#include <gtest/gtest.h>

#include <fstream>

#include "exchange_test_util.h"
#include "jet/page_file.h"
#include "sql_texts.h"

namespace {

using namespace exchange_test;
using exchange::FileProblem;

void writeText(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }

// A link to a file is that file; a missing template leaves the destination as it was.
TEST(ExchangeFiles, SameFileAndCopyReplacesWholeOrNotAtAll) {
    auto dir = scratchDir("copy");
    writeText(dir / "a.mdb", "x");
    fs::create_symlink(dir / "a.mdb", dir / "link.mdb");
    EXPECT_TRUE(exchange::sameFile(dir / "link.mdb", dir / "." / "a.mdb"));
    EXPECT_FALSE(exchange::sameFile(dir / "a.mdb", dir / "missing.mdb"));
    fs::remove(dir / "link.mdb");
    fs::remove(dir / "a.mdb");
    writeText(dir / "template.mdb", "template");
    writeText(dir / "out.mdb", "old export");
    // A journal left by a crash belongs to the old file; applied to the copy it would damage it.
    writeText(jet::PageFile::journalPath(dir / "out.mdb"), "old journal");
    exchange::copyReplacing(dir / "template.mdb", dir / "out.mdb");
    EXPECT_EQ(fileBytes(dir / "out.mdb"), "template");
    EXPECT_FALSE(fs::exists(jet::PageFile::journalPath(dir / "out.mdb")));
    EXPECT_THROW(exchange::copyReplacing(dir / "missing.mdb", dir / "out.mdb"), bank::BackupError);
    EXPECT_TRUE(fs::exists(dir / "out.mdb"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST(ExchangeFiles, BackupsAreDatedCopiesOfGoodBanksNewestTenKept) {
    auto dir = scratchDir("backups");
    const fs::path bank = dir / "shujuku.mdb";
    auto copies = [&] { return backupsOf(bank); };
    // A damaged bank is not copied: no good copy is pushed out by it.
    std::ofstream(bank) << std::string(5000, 'x');
    EXPECT_THROW(exchange::Backup{bank}, bank::BackupError);
    EXPECT_TRUE(copies().empty());

    makeBank(bank, {question("初一", "语文", "第一课", "春")});
    exchange::Backup first(bank);
    first.keep();
    EXPECT_EQ(fileBytes(first.path()), fileBytes(bank));
    EXPECT_TRUE(exchange::isBackupOf(bank, first.path()));
    EXPECT_FALSE(exchange::isBackupOf(bank, bank));
    // Unchanged since: the newest copy serves, and none is added.
    exchange::Backup same(bank);
    EXPECT_EQ(same.path(), first.path());
    same.discard();
    EXPECT_EQ(copies(), std::vector<fs::path>{first.path()});
    // A failed attempt keeps no copy of its own.
    std::ofstream(bank, std::ios::app) << 'a';
    exchange::Backup failed(bank);
    EXPECT_NE(failed.path(), first.path());
    failed.discard();
    EXPECT_EQ(copies(), std::vector<fs::path>{first.path()});
    // Twelve changes: the newest ten stay, the newest last made.
    fs::path newest;
    for (int i = 0; i < 12; ++i) {
        std::ofstream(bank, std::ios::app) << 'b';
        exchange::Backup b(bank);
        b.keep();
        newest = b.path();
    }
    const auto kept = copies();
    EXPECT_EQ(kept.size(), bank::kBackupsKept);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), first.path()), 0);
    EXPECT_TRUE(fileBytes(newest) == fileBytes(bank)) << newest;
}

TEST(ExchangeFiles, OnlyAQuestionTableOfTheBanksShapeOpens) {
    auto dir = scratchDir("open");
    exchange::QuestionFile file;
    const auto sqlText = bank::sql::allQuestions();

    // Not a database, no tiku, eleven columns and a file that opens: in the import window's test.
    auto moved = bank::tikuSpec();
    std::swap(moved.columns[9], moved.columns[10]);  // the mark where an answer belongs
    jet::createDatabase(dir / "moved.mdb", {moved});
    EXPECT_EQ(exchange::openQuestionFile(dir / "moved.mdb", sqlText, false, file),
              FileProblem::OtherShape);
    EXPECT_FALSE(file.isOpen());

    makeBank(dir / "good.mdb", {question("初一", "语文", "第一课", "一")});
    fs::permissions(dir / "good.mdb", fs::perms::owner_write, fs::perm_options::remove);
    if (::access((dir / "good.mdb").c_str(), W_OK) != 0) {  // not when the tests run as root
        EXPECT_EQ(exchange::openQuestionFile(dir / "good.mdb", sqlText, true, file),
                  FileProblem::NotWritable);
    }
}

}  // namespace
