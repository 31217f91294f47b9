// The public Database and the page file under it: sharing, lookups, errors on files that are
// not Jet databases, transactions, and scans that go on across a change of the file.
#include "write_util.h"

using namespace jet_write_test;

namespace {

const fs::path kCorpus = JET_CORPUS_DIR;

fs::path writeFile(const std::string& name, const std::string& bytes) {
    const auto p = scratch(name);
    writeBytes(p, bytes);
    return p;
}

}  // namespace

TEST(Database, OneSharedObjectPerFileAndLookupsByName) {
    auto a = jet::Database::open(kCorpus / "testV2000.mdb", jet::PageFile::Mode::ReadOnly);
    auto b = jet::Database::open(kCorpus / "." / "testV2000.mdb", jet::PageFile::Mode::ReadOnly);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(a->format(), jet::Format::Jet4);
    EXPECT_EQ(a->sortOrder(), 0x0409);
    auto t = a->table("tAbLe1");
    EXPECT_EQ(t->name, "Table1");
    EXPECT_TRUE(a->hasTable("TABLE4"));
    EXPECT_FALSE(a->hasTable("MSysObjects2"));
    EXPECT_NE(errorOf([&] { a->table("nope"); }).find("there is no table \"nope\""),
              std::string::npos);

    auto jet3 = jet::Database::open(kCorpus / "testV1997.mdb", jet::PageFile::Mode::ReadOnly);
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
    auto text = writeFile("text.mdb", std::string(5000, 'x'));
    EXPECT_NE(openError(text).find("not a Jet database"), std::string::npos);
    auto small = writeFile("small.mdb", std::string("\0\1\0", 3));
    EXPECT_NE(openError(small).find("too short"), std::string::npos);
    // A real file cut after its catalog page: the error names the file and the missing page.
    std::string bytes = fileBytes(kCorpus / "testV2000.mdb");
    bytes.resize(4096 * 3 + 100);
    auto cut = writeFile("cut.mdb", bytes);
    std::string e = openError(cut);
    EXPECT_NE(e.find(cut.string()), std::string::npos) << e;
    EXPECT_NE(e.find("which is not in the file"), std::string::npos) << e;
    // Access 2007 files are told apart from damage.
    bytes.resize(8192);
    bytes.replace(4, 15, "Standard ACE DB");
    auto ace = writeFile("ace.mdb", bytes);
    EXPECT_NE(openError(ace).find("Access 2007"), std::string::npos);
}

TEST(PageFile, TransactionsWriteThroughAndRollBack) {
    const auto copy = copyOfCorpus("testV2000.mdb");
    std::vector<std::uint8_t> before;
    {
        jet::PageFile f(copy, jet::PageFile::Mode::ReadWrite);
        const std::uint32_t pages = f.pageCount();
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
    jet::PageFile again(copy, jet::PageFile::Mode::ReadOnly);
    EXPECT_EQ(again.page(5)[100], 0xAB);
    EXPECT_EQ(fs::file_size(copy), fs::file_size(kCorpus / "testV2000.mdb"));
    jet::PageFile readOnly(copy, jet::PageFile::Mode::ReadOnly);
    EXPECT_THROW(readOnly.begin(), jet::Error);
}

TEST(Database, AScanGoesOnAfterTheFileChanges) {
    const auto copy = copyOfCorpus("overflowTestV2000.mdb");
    auto db = jet::Database::open(copy, jet::PageFile::Mode::ReadWrite);
    // A read-only open joins the read-write object of the same file.
    EXPECT_EQ(jet::Database::open(copy, jet::PageFile::Mode::ReadOnly).get(), db.get());
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
    const auto copy = copyOfCorpus("testV2000.mdb", "kind.mdb");
    // A 64-bit integer of Access 2016, unknown to Jet 4, in place of E's long integer.
    patchFile(copy, "\x04", "\x13", columnEntryAt(copy, "Table1", "E"));
    auto db = jet::Database::open(copy, jet::PageFile::Mode::ReadOnly);
    EXPECT_EQ(db->tableNames().size(), 4u);  // the rest of the file stays readable
    std::string e = errorOf([&] { db->table("Table1"); });
    EXPECT_NE(e.find("page 24: table \"Table1\": column"), std::string::npos) << e;
    EXPECT_NE(e.find("kind this engine does not know (code 0x13)"), std::string::npos) << e;
    EXPECT_NO_THROW(db->table("Table3"));
}
