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

TEST(ExchangeFiles, MdbEndingAndSameFile) {
    EXPECT_TRUE(exchange::endsWithMdb("/a/题库.mdb"));
    EXPECT_FALSE(exchange::endsWithMdb("/a/题库.MDB"));
    EXPECT_FALSE(exchange::endsWithMdb("/a/题库.mdb "));
    EXPECT_FALSE(exchange::endsWithMdb("mdb"));

    auto dir = scratchDir("same");
    writeText(dir / "a.mdb", "x");
    writeText(dir / "b.mdb", "x");
    fs::create_symlink(dir / "a.mdb", dir / "link.mdb");
    EXPECT_TRUE(exchange::sameFile(dir / "a.mdb", dir / "." / "a.mdb"));
    EXPECT_TRUE(exchange::sameFile(dir / "link.mdb", dir / "a.mdb"));
    EXPECT_FALSE(exchange::sameFile(dir / "a.mdb", dir / "b.mdb"));
    EXPECT_FALSE(exchange::sameFile(dir / "a.mdb", dir / "missing.mdb"));
}

TEST(ExchangeFiles, CopyReplacesWholeOrNotAtAll) {
    auto dir = scratchDir("copy");
    writeText(dir / "template.mdb", "template");
    writeText(dir / "out.mdb", "old export");
    // A journal left by a crash belongs to the old file; applied to the copy it would damage it.
    writeText(jet::PageFile::journalPath(dir / "out.mdb"), "old journal");
    exchange::copyReplacing(dir / "template.mdb", dir / "out.mdb");
    std::ifstream in(dir / "out.mdb");
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "template");
    EXPECT_FALSE(fs::exists(jet::PageFile::journalPath(dir / "out.mdb")));

    // A missing template leaves the destination as it was, and no stray file beside it.
    EXPECT_THROW(exchange::copyReplacing(dir / "missing.mdb", dir / "out.mdb"), bank::BackupError);
    EXPECT_TRUE(fs::exists(dir / "out.mdb"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    EXPECT_EQ(exchange::backupPath(dir / "shujuku.mdb"), dir / "shujuku.mdb.bak");
}

TEST(ExchangeFiles, OnlyAQuestionTableOfTheBanksShapeOpens) {
    auto dir = scratchDir("open");
    exchange::QuestionFile file;
    const auto sqlText = bank::sql::allQuestions();

    writeText(dir / "text.mdb", std::string(5000, 'x'));
    EXPECT_EQ(exchange::openQuestionFile(dir / "text.mdb", sqlText, false, file),
              FileProblem::NotDatabase);
    EXPECT_EQ(exchange::openQuestionFile(dir / "missing.mdb", sqlText, false, file),
              FileProblem::NotDatabase);

    jet::createDatabase(dir / "scores.mdb", {bank::chengjiSpec()});
    EXPECT_EQ(exchange::openQuestionFile(dir / "scores.mdb", sqlText, false, file),
              FileProblem::NoTiku);

    auto eleven = bank::tikuSpec();
    eleven.columns.pop_back();
    jet::createDatabase(dir / "eleven.mdb", {eleven});
    EXPECT_EQ(exchange::openQuestionFile(dir / "eleven.mdb", sqlText, false, file),
              FileProblem::OtherShape);

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
    EXPECT_EQ(exchange::openQuestionFile(dir / "good.mdb", sqlText, false, file),
              FileProblem::None);
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.records->RecordCount(), 1);
    file.close();
    EXPECT_FALSE(file.isOpen());
}

}  // namespace
