// Text decoding and the export format of single values.
#include <gtest/gtest.h>

#include <cmath>

#include "jet/column_value.h"
#include "jet/error.h"
#include "jet/json.h"
#include "jet/text.h"

using jet::ColumnType;

TEST(Text, Jet4CompressedAndPlain) {
    auto b = [](std::initializer_list<int> v) {
        jet::Bytes out;
        for (int x : v) out.push_back(static_cast<std::uint8_t>(x));
        return out;
    };
    EXPECT_EQ(jet::decodeJet4Text(b({0xFF, 0xFE, 'a', 'b'})), "ab");
    EXPECT_EQ(jet::decodeJet4Text(b({'a', 0, 0x2D, 0x4E})), "a中");
    EXPECT_EQ(jet::decodeJet4Text(b({0xFF, 0xFE, 'a', 0, 0x2D, 0x4E, 0, 'c'})), "a中c");
    EXPECT_EQ(jet::decodeJet4Text(b({0xFF, 0xFE, 0xE4})), "ä");  // one-byte mode is Latin-1
    EXPECT_EQ(jet::decodeJet4Text(b({0x3D, 0xD8, 0x00, 0xDE})), "\U0001F600");
    EXPECT_EQ(jet::decodeJet4Text(b({0x3D, 0xD8, 'a', 0})),
              "\xEF\xBF\xBD"
              "a");                                                      // a lone surrogate
    EXPECT_EQ(jet::decodeJet4Text(b({'a', 0, 'b'})), "a");               // an odd trailing byte
    EXPECT_EQ(jet::decodeJet4Text(b({0xFF, 0xFE, 'a', 0, 0x2D})), "a");  // cut in two-byte mode
    EXPECT_EQ(jet::decodeJet4Text(b({})), "");
}

TEST(Text, Jet3CodePages) {
    jet::TextDecoder gbk(jet::Format::Jet3, 936);
    // A cut-off double-byte character becomes U+FFFD, the rest is kept.
    EXPECT_EQ(gbk.decode(jet::Bytes{'a', 0xD6}), "a\xEF\xBF\xBD");
    jet::TextDecoder latin(jet::Format::Jet3, 1252);
    EXPECT_EQ(latin.decode(jet::Bytes{0xE4, 0x80}), "ä€");
    EXPECT_THROW(jet::TextDecoder(jet::Format::Jet3, 65001 - 1), jet::Error);
}

// The kinds and edges the corpus lacks (its rows are held to mdb-reader's in this format) and
// the export's round trip (shortest floats and doubles among them) does not reach.
TEST(Json, KindsAndEdgesBeyondTheCorpus) {
    EXPECT_EQ(jet::toJson(std::monostate{}, ColumnType::Text), "null");
    EXPECT_EQ(jet::toJson(static_cast<double>(0.1f), ColumnType::Single), "0.1");
    EXPECT_EQ(jet::toJson(static_cast<double>(0.1f), ColumnType::Double), "0.10000000149011612");
    EXPECT_EQ(jet::toJson(std::nan(""), ColumnType::Double), "null");
    EXPECT_EQ(jet::toJson(jet::Currency{5}, ColumnType::Currency), "\"0.0005\"");
    EXPECT_EQ(jet::toJson(jet::Decimal{5, 3, false}, ColumnType::Numeric), "\"0.005\"");
    EXPECT_EQ(jet::toJson(jet::Decimal{0, 0, true}, ColumnType::Numeric), "\"0\"");
    // Decimal bytes: sign, then 32-bit words most significant first.
    const std::uint8_t stored[17] = {0x80, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0x39, 0x30, 0, 0};
    auto d = jet::decodeDecimal(stored, 2);
    EXPECT_EQ(jet::decimalText(d), "-42949796.41");  // (2^32 + 12345) / 100
}

TEST(Json, DatesBothSidesOfTheEpoch) {
    EXPECT_EQ(jet::dateTimeText(0), "1899-12-30 00:00:00");
    EXPECT_EQ(jet::dateTimeText(1), "1899-12-31 00:00:00");
    EXPECT_EQ(jet::dateTimeText(2), "1900-01-01 00:00:00");
    EXPECT_EQ(jet::dateTimeText(61), "1900-03-01 00:00:00");  // 1900 was no leap year
    EXPECT_EQ(jet::dateTimeText(27293), "1974-09-21 00:00:00");
    EXPECT_EQ(jet::dateTimeText(36526.5), "2000-01-01 12:00:00");
    EXPECT_EQ(jet::dateTimeText(40122.98713), "2009-11-05 23:41:28");
    // Negative days count back from 1899-12-30; the fraction is still the time of day.
    EXPECT_EQ(jet::dateTimeText(-1), "1899-12-29 00:00:00");
    EXPECT_EQ(jet::dateTimeText(-0.5), "1899-12-30 12:00:00");
    EXPECT_EQ(jet::dateTimeText(-36522), "1800-01-01 00:00:00");
    EXPECT_EQ(jet::dateTimeText(-657434), "0100-01-01 00:00:00");
    EXPECT_EQ(jet::dateTimeText(2958465.5), "9999-12-31 12:00:00");
    EXPECT_EQ(jet::dateTimeText(2958465.9999999), std::nullopt);  // rounds into the year 10000
    EXPECT_EQ(jet::dateTimeText(1.9999999999), "1900-01-01 00:00:00");  // rounds into the next day
    EXPECT_EQ(jet::dateTimeText(1e20), std::nullopt);
    EXPECT_EQ(jet::dateTimeText(std::nan("")), std::nullopt);
    EXPECT_EQ(jet::toJson(jet::DateTime{1e20}, ColumnType::DateTime), "null");
}
