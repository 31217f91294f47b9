#include "database.h"

#include <map>

#include "bytes.h"
#include "error.h"
#include "write_table.h"
#include "write_usage_map.h"

namespace jet {

namespace {

// Recursive: a Database released while the registry is locked removes itself from it. Never
// destroyed, so that a Database held by some static object can still leave it at exit.
std::recursive_mutex& registryMutex() {
    static auto* m = new std::recursive_mutex;
    return *m;
}
std::map<std::string, std::weak_ptr<Database>>& registry() {
    static auto* r = new std::map<std::string, std::weak_ptr<Database>>;
    return *r;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

std::shared_ptr<Database> Database::open(const std::filesystem::path& path, PageFile::Mode mode) {
    std::error_code ec;
    auto canonical = std::filesystem::canonical(path, ec);
    if (ec) throw Error(path.string() + ": cannot open: " + ec.message(), errnoKind(ec.value()));
    const std::string key = canonical.string();
    std::lock_guard lock(registryMutex());
    auto found = registry().find(key);
    if (auto existing = found == registry().end() ? nullptr : found->second.lock()) {
        if (mode == PageFile::Mode::ReadWrite && existing->mode() == PageFile::Mode::ReadOnly)
            throw Error(
                path.string() + ": already open read-only in this program; close it before writing",
                ErrorKind::Busy);
        try {
            existing->current();
            return existing;
        } catch (const Error& e) {
            // Another file of another kind now stands under the name: it gets an object of
            // its own, and the handles on the old one keep failing.
            if (e.kind() != ErrorKind::Replaced) throw;
        }
    }
    std::shared_ptr<Database> db(new Database(std::make_unique<PageFile>(canonical, mode)));
    db->key_ = key;
    registry()[key] = db;
    return db;
}

Database::Database(std::unique_ptr<PageFile> pages) : pages_(std::move(pages)) {
    header_ = readHeader(pages_->page(0), pages_->path().string());
    if (pages_->pageSize() != layout().pageSize)
        throw Error(pages_->path().string() + ": page size does not match the Jet version");
    text_ = std::make_unique<TextDecoder>(header_.format,
                                          header_.format == Format::Jet3 ? header_.codePage : 0);
    current();  // reads the catalog now, so a broken file fails at open
}

Database::~Database() {
    std::lock_guard lock(registryMutex());
    auto it = registry().find(key_);
    if (it != registry().end() && it->second.expired()) registry().erase(it);
}

std::shared_ptr<Database::Snapshot> Database::current() const {
    PageFile::Reading reading(*pages_);
    std::lock_guard lock(mutex_);
    if (!snapshot_ || snapshot_->generation != pages_->generation()) {
        // Changed by another program: it must still be the database this object was made for.
        if (snapshot_) {
            const Header now = readHeader(pages_->page(0), pages_->path().string());
            if (now.format != header_.format || now.codePage != header_.codePage)
                throw Error(pages_->path().string() +
                                ": was replaced by another database while it was open; open it "
                                "again",
                            ErrorKind::Replaced);
        }
        auto s = std::make_shared<Snapshot>();
        s->generation = pages_->generation();
        s->entries = readCatalog(*pages_, layout(), *text_);
        s->tables.resize(s->entries.size());
        snapshot_ = std::move(s);
    }
    return snapshot_;
}

std::vector<CatalogEntry> Database::catalog() const { return current()->entries; }

std::vector<std::string> Database::tableNames() const {
    std::vector<std::string> names;
    for (const auto& e : current()->entries)
        if (e.isUserTable()) names.push_back(e.name);
    return names;
}

const CatalogEntry* Database::findEntry(const Snapshot& s, std::string_view name,
                                        std::size_t& index) const {
    for (std::size_t i = 0; i < s.entries.size(); ++i)
        if (s.entries[i].isTable() && sameName(s.entries[i].name, name)) {
            index = i;
            return &s.entries[i];
        }
    return nullptr;
}

bool Database::hasTable(std::string_view name) const {
    std::size_t i = 0;
    return findEntry(*current(), name, i) != nullptr;
}

std::shared_ptr<const TableDef> Database::table(std::string_view name) const {
    PageFile::Reading reading(*pages_);
    auto s = current();
    std::size_t i = 0;
    const CatalogEntry* e = findEntry(*s, name, i);
    if (!e)
        throw Error(path().string() + ": there is no table \"" + std::string(name) + "\"",
                    ErrorKind::NotDatabase);
    std::lock_guard lock(mutex_);
    if (!s->tables[i])
        s->tables[i] = std::make_shared<const TableDef>(
            readTableDef(*pages_, layout(), *text_, e->tdefPage(), e->name));
    return s->tables[i];
}

Database::Scan Database::scan(std::shared_ptr<const TableDef> table,
                              std::vector<bool> wanted) const {
    return Scan(shared_from_this(), std::move(table), std::move(wanted));
}

Database::Scan Database::scanStored(std::shared_ptr<const TableDef> table,
                                    std::vector<bool> wanted) const {
    return Scan(shared_from_this(), std::move(table), std::move(wanted), false);
}

Database::Scan Database::scan(std::string_view table, std::vector<bool> wanted) const {
    return scan(this->table(table), std::move(wanted));
}

std::vector<Value> Database::readRow(const TableDef& table, RowId id,
                                     const std::vector<bool>& wanted) const {
    PageFile::Reading reading(*pages_);
    return readTableRow(*pages_, layout(), *text_, table, id, wanted);
}

StoredRow Database::readStoredRow(const TableDef& table, RowId id, const std::vector<bool>& wanted,
                                  std::vector<CellRef>& cells) const {
    PageFile::Reading reading(*pages_);
    const auto bytes = findTableRow(*pages_, layout(), table, id);
    crackRow(bytes, table, layout(), wanted, cells, path().native(), id.page, id.row);
    return StoredRow(*pages_, layout(), *text_, table, id, cells);
}

// ---- writing ----

struct Database::Writers {
    std::uint64_t generation = 0;
    std::map<std::uint32_t, std::unique_ptr<TableWriter>> byTable;
};

void Database::requireWritable(const char* what) const {
    if (mode() != PageFile::Mode::ReadWrite)
        throw Error(path().string() + ": " + what + ": the file is open read-only",
                    ErrorKind::ReadOnly);
}

void Database::carryOver(std::uint64_t before) {
    const std::uint64_t now = pages_->generation();
    if (writers_ && writers_->generation == before) writers_->generation = now;
    std::lock_guard lock(mutex_);
    if (snapshot_ && snapshot_->generation == before) {
        auto s = std::make_shared<Snapshot>(*snapshot_);
        s->generation = now;
        if (writers_)
            for (std::size_t i = 0; i < s->entries.size(); ++i) {
                auto it = writers_->byTable.find(s->entries[i].tdefPage());
                if (s->entries[i].isTable() && it != writers_->byTable.end())
                    s->tables[i] = std::make_shared<const TableDef>(it->second->table());
            }
        snapshot_ = std::move(s);
    }
}

void Database::beginTransaction() {
    requireWritable("begin a transaction");
    if (pages_->inTransaction())
        throw Error(path().string() + ": a transaction is already running");
    pages_->begin();
}

void Database::commitTransaction() {
    if (!pages_->inTransaction())
        throw Error(path().string() + ": commit: no transaction is running");
    const std::uint64_t before = pages_->generation();
    try {
        pages_->commit();
    } catch (...) {
        // A change that could not be made final is undone, so that the next one starts clean.
        writers_.reset();
        try {
            pages_->rollback();
        } catch (...) {
            // The journal undoes what is left at the next read.
        }
        throw;
    }
    carryOver(before);
}

void Database::rollbackTransaction() {
    if (!pages_->inTransaction())
        throw Error(path().string() + ": rollback: no transaction is running");
    writers_.reset();
    pages_->rollback();
}

bool Database::inTransaction() const { return pages_->inTransaction(); }

void Database::write(std::string_view table, const std::function<void(TableWriter&)>& step) {
    requireWritable("change a row");
    const bool own = !pages_->inTransaction();
    if (own)
        pages_->begin();
    else
        pages_->beginStatement();
    // Only now: beginning brings in what other programs changed meanwhile.
    const std::uint64_t before = pages_->generation();
    try {
        auto def = this->table(table);
        if (!writers_ || writers_->generation != before) {
            writers_ = std::make_unique<Writers>();
            writers_->generation = before;
        }
        repairFreePageMap(*pages_);
        auto& w = writers_->byTable[def->tdefPage];
        if (!w) w = std::make_unique<TableWriter>(*pages_, *def);
        step(*w);
        if (own) pages_->commit();
    } catch (...) {
        writers_.reset();
        try {
            if (own)
                pages_->rollback();
            else
                pages_->undoStatement();
        } catch (...) {
            // The first failure is the one to report; the journal undoes the rest at the
            // next open.
        }
        throw;
    }
    carryOver(before);
}

RowId Database::insertRow(std::string_view table, const std::vector<Value>& values) {
    RowId id;
    write(table, [&](TableWriter& w) { id = w.insert(values); });
    return id;
}

void Database::updateRow(std::string_view table, RowId id, const std::vector<Value>& values) {
    write(table, [&](TableWriter& w) { w.update(id, values); });
}

void Database::deleteRow(std::string_view table, RowId id) {
    write(table, [&](TableWriter& w) { w.remove(id); });
}

Database::Scan::Scan(std::shared_ptr<const Database> db, std::shared_ptr<const TableDef> table,
                     std::vector<bool> wanted, bool decode)
    : db_(std::move(db)), table_(std::move(table)) {
    // The definition was read before this read began; another program may have changed the
    // file in between.
    const std::uint64_t before = db_->pages().generation();
    reading_ = std::make_unique<PageFile::Reading>(db_->pages());
    if (db_->pages().generation() != before) refind();
    generation_ = db_->pages().generation();
    cursor_ = std::make_unique<RowCursor>(db_->pages(), db_->layout(), db_->text(), *table_,
                                          std::move(wanted), decode);
}

StoredRow Database::Scan::stored() const {
    return StoredRow(db_->pages(), db_->layout(), db_->text(), *table_, cursor_->rowId(),
                     cursor_->cells());
}

Database::Scan::~Scan() = default;
Database::Scan::Scan(Scan&&) noexcept = default;

bool Database::Scan::refind() {
    std::shared_ptr<const TableDef> fresh;
    for (const auto& e : db_->current()->entries)
        if (e.isTable() && e.tdefPage() == table_->tdefPage) fresh = db_->table(e.name);
    if (!fresh) return false;
    table_ = std::move(fresh);
    return true;
}

bool Database::Scan::next() {
    if (!reading_) return false;
    if (db_->pages().generation() != generation_) {
        generation_ = db_->pages().generation();
        // The same table, found again by its definition page.
        if (!refind()) {  // the table is gone
            reading_.reset();
            return false;
        }
        cursor_->reposition(*table_);
    }
    if (cursor_->next()) return true;
    reading_.reset();  // the end: other programs may change the file again
    return false;
}

}  // namespace jet
