// Inserting, replacing and deleting the rows of one Jet 3 or Jet 4 table, inside a transaction of
// its PageFile: rows through the encoder onto data pages with room, long values onto long-value
// pages, usage maps and the definition's row count kept right. A row that outgrows its page
// moves and leaves a 4-byte pointer in its slot (flag 0x4000), the new home marked 0x8000, so
// that its page/row id stays valid. Every index of the table gets its entries inserted and
// removed with the rows (unique ones refusing a second row of the same key before anything
// changes), and an autonumber column takes the counter of the definition plus one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "encode.h"
#include "index_tree.h"
#include "table_def.h"
#include "table_scan.h"
#include "text.h"
#include "value.h"
#include "write_long_value.h"
#include "write_pool.h"

namespace jet {

class PageFile;

class TableWriter {
  public:
    // Throws jet::Error when the table cannot be written safely (a system table, an index
    // the engine cannot maintain, decimal columns, a column layout the encoder cannot
    // reproduce).
    TableWriter(PageFile& file, TableDef table);

    const TableDef& table() const { return table_; }
    // Values by column position; missing trailing values are null.
    RowId insert(const std::vector<Value>& values);
    void update(RowId id, const std::vector<Value>& values);
    void remove(RowId id);

  private:
    struct Index {
        std::string name;
        const RealIndex* def;
        std::unique_ptr<IndexTree> tree;
    };
    struct Keyed {
        std::size_t index;
        std::optional<Bytes> key;  // nullopt: the row has no entry in this index
        bool anyNull = false;
        bool unchanged = false;  // its columns are as in `unchangedFrom`; no key computed
        bool unknown = false;    // lenient: the key cannot be encoded
    };
    // Keys of a row in every index. Strict, a key that cannot be encoded or an empty primary
    // key throws; lenient (rows already in the table), it is marked unknown.
    std::vector<Keyed> keysOf(const std::vector<Value>& values,
                              const std::vector<Value>* unchangedFrom, bool lenient) const;
    // Fails when a key would repeat in a unique index (`self` is the row being changed).
    void checkUnique(const std::vector<Keyed>& keys, std::optional<RowId> self) const;
    std::uint32_t numberAutomatically(std::vector<Value>& values,
                                      const std::vector<Value>* old) const;
    void padFixedText(std::vector<Value>& values) const;
    std::vector<Value> currentValues(RowId id) const;
    bool hasAutonumber() const;
    void setAutonumber(std::uint32_t value);
    struct Located {
        RowId home;                // where the row's bytes are
        std::vector<RowId> stubs;  // slots that point to it
    };
    Located locate(RowId id) const;
    // The slot a row's index entries name: the one it was first written in. A caller may hold
    // any slot of a moved row (a scan hands out the one it lives in now).
    RowId indexedAs(RowId id, const Located& loc, const std::vector<Keyed>& keys) const;
    std::vector<RowId> stubsPointingAt(RowId home) const;
    Bytes encode(const std::vector<Value>& values);
    std::vector<std::pair<std::uint16_t, Bytes>> longCells(RowId home) const;
    void releaseLongValues(const std::vector<std::pair<std::uint16_t, Bytes>>& cells);
    void setRowCount(std::uint32_t count);
    std::string where() const;

    PageFile& file_;
    const Layout& format_;
    TableDef table_;
    encode::RowLayout layout_;
    PagePool rows_;
    std::map<std::uint16_t, std::unique_ptr<LongValueWriter>> longValues_;  // by column number
    std::vector<Index> indexes_;
    std::unique_ptr<TextDecoder> text_;
    std::unique_ptr<TextEncoder> textOut_;
};

}  // namespace jet
