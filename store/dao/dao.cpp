#include "dao/dao.h"

#include <unistd.h>

#include <charconv>
#include <optional>

#include "jet/json.h"
#include "sql/jet_source.h"

namespace dao {

std::string toText(const Value& v) {
    struct {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(std::int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const {
            char buf[64];
            auto r = std::to_chars(buf, buf + sizeof buf, d);
            return std::string(buf, r.ptr);
        }
        std::string operator()(jet::Currency c) const { return jet::currencyText(c); }
        std::string operator()(jet::DateTime t) const {
            auto s = jet::dateTimeText(t.days).value_or("");
            if (s.size() > 10 && s.ends_with(" 00:00:00")) s.resize(10);
            return s;
        }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(const jet::Bytes& b) const {
            return jet::toJson(b, jet::ColumnType::Binary);
        }
        std::string operator()(const jet::Decimal& d) const { return jet::decimalText(d); }
        std::string operator()(const jet::Guid& g) const { return jet::guidText(g); }
    } visit;
    return std::visit(visit, v);
}

// ---------------------------------------------------------------------------------------------

struct Workspace::State {
    std::vector<std::shared_ptr<jet::Database>> opened;
    bool inTransaction = false;
};

Workspace::Workspace(std::string, std::string, std::string) : state_(std::make_unique<State>()) {}
Workspace::~Workspace() {
    if (state_ && state_->inTransaction) {
        // A workspace dropped in the middle of bulk work keeps nothing half done.
        try {
            Rollback();
        } catch (...) {
        }
    }
}
Workspace::Workspace(Workspace&&) noexcept = default;
Workspace& Workspace::operator=(Workspace&&) noexcept = default;

namespace {

// The file last opened for writing stays open after its last handle is closed, so that the
// next window over the same bank finds its short columns still decoded (while the file is
// unchanged) instead of reading the whole table again. An open file locks nothing. Never
// destroyed: at exit the registry of open files may already be gone.
std::shared_ptr<jet::Database>& kept() {
    static auto* db = new std::shared_ptr<jet::Database>();
    return *db;
}

}  // namespace

Database Workspace::OpenDatabase(const std::filesystem::path& path) {
    if (!state_) throw Error("the workspace is closed");
    auto mode = jet::PageFile::Mode::ReadWrite;
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) {
        mode = jet::PageFile::Mode::ReadOnly;
        // A file made read-only since is opened anew as it now is, not written through the
        // old open.
        std::error_code ec;
        if (kept() && kept()->path() == std::filesystem::canonical(path, ec)) kept().reset();
    }
    auto db = jet::Database::open(path, mode);
    if (db->mode() == jet::PageFile::Mode::ReadWrite) kept() = db;
    bool known = false;
    for (auto& d : state_->opened) known = known || d == db;
    if (!known) state_->opened.push_back(db);
    if (state_->inTransaction && !db->inTransaction()) db->beginTransaction();
    return Database(db);
}

void Workspace::BeginTrans() {
    if (!state_) throw Error("the workspace is closed");
    if (state_->inTransaction) throw Error("a transaction is already running");
    std::size_t begun = 0;
    try {
        for (auto& d : state_->opened) {
            d->beginTransaction();
            ++begun;
        }
    } catch (...) {
        for (std::size_t i = 0; i < begun; ++i) state_->opened[i]->rollbackTransaction();
        throw;
    }
    state_->inTransaction = true;
}

void Workspace::CommitTrans() {
    if (!state_ || !state_->inTransaction) throw Error("no transaction is running");
    state_->inTransaction = false;
    for (auto& d : state_->opened)
        if (d->inTransaction()) d->commitTransaction();
}

void Workspace::Rollback() {
    if (!state_ || !state_->inTransaction) throw Error("no transaction is running");
    state_->inTransaction = false;
    for (auto& d : state_->opened)
        if (d->inTransaction()) d->rollbackTransaction();
}

void Workspace::Close() {
    if (state_ && state_->inTransaction) Rollback();
    state_.reset();
}

// ---------------------------------------------------------------------------------------------

Database Database::open(const std::filesystem::path& path) {
    Workspace ws;
    return ws.OpenDatabase(path);
}

void Database::Close() { db_.reset(); }

jet::Database& Database::engine() const {
    if (!db_) throw Error("the database is closed");
    return *db_;
}

bool Database::readOnly() const { return engine().mode() == jet::PageFile::Mode::ReadOnly; }
const std::filesystem::path& Database::path() const { return engine().path(); }

struct Recordset::State {
    std::shared_ptr<jet::Database> db;
    std::string text;
    sql::Result result;  // rows held only for grouped results; others are read when shown
    std::vector<bool> deleted;
    std::size_t live = 0;
    long pos = 0;  // -1 before the first row, size() after the last
    enum class Mode { None, Adding, Editing } mode = Mode::None;
    std::vector<Value> buffer;  // the row being added or edited, in table column order
    std::size_t width = 0;      // columns of the table
    // Rows as last read, from position cachedPos on, and when. A walk from row to row reads
    // ever larger blocks of rows under one read of the file, so that it does not pay for the
    // file's locks and checks once per row; a jump reads just the row.
    mutable long cachedPos = -2;
    mutable std::uint64_t cachedGeneration = 0;
    mutable std::vector<std::optional<std::vector<Value>>> cachedRows;
    mutable long lastRead = -2;
    mutable std::size_t block = 1;
    void readRows() const;
    // Places of the live rows, rebuilt after a deletion.
    mutable std::vector<long> liveIndex;
    mutable bool liveIndexValid = false;

