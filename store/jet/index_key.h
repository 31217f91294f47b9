// Index keys as Jet stores them: per key column a flag byte (0x7F a value, 0x00 null; when
// the column sorts descending 0x80 and 0xFF, and the value's bytes inverted) and the value in
// an order-preserving form: integers big-endian with the sign bit flipped, floating-point
// numbers and dates with the sign bit flipped when positive and every bit flipped when
// negative, booleans in the flag byte alone. Text under the "General" sort order becomes its
// sort weights (sort_weights.h): in Jet 4 files every character of the Basic Multilingual
// Plane; in Jet 3 (Access 97) files of code page 1252 every character of that code page.
// Characters beyond the plane, texts with no weighted character, descending text and other
// sort orders are refused: no source shows their keys.
// Byte columns are not encoded: whether Access flips their top bit is not known.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "table_def.h"
#include "value.h"

namespace jet {

// The code page whose Access 97 text keys the engine knows.
constexpr std::uint16_t kJet3KeyCodePage = 1252;

// Why the engine cannot encode keys of this column (its kind; for text, its sort order or
// code page); empty when it can.
std::string unindexableBecause(const TableDef& table, const Column& column);

// Whether some or all of the key columns of a row are null.
struct KeyNulls {
    bool any = false;
    bool all = true;
};
KeyNulls keyNulls(const TableDef& table, const RealIndex& index, const std::vector<Value>& row);

// The key of one row (values by column position) in `index`, or nullopt when one of its
// values cannot be encoded; `why` then says which and why.
std::optional<Bytes> encodeIndexKey(const TableDef& table, const RealIndex& index,
                                    const std::vector<Value>& row, std::string* why = nullptr);

}  // namespace jet
