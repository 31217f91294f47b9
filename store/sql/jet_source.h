// The SQL executor's view of a Jet database file. Short columns (everything but long texts
// and binary data) are kept decoded in memory per table and dropped as soon as the file
// changes, so the many grouped queries that build a catalogue cost little more than one scan.
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
    explicit JetSource(std::shared_ptr<jet::Database> db);
    ~JetSource() override;

    std::vector<ColumnInfo> columns(std::string_view table) override;
    void scan(
        std::string_view table, const std::vector<bool>& wanted,
        const std::function<void(std::uint64_t, const std::vector<jet::Value>&)>& row) override;
    const Columns* columnar(std::string_view table, const std::vector<bool>& wanted) override;
    bool canFetch() const override { return true; }
    std::vector<jet::Value> fetch(std::string_view table, std::uint64_t id,
                                  const std::vector<bool>& wanted) override;

    jet::Database& database() { return *db_; }

  private:
    struct Cache;
    std::shared_ptr<jet::Database> db_;
    std::shared_ptr<Cache> cache_;  // shared by every source over the same open file
    Columns view_;
};

}  // namespace sql
