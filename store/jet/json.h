// Values in the export format: null, true/false, integers, single and double as the shortest
// number that reads back as the same single or double (a NaN or infinity, which JSON cannot
// carry, as null), currency as a string with four decimals, date/time as "YYYY-MM-DD HH:MM:SS",
// text and memo as JSON strings, binary and OLE as lowercase hex, decimals as their exact
// decimal text, replication ids as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "value.h"

namespace jet {

std::string toJson(const Value& value, ColumnType type);
void appendJson(std::string& out, const Value& value, ColumnType type);

// A JSON string literal of UTF-8 text (control characters escaped, the rest kept as is).
void appendJsonString(std::string& out, std::string_view utf8);
// The same of Jet 4 text bytes, decoded on the way.
void appendJsonJet4Text(std::string& out, std::span<const std::uint8_t> bytes);

// Days since 1899-12-30 as "YYYY-MM-DD HH:MM:SS", rounded to the second. The whole part counts
// days (before 1899-12-30 when negative) and the fraction's absolute value is the time of day,
// as Jet reads it: -1.25 is 1899-12-29 06:00:00. Nullopt when no calendar year 1..9999 fits.
std::optional<std::string> dateTimeText(double days);

// The inverse of dateTimeText; nullopt unless the text is a valid "YYYY-MM-DD HH:MM:SS".
std::optional<double> daysFromText(std::string_view text);

std::string currencyText(Currency c);
std::string decimalText(const Decimal& d);
std::string guidText(const Guid& g);

// One row in the export format, back into values: a JSON array with one element per column,
// each of the JSON kind that toJson writes for the column's type (null fits every column).
// Strict: anything else, an element that does not fit its column (an integer out of range, a
// fraction in an integer column, a malformed date, odd hex), or text after the array throws
// jet::Error naming the column and the character position.
std::vector<Value> fromJson(std::string_view line, std::span<const ColumnType> types,
                            std::span<const std::string> names = {});

}  // namespace jet
