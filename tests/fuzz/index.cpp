// Index upkeep: inserts, updates and deletes (single rows, runs of rows in rising, falling or
// scattered key order, transactions committed or rolled back) on a copy of an Access-made
// indexed table. After every step the table and each index must be what a plain model of the
// rows says, a refusal must be justified (a unique key taken, an empty required key, a value or
// key the engine cannot write) and leave everything as it was, and the file must be sound.
#include <map>
#include <optional>

#include "fuzz_util.h"
#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/index_key.h"
#include "jet/write_table.h"

namespace {

using jet::Value;

constexpr std::uint8_t kUnique = 0x01, kIgnoreNulls = 0x02, kRequired = 0x08;
constexpr std::size_t kMaxSteps = 24;
constexpr std::size_t kMaxNewRows = 700;

struct Base {
    std::string file;
    std::string table;
    std::vector<std::uint8_t> bytes;
};

// Every indexed user table of the corpus that the writer accepts (small files only: each
// input starts from a fresh copy).
std::vector<Base> findBases() {
    std::vector<Base> out;
    std::vector<fuzz::fs::path> files;
    for (const auto& e : fuzz::fs::directory_iterator(JET_CORPUS_DIR))
        if (e.path().extension() == ".mdb" && e.file_size() <= 400000) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    const auto copy = fuzz::scratch("index-probe");
    for (const auto& f : files) {
        fuzz::writeFile(copy, fuzz::readFile(f));
        auto db = jet::Database::open(copy, jet::PageFile::Mode::ReadWrite);
        for (const auto& name : db->tableNames()) {
            try {
                if (db->table(name)->realIndexes.empty()) continue;
                jet::TableWriter writer(db->pages(), *db->table(name));
                out.push_back({f.filename().string(), name, fuzz::readFile(f)});
                std::fprintf(stderr, "index target: %s, table %s\n", f.filename().c_str(),
                             name.c_str());
            } catch (const jet::Error&) {
            }
        }
    }
    fuzz::fs::remove(copy);
    if (out.empty()) fuzz::fail("no indexed table of the corpus can be written");
    return out;
}

std::string show(jet::RowId id) {
    return "row " + std::to_string(id.page) + ":" + std::to_string(id.row);
}

std::string letters(std::uint32_t n, std::size_t width) {
    std::string s(width, 'a');
    for (std::size_t i = width; i-- > 0; n /= 26) s[i] = static_cast<char>('a' + n % 26);
    return s;
}

// Row number `i` of a run: keys rise with i (falling and scattered orders come from the caller).
std::vector<Value> runRow(const jet::TableDef& t, std::uint32_t i, std::uint32_t base,
                          std::size_t width, bool early) {
    std::vector<Value> row(t.columns.size());
    for (const auto& c : t.columns) {
        Value& v = row[c.position];
        if (c.type == jet::ColumnType::Int32 && !c.autoNumber())
            v = std::int64_t{base} * 1000 + i;
        else if (c.type == jet::ColumnType::Int16)
            v = std::int64_t{static_cast<std::int16_t>(base * 1000 + i)};
        // Text keys that differ late share a long prefix, which a page stores once; keys that
        // differ early fill pages fast, so that a run takes a tree to a third level.
        else if (c.type == jet::ColumnType::Text && early)
            v = letters(base, 2) + letters(i, 2) +
                std::string(std::min(width, fuzz::limitOf(t, c) - 4), 'z');
        else if (c.type == jet::ColumnType::Text)
            v = letters(base, 2) + letters(i, std::min(width, fuzz::limitOf(t, c) - 2));
    }
    return row;
}

// A row is known by the id it was inserted under (which its index entries name); a row that
// outgrew its page lives elsewhere and a scan hands out that home's id instead.
struct ModelRow {
    std::vector<Value> values;
    std::vector<std::optional<jet::Bytes>> keys;  // per real index; nullopt: no entry
};

class Run {
  public:
    Run(const Base& base, fuzz::Reader in) : base_(base), in_(in) {}

    void go() {
        fuzz::writeFile(file_, base_.bytes);
        db_ = jet::Database::open(file_, jet::PageFile::Mode::ReadWrite);
        load();
        for (std::size_t step = 0; step < kMaxSteps && !in_.empty(); ++step) {
            const std::uint8_t op = in_.byte();
            if (op % 8 < 3)
                insert(randomRow());
            else if (op % 8 == 3)
                insertRun(op);
            else if (op % 8 < 6)
                update();
            else if (op % 8 == 6 && !model_.empty())
                remove(pick());
            else if (op % 8 == 7)
                transaction(op);
            verify("step " + std::to_string(step) + " (" + what_ + ")");
        }
        db_.reset();
    }

