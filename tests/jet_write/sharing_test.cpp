// Programs sharing one file: a reader and a writer at once, two writers, a journal that meets
// another file, a file moved or replaced under a program that holds it, Access holding it, and
// a read-only folder.
#include <fcntl.h>
#include <sys/mount.h>

#include <map>

#include "child_process.h"
#include "write_util.h"

using namespace jet_write_test;

namespace {

// Like a window's handle kept in a static object: released after the registry of open files
// at exit, which must still be there.
std::shared_ptr<jet::Database> heldTillExit;

// Rows by their first column, read in one scan.
std::map<std::string, std::size_t> tags(jet::Database& db) {
    std::map<std::string, std::size_t> n;
    for (const auto& row : scanAll(db, "tiku")) ++n[std::get<std::string>(row[0])];
    return n;
}

std::size_t total(jet::Database& db) { return scanAll(db, "tiku").size(); }

// A writer killed in the midst of a commit: its journal stays beside the file.
void killMidway(const fs::path& file) {
    Child c = start({"bulk", file.string(), "300", "dead"}, killAtWrite(30));
    ASSERT_EQ(firstLine(c), "go");
    EXPECT_EQ(finish(c, false), -1);
    ASSERT_TRUE(fs::exists(jet::PageFile::journalPath(file)));
}

}  // namespace

TEST(JetSharing, ProgramsReadAndWriteTheFileTogether) {
    const auto file = seededBank("shared.mdb");
    // Held open for writing for the whole test, as the windows hold the bank.
    auto db = jet::Database::open(file, RW);
    ASSERT_EQ(total(*db), std::size_t(kBaseRows));

    Child other = start({"insert", file.string(), "other"});
    EXPECT_EQ(firstLine(other), "go");
    EXPECT_EQ(firstLine(other), "done");
    EXPECT_EQ(finish(other, false), 0);
    EXPECT_EQ(tags(*db)["other"], 1u) << "a later commit of another program is seen";

    // The other writer keeps its transaction open a while: ours waits, then follows it.
    Child held = start({"hold", file.string(), "700", "held"});
    ASSERT_EQ(firstLine(held), "go");
    db->insertRow("tiku", bulkRow("mine", 0));
    EXPECT_EQ(tags(*db)["held"], 1u) << "ours went in only after the other's commit";
    EXPECT_EQ(finish(held, false), 0);

    // One that waits longer than it may gives up, and nothing of it is written.
    jet::PageFile::setWaitLimits(200, 20000);
    Child late = start({"hold", file.string(), "2500", "late"});
    ASSERT_EQ(firstLine(late), "go");
    expectRefused(file, jet::ErrorKind::Busy, {},  // through the same open file as `db`
                  [](jet::Database& d) { d.insertRow("tiku", bulkRow("refused", 0)); });
    EXPECT_EQ(finish(late, false), 0);
    jet::PageFile::setWaitLimits(5000, 20000);

    auto n = tags(*db);
    EXPECT_EQ(n["base"], std::size_t(kBaseRows));
    EXPECT_EQ(n["other"] + n["held"] + n["mine"] + n["late"], 4u);
    EXPECT_EQ(n["refused"], 0u);
    heldTillExit = std::move(db);
    expectReadersAgree(file, "tiku");
}

TEST(JetSharing, AJournalIsNeverAppliedToAnotherFile) {
    if (!haveStrace()) GTEST_SKIP() << "strace is needed to stop a writer at an exact point";
    const auto file = seededBank("bound.mdb");
    const std::string backup = fileBytes(file);  // a copy made before the last change
    // The commit puts its journal on disk before it writes a page of the file, so that a power
    // cut between the two finds the old pages kept.
    const auto log = scratch("bound.strace");
    Child one =
        start({"insert", file.string(), "last"},
              {"strace", "-f", "-qq", "-y", "-o", log.string(), "-e", "trace=pwrite64,fsync", "-E",
               "ASAN_OPTIONS=detect_leaks=0"});  // no leak check under ptrace
    EXPECT_EQ(finish(one, false), 0);
    const std::string calls = fileBytes(log);
    const auto pageWritten = calls.find(file.string() + ">, ");
    ASSERT_NE(pageWritten, std::string::npos) << calls;
    EXPECT_LT(calls.find(file.string() + "-journal>)"), pageWritten) << calls;

    // The backup copied over the bank.
    killMidway(file);
    writeBytes(file, backup);  // in place, as cp does
    {
        auto db = jet::Database::open(file, RW);
        ASSERT_EQ(db->notices().size(), 1u);
        EXPECT_NE(db->notices()[0].find("set-aside"), std::string::npos) << db->notices()[0];
        EXPECT_EQ(total(*db), std::size_t(kBaseRows));
    }
    EXPECT_EQ(fileBytes(file), backup);
    EXPECT_TRUE(fs::exists(jet::PageFile::journalPath(file).string() + ".set-aside"));

    // A new bank made under the name.
    killMidway(file);
    bank::createBank(file);
    const std::string made = fileBytes(file);
    EXPECT_EQ(total(*jet::Database::open(file, jet::PageFile::Mode::ReadOnly)), 0u);
    EXPECT_EQ(fileBytes(file), made);
    for (const auto& p : jet::checkDatabase(file)) ADD_FAILURE() << p;

    // Its own file: rolled back.
    seededBank("bound.mdb");
    const std::string whole = fileBytes(file);
    killMidway(file);
    EXPECT_EQ(tags(*jet::Database::open(file, jet::PageFile::Mode::ReadOnly))["dead"], 0u);
    EXPECT_EQ(fileBytes(file), whole);
}