    long size() const { return long(result.grouped ? result.rows.size() : result.rowIds.size()); }
    void run() {
        // One read: the rows found and the row ids kept are of one state of the file.
        jet::PageFile::Reading reading(db->pages());
        sql::JetSource source(db);
        result = sql::execute(source, text, sql::Options{false});
        deleted.assign(std::size_t(size()), false);
        live = std::size_t(size());
        width = db->table(result.table)->columns.size();
        pos = 0;
        cachedRows.clear();
        liveIndexValid = false;
        mode = Mode::None;
    }
    const std::vector<long>& index() const {
        if (!liveIndexValid) {
            liveIndex.clear();
            for (long i = 0; i < size(); ++i)
                if (!deleted[std::size_t(i)]) liveIndex.push_back(i);
            liveIndexValid = true;
        }
        return liveIndex;
    }
    void changeable() const {
        if (result.grouped) throw Error("a grouped result cannot be changed");
        if (db->mode() == jet::PageFile::Mode::ReadOnly)
            throw Error(db->path().string() + " is read-only; it cannot be changed",
                        jet::ErrorKind::ReadOnly);
    }
};

Recordset Database::OpenRecordset(std::string_view sqlText) const {
    auto s = std::make_unique<Recordset::State>();
    s->db = db_;
    if (!s->db) throw Error("the database is closed");
    s->text = std::string(sqlText);
    s->run();
    return Recordset(std::move(s));
}

Recordset::Recordset(std::unique_ptr<State> s) : state_(std::move(s)) {
    while (state_->pos < state_->size() && state_->deleted[std::size_t(state_->pos)]) ++state_->pos;
}
Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

namespace {
Recordset::State& open(const std::unique_ptr<Recordset::State>& s) {
    if (!s) throw Error("the record set is closed");
    return *s;
}
}  // namespace

bool Recordset::Eof() const {
    auto& s = open(state_);
    return s.live == 0 || s.pos >= s.size();
}

bool Recordset::Bof() const {
    auto& s = open(state_);
    return s.live == 0 || s.pos < 0;
}

void Recordset::MoveFirst() {
    auto& s = open(state_);
    s.mode = State::Mode::None;
    s.pos = 0;
    while (s.pos < s.size() && s.deleted[std::size_t(s.pos)]) ++s.pos;
}

void Recordset::MoveLast() {
    auto& s = open(state_);
    s.mode = State::Mode::None;
    s.pos = s.size() - 1;
    while (s.pos >= 0 && s.deleted[std::size_t(s.pos)]) --s.pos;
    if (s.pos < 0) s.pos = s.size();
}

void Recordset::MoveNext() {
    auto& s = open(state_);
    s.mode = State::Mode::None;
    if (s.pos >= s.size()) return;
    ++s.pos;
    while (s.pos < s.size() && s.deleted[std::size_t(s.pos)]) ++s.pos;
}

void Recordset::MovePrevious() {
    auto& s = open(state_);
    s.mode = State::Mode::None;
    if (s.pos < 0) return;
    --s.pos;
    while (s.pos >= 0 && s.deleted[std::size_t(s.pos)]) --s.pos;
}

long Recordset::RecordCount() const { return long(open(state_).live); }

long Recordset::AbsolutePosition() const {
    auto& s = open(state_);
    if (s.pos < 0 || s.pos >= s.size() || s.deleted[std::size_t(s.pos)]) return -1;
    if (s.live == std::size_t(s.size())) return s.pos;
    auto& idx = s.index();
    return long(std::lower_bound(idx.begin(), idx.end(), s.pos) - idx.begin());
}

void Recordset::setAbsolutePosition(long position) {
    auto& s = open(state_);
    if (position < 0 || position >= long(s.live))
        throw Error("no row at position " + std::to_string(position));
    s.mode = State::Mode::None;
    s.pos = s.live == std::size_t(s.size()) ? position : s.index()[std::size_t(position)];
}

std::size_t Recordset::fieldCount() const { return open(state_).result.columns.size(); }

const std::vector<sql::ColumnInfo>& Recordset::columns() const {
    return open(state_).result.columns;
}

bool Recordset::grouped() const { return open(state_).result.grouped; }

const Value& Recordset::current(std::size_t i) const {
    auto& s = open(state_);
    if (i >= s.result.columns.size()) throw Error("the result has no column " + std::to_string(i));
    if (s.mode != State::Mode::None) return s.buffer[s.result.projection[i]];
    if (s.pos < 0 || s.pos >= s.size() || s.deleted[std::size_t(s.pos)])
        throw Error("there is no current row");
    if (s.result.grouped) return s.result.rows[std::size_t(s.pos)][i];
    const long at = s.pos - s.cachedPos;
    if (s.cachedGeneration != s.db->pages().generation() || at < 0 ||
        at >= long(s.cachedRows.size()) || !s.cachedRows[std::size_t(at)])
        s.readRows();
    return (*s.cachedRows[std::size_t(s.pos - s.cachedPos)])[s.result.projection[i]];
}

void Recordset::State::readRows() const {
    block = pos == lastRead + long(block) ? std::min<std::size_t>(block * 2, 64) : 1;
    lastRead = pos;
    jet::PageFile::Reading reading(db->pages());
    const auto table = db->table(result.table);
    std::vector<bool> wanted(width, false);
    for (auto c : result.projection) wanted[c] = true;
    cachedRows.clear();
    cachedPos = pos;
    // The row asked for, then as many after it as the block holds; a later row that cannot
    // be read (deleted by another program) ends the block, and is read again when asked for.
    for (long p = pos; p < size() && cachedRows.size() < block; ++p) {
        if (deleted[std::size_t(p)]) {
            cachedRows.emplace_back();
            continue;
        }
        const auto id = sql::unpackRowId(result.rowIds[std::size_t(p)]);
        if (p == pos) {
            cachedRows.emplace_back(db->readRow(*table, id, wanted));
            continue;
        }
        try {
            cachedRows.emplace_back(db->readRow(*table, id, wanted));
        } catch (const jet::Error&) {
            break;
        }
    }
    cachedGeneration = db->pages().generation();
}

const Value& Recordset::Fields(std::size_t i) const { return current(i); }
Recordset::Field Recordset::Fields(std::size_t i) { return Field(*this, i); }

std::vector<Value> Recordset::row() const {
    std::vector<Value> out;
    for (std::size_t i = 0; i < fieldCount(); ++i) out.push_back(current(i));
    return out;
}

const Value& Recordset::Field::value() const { return rs_->current(i_); }
const std::string& Recordset::Field::name() const { return rs_->columns().at(i_).name; }
jet::ColumnType Recordset::Field::type() const { return rs_->columns().at(i_).type; }

Recordset::Field& Recordset::Field::operator=(Value v) {
    auto& s = open(rs_->state_);
    if (s.mode == State::Mode::None) throw Error("set a field only after AddNew or Edit");
    if (i_ >= s.result.columns.size())
        throw Error("the result has no column " + std::to_string(i_));
    s.buffer[s.result.projection[i_]] = std::move(v);
    return *this;
}

void Recordset::AddNew() {
    auto& s = open(state_);
    s.changeable();
    // Columns not set stay null, which is the default of every column our tables have.
    s.buffer.assign(s.width, Value{});
    s.mode = State::Mode::Adding;
}

void Recordset::Edit() {
    auto& s = open(state_);
    s.changeable();
    if (Eof() || Bof() || s.deleted[std::size_t(s.pos)]) throw Error("there is no current row");
    s.buffer = s.db->readRow(*s.db->table(s.result.table),
                             sql::unpackRowId(s.result.rowIds[std::size_t(s.pos)]));
    s.mode = State::Mode::Editing;
}

void Recordset::Update() {
    auto& s = open(state_);
    if (s.mode == State::Mode::None) throw Error("Update without AddNew or Edit");
    auto mode = s.mode;
    if (mode == State::Mode::Adding) {
        auto id = s.db->insertRow(s.result.table, s.buffer);
        // A new row joins the end of the result; the current row stays where it was.
        s.result.rowIds.push_back(sql::packRowId(id));
        s.deleted.push_back(false);
        ++s.live;
        s.liveIndexValid = false;
    } else {
        s.db->updateRow(s.result.table, sql::unpackRowId(s.result.rowIds[std::size_t(s.pos)]),
                        s.buffer);
    }
    s.mode = State::Mode::None;
    s.cachedRows.clear();
}

void Recordset::CancelUpdate() { open(state_).mode = State::Mode::None; }

void Recordset::Delete() {
    auto& s = open(state_);
    s.changeable();
    s.mode = State::Mode::None;
    if (Eof() || Bof() || s.deleted[std::size_t(s.pos)]) throw Error("there is no current row");
    s.db->deleteRow(s.result.table, sql::unpackRowId(s.result.rowIds[std::size_t(s.pos)]));
    // The place stays, empty, until the next move, as the engine's record sets behave.
    s.deleted[std::size_t(s.pos)] = true;
    --s.live;
    s.liveIndexValid = false;
    s.cachedRows.clear();
}

void Recordset::Close() { state_.reset(); }

void Recordset::Requery() {
    auto& s = open(state_);
    s.run();
}

}  // namespace dao