  private:
    std::shared_ptr<const jet::TableDef> def() const { return db_->table(base_.table); }

    jet::IndexTree tree(const jet::TableDef& t, std::size_t i) const {
        const auto& ri = t.realIndexes[i];
        return jet::IndexTree(db_->pages(), t.tdefPage, ri.firstPage, ri.usedPages, "");
    }

    void load() {
        auto t = def();
        std::vector<std::map<jet::RowId, jet::Bytes>> stored(t->realIndexes.size());
        for (std::size_t i = 0; i < t->realIndexes.size(); ++i)
            for (const auto& e : tree(*t, i).entries()) stored[i][{e.page, e.row}] = e.key;
        const auto stubs = moved();
        for (auto s = db_->scan(t); s.next();) {
            const jet::RowId name = nameOf(stubs, s.rowId());
            ModelRow m{s.values(), {}};
            for (std::size_t i = 0; i < t->realIndexes.size(); ++i) {
                auto key = expectedKey(*t, i, m.values);
                if (key && !*key) {  // a key the engine cannot encode: as the file holds it
                    auto it = stored[i].find(name);
                    if (it == stored[i].end())
                        fuzz::fail(base_.file + ": " + show(name) + " has no index entry");
                    key = it->second;
                }
                m.keys.push_back(key ? *key : std::optional<jet::Bytes>{});
            }
            model_[name] = std::move(m);
        }
    }

    // Slots of moved rows and the homes they point to.
    std::map<jet::RowId, jet::RowId> moved() const {
        auto t = def();
        const auto& layout = db_->layout();
        std::map<jet::RowId, jet::RowId> out;
        for (std::uint32_t p : jet::tableDataPages(db_->pages(), layout, *t)) {
            auto page = db_->pages().page(p);
            if (page[0] != 0x01 || jet::dataPageOwner(page, layout) != t->tdefPage) continue;
            for (std::uint16_t r = 0; r < jet::dataRowCount(page, layout, "", p); ++r) {
                auto slot = jet::dataRowSlot(page, layout, r, "", p);
                if (!slot.moved) continue;
                const std::uint32_t to = jet::le32(page.data() + slot.start);
                out[{p, r}] = {jet::pointerPage(to), jet::pointerRow(to)};
            }
        }
        return out;
    }

    // The row at `home` by the id the model knows it under: the slot it was first inserted
    // in (a row moved twice is pointed to from its older homes too).
    jet::RowId nameOf(const std::map<jet::RowId, jet::RowId>& moved, jet::RowId home) const {
        std::optional<jet::RowId> stub;
        for (const auto& [from, to] : moved)
            if (to == home && (!stub || model_.count(from))) stub = from;
        return stub.value_or(home);
    }

    // The id a caller holds: the one the row was inserted under, or now and then the one a scan
    // hands out, where the row lives now.
    jet::RowId held(jet::RowId name) {
        if (in_.byte() % 2 == 0) return name;
        const auto homes = moved();
        auto it = homes.find(name);
        return it == homes.end() ? name : it->second;
    }

    // Outer nullopt: the row has no entry; inner nullopt: the engine cannot encode the key.
    static std::optional<std::optional<jet::Bytes>> expectedKey(const jet::TableDef& t,
                                                                std::size_t i,
                                                                const std::vector<Value>& row) {
        const auto& ri = t.realIndexes[i];
        if ((ri.flags & kIgnoreNulls) && jet::keyNulls(t, ri, row).all) return std::nullopt;
        return jet::encodeIndexKey(t, ri, row);
    }

    std::vector<Value> randomRow() {
        auto t = def();
        std::vector<Value> row(t->columns.size());
        for (const auto& c : t->columns) {
            // A single as it is stored, so that the model's keys are those of the stored value.
            row[c.position] =
                fuzz::stored(fuzz::valueFrom(in_, c.type, fuzz::limitOf(*t, c)), *t, c);
            // An autonumber mostly left to the engine.
            if (c.autoNumber() && in_.byte() % 4 != 0) row[c.position] = Value{};
        }
        return row;
    }

    jet::RowId pick() { return std::next(model_.begin(), in_.u16() % model_.size())->first; }

    // Whether another row holds `key` in unique index i (keys with an empty column may repeat).
    bool taken(std::size_t i, const std::vector<Value>& row, std::optional<jet::RowId> self) {
        auto t = def();
        const auto& ri = t->realIndexes[i];
        if (!(ri.flags & kUnique) || jet::keyNulls(*t, ri, row).any) return false;
        auto key = expectedKey(*t, i, row);
        if (!key || !*key) return false;
        for (const auto& [id, m] : model_)
            if ((!self || id != *self) && m.keys[i] == **key) return true;
        return false;
    }

