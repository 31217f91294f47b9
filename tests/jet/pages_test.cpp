// Hand-built pages for what neither the corpus nor our writer makes: damaged long values and a
// Jet 3 row older than its table's last column. (Deleted, moved, chained and damaged rows are
// read back from written and fuzzed files in tests/jet_write and tests/fuzz.)
#include <gtest/gtest.h>

#include "jet/error.h"
#include "jet/format.h"
#include "jet/long_value.h"
#include "jet/page_file.h"
#include "jet/table_scan.h"
#include "jet/text.h"
#include "page_builder.h"

using namespace jet_test;
using jet::Bytes;
using jet::ColumnType;

namespace {

constexpr std::uint32_t kTdefPage = 40;  // the table's definition page, named as the pages' owner

// A column of the table below: texts in the variable area, other kinds at the fixed area's start.
jet::Column column(const char* name, ColumnType type, std::uint16_t n, std::uint16_t length) {
    const bool fixed = type != ColumnType::Text;
    return {.name = name,
            .type = type,
            .number = n,
            .position = n,
            .varIndex = static_cast<std::uint16_t>(fixed ? 0 : n),
            .length = length,
            .flags = static_cast<std::uint8_t>((fixed ? jet::column_flag::kFixed : 0) |
                                               jet::column_flag::kNullable)};
}

}  // namespace

TEST(HandBuiltPages, DamagedLongValuesAreErrors) {
    const auto& L = jet::kJet4Layout;
    Bytes loop(4);
    put32(loop, 0, 2u << 8 | 0);  // the chain points back at itself
    loop.resize(40, 'z');
    jet::PageFile file(writePages("lval", L,
                                  {Bytes{}, Bytes(L.pageSize, 0),
                                   dataPage(L, jet::long_value::kPageOwner, {loop})}),
                       jet::PageFile::Mode::ReadOnly);
    auto read = [&](const Bytes& ref) { return jet::readLongValue(ref, file, L, 9, 0); };
    EXPECT_THROW(read(longValueRef(1000, 0, 2u << 8)), jet::Error);          // a circle
    EXPECT_THROW(read(longValueRef(100, 0x40, 2u << 8)), jet::Error);        // longer than its row
    EXPECT_THROW(read(longValueRef(10, 0x40, 77u << 8)), jet::Error);        // beyond the file
    EXPECT_THROW(read(longValueRef(10, 0x40, 1u << 8)), jet::Error);         // not a data page
    EXPECT_THROW(read(longValueRef(5, 0x80, 0, ascii("abc"))), jet::Error);  // inline, cut short
    EXPECT_THROW(read(Bytes{1, 2, 3}), jet::Error);                          // no reference at all
    EXPECT_THROW(read(longValueRef(0x3FFFFFFF, 0, 2u << 8)), jet::Error);    // more than the file
    EXPECT_EQ(read(longValueRef(3, 0x80, 0, ascii("abcdef"))), ascii("abc"));
    EXPECT_EQ(read(longValueRef(36, 0, 2u << 8)), Bytes(36, 'z'));  // stops once the length is read
    EXPECT_EQ(read(Bytes{}), Bytes{});
}

TEST(HandBuiltPages, Jet3RowOlderThanItsTablesLastColumn) {
    const auto& L = jet::kJet3Layout;
    jet::TableDef t;
    t.name = "t3";
    t.tdefPage = kTdefPage;
    t.usedPages = 1 << 8;
    t.varColumnCount = 3;
    t.columns = {column("a", ColumnType::Text, 0, 255), column("b", ColumnType::Text, 1, 255),
                 column("c", ColumnType::Text, 2, 255), column("n", ColumnType::Int16, 3, 2)};
    const Bytes gbk = {0xD6, 0xD0, 0xCE, 0xC4, 'x'};  // "中文x" in code page 936
    Bytes row =
        jet3Row(4, Bytes{0xFF, 0xFF}, {ascii("x"), std::nullopt, gbk}, {true, false, true, true});
    // A row written before column "c" was added: only two variable columns in it.
    Bytes oldRow =
        jet3Row(3, Bytes{0x01, 0x00}, {ascii("p"), ascii("q")}, {true, true, false, true});
    jet::PageFile file(writePages("jet3", L,
                                  {Bytes{}, dataPage(L, 0, {usageMapRow({2})}),
                                   dataPage(L, kTdefPage, {row, oldRow})}),
                       jet::PageFile::Mode::ReadOnly);
    ASSERT_EQ(file.pageSize(), 2048u);
    jet::TextDecoder text(jet::Format::Jet3, 936);
    jet::RowCursor cursor(file, L, text, t, {});
    ASSERT_TRUE(cursor.next());
    EXPECT_EQ(cursor.values(), (std::vector<jet::Value>{std::string("x"), std::monostate{},
                                                        std::string("中文x"), std::int64_t{-1}}));
    ASSERT_TRUE(cursor.next());
    EXPECT_EQ(cursor.values(), (std::vector<jet::Value>{std::string("p"), std::string("q"),
                                                        std::monostate{}, std::monostate{}}));
    EXPECT_FALSE(cursor.next());
}
