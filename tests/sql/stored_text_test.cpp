// Keyword searches and JSON decided on Jet 4's stored text bytes must give what the decoded
// text gives, in both stored forms (compressed and plain UTF-16LE), in rows and in long values.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/json.h"
#include "jet/text.h"
#include "sql/jet_source.h"
#include "sql/sql.h"

namespace {

namespace fs = std::filesystem;
using jet::ColumnType;

TEST(StoredText, KeywordSearchOnStoredBytesAgreesWithDecodedText) {
    const fs::path file =
        fs::temp_directory_path() / ("stored_text_" + std::to_string(::getpid()) + ".mdb");
    jet::TableSpec t{"t",
                     {{"tz", ColumnType::Text, 255, true},
                      {"tp", ColumnType::Text, 255, false},
                      {"mz", ColumnType::Memo, 0, true},
                      {"mp", ColumnType::Memo, 0, false}},
                     {}};
    const std::string longText = std::string(3000, 'x') + "数学" + std::string(3000, 'y');
    // Texts with long ASCII runs are stored compressed, the others as plain UTF-16LE.
    for (const std::string s : {"学习", "abcdefgh学ijklmn", "\u66A0\uA15B", "éABCDEFG",
                                "abcdefgh😀学ijk", "x😀学", "", "习\n学"})
        t.rows.push_back({s, s, s, s});
    t.rows.push_back({jet::Value{}, jet::Value{}, longText, longText});
    jet::createDatabase(file, {t});
    auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);

    // "\u66A0\uA15B" holds the bytes of "学" (66 5B) astride its two characters.
    for (const std::string pattern : {"学", "习", "é", "😀学", "\u66A0", "\uA15B", "数学"}) {
        for (const std::string column : {"tz", "tp", "mz", "mp"}) {
            const std::string query =
                "Select t.* From t Where (t." + column + " Like '*" + pattern + "*')";
            sql::JetSource stored(db, false);
            std::vector<std::uint64_t> found;
            sql::execute(stored, query, sql::Options{false},
                         [&](const sql::Result&, std::uint64_t id) { found.push_back(id); });
            sql::JetSource decoded(db, true);  // the columns decoded in memory
            EXPECT_EQ(found, sql::execute(decoded, query, sql::Options{false}).rowIds) << query;
        }
    }
    fs::remove(file);
}

TEST(StoredText, JsonFromStoredBytesAgreesWithDecodedText) {
    using B = std::vector<std::uint8_t>;
    const B cases[] = {
        {0xFF, 0xFE, 'a', '"', 'b', '\\', '\n', 0x01, 0x7F, 0, 0x66, 0x5B, 0, '\t'},
        {'"', 0, 0x3D, 0xD8, '\\', 0, 0x3D, 0xD8},  // a high surrogate before an escape, at the end
        {0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xDC, 0x1F, 0, 0xE9, 0},  // a pair, a lone low one
        {0xFF, 0xFE, 0, 0x3D, 0xD8, 0, '"', 0, 0x00, 0xDE},      // a pair split by a quote's run
        {'a', 0, 'b'},
        {}};
    for (const B& b : cases) {
        std::string fromBytes, fromText;
        jet::appendJsonJet4Text(fromBytes, b);
        jet::appendJsonString(fromText, jet::decodeJet4Text(b));
        EXPECT_EQ(fromBytes, fromText);
    }
}

}  // namespace
