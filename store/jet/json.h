// Values in the export format: null, true/false, integers, single and double as the shortest
// number that reads back as the same single or double (a NaN or infinity, which JSON cannot
// carry, as null), currency as a string with four decimals, date/time as "YYYY-MM-DD HH:MM:SS",
// text and memo as JSON strings, binary and OLE as lowercase hex, decimals as their exact
// decimal text, replication ids as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "value.h"

namespace jet {

std::string toJson(const Value& value, ColumnType type);
void appendJson(std::string& out, const Value& value, ColumnType type);

// A JSON string literal of UTF-8 text (control characters escaped, the rest kept as is).
void appendJsonString(std::string& out, std::string_view utf8);

// Days since 1899-12-30 as "YYYY-MM-DD HH:MM:SS", rounded to the second. The whole part counts
// days (before 1899-12-30 when negative) and the fraction's absolute value is the time of day,
// as Jet reads it: -1.25 is 1899-12-29 06:00:00. Nullopt when no calendar year 1..9999 fits.
std::optional<std::string> dateTimeText(double days);

std::string currencyText(Currency c);
std::string decimalText(const Decimal& d);
std::string guidText(const Guid& g);

}  // namespace jet
