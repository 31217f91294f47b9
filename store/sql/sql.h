// A parser and executor for the small Select dialect the program sends to its own tables.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/error.h"
#include "jet/value.h"

namespace sql {

class ParseError : public jet::Error {
  public:
    ParseError(std::size_t position, const std::string& expected);
    std::size_t position;
};

struct ColumnRef {
    std::string table;   // empty when unqualified
    std::string column;  // "*" for all columns
};

struct Expr {
    enum Kind { Compare, Like, And, Or, Not } kind;
    std::string op;  // for Compare
    ColumnRef column;
    jet::Value literal;
    std::unique_ptr<Expr> left, right;
    // Filled when the query is bound to its table: the column's position and, for text
    // literals, their folded form (for Like patterns folded with Like's own characters marked),
    // so that rows are compared without decoding the literal again.
    std::size_t index = 0;
    std::u32string folded;
    // A Like pattern "*text*" that a plain byte search decides: the text in UTF-8; else empty.
    std::string contains;
    // A Like pattern of stars only: every text matches.
    bool anyText = false;
};

struct Query {
    std::vector<ColumnRef> select;
    std::string table;
    std::unique_ptr<Expr> where;
    std::vector<ColumnRef> groupBy;
};

Query parse(std::string_view text);

struct ColumnInfo {
    std::string name;
    jet::ColumnType type;
};

// Decoded columns of a table held in memory: ids[r] is row r's id, byColumn[c] (when not
// null) its values of column c in row order.
struct Columns {
    std::vector<std::uint64_t> ids;
    std::vector<const std::vector<jet::Value>*> byColumn;
};

struct Source {
    virtual ~Source() = default;
    virtual std::vector<ColumnInfo> columns(std::string_view table) = 0;
    virtual void scan(
        std::string_view table, const std::vector<bool>& wanted,
        const std::function<void(std::uint64_t, const std::vector<jet::Value>&)>& row) = 0;
    // The wanted columns from memory, or null when the source does not hold them; valid until
    // the next call on the source.
    virtual const Columns* columnar(std::string_view /*table*/,
                                    const std::vector<bool>& /*wanted*/) {
        return nullptr;
    }
    // The rows of the last columnar() result whose text column `column` folds to `folded`, as
    // positions in that result, ascending; null when the source keeps no such lookup.
    virtual const std::vector<std::uint32_t>* rowsEqual(std::string_view /*table*/,
                                                        std::size_t /*column*/,
                                                        const std::u32string& /*folded*/) {
        return nullptr;
    }
    // The ids of the rows whose text column `column` holds the UTF-8 bytes `text`, in scan
    // order, found without decoding every row; false (and no row given) when the source
    // cannot search so.
    virtual bool scanContaining(std::string_view /*table*/, std::size_t /*column*/,
                                std::string_view /*text*/,
                                const std::function<void(std::uint64_t)>& /*row*/) {
        return false;
    }
    // One row by its id (the wanted columns), for sources that can look rows up.
    virtual bool canFetch() const { return false; }
    virtual std::vector<jet::Value> fetch(std::string_view table, std::uint64_t id,
                                          const std::vector<bool>& wanted);
};

struct Result {
    std::vector<ColumnInfo> columns;
    std::vector<std::vector<jet::Value>> rows;  // empty when not materialised
    std::vector<std::uint64_t> rowIds;          // empty for grouped queries
    std::string table;
    // Output column i is column projection[i] of the table (ungrouped queries).
    std::vector<std::size_t> projection;
    bool grouped = false;
};

struct Options {
    // False: an ungrouped query gives its row ids and projection only, and the caller
    // fetches the rows it shows (a grid over a large result opens at once).
    bool materialise = true;
};

// For an ungrouped query that is not materialised: given each row id as the row is found (the
// result's columns and projection already filled in), instead of gathering the ids, so that a
// caller reading each row at once finds its page still at hand.
using FoundRow = std::function<void(const Result&, std::uint64_t)>;

Result execute(Source& source, std::string_view text, const Options& options = {},
               const FoundRow& found = {});

// Exposed for tests: the folded text comparison and the Like matcher.
std::u32string fold(std::string_view utf8);
bool like(std::string_view value, std::string_view pattern);

}  // namespace sql
