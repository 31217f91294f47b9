// The public Database and the page file under it: sharing, lookups, errors on files that are
// not Jet databases, transactions, and scans that go on across a change of the file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "jet/database.h"
#include "jet/json.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = JET_CORPUS_DIR;

fs::path scratch(const std::string& name) {
    return fs::temp_directory_path() / ("mozhou-jet-db-" + std::to_string(::getpid()) + "-" + name);
}

// A writable copy of an Access-made file, removed at the end of the test.
struct TempCopy {
    fs::path path;
    explicit TempCopy(const std::string& corpusFile, const std::string& tag = "")
        : path(scratch(tag + corpusFile)) {
        fs::copy_file(kCorpus / corpusFile, path, fs::copy_options::overwrite_existing);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    }
    ~TempCopy() { fs::remove(path); }
};

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        return e.what();
    }
    return "";
}

fs::path writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    auto p = scratch(name);
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p;
}

}  // namespace

TEST(Database, OneSharedObjectPerFileAndLookupsByName) {
    auto a = jet::Database::open(kCorpus / "testV2000.mdb", jet::PageFile::Mode::ReadOnly);
    auto b = jet::Database::open(kCorpus / "." / "testV2000.mdb", jet::PageFile::Mode::ReadOnly);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(a->format(), jet::Format::Jet4);
    EXPECT_EQ(a->sortOrder(), 0x0409);
    EXPECT_EQ(a->tableNames(), (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
    auto t = a->table("tAbLe1");
    EXPECT_EQ(t->name, "Table1");
    EXPECT_TRUE(a->hasTable("TABLE4"));
    EXPECT_FALSE(a->hasTable("MSysObjects2"));
    EXPECT_NE(errorOf([&] { a->table("nope"); }).find("there is no table \"nope\""),
              std::string::npos);

    auto jet3 = jet::Database::open(kCorpus / "testV1997.mdb", jet::PageFile::Mode::ReadOnly);
    EXPECT_EQ(jet3->format(), jet::Format::Jet3);
    EXPECT_EQ(jet3->codePage(), 1252);

    // Only the wanted columns are decoded.
    auto scan = a->scan("Table1", {false, false, false, false, true});
    ASSERT_TRUE(scan.next());
    EXPECT_EQ(scan.values()[4], jet::Value(std::int64_t{333333333}));
    EXPECT_TRUE(jet::isNull(scan.values()[0]));
    EXPECT_EQ(a->readRow(*t, scan.rowId())[0], jet::Value(std::string("abcdefg")));
}

TEST(Database, FilesThatAreNotJetDatabasesAreClearErrors) {
    auto openError = [](const fs::path& p) {
        return errorOf([&] { jet::Database::open(p, jet::PageFile::Mode::ReadOnly); });
    };
    EXPECT_NE(openError("/nonexistent/x.mdb").find("/nonexistent/x.mdb"), std::string::npos);
    auto text = writeFile("text.mdb", std::vector<std::uint8_t>(5000, 'x'));
    EXPECT_NE(openError(text).find("not a Jet database"), std::string::npos);
    auto small = writeFile("small.mdb", {0, 1, 0});
    EXPECT_NE(openError(small).find("too short"), std::string::npos);
    // A real file cut after its catalog page: the error names the file and the missing page.
    std::ifstream in(kCorpus / "testV2000.mdb", std::ios::binary);
    std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    bytes.resize(4096 * 3 + 100);
    auto cut = writeFile("cut.mdb", bytes);
    std::string e = openError(cut);
    EXPECT_NE(e.find(cut.string()), std::string::npos) << e;
    EXPECT_NE(e.find("which is not in the file"), std::string::npos) << e;
    // Access 2007 files are told apart from damage.
    bytes.resize(8192);
    std::copy_n("Standard ACE DB", 15, bytes.begin() + 4);
    auto ace = writeFile("ace.mdb", bytes);
    EXPECT_NE(openError(ace).find("Access 2007"), std::string::npos);
    for (const auto& f : {text, small, cut, ace}) fs::remove(f);
}

TEST(PageFile, TransactionsWriteThroughAndRollBack) {
    TempCopy copy("testV2000.mdb");
    std::vector<std::uint8_t> before;
    {
        jet::PageFile f(copy.path, jet::PageFile::Mode::ReadWrite);
        const std::uint32_t pages = f.pageCount();
        EXPECT_EQ(f.pageSize(), 4096u);
        auto view = f.page(5);
        before.assign(view.begin(), view.end());
        EXPECT_THROW(f.write(5, before), jet::Error);  // outside a transaction
        EXPECT_THROW(f.page(pages), jet::Error);

        std::vector<std::uint8_t> junk(4096, 0xAB);
        f.begin();
        f.write(5, junk);
        EXPECT_EQ(view[0], 0xAB);  // the view shows the page as it is now
        EXPECT_EQ(f.append(junk), pages);
        EXPECT_EQ(f.pageCount(), pages + 1);
        auto g = f.generation();
        f.rollback();
        EXPECT_GT(f.generation(), g);
        EXPECT_EQ(f.pageCount(), pages);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), f.page(5).begin()));

        f.begin();
        f.write(5, junk);
        f.commit();
    }
    jet::PageFile again(copy.path, jet::PageFile::Mode::ReadOnly);
    EXPECT_EQ(again.page(5)[100], 0xAB);
    EXPECT_EQ(fs::file_size(copy.path), fs::file_size(kCorpus / "testV2000.mdb"));
    jet::PageFile readOnly(copy.path, jet::PageFile::Mode::ReadOnly);
    EXPECT_THROW(readOnly.begin(), jet::Error);
}

