#include "sql/jet_source.h"

#include <mutex>
#include <unordered_map>

namespace sql {

std::uint64_t packRowId(jet::RowId id) { return (std::uint64_t{id.page} << 16) | id.row; }

jet::RowId unpackRowId(std::uint64_t id) {
    return jet::RowId{static_cast<std::uint32_t>(id >> 16), static_cast<std::uint16_t>(id)};
}

namespace {

bool longColumn(jet::ColumnType t) {
    return t == jet::ColumnType::Memo || t == jet::ColumnType::OLE;
}

std::string tableKey(std::string_view name) {
    std::string s(name);
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

}  // namespace

struct JetSource::Cache {
    struct Table {
        std::uint64_t generation = 0;
        bool haveIds = false;
        std::vector<std::uint64_t> ids;
        std::vector<std::unique_ptr<std::vector<jet::Value>>> byColumn;
        // For a text column: its rows (positions) by folded value, made on first use.
        using Lookup = std::unordered_map<std::u32string, std::vector<std::uint32_t>>;
        std::vector<std::unique_ptr<Lookup>> equal;
    };
    std::mutex mutex;
    std::unordered_map<std::string, Table> tables;
};

namespace {

// One cache per open file, living as long as the file's Database object does.
std::shared_ptr<void> cacheFor(const std::shared_ptr<jet::Database>& db,
                               const std::function<std::shared_ptr<void>()>& make) {
    static std::mutex mutex;
    static std::vector<std::pair<std::weak_ptr<jet::Database>, std::shared_ptr<void>>> caches;
    std::lock_guard lock(mutex);
    std::shared_ptr<void> found;
    std::erase_if(caches, [&](auto& entry) {
        auto owner = entry.first.lock();
        if (!owner) return true;
        if (owner == db) found = entry.second;
        return false;
    });
    if (!found) {
        found = make();
        caches.emplace_back(db, found);
    }
    return found;
}

}  // namespace

JetSource::JetSource(std::shared_ptr<jet::Database> db, bool holdColumns) : db_(std::move(db)) {
    if (!holdColumns) return;
    cache_ = std::static_pointer_cast<Cache>(
        cacheFor(db_, [] { return std::static_pointer_cast<void>(std::make_shared<Cache>()); }));
}

JetSource::~JetSource() = default;

std::vector<ColumnInfo> JetSource::columns(std::string_view table) {
    std::vector<ColumnInfo> out;
    for (auto& c : db_->table(table)->columns) out.push_back({c.name, c.type});
    return out;
}

void JetSource::scan(
    std::string_view table, const std::vector<bool>& wanted,
    const std::function<void(std::uint64_t, const std::vector<jet::Value>&)>& row) {
    auto s = db_->scan(table, wanted);
    while (s.next()) row(packRowId(s.rowId()), s.values());
}

const Columns* JetSource::columnar(std::string_view table, const std::vector<bool>& wanted) {
    if (!cache_) return nullptr;
    // Under a read, so that a change by another program is seen before the cache is trusted.
    jet::PageFile::Reading reading(db_->pages());
    auto def = db_->table(table);
    // Long texts are held too once a condition needs them (a keyword search reads every
    // question's text); binary data never is.
    for (std::size_t i = 0; i < wanted.size() && i < def->columns.size(); ++i)
        if (wanted[i] && def->columns[i].type == jet::ColumnType::OLE) return nullptr;

    std::lock_guard lock(cache_->mutex);
    auto& t = cache_->tables[tableKey(def->name)];
    std::uint64_t generation = db_->pages().generation();
    if (t.generation != generation || t.byColumn.size() != def->columns.size()) {
        t = {};
        t.generation = generation;
        t.byColumn.resize(def->columns.size());
        t.equal.resize(def->columns.size());
    }
    std::vector<bool> missing(def->columns.size(), false);
    bool any = !t.haveIds;
    for (std::size_t i = 0; i < missing.size(); ++i)
        if (i < wanted.size() && wanted[i] && !t.byColumn[i]) missing[i] = any = true;
    if (any) {
        // One pass over the table brings in every short column not held yet: the queries of
        // one window (a tree, a lesson) ask for the same few columns one after the other, and
        // a second walk over the pages costs more than decoding the rest of a row now. Long
        // texts come in only when asked for: they are most of the table's bytes.
        for (std::size_t i = 0; i < missing.size(); ++i)
            if (!t.byColumn[i] && !longColumn(def->columns[i].type)) missing[i] = true;
        std::vector<std::unique_ptr<std::vector<jet::Value>>> fresh(missing.size());
        for (std::size_t i = 0; i < missing.size(); ++i)
            if (missing[i]) fresh[i] = std::make_unique<std::vector<jet::Value>>();
        std::vector<std::uint64_t> ids;
        auto s = db_->scan(def, missing);
        while (s.next()) {
            ids.push_back(packRowId(s.rowId()));
            for (std::size_t i = 0; i < missing.size(); ++i)
                if (missing[i]) fresh[i]->push_back(s.values()[i]);
        }
        // A table scanned twice at one generation gives the same rows; if it did not, the
        // columns held so far belong to other rows and are dropped.
        if (t.haveIds && ids != t.ids) {
            for (auto& c : t.byColumn) c.reset();
            for (auto& l : t.equal) l.reset();
        }
        t.ids = std::move(ids);
        t.haveIds = true;
        for (std::size_t i = 0; i < missing.size(); ++i)
            if (missing[i]) t.byColumn[i] = std::move(fresh[i]);
    }
    view_.ids = t.ids;
    viewGeneration_ = generation;
    view_.byColumn.assign(def->columns.size(), nullptr);
    for (std::size_t i = 0; i < def->columns.size(); ++i)
        if (i < wanted.size() && wanted[i]) view_.byColumn[i] = t.byColumn[i].get();
    return &view_;
}

const std::vector<std::uint32_t>* JetSource::rowsEqual(std::string_view table, std::size_t column,
                                                       const std::u32string& folded) {
    static const std::vector<std::uint32_t> none;
    if (!cache_) return nullptr;
    std::lock_guard lock(cache_->mutex);
    auto it = cache_->tables.find(tableKey(table));
    if (it == cache_->tables.end()) return nullptr;
    auto& t = it->second;
    // Only over the rows the last columnar() result shows.
    if (t.generation != viewGeneration_ || column >= t.byColumn.size() || !t.byColumn[column] ||
        t.ids.size() != view_.ids.size())
        return nullptr;
    auto& lookup = t.equal[column];
    if (!lookup) {
        lookup = std::make_unique<Cache::Table::Lookup>();
        const auto& values = *t.byColumn[column];
        for (std::uint32_t r = 0; r < values.size(); ++r)
            if (auto s = std::get_if<std::string>(&values[r])) (*lookup)[fold(*s)].push_back(r);
    }
    auto found = lookup->find(folded);
    return found == lookup->end() ? &none : &found->second;
}

bool JetSource::scanContaining(std::string_view table, std::size_t column, std::string_view text,
                               const std::function<void(std::uint64_t)>& row) {
    // Jet 3 text is in a code page, where a byte search can land inside a character.
    if (db_->format() != jet::Format::Jet4) return false;
    auto def = db_->table(table);
    if (column >= def->columns.size()) return false;
    const auto type = def->columns[column].type;
    if (type != jet::ColumnType::Text && type != jet::ColumnType::Memo) return false;
    const jet::Jet4TextSearch search(text);
    if (!search.valid()) return false;
    std::vector<bool> wanted(def->columns.size(), false);
    wanted[column] = true;
    auto s = db_->scanStored(def, std::move(wanted));
    jet::Bytes gathered;
    while (s.next())
        if (auto bytes = s.stored().text(column, gathered); bytes && search.in(*bytes))
            row(packRowId(s.rowId()));
    return true;
}

std::vector<jet::Value> JetSource::fetch(std::string_view table, std::uint64_t id,
                                         const std::vector<bool>& wanted) {
    return db_->readRow(*db_->table(table), unpackRowId(id), wanted);
}

}  // namespace sql
