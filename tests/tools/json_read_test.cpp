// Rows in the export format read back into values: every kind round-trips exactly, and every
// malformed line is refused with the column and the place named.
#include <gtest/gtest.h>

#include <cmath>

#include "jet/error.h"
#include "jet/json.h"
#include "tool_util.h"

using jet::ColumnType;

namespace {

std::string again(const std::string& line, const std::vector<ColumnType>& types) {
    return tool_test::respelled({line}, types)[0];
}

std::string refusal(const std::string& line, const std::vector<ColumnType>& types) {
    try {
        jet::fromJson(line, types, std::vector<std::string>{"a", "b", "c"});
    } catch (const jet::Error& e) {
        return e.what();
    }
    return "accepted";
}

}  // namespace

TEST(FromJson, EveryKindRoundTripsExactly) {
    const std::vector<ColumnType> types = {
        ColumnType::Boolean,  ColumnType::Byte,   ColumnType::Int16,  ColumnType::Int32,
        ColumnType::Currency, ColumnType::Single, ColumnType::Double, ColumnType::DateTime,
        ColumnType::Binary,   ColumnType::Text,   ColumnType::Guid,   ColumnType::Numeric,
        ColumnType::Memo};
    for (const char* line :
         {R"([true,255,-32768,-2147483648,"-922337203685477.5808",3.4028235e+38,)"
          R"(0.30000000000000004,"9999-12-31 23:59:59","00ff","a\"\\\n\u0001é",)"
          R"("{01234567-89AB-CDEF-0123-456789ABCDEF}","-12.3400","😀"])",
          R"([false,0,32767,2147483647,"922337203685477.5807",1e-45,5e-324,)"
          R"("1899-12-29 06:00:00","","","{00000000-0000-0000-0000-000000000000}","0",""])",
          R"([null,null,null,null,null,null,null,null,null,null,null,null,null])"})
        EXPECT_EQ(again(line, types), line);

    // Spaces, other escapes and shorter spellings come back in the export's own spelling.
    EXPECT_EQ(again(R"( [ "\u00e9\ud83d\ude00\/" , "1.5" , "0001-01-01 00:00:00" ] )",
                    {ColumnType::Text, ColumnType::Currency, ColumnType::DateTime}),
              R"(["é😀/","1.5000","0001-01-01 00:00:00"])");
    auto v = jet::fromJson(R"(["1899-12-29 06:00:00","1900-01-01 12:00:00"])",
                           std::vector<ColumnType>{ColumnType::DateTime, ColumnType::DateTime});
    EXPECT_EQ(std::get<jet::DateTime>(v[0]).days, -1.25);
    EXPECT_EQ(std::get<jet::DateTime>(v[1]).days, 2.5);
    EXPECT_TRUE(jet::fromJson("[]", std::vector<ColumnType>{}).empty());

    // Every character that needs an escape, at every place of a text longer than a word, and
    // the neighbours that do not.
    const std::vector<ColumnType> text = {ColumnType::Memo};
    for (char special : {'"', '\\', '\n', '\x01', '\x1f', ' ', '!', '#', '[', ']', '\x7f'}) {
        for (std::size_t at = 0; at < 24; ++at) {
            std::string value(24, 'x');
            value[at] = special;
            value += "\xE5\xAD\x97";  // 字
            const std::string json = "[" + jet::toJson(value, ColumnType::Memo) + "]";
            // '"', '\\' and '\n' take two characters, other controls six (\u00XX).
            const std::size_t extra = special == '"' || special == '\\' || special == '\n' ? 1
                                      : static_cast<unsigned char>(special) < 0x20         ? 5
                                                                                           : 0;
            EXPECT_EQ(json.size(), value.size() + 4 + extra) << json;
            EXPECT_EQ(jet::fromJson(json, text)[0], jet::Value(value)) << json;
        }
    }
}

TEST(FromJson, MalformedLinesAreRefusedWithColumnAndPlace) {
    const std::vector<ColumnType> num = {ColumnType::Int16, ColumnType::Byte, ColumnType::Double};
    const std::vector<ColumnType> txt = {ColumnType::Text, ColumnType::DateTime,
                                         ColumnType::Binary};
    struct Case {
        std::string line;
        const std::vector<ColumnType>* types;
        std::string expected;
    };
    const Case cases[] = {
        {"[1,2]", &num, "2 values where the table has 3 columns"},
        {"[1,2,3,4]", &num, "more values"},
        {"[1.5,2,3]", &num, "column 1 (a): expected a whole number"},
        {"[1,-1,3]", &num, "column 2 (b): -1 is out of range"},
        {"[1,2,1e999]", &num, "column 3 (c): 1e999 is out of range"},
        {"[01,2,3]", &num, "at character 3"},
        {"[1,2,3] x", &num, "text after the end of the array"},
        {"[\"a\",\"2023-02-29 00:00:00\",\"\"]", &txt, "is not a date and time"},
        {"[\"a\",null,\"abc\"]", &txt, "an odd number of hex digits"},
        {"[\"\\ud800\",null,null]", &txt, "a lone high surrogate"},
        {"[\"tab\there\",null,null]", &txt, "a control character"},
        {"[\"\xE0\x80\xAF\",null,null]", &txt, "not UTF-8"},
        {"[\"unterminated,null,null]", &txt, "the line ends inside a string"},
        {"[true,null,null]", &txt, "expected a string for a text column, found a boolean"},
    };
    for (const auto& c : cases) {
        std::string message = refusal(c.line, *c.types);
        EXPECT_NE(message.find(c.expected), std::string::npos) << c.line << " gave: " << message;
        EXPECT_NE(message.find("at character "), std::string::npos) << message;
    }
    EXPECT_NE(refusal(R"(["12.34567"])", {ColumnType::Currency}).find("at most four decimals"),
              std::string::npos);
    EXPECT_NE(refusal("[3.5e+38]", {ColumnType::Single}).find("out of range"), std::string::npos);
}
