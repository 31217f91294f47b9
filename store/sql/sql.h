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

struct Source {
    virtual ~Source() = default;
    virtual std::vector<ColumnInfo> columns(std::string_view table) = 0;
    virtual void scan(
        std::string_view table, const std::vector<bool>& wanted,
        const std::function<void(std::uint64_t, const std::vector<jet::Value>&)>& row) = 0;
};

struct Result {
    std::vector<ColumnInfo> columns;
    std::vector<std::vector<jet::Value>> rows;
    std::vector<std::uint64_t> rowIds;  // empty for grouped queries
};

Result execute(Source& source, std::string_view text);

// Exposed for tests: the folded text comparison and the Like matcher.
std::u32string fold(std::string_view utf8);
bool like(std::string_view value, std::string_view pattern);

}  // namespace sql
