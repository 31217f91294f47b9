// The object interface the windows use to reach a database file: a Workspace opens a
// Database, a Database opens a Recordset from an SQL text, and the Recordset walks, reads and
// changes the rows of the result by column position. Every handle on one file in the process
// shares one open-file object, so a change is visible to every other record set as soon as
// Update or Delete returns.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/value.h"
#include "sql/sql.h"

namespace dao {

using jet::Value;

class Error : public jet::Error {
  public:
    using jet::Error::Error;
};

class Database;
class Recordset;

// A value as the windows show it: null as empty text, numbers in their shortest decimal
// form, dates as YYYY-MM-DD (with the time when it is not midnight), text as it is.
std::string toText(const Value& v);

class Workspace {
  public:
    // The name, user and password are the engine's defaults; our files have no users.
    explicit Workspace(std::string name = "", std::string user = "admin",
                       std::string password = "");
    ~Workspace();
    Workspace(Workspace&&) noexcept;
    Workspace& operator=(Workspace&&) noexcept;

    // Shared, read and write. A file that the user may not change is opened read-only, and a
    // write to it fails with a message saying so. Throws when the file cannot be opened.
    Database OpenDatabase(const std::filesystem::path& path);
    // Bulk work: every database opened through this workspace takes part.
    void BeginTrans();
    void CommitTrans();
    void Rollback();
    void Close();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

class Database {
  public:
    Database() = default;
    // The same as Workspace().OpenDatabase(path).
    static Database open(const std::filesystem::path& path);

    Recordset OpenRecordset(std::string_view sqlText) const;
    // Releases this handle; the file closes with its last handle.
    void Close();
    bool isOpen() const { return db_ != nullptr; }
    bool readOnly() const;
    const std::filesystem::path& path() const;
    jet::Database& engine() const;

  private:
    friend class Workspace;
    explicit Database(std::shared_ptr<jet::Database> db) : db_(std::move(db)) {}
    std::shared_ptr<jet::Database> db_;
};

class Recordset {
  public:
    class Field {
      public:
        const Value& value() const;
        std::string text() const { return toText(value()); }
        const std::string& name() const;
        jet::ColumnType type() const;
        // Sets the column of the row being added or edited.
        Field& operator=(Value v);

      private:
        friend class Recordset;
        Field(Recordset& rs, std::size_t i) : rs_(&rs), i_(i) {}
        Recordset* rs_;
        std::size_t i_;
    };

    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    // EOF and BOF are taken by the C library's macros, hence the spelling.
    bool Eof() const;
    bool Bof() const;
    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    // The exact number of rows of the result (deleted ones no longer count).
    long RecordCount() const;
    // 0-based place of the current row among the live rows; -1 when there is none.
    long AbsolutePosition() const;
    void setAbsolutePosition(long position);

    std::size_t fieldCount() const;
    const std::vector<sql::ColumnInfo>& columns() const;
    // A result of Group By: its rows are groups, which cannot be changed.
    bool grouped() const;
    Field Fields(std::size_t i);
    const Value& Fields(std::size_t i) const;
    // The whole current row in result column order.
    std::vector<Value> row() const;

    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    void Delete();
    void Close();
    bool isOpen() const { return state_ != nullptr; }
    // Runs the query again, keeping nothing of the old result.
    void Requery();

    struct State;  // internal

  private:
    friend class Database;
    explicit Recordset(std::unique_ptr<State> s);
    const Value& current(std::size_t i) const;
    std::unique_ptr<State> state_;
};

}  // namespace dao
