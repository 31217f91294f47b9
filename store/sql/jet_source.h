// The SQL executor's view of a Jet database file. Short columns (everything but long texts
// and binary data), and long texts that a query has needed, are kept decoded in memory per
// table and dropped as soon as the file changes, so the many grouped queries that build a
// catalogue cost little more than one scan, and a keyword search after the first reads no
// page.
#pragma once

#include <memory>

#include "jet/database.h"
#include "sql/sql.h"

namespace sql {

// A row id as the executor carries it, and back.
std::uint64_t packRowId(jet::RowId id);
jet::RowId unpackRowId(std::uint64_t id);

class JetSource : public Source {
  public:
    // `holdColumns` false: every query reads the file afresh (a program that runs one query
    // and ends has no use for columns kept for the next).
    explicit JetSource(std::shared_ptr<jet::Database> db, bool holdColumns = true);
    ~JetSource() override;

    std::vector<ColumnInfo> columns(std::string_view table) override;
    void scan(
        std::string_view table, const std::vector<bool>& wanted,
        const std::function<void(std::uint64_t, const std::vector<jet::Value>&)>& row) override;
    const Columns* columnar(std::string_view table, const std::vector<bool>& wanted) override;
    const std::vector<std::uint32_t>* rowsEqual(std::string_view table, std::size_t column,
                                                const std::u32string& folded) override;
    bool scanContaining(std::string_view table, std::size_t column, std::string_view text,
                        const std::function<void(std::uint64_t)>& row) override;
    bool canFetch() const override { return true; }
    std::vector<jet::Value> fetch(std::string_view table, std::uint64_t id,
                                  const std::vector<bool>& wanted) override;

    jet::Database& database() { return *db_; }

  private:
    struct Cache;
    std::shared_ptr<jet::Database> db_;
    std::shared_ptr<Cache> cache_;  // shared by every source over the same open file; or none
    Columns view_;
    std::uint64_t viewGeneration_ = 0;  // the file's state that view_ shows
};

}  // namespace sql
