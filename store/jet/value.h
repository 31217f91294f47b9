// Values as the engine hands them out and takes them in, one per column of a row.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

// Column kinds by their code in a table definition.
enum class ColumnType : std::uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Int16 = 0x03,
    Int32 = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    OLE = 0x0B,
    Memo = 0x0C,
    Guid = 0x0F,
    Numeric = 0x10,
};

// Money as stored: the amount times 10,000.
struct Currency {
    std::int64_t scaled = 0;
    friend bool operator==(const Currency&, const Currency&) = default;
};

// Date/time as stored: days since 1899-12-30 00:00, the fraction being the time of day.
struct DateTime {
    double days = 0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Fixed-point decimal: magnitude / 10^scale, with its sign.
struct Decimal {
    unsigned __int128 magnitude = 0;
    std::uint8_t scale = 0;
    bool negative = false;
    friend bool operator==(const Decimal&, const Decimal&) = default;
};

// A replication id, its 16 bytes in file order.
struct Guid {
    std::array<std::uint8_t, 16> bytes{};
    friend bool operator==(const Guid&, const Guid&) = default;
};

using Bytes = std::vector<std::uint8_t>;

// monostate is SQL null. Every integer kind (byte, 16 and 32 bits, autonumber) is int64_t,
// single and double are double, text and memo are UTF-8; the column's type says which it was.
using Value = std::variant<std::monostate, bool, std::int64_t, double, Currency, DateTime,
                           std::string, Bytes, Decimal, Guid>;

inline bool isNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

}  // namespace jet