TEST(JetSharing, AFileMovedOrReplacedWhileOpenIsNeverWrittenBlindly) {
    const auto file = seededBank("moved.mdb");
    const auto away = scratch("moved-away.mdb");
    auto db = jet::Database::open(file, RW);
    ASSERT_EQ(total(*db), std::size_t(kBaseRows));
    auto refused = [&](const char* what) {
        SCOPED_TRACE(what);
        try {
            db->insertRow("tiku", bulkRow("lost", 0));
            ADD_FAILURE() << "a change went into a file no longer under its name";
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::Replaced) << e.what();
        }
    };

    fs::rename(file, away);  // mv
    const std::string moved = fileBytes(away);
    refused("moved");
    EXPECT_EQ(fileBytes(away), moved);
    EXPECT_FALSE(fs::exists(file));

    fs::copy_file(away, file);  // another copy under the name: changes go there
    db->insertRow("tiku", bulkRow("into-copy", 0));
    EXPECT_EQ(tags(*db)["into-copy"], 1u);
    EXPECT_EQ(fileBytes(away), moved);

    writeBytes(file, moved);  // cp over it: the cached pages are not the file any more
    EXPECT_EQ(tags(*db)["into-copy"], 0u);
    db->insertRow("tiku", bulkRow("after-cp", 0));
    EXPECT_EQ(total(*db), std::size_t(kBaseRows + 1));

    fs::remove(file);  // rm
    refused("deleted");
    EXPECT_FALSE(fs::exists(file));
    db.reset();
    fs::rename(away, file);
    for (const auto& p : jet::checkDatabase(file)) ADD_FAILURE() << p;
}

TEST(JetSharing, AccessHoldingTheFileAndAReadOnlyFolder) {
    const auto file = seededBank("access.mdb");
    auto ldb = file;
    ldb.replace_extension(".ldb");
    const int lockFd = ::open(ldb.c_str(), O_RDWR | O_CREAT, 0644);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_start = 0x10000000;  // where Access locks its user slots
    fl.l_len = 1;
    ASSERT_EQ(::fcntl(lockFd, F_OFD_SETLK, &fl), 0);
    {
        auto db = jet::Database::open(file, RW);
        EXPECT_EQ(total(*db), std::size_t(kBaseRows));
        expectRefused(file, jet::ErrorKind::Busy, {"Access"},
                      [](jet::Database& d) { d.insertRow("tiku", bulkRow("x", 0)); });
        ::close(lockFd);  // Access closed; its lock file may stay behind
        db->insertRow("tiku", bulkRow("x", 0));
    }

    // A dead writer's journal in a folder that cannot be written: the file reads as committed.
    const fs::path dir = scratch("ro");
    fs::create_directories(dir);
    if (!haveStrace() || ::mount("none", dir.c_str(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "a read-only folder needs strace and a tmpfs mount";
    const auto bank = dir / "bank.mdb";
    fs::copy_file(file, bank);
    killMidway(bank);
    const auto journal = jet::PageFile::journalPath(bank);
    const std::string journalBytes = fileBytes(journal);
    auto readOnly = [&](bool on) {
        return ::mount("none", dir.c_str(), nullptr, MS_REMOUNT | (on ? MS_RDONLY : 0), nullptr);
    };
    ASSERT_EQ(readOnly(true), 0);
    {
        auto db = jet::Database::open(bank, jet::PageFile::Mode::ReadOnly);
        auto n = tags(*db);
        EXPECT_EQ(n["dead"], 0u);
        EXPECT_EQ(n["x"], 1u);
    }
    // Repaired where it can be written; the journal, put back once applied, blocks nothing.
    ASSERT_EQ(readOnly(false), 0);
    const std::string repaired = [&] {
        jet::Database::open(bank, jet::PageFile::Mode::ReadOnly);
        return fileBytes(bank);
    }();
    EXPECT_FALSE(fs::exists(journal));
    writeBytes(journal, journalBytes);
    ASSERT_EQ(readOnly(true), 0);
    EXPECT_EQ(tags(*jet::Database::open(bank, jet::PageFile::Mode::ReadOnly))["x"], 1u);
    EXPECT_EQ(fileBytes(bank), repaired);
    ::umount(dir.c_str());
}