    // A refusal must have a reason the model sees too.
    void justify(const jet::Error& e, const std::vector<Value>& row, std::optional<jet::RowId> self,
                 const std::vector<Value>* old) {
        const std::string msg = e.what();
        auto t = def();
        const std::string about = what_ + " " + fuzz::show(row) + " was refused: " + msg;
        if (msg.find("another row already has this value") != std::string::npos) {
            std::vector<Value> numbered = row;
            for (const auto& c : t->columns)
                if (c.autoNumber() && isNull(numbered[c.position]))
                    numbered[c.position] =
                        old ? (*old)[c.position] : Value{std::int64_t{t->nextAutonumber} + 1};
            for (std::size_t i = 0; i < t->realIndexes.size(); ++i)
                if (taken(i, numbered, self)) return;
            fuzz::fail(about + "; no other row has that key");
        }
        if (msg.find("its columns must have a value") != std::string::npos) {
            for (const auto& ri : t->realIndexes)
                if ((ri.flags & kRequired) && jet::keyNulls(*t, ri, row).any) return;
            fuzz::fail(about + "; the key has no empty column");
        }
        if (e.kind() == jet::ErrorKind::ValueDoesNotFit ||
            e.kind() == jet::ErrorKind::Unencodable || e.kind() == jet::ErrorKind::IndexUnsupported)
            return;
        if (msg.find("its value cannot be changed") != std::string::npos && old) return;
        fuzz::fail(about + "; a sound table should have taken it");
    }

    // The row as stored must be the one given (autonumbers aside) and keep uniqueness.
    void accept(jet::RowId id, const std::vector<Value>& given, const std::vector<Value>* old) {
        auto t = def();
        ModelRow m{db_->readRow(*t, id), {}};
        for (const auto& c : t->columns) {
            const Value want =
                fuzz::stored(c.autoNumber() && isNull(given[c.position]) && old ? (*old)[c.position]
                                                                                : given[c.position],
                             *t, c);
            if (c.autoNumber() && isNull(given[c.position]) && !old) continue;
            if (!fuzz::sameValue(m.values[c.position], want))
                fuzz::fail(what_ + ": column " + c.name + " reads back " +
                           fuzz::show({m.values[c.position]}) + ", not " + fuzz::show({want}));
        }
        for (std::size_t i = 0; i < t->realIndexes.size(); ++i) {
            const auto& ri = t->realIndexes[i];
            bool changed = !old;
            for (const auto& ic : ri.columns)
                for (const auto& c : t->columns)
                    if (c.number == ic.columnNumber && old)
                        changed =
                            changed || !fuzz::sameValue((*old)[c.position], m.values[c.position]);
            if ((ri.flags & kRequired) && changed && jet::keyNulls(*t, ri, m.values).any)
                fuzz::fail(what_ + ": a required key was left empty " + fuzz::show(m.values));
            if (changed && taken(i, m.values, id))
                fuzz::fail(what_ + ": a unique key now appears twice " + fuzz::show(m.values));
            if (!changed) {
                m.keys.push_back(model_.at(id).keys[i]);
                continue;
            }
            auto key = expectedKey(*t, i, m.values);
            if (key && !*key) fuzz::fail(what_ + ": written with a key the engine cannot encode");
            m.keys.push_back(key ? *key : std::optional<jet::Bytes>{});
        }
        model_[id] = std::move(m);
        touched_ = id;
    }

    void insert(const std::vector<Value>& row) {
        what_ = "insert";
        jet::RowId id;
        try {
            id = db_->insertRow(base_.table, row);
        } catch (const jet::Error& e) {
            justify(e, row, std::nullopt, nullptr);
            return;
        }
        if (model_.count(id)) fuzz::fail("insert: a new row took the id of " + show(id));
        ++newRows_;
        accept(id, row, nullptr);
    }

    // A run of rows with rising keys, inserted rising, falling or interleaved, in one
    // transaction or each on its own.
    void insertRun(std::uint8_t op) {
        const std::uint32_t n = 8 + in_.byte() % 120;
        const bool together = (op & 0x20) == 0;
        const auto before = model_;
        if (together) db_->beginTransaction();
        const std::uint32_t base = in_.byte();
        const std::size_t width = 1 + in_.byte();
        const int order = (op >> 3) % 3;
        auto t = def();
        for (std::uint32_t k = 0; k < n && newRows_ < kMaxNewRows; ++k) {
            const std::uint32_t i = order == 0 ? k : order == 1 ? n - 1 - k : (k * 7919) % n;
            insert(runRow(*t, i, base, width, op & 0x80));
        }
        if (together) end(op & 0x40, before);
        what_ = "a run of " + std::to_string(n) + " inserts";
    }

