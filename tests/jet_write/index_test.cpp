// Indexes of Access-made tables: read and held against the rows by the check.
#include <set>

#include "jet/bytes.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "write_util.h"

using namespace jet_write_test;
using jet::Value;

namespace {

// Every page of every index of every user table, from the root down.
void indexPages(const jet::PageFile& file, std::uint32_t page, std::set<std::uint32_t>& out) {
    if (!out.insert(page).second) return;
    auto p = jet::decodeIndexPage(file.page(page), "", page);
    for (const auto& e : p.entries)
        if (!p.leaf) indexPages(file, e.child, out);
    if (p.tail) indexPages(file, p.tail, out);
}

}  // namespace

TEST(JetIndex, AccessFilesPassTheCheckAndDamageIsFound) {
    // Access's own pages come out of our page encoder byte for byte, and the check (which
    // re-encodes every key it can) finds every index of the Jet 4 files sound.
    std::size_t pages = 0;
    for (const char* name :
         {"indexTestV2000.mdb", "compIndexTestV2000.mdb", "testV2000.mdb", "bigIndexTestV2000.mdb",
          "testUnicodeCompV2003.mdb", "adox_jet4.mdb", "testPromotionV2000.mdb"}) {
        const auto file = fs::path(JET_CORPUS_DIR) / name;
        for (const auto& p : jet::checkDatabase(file)) ADD_FAILURE() << name << ": " << p;
        auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
        for (const auto& t : db->tableNames())
            for (const auto& ri : db->table(t)->realIndexes) {
                std::set<std::uint32_t> tree;
                indexPages(db->pages(), ri.firstPage, tree);
                for (std::uint32_t n : tree) {
                    auto raw = db->pages().page(n);
                    auto again = jet::encodeIndexPage(jet::decodeIndexPage(raw, name, n));
                    ASSERT_TRUE(again.has_value());
                    // Bytes after the entries are whatever was there before; compare the rest.
                    const std::size_t used = jet::index_page::kPageSize - jet::le16(raw.data() + 2);
                    EXPECT_TRUE(std::equal(raw.begin(), raw.begin() + used, again->begin()))
                        << name << " page " << n;
                    ++pages;
                }
            }
    }
    EXPECT_GE(pages, 20u);

    // Damage: an entry out of order, an entry naming no row, a broken leaf link.
    struct Damage {
        const char* file;
        std::uint32_t page;
        std::size_t offset;
        std::uint8_t value;
        const char* finding;
    };
    for (const Damage& d :
         {Damage{"compIndexTestV2000.mdb", 32, 0x1E0 + 4, 0x33, "is not after the one before"},
          Damage{"indexTestV2000.mdb", 26, 0x1E0 + 8, 0x07, "which holds no row of the table"},
          Damage{"compIndexTestV2000.mdb", 33, 0x0C, 0x00, "as its previous, not 32"},
          Damage{"testV2000.mdb", 28, 0x1E0 + 1, 0x4C, "another key than its values give"}}) {
        const auto file = scratch(std::string("damaged-") + d.file);
        fs::copy_file(fs::path(JET_CORPUS_DIR) / d.file, file);
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(d.page * 4096 + d.offset));
        f.put(static_cast<char>(d.value));
        f.close();
        const auto problems = jet::checkDatabase(file);
        EXPECT_TRUE(std::any_of(
            problems.begin(), problems.end(),
            [&](const std::string& p) { return p.find(d.finding) != std::string::npos; }))
            << d.file << " page " << d.page << ": " << problems.size() << " problems";
    }
}
