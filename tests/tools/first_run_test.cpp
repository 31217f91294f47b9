// The bank at the first start: made from the sample when missing; an existing file, sound or
// not, is never replaced or changed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "bank_place.h"
#include "bank_tables.h"
#include "first_run.h"
#include "jet/database.h"
#include "jet/error.h"
#include "oracle_util.h"
#include "tool_util.h"

namespace fs = std::filesystem;
using namespace tool_test;

namespace {

std::string refusal(const fs::path& bankFile, const fs::path& sample = MOZHOU_SAMPLE_BANK) {
    try {
        bank::ensureBank(bankFile, sample);
    } catch (const jet::Error& e) {
        return e.what();
    }
    return "accepted";
}

}  // namespace

TEST(EnsureBank, MissingBankIsMadeFromTheSample) {
    const fs::path dir = scratchDir("ensure_new");
    const fs::path file = dir / "shujuku.mdb";
    EXPECT_TRUE(bank::ensureBank(file, MOZHOU_SAMPLE_BANK));
    {
        auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
        EXPECT_EQ(db->tableNames(), (std::vector<std::string>{"tiku", "chengji", "back"}));
        std::vector<bank::Row> rows;
        for (auto scan = db->scan("tiku"); scan.next();) rows.push_back(scan.values());
        EXPECT_EQ(rows, bank::loadSample(MOZHOU_SAMPLE_BANK));
    }
    // Nothing but the bank is left in the folder, and a second start leaves it as it is.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    const std::string bytes = jet_test::fileBytes(file);
    EXPECT_FALSE(bank::ensureBank(file, MOZHOU_SAMPLE_BANK));
    EXPECT_EQ(jet_test::fileBytes(file), bytes);

    // Without a sample the bank is made empty; a broken sample makes nothing.
    const fs::path empty = dir / "empty.mdb";
    EXPECT_TRUE(bank::ensureBank(empty, dir / "no_such.jsonl"));
    EXPECT_FALSE(jet::Database::open(empty, jet::PageFile::Mode::ReadOnly)->scan("tiku").next());
    writeBytes(dir / "broken.jsonl", "[\"a\"]\n");
    const std::string broken = refusal(dir / "never.mdb", dir / "broken.jsonl");
    EXPECT_NE(broken.find("broken.jsonl: line 1"), std::string::npos) << broken;
    EXPECT_FALSE(fs::exists(dir / "never.mdb"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
    fs::remove_all(dir);
}

TEST(EnsureBank, ExistingFilesAreReportedAndLeftAlone) {
    const fs::path dir = scratchDir("ensure_old");
    struct Case {
        std::string name, bytes, expected;
    };
    // A file that is no database at all is the start-up rescue's test.
    std::vector<Case> cases = {{"empty.mdb", "", "cannot be read as a Jet database"}};
    jet::createDatabase(dir / "other.mdb", {{"other", {{"x"}}, {}}});
    cases.push_back({"other.mdb", jet_test::fileBytes(dir / "other.mdb"), "has no table tiku"});
    jet::createDatabase(dir / "short.mdb", {{"tiku", {{"nianji"}, {"kemu"}}, {}}});
    cases.push_back(
        {"short.mdb", jet_test::fileBytes(dir / "short.mdb"), "2 columns instead of twelve"});
    for (const auto& c : cases) {
        const fs::path file = dir / c.name;
        writeBytes(file, c.bytes);
        const std::string message = refusal(file);
        EXPECT_NE(message.find(c.expected), std::string::npos) << c.name << ": " << message;
        EXPECT_NE(message.find(file.string()), std::string::npos) << message;
        EXPECT_EQ(jet_test::fileBytes(file), c.bytes) << c.name;
    }
    // A dangling link in the bank's place is not replaced either.
    fs::create_symlink(dir / "nowhere.mdb", dir / "link.mdb");
    EXPECT_NE(refusal(dir / "link.mdb"), "accepted");
    EXPECT_FALSE(fs::exists(dir / "nowhere.mdb"));
    fs::remove_all(dir);
}

// A portable folder keeps the bank beside the program; an installed program reads its files
// from the share folder and makes its bank in the user's data folder at the first start.
TEST(BankPlace, PortableBesideTheProgramInstalledInTheDataFolder) {
    const fs::path dir = scratchDir("bank_place");
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    const std::string keptXdg = oldXdg ? oldXdg : "";

    const fs::path portable = dir / "portable";
    fs::create_directories(portable);
    writeBytes(portable / "help.txt", "x");
    auto p = bank::places(portable);
    EXPECT_TRUE(p.portable);
    EXPECT_EQ(p.files, portable);
    EXPECT_EQ(p.bank, portable / "shujuku.mdb");

    const fs::path bin = dir / "usr" / "bin", share = dir / "usr" / "share" / "mozhou";
    fs::create_directories(bin);
    fs::create_directories(share);
    writeBytes(share / "help.txt", "x");
    ::setenv("HOME", (dir / "home").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    p = bank::places(bin);
    EXPECT_FALSE(p.portable);
    EXPECT_EQ(p.files, share);
    EXPECT_EQ(p.bank, dir / "data" / "mozhou" / "shujuku.mdb");
    EXPECT_TRUE(bank::ensureBank(p.bank, share / "sample_bank.jsonl"));
    EXPECT_TRUE(fs::is_regular_file(dir / "data" / "mozhou" / "shujuku.mdb"));
    // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
    ::setenv("XDG_DATA_HOME", "data", 1);
    EXPECT_EQ(bank::places(bin).bank, dir / "home" / ".local" / "share" / "mozhou" / "shujuku.mdb");
    // A portable folder that cannot be written (root writes anywhere) keeps its files but not
    // the bank.
    if (::geteuid() != 0) {
        fs::permissions(portable, fs::perms::owner_write, fs::perm_options::remove);
        p = bank::places(portable);
        EXPECT_FALSE(p.portable);
        EXPECT_EQ(p.files, portable);
        EXPECT_EQ(p.bank, dir / "home" / ".local" / "share" / "mozhou" / "shujuku.mdb");
        fs::permissions(portable, fs::perms::owner_write, fs::perm_options::add);
    }

    ::setenv("HOME", oldHome.c_str(), 1);
    if (oldXdg)
        ::setenv("XDG_DATA_HOME", keptXdg.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
    fs::remove_all(dir);
}