TEST(Database, AScanGoesOnAfterTheFileChanges) {
    TempCopy copy("overflowTestV2000.mdb", "scan");
    auto db = jet::Database::open(copy.path, jet::PageFile::Mode::ReadWrite);
    // A read-only open joins the read-write object of the same file.
    EXPECT_EQ(jet::Database::open(copy.path, jet::PageFile::Mode::ReadOnly).get(), db.get());
    auto scan = db->scan("Table1");
    std::vector<jet::RowId> ids;
    for (int i = 0; i < 3 && scan.next(); ++i) ids.push_back(scan.rowId());
    ASSERT_EQ(ids.size(), 3u);
    // Rewrite the page the scan stands on (with its own bytes): the scan takes up after row 3.
    auto& pages = db->pages();
    std::vector<std::uint8_t> same(pages.page(ids.back().page).begin(),
                                   pages.page(ids.back().page).end());
    pages.begin();
    pages.write(ids.back().page, same);
    pages.commit();
    while (scan.next()) ids.push_back(scan.rowId());
    EXPECT_EQ(ids, (std::vector<jet::RowId>{
                       {27, 0}, {27, 1}, {27, 3}, {27, 5}, {27, 6}, {28, 0}, {31, 0}}));
}

TEST(Database, AColumnKindWeDoNotKnowIsReportedNotGuessed) {
    TempCopy copy("testV2000.mdb", "kind");
    std::size_t at;
    {
        auto db = jet::Database::open(copy.path, jet::PageFile::Mode::ReadOnly);
        auto t = db->table("Table1");
        const auto& L = db->layout();
        at = t->tdefPage * L.pageSize + L.tdefBlockEnd +
             t->realIndexes.size() * L.realIndexCountEntrySize +
             t->column("E")->entryIndex * L.columnEntrySize;
    }
    {
        std::fstream f(copy.path, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(static_cast<std::streamoff>(at));
        f.put(0x13);  // a 64-bit integer of Access 2016, unknown to Jet 4
    }
    auto db = jet::Database::open(copy.path, jet::PageFile::Mode::ReadOnly);
    EXPECT_EQ(db->tableNames().size(), 4u);  // the rest of the file stays readable
    std::string e = errorOf([&] { db->table("Table1"); });
    EXPECT_NE(e.find("page 24: table \"Table1\": column"), std::string::npos) << e;
    EXPECT_NE(e.find("kind this engine does not know (code 0x13)"), std::string::npos) << e;
    EXPECT_NO_THROW(db->table("Table3"));
}
