#include "transfer.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <csignal>

#include "exchange_files.h"
#include "exchange_test_util.h"
#include "sql_texts.h"

namespace {

using namespace exchange_test;
using exchange::Outcome;

struct Opened {
    dao::Workspace ws;
    dao::Database db;
    dao::Recordset rs;
    Opened(const fs::path& path, const std::string& sqlText)
        : db(ws.OpenDatabase(path)), rs(db.OpenRecordset(sqlText)) {}
};

// One import or export from the `selection` of `from` into tiku of `to`, both closed after.
Outcome transfer(bool import, const fs::path& from, const std::string& selection,
                 const fs::path& to, const exchange::Progress& progress = {}) {
    Opened s(from, selection);
    Opened t(to, bank::sql::allQuestions());
    return import ? exchange::importQuestions(t.ws, s.rs, t.rs, progress)
                  : exchange::exportQuestions(t.ws, s.rs, t.rs, progress);
}
const bool kImport = true, kExport = false;

// Varied lengths, so that rows of different sizes share and leave pages.
std::vector<Row> variedRows(std::size_t count, const std::string& prefix, std::uint32_t seed) {
    std::vector<Row> rows;
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::string filler((seed >> 8) % 600, 'x');
        rows.push_back(question("初一", "数学", "第" + std::to_string(i % 7) + "课",
                                prefix + std::to_string(i) + filler, std::int64_t(i % 2)));
    }
    return rows;
}

TEST(Transfer, ManyRowsOfVariedSizeKeepTheirOrder) {
    auto dir = scratchDir("import_order");
    auto target = variedRows(1500, "旧", 7);
    auto source = variedRows(400, "新", 11);
    // Every third source row carries the text of a target row, so that room opens up all over
    // the target before the copy pass appends.
    for (std::size_t i = 0; i < source.size(); i += 3) source[i][3] = target[i * 3][3];
    makeBank(dir / "bank.mdb", target);
    makeBank(dir / "source.mdb", source, true);

    exchange::ReplacedTexts texts;
    for (const auto& r : source) texts.add(r[3]);
    std::vector<Row> expected;
    for (const auto& r : target)
        if (!texts.replaces(r[3])) expected.push_back(r);
    expected.insert(expected.end(), source.begin(), source.end());

    const auto o =
        transfer(kImport, dir / "source.mdb", bank::sql::allQuestions(), dir / "bank.mdb");
    ASSERT_EQ(o.status, Outcome::Status::Done) << o.error;
    EXPECT_EQ(o.removed, 134);
    EXPECT_EQ(ourRows(dir / "bank.mdb"), expected);
    expectOraclesSee(dir / "bank.mdb", expected);
}

TEST(Import, UnreadableSourceRowIsCountedAndChangesNothing) {
    auto dir = scratchDir("import_unreadable");
    const std::vector<Row> target = {question("初一", "语文", "第一课", "旧题")};
    makeBank(dir / "bank.mdb", target);
    std::string longText;
    for (int i = 0; i < 1500; ++i) longText += "龘";
    makeBank(
        dir / "source.mdb",
        {question("初一", "语文", "第一课", "旧题", 1),
         question("初一", "语文", "第一课", longText), question("初一", "语文", "第一课", "三")},
        true);
    // Damage the page that holds the long question text (U+9F98 in UTF-16: 98 9F).
    std::string bytes = fileBytes(dir / "source.mdb");
    const auto at = bytes.find(std::string("\x98\x9F\x98\x9F\x98\x9F\x98\x9F", 8));
    ASSERT_NE(at, std::string::npos);
    const std::size_t page = at / 4096 * 4096;
    std::fill(bytes.begin() + long(page), bytes.begin() + long(page + 4096), '\xEE');
    std::ofstream(dir / "source.mdb", std::ios::binary) << bytes;

    bank::createTemplate(dir / "out.mdb");
    for (bool import : {kImport, kExport}) {
        const fs::path to = dir / (import ? "bank.mdb" : "out.mdb");
        auto o = transfer(import, dir / "source.mdb", bank::sql::allQuestions(), to);
        EXPECT_EQ(o.status, Outcome::Status::Unreadable) << o.error;
        EXPECT_EQ(o.unreadable, 1);
        EXPECT_EQ(o.added, 0);
    }
    EXPECT_EQ(ourRows(dir / "bank.mdb"), target);
    EXPECT_TRUE(ourRows(dir / "out.mdb").empty());
}

TEST(Import, KilledHalfWayLeavesTheTargetAsItWas) {
    auto dir = scratchDir("import_killed");
    const auto target = variedRows(1500, "旧", 3);
    auto source = variedRows(600, "新", 9);
    for (std::size_t i = 0; i < source.size(); i += 2) source[i][3] = target[i][3];
    makeBank(dir / "bank.mdb", target);
    makeBank(dir / "source.mdb", source, true);

    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        // Killed in the middle of the copy pass, after the removal pass has deleted rows.
        transfer(kImport, dir / "source.mdb", bank::sql::allQuestions(), dir / "bank.mdb",
                 {{}, [](long v) {
                      if (v == 900) ::kill(::getpid(), SIGKILL);
                  }});
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    // The next open puts right whatever the killed import had written.
    dao::Database::open(dir / "bank.mdb").Close();
    EXPECT_EQ(ourRows(dir / "bank.mdb"), target);
    expectOraclesSee(dir / "bank.mdb", target);
}

}  // namespace