    void update() {
        if (model_.empty()) return insert(randomRow());
        const jet::RowId id = pick();
        const auto old = model_.at(id).values;
        auto row = old;
        auto fresh = randomRow();
        const std::uint8_t mask = in_.byte();
        for (std::size_t i = 0; i < row.size(); ++i)
            if (mask & (1u << (i % 8))) row[i] = fresh[i];
        const jet::RowId by = held(id);
        what_ = "update of " + show(id) + " as " + show(by);
        try {
            db_->updateRow(base_.table, by, row);
        } catch (const jet::Error& e) {
            justify(e, row, id, &old);
            return;
        }
        accept(id, row, &old);
    }

    void remove(jet::RowId id) {
        const jet::RowId by = held(id);
        what_ = "delete of " + show(id) + " as " + show(by);
        try {
            db_->deleteRow(base_.table, by);
        } catch (const jet::Error& e) {
            fuzz::fail(what_ + " was refused: " + e.what());
        }
        model_.erase(id);
    }

    // Deletes every k-th row and inserts a few, then commits or rolls back.
    void transaction(std::uint8_t op) {
        const auto before = model_;
        const std::size_t every = 1 + in_.byte() % 5;
        const std::size_t inserts = in_.byte() % 6;
        db_->beginTransaction();
        std::vector<jet::RowId> ids;
        std::size_t k = 0;
        for (const auto& [id, m] : model_)
            if (k++ % every == 0) ids.push_back(id);
        for (const auto& id : ids) remove(id);
        for (std::size_t i = 0; i < inserts; ++i) insert(randomRow());
        const bool commit = (op & 0x80) != 0;
        end(commit, before);
        what_ = std::string("a transaction of ") + std::to_string(ids.size()) + " deletes, " +
                std::to_string(inserts) + " inserts, " + (commit ? "committed" : "rolled back");
    }

    void end(bool commit, const std::map<jet::RowId, ModelRow>& before) {
        if (commit) return db_->commitTransaction();
        db_->rollbackTransaction();
        model_ = before;
    }

    void verify(const std::string& after) {
        auto t = def();
        const std::string at = base_.file + ", " + base_.table + ", after " + after + ": ";
        const auto stubs = moved();
        std::size_t rows = 0;
        for (auto s = db_->scan(t); s.next(); ++rows) {
            const jet::RowId name = nameOf(stubs, s.rowId());
            auto it = model_.find(name);
            if (it == model_.end()) fuzz::fail(at + "the scan finds " + show(s.rowId()));
            if (!fuzz::sameRow(s.values(), it->second.values))
                fuzz::fail(at + show(s.rowId()) + " reads " + fuzz::show(s.values()) + ", not " +
                           fuzz::show(it->second.values));
        }
        if (rows != model_.size())
            fuzz::fail(at + "the scan finds " + std::to_string(rows) + " rows, not " +
                       std::to_string(model_.size()));
        if (t->rowCount != rows)
            fuzz::fail(at + "the definition counts " + std::to_string(t->rowCount) + " rows");
        for (std::size_t i = 0; i < t->realIndexes.size(); ++i) {
            std::vector<jet::IndexEntry> want;
            for (const auto& [id, m] : model_)
                if (m.keys[i])
                    want.push_back({*m.keys[i], id.page, static_cast<std::uint8_t>(id.row), 0});
            std::sort(want.begin(), want.end(),
                      [](const auto& a, const auto& b) { return jet::compareEntries(a, b) < 0; });
            const auto index = tree(*t, i);
            auto got = index.entries();
            for (auto& e : got) e.child = 0;
            if (got != want)
                fuzz::fail(at + "index " + std::to_string(i) + " holds " +
                           std::to_string(got.size()) + " entries, not the model's " +
                           std::to_string(want.size()) + " or not in their order");
            if (touched_ && model_.count(*touched_) && model_.at(*touched_).keys[i]) {
                const auto found = index.find(*model_.at(*touched_).keys[i]);
                if (std::find(found.begin(), found.end(), *touched_) == found.end())
                    fuzz::fail(at + "index " + std::to_string(i) + " lookup misses " +
                               show(*touched_));
            }
        }
        touched_.reset();
        fuzz::expectSound(file_, after);
    }

    const Base& base_;
    fuzz::Reader in_;
    const fuzz::fs::path file_ = fuzz::scratch("index");
    std::shared_ptr<jet::Database> db_;
    std::map<jet::RowId, ModelRow> model_;
    std::optional<jet::RowId> touched_;
    std::size_t newRows_ = 0;
    std::string what_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    fuzz::Reader in{data, size};
    static const auto all = findBases();
    Run(all[in.byte() % all.size()], in).go();
    return 0;
}
