// File layout of a new database:
//   page 0       header (version, code page, sort order, creation date; partly RC4-masked)
//   page 1       global usage map
//   pages 2..5   table definitions of MSysObjects, MSysACEs, MSysQueries, MSysRelationships
//   pages 6..    table definitions of our tables, one page each
//   then         pages holding the usage-map rows of every table and long-value column
//   then         data pages and long-value (LVAL) pages, as the rows need them
//   then         usage-map pages (type 5), only for tables spread over more than 512 pages
#include "create.h"
#include "page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>

#include "encode.h"
#include "error.h"

namespace jet {

using namespace encode;

DateTime jetNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const double seconds = std::chrono::duration<double>(now).count();
    return DateTime{seconds / 86400.0 + 25569.0};
}

namespace {

// Catalog ids of the containers every Jet 4 database carries.
constexpr std::int64_t kRootId = 0x0F000000;
constexpr std::int64_t kTablesId = 0x0F000001;
constexpr std::int64_t kDatabasesId = 0x0F000002;
constexpr std::int64_t kRelationshipsId = 0x0F000003;
constexpr std::int64_t kMSysDbId = 0x10000000;
constexpr std::int64_t kSystemFlag = static_cast<std::int32_t>(0x80000000u);
constexpr std::int16_t kTypeTable = 1;
constexpr std::int16_t kTypeDatabase = 2;
constexpr std::int16_t kTypeContainer = 3;

// Built-in security ids of the default workgroup: the engine, the admin user, the Admins
// and Users groups.
const Bytes kSidEngine{0x64, 0x8B};
const Bytes kSidAdmin{0x65, 0x89};
const Bytes kSidAdmins{0x65, 0x8E};
const Bytes kSidUsers{0x65, 0x8B};
// Full data and design rights, as a new table inherits them for Users.
constexpr std::int64_t kAcmTableFull = 1048319;

constexpr std::uint32_t kFirstUserTdefPage = 6;
constexpr std::size_t kMapRowsPerPage = (kPageSize - kDataPageHeader) / (kUsageMapRowSize + 2);
// A page with less room than this is left out of a free-space map.
constexpr std::size_t kUsefulFreeSpace = 64;

struct TablePlan {
    std::string name;
    bool system = false;
    std::uint32_t tdefPage = 0;
    std::vector<ColumnSpec> columns;
    RowLayout layout;
    const std::vector<std::vector<Value>>* rows = nullptr;
    std::vector<std::vector<Value>> ownRows;  // rows of the system tables
    std::uint32_t rowCount = 0;
    std::uint32_t usedMap = 0, freeMap = 0;  // page/row of the usage-map rows
    std::vector<std::uint32_t> dataPages, freePages;
    struct LongColumn {
        std::uint16_t number = 0;
        std::uint32_t usedMap = 0, freeMap = 0;
        std::vector<std::uint32_t> pages, freePages;
    };
    std::vector<LongColumn> longColumns;
};

class FileBuilder {
  public:
    std::uint32_t reserve() {
        pages_.emplace_back();
        return static_cast<std::uint32_t>(pages_.size() - 1);
    }
    void set(std::uint32_t n, Bytes page) { pages_.at(n) = std::move(page); }
    std::uint32_t count() const { return static_cast<std::uint32_t>(pages_.size()); }
    const std::vector<Bytes>& pages() const { return pages_; }

  private:
    std::vector<Bytes> pages_;
};

// Pages being filled for one owner (a table's rows, or one long-value column).
class PageFiller {
  public:
    PageFiller(FileBuilder& file, std::uint32_t owner) : file_(file), owner_(owner) {}

    // Places a row, starting a new page when the current one is full; returns its pointer.
    std::uint32_t place(std::span<const std::uint8_t> row) {
        if (!current_ || !current_->fits(row.size())) startPage();
        return pageRow(currentPage_, current_->add(row));
    }
    // Places a row alone on a fresh page of its own (a full link of a long value).
    std::uint32_t placeAlone(std::span<const std::uint8_t> row) {
        DataPageBuilder page(owner_);
        const std::uint32_t n = file_.reserve();
        const std::uint8_t r = page.add(row);
        finishPage(n, page);
        return pageRow(n, r);
    }
    void finish() {
        if (current_) finishPage(currentPage_, *current_);
        current_.reset();
    }
    const std::vector<std::uint32_t>& pages() const { return pages_; }
    const std::vector<std::uint32_t>& freePages() const { return free_; }

  private:
    void startPage() {
        if (current_) finishPage(currentPage_, *current_);
        current_.emplace(owner_);
        currentPage_ = file_.reserve();
    }
    void finishPage(std::uint32_t n, const DataPageBuilder& page) {
        pages_.push_back(n);
        if (page.freeSpace() >= kUsefulFreeSpace) free_.push_back(n);
        file_.set(n, page.page());
    }

    FileBuilder& file_;
    std::uint32_t owner_;
    std::optional<DataPageBuilder> current_;
    std::uint32_t currentPage_ = 0;
    std::vector<std::uint32_t> pages_, free_;
};

std::string where(const TablePlan& t) { return "table '" + t.name + "'"; }

// Puts a long value where it belongs and returns the cell for the row: inline when `inlineOk`,
// on one LVAL page when it fits one, else as a chain of LVAL pages.
Bytes storeLongValue(const Bytes& data, bool inlineOk, PageFiller& lval) {
    if (inlineOk) return longValueInline(data);
    const auto length = static_cast<std::uint32_t>(data.size());
    if (data.size() <= kMaxRowSize) {
        return longValueReference(length, LongValueKind::SinglePage, lval.place(data));
    }
    constexpr std::size_t kChunk = kMaxRowSize - 4;
    std::vector<std::pair<std::size_t, std::size_t>> chunks;  // offset, size
    for (std::size_t off = 0; off < data.size(); off += kChunk)
        chunks.emplace_back(off, std::min(kChunk, data.size() - off));
    // Written from the last link back, so that each link knows where the next one is.
    std::uint32_t next = 0;
    for (std::size_t i = chunks.size(); i-- > 0;) {
        const auto [off, size] = chunks[i];
        const Bytes link =
            longValueChunk(next, std::span<const std::uint8_t>(data).subspan(off, size));
        next = size == kChunk ? lval.placeAlone(link) : lval.place(link);
    }
    return longValueReference(length, LongValueKind::Chained, next);
}

void checkName(const std::string& name, const std::string& what) {
    const auto units = toUtf16(name);
    if (units.empty() || units.size() > 64)
        throw Error(what + ": a name must have 1 to 64 characters");
    for (char16_t c : units)
        if (c < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']')
            throw Error(what + ": name '" + name + "' has a character Jet does not allow");
}

std::u16string foldCase(std::u16string s) {
    for (auto& c : s)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return s;
}

TablePlan planTable(const std::string& name, std::vector<ColumnSpec> columns, bool system) {
    TablePlan t;
    t.name = name;
    t.system = system;
    const std::string what = "table '" + name + "'";
    checkName(name, what);
    if (columns.empty()) throw Error(what + ": a table needs at least one column");
    if (columns.size() > 255) throw Error(what + ": more than 255 columns");
    std::vector<std::u16string> seen;
    std::vector<ColumnType> types;
    std::vector<std::uint16_t> lengths;
    for (const auto& c : columns) {
        const std::string cw = what + ", column '" + c.name + "'";
        checkName(c.name, cw);
        auto folded = foldCase(toUtf16(c.name));
        if (std::find(seen.begin(), seen.end(), folded) != seen.end())
            throw Error(cw + ": the name appears twice");
        seen.push_back(std::move(folded));
        std::uint16_t length = 0;
        if (c.type == ColumnType::Text || c.type == ColumnType::Binary) {
            if (c.size < 1 || c.size > 255) throw Error(cw + ": size must be 1 to 255");
            length = c.type == ColumnType::Text ? static_cast<std::uint16_t>(c.size * 2) : c.size;
        }
        switch (c.type) {
            case ColumnType::Boolean:
            case ColumnType::Byte:
            case ColumnType::Int16:
            case ColumnType::Int32:
            case ColumnType::Currency:
            case ColumnType::Single:
            case ColumnType::Double:
            case ColumnType::DateTime:
            case ColumnType::Binary:
            case ColumnType::Text:
            case ColumnType::OLE:
            case ColumnType::Memo:
            case ColumnType::Guid:
                break;
            default:
                throw Error(cw + ": this column kind cannot be created");
        }
        types.push_back(c.type);
        lengths.push_back(length);
    }
    t.layout = makeLayout(types, lengths);
    for (std::size_t i = 0; i < columns.size(); ++i)
        t.layout.columns[i].compressedText =
            t.layout.columns[i].compressedText && columns[i].compressed && !system;
    t.columns = std::move(columns);
    for (const auto& c : t.layout.columns)
        if (isLongValue(c.type)) t.longColumns.push_back({c.number, 0, 0, {}, {}});
    return t;
}

std::vector<ColumnSpec> cols(std::initializer_list<std::pair<const char*, ColumnType>> list) {
    std::vector<ColumnSpec> out;
    for (const auto& [n, t] : list) out.push_back({n, t, 255, false});
    return out;
}

// Encodes every row of the table onto its data pages.
void writeRows(TablePlan& t, FileBuilder& file) {
    PageFiller data(file, t.tdefPage);
    std::map<std::uint16_t, PageFiller> lvals;
    for (const auto& lc : t.longColumns)
        lvals.emplace(lc.number, PageFiller(file, DataPageBuilder::kLongValueOwner));
    const auto& rows = t.rows ? *t.rows : t.ownRows;
    std::size_t rowNumber = 0;
    for (const auto& values : rows) {
        ++rowNumber;
        const std::string rw = where(t) + ", row " + std::to_string(rowNumber);
        if (values.size() != t.layout.columns.size())
            throw Error(rw + ": " + std::to_string(values.size()) + " values for " +
                        std::to_string(t.layout.columns.size()) + " columns");
        std::vector<Cell> cells(values.size());
        // Long values: first as they would be stored, then placed.
        std::vector<std::pair<std::uint16_t, Bytes>> longs;
        for (const auto& c : t.layout.columns) {
            const std::string cw = rw + ", column '" + t.columns[c.number].name + "'";
            const Value& v = values[c.number];
            if (!isLongValue(c.type)) {
                cells[c.number] = encodeCell(c, v, cw);
                continue;
            }
            if (isNull(v)) continue;
            if (c.type == ColumnType::Memo) {
                const auto* s = std::get_if<std::string>(&v);
                if (!s) throw Error(cw + ": expected text");
                longs.emplace_back(c.number, encodeMemo(*s, c.compressedText));
            } else {
                const auto* b = std::get_if<Bytes>(&v);
                if (!b) throw Error(cw + ": expected bytes");
                longs.emplace_back(c.number, *b);
            }
            cells[c.number] = Bytes(12, 0);  // a reference's size, for measuring
        }
        // Keep short long values in the row while the row still fits a page, smallest first.
        std::size_t size = encodeRow(t.layout, cells).size();
        std::vector<std::size_t> order(longs.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return longs[a].second.size() < longs[b].second.size();
        });
        std::vector<bool> inlined(longs.size(), false);
        for (std::size_t i : order) {
            const std::size_t n = longs[i].second.size();
            if (n <= kMaxInlineLongValue && size + n <= kMaxRowSize) {
                inlined[i] = true;
                size += n;
            }
        }
        for (std::size_t i = 0; i < longs.size(); ++i) {
            auto& [number, bytes] = longs[i];
            cells[number] = storeLongValue(bytes, inlined[i], lvals.at(number));
        }
        const Bytes row = encodeRow(t.layout, cells);
        data.place(row);
    }
    data.finish();
    t.rowCount = static_cast<std::uint32_t>(rows.size());
    t.dataPages = data.pages();
    t.freePages = data.freePages();
    for (auto& lc : t.longColumns) {
        auto& f = lvals.at(lc.number);
        f.finish();
        lc.pages = f.pages();
        lc.freePages = f.freePages();
    }
}

Bytes encodeTableDef(const TablePlan& t) {
    Bytes d(63, 0);
    d[0] = 0x02;
    d[1] = 0x01;
    set32(d, 12, kMagicTableNumber);
    set32(d, 16, t.rowCount);
    d[24] = 0x01;
    d[40] = t.system ? 0x53 : 0x4E;
    const auto ncols = static_cast<std::uint16_t>(t.layout.columns.size());
    set16(d, 41, ncols);
    set16(d, 43, t.layout.varCount);
    set16(d, 45, ncols);
    set32(d, 47, 0);  // logical indexes
    set32(d, 51, 0);  // physical indexes
    set32(d, 55, t.usedMap);
    set32(d, 59, t.freeMap);
    // Jet keeps the column entries sorted by name; their numbers give the table order.
    std::vector<std::size_t> order(ncols);
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return foldCase(toUtf16(t.columns[a].name)) < foldCase(toUtf16(t.columns[b].name));
    });
    for (std::size_t i : order) {
        const ColumnLayout& c = t.layout.columns[i];
        d.push_back(static_cast<std::uint8_t>(c.type));
        put32(d, kMagicTableNumber);
        put16(d, c.number);
        put16(d, c.fixed ? 0 : c.varIndex);
        put16(d, t.system ? 0 : static_cast<std::uint16_t>(c.number + 1));
        put16(d, kGeneralSortOrder);
        put16(d, 0);
        std::uint8_t flags = c.fixed ? 0x03 : 0x02;
        if (t.system) flags |= c.type == ColumnType::Binary ? 0x30 : 0x10;
        d.push_back(flags);
        d.push_back(c.compressedText ? 0x01 : 0x00);
        put32(d, 0);
        put16(d, c.fixedOffset);
        put16(d, c.length);
    }
    for (std::size_t i : order) {
        const auto name = toUtf16(t.columns[i].name);
        put16(d, static_cast<std::uint16_t>(name.size() * 2));
        for (char16_t ch : name) put16(d, ch);
    }
    for (const auto& lc : t.longColumns) {
        put16(d, lc.number);
        put32(d, lc.usedMap);
        put32(d, lc.freeMap);
    }
    put16(d, 0xFFFF);
    if (d.size() > kPageSize)
        throw Error(where(t) + ": the table definition does not fit one page");
    set16(d, 2, static_cast<std::uint16_t>(kPageSize - 8 - d.size()));
    set32(d, 8, static_cast<std::uint32_t>(d.size()));
    d.resize(kPageSize, 0);
    return d;
}

// A usage map over `pages`: inline when they lie within one 512-page window, else through
// map pages appended to the file.
Bytes usageMap(std::vector<std::uint32_t> pages, FileBuilder& file) {
    std::sort(pages.begin(), pages.end());
    const std::uint32_t window = (kUsageMapRowSize - 5) * 8;
    if (pages.empty()) return usageMapInline(0, pages);
    if (pages.back() < window) return usageMapInline(0, pages);
    if (pages.back() - pages.front() < window) return usageMapInline(pages.front(), pages);
    std::vector<std::uint32_t> mapPages(pages.back() / kPagesPerMapPage + 1, 0);
    for (std::size_t i = 0; i < mapPages.size(); ++i) {
        const auto start = static_cast<std::uint32_t>(i * kPagesPerMapPage);
        const bool any = std::any_of(pages.begin(), pages.end(), [&](std::uint32_t p) {
            return p >= start && p - start < kPagesPerMapPage;
        });
        if (!any) continue;
        mapPages[i] = file.reserve();
        file.set(mapPages[i], usageMapPage(start, pages));
    }
    return usageMapIndirect(mapPages);
}

void rc4(std::span<std::uint8_t> data, std::span<const std::uint8_t> key) {
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0, b = 0;
    for (auto& byte : data) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        byte ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

Bytes headerPage(DateTime created) {
    Bytes h(kPageSize, 0);
    h[1] = 0x01;
    const char* magic = "Standard Jet DB";
    std::memcpy(h.data() + 4, magic, std::strlen(magic) + 1);
    h[0x14] = 0x01;  // Jet 4
    for (std::uint32_t i = 0; i < 6; ++i) set32(h, 0x18 + 4 * i, i == 0 ? 0x100 : i);
    set32(h, 0x1C, 0x0101);
    set16(h, 0x3C, 1252);  // code page; Jet 4 text is Unicode, so it only names a default
    set32(h, 0x3E, 0);     // database key 0: pages are not encrypted
    // The empty password, masked with the whole days of the creation date.
    const auto mask =
        static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(created.days)));
    for (int i = 0; i < 10; ++i) set32(h, 0x42 + 4 * i, mask);
    set32(h, 0x6E, kGeneralSortOrder);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &created.days, 8);
    for (int i = 0; i < 8; ++i) h[0x72 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    set32(h, 0x98, 0x654);
    std::memcpy(h.data() + 0x9C, "4.0", 4);
    static constexpr std::array<std::uint8_t, 4> kKey{0xC7, 0xDA, 0x39, 0x6B};
    rc4(std::span<std::uint8_t>(h).subspan(0x18, 128), kKey);
    return h;
}

// Page 1: the file's map of free pages. Row 0 marks the pages Jet may hand out: as Access
// writes it, every page from the end of the file to the end of the map's window, and none
// that holds anything (Access would put new data over a page marked here). Row 1 is empty.
Bytes globalMapPage(std::uint32_t pageCount) {
    DataPageBuilder p(1);
    const std::uint32_t window = (kUsageMapRowSize - 5) * 8;
    std::vector<std::uint32_t> free;
    for (std::uint32_t n = pageCount; n < window; ++n) free.push_back(n);
    p.add(usageMapInline(0, free));
    p.add(usageMapInline(0, {}));
    return p.page();
}

std::vector<Value> catalogRow(std::int64_t id, std::int64_t parent, const std::string& name,
                              std::int16_t type, DateTime when, const Bytes& owner,
                              std::int64_t flags) {
    std::vector<Value> r(17);
    r[0] = id;
    r[1] = parent;
    r[2] = name;
    r[3] = static_cast<std::int64_t>(type);
    r[4] = when;
    r[5] = when;
    r[6] = owner;
    r[7] = flags;
    return r;
}

std::vector<Value> ace(std::int64_t object, const Bytes& sid, std::int64_t acm, bool inherit) {
    return {object, sid, acm, inherit};
}

void writeFileAtomically(const std::filesystem::path& path, const std::vector<Bytes>& pages) {
    const std::filesystem::path dir =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string tmpl = (dir / ("." + path.filename().string() + ".new-XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        throw Error(path.string() + ": cannot create a temporary file: " + std::strerror(errno));
    auto fail = [&](const char* step) {
        const int e = errno;
        ::close(fd);
        ::unlink(tmpl.c_str());
        throw Error(path.string() + ": " + step + ": " + std::strerror(e));
    };
    for (const auto& page : pages) {
        std::size_t done = 0;
        while (done < page.size()) {
            const ssize_t n = ::write(fd, page.data() + done, page.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) fail("cannot write");
            done += static_cast<std::size_t>(n);
        }
    }
    if (::fchmod(fd, 0644) != 0) fail("cannot set permissions");
    if (::fsync(fd) != 0) fail("cannot flush");
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(tmpl.c_str());
        throw Error(path.string() + ": cannot close: " + std::strerror(e));
    }
    PageFile::settle(path);  // an old file's journal must never meet the new one
    if (::rename(tmpl.c_str(), path.c_str()) != 0) {
        const int e = errno;
        ::unlink(tmpl.c_str());
        throw Error(path.string() + ": cannot replace: " + std::strerror(e));
    }
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

}  // namespace

void createDatabase(const std::filesystem::path& path, const std::vector<TableSpec>& tables,
                    const CreateOptions& options) {
    const DateTime created = options.created.value_or(jetNow());
    try {
        std::vector<TablePlan> plans;
        plans.push_back(planTable("MSysObjects",
                                  cols({{"Id", ColumnType::Int32},
                                        {"ParentId", ColumnType::Int32},
                                        {"Name", ColumnType::Text},
                                        {"Type", ColumnType::Int16},
                                        {"DateCreate", ColumnType::DateTime},
                                        {"DateUpdate", ColumnType::DateTime},
                                        {"Owner", ColumnType::Binary},
                                        {"Flags", ColumnType::Int32},
                                        {"Database", ColumnType::Memo},
                                        {"Connect", ColumnType::Memo},
                                        {"ForeignName", ColumnType::Text},
                                        {"RmtInfoShort", ColumnType::Binary},
                                        {"RmtInfoLong", ColumnType::OLE},
                                        {"Lv", ColumnType::OLE},
                                        {"LvProp", ColumnType::OLE},
                                        {"LvModule", ColumnType::OLE},
                                        {"LvExtra", ColumnType::OLE}}),
                                  true));
        plans.push_back(planTable("MSysACEs",
                                  cols({{"ObjectId", ColumnType::Int32},
                                        {"SID", ColumnType::Binary},
                                        {"ACM", ColumnType::Int32},
                                        {"FInheritable", ColumnType::Boolean}}),
                                  true));
        plans.push_back(planTable("MSysQueries",
                                  cols({{"ObjectId", ColumnType::Int32},
                                        {"Attribute", ColumnType::Byte},
                                        {"Order", ColumnType::Binary},
                                        {"Name1", ColumnType::Text},
                                        {"Name2", ColumnType::Text},
                                        {"Expression", ColumnType::Memo},
                                        {"Flag", ColumnType::Int16},
                                        {"LvExtra", ColumnType::Int32}}),
                                  true));
        plans.push_back(planTable("MSysRelationships",
                                  cols({{"szRelationship", ColumnType::Text},
                                        {"grbit", ColumnType::Int32},
                                        {"ccolumn", ColumnType::Int32},
                                        {"icolumn", ColumnType::Int32},
                                        {"szObject", ColumnType::Text},
                                        {"szColumn", ColumnType::Text},
                                        {"szReferencedObject", ColumnType::Text},
                                        {"szReferencedColumn", ColumnType::Text}}),
                                  true));
        for (std::uint32_t i = 0; i < plans.size(); ++i) plans[i].tdefPage = 2 + i;

        std::vector<std::u16string> names;
        for (const auto& p : plans) names.push_back(foldCase(toUtf16(p.name)));
        for (const auto& wanted : tables) {
            TablePlan t = planTable(wanted.name, wanted.columns, false);
            auto folded = foldCase(toUtf16(wanted.name));
            if (std::find(names.begin(), names.end(), folded) != names.end())
                throw Error(where(t) + ": the name is already taken");
            names.push_back(std::move(folded));
            t.rows = &wanted.rows;
            t.tdefPage = kFirstUserTdefPage + static_cast<std::uint32_t>(plans.size() - 4);
            plans.push_back(std::move(t));
        }

        // The catalog: containers, the database object, every table.
        auto& catalog = plans[0].ownRows;
        catalog.push_back(catalogRow(kTablesId, kRootId, "Tables", kTypeContainer, created,
                                     kSidAdmin, kSystemFlag));
        catalog.push_back(catalogRow(kDatabasesId, kRootId, "Databases", kTypeContainer, created,
                                     kSidAdmin, kSystemFlag));
        catalog.push_back(catalogRow(kRelationshipsId, kRootId, "Relationships", kTypeContainer,
                                     created, kSidAdmin, kSystemFlag));
        catalog.push_back(catalogRow(kMSysDbId, kDatabasesId, "MSysDb", kTypeDatabase, created,
                                     kSidEngine, kSystemFlag));
        for (const auto& p : plans)
            catalog.push_back(catalogRow(p.tdefPage, kTablesId, p.name, kTypeTable, created,
                                         kSidAdmin, p.system ? kSystemFlag : 0));

        // Permissions: those of a new Jet database, and what each new table inherits.
        auto& aces = plans[1].ownRows;
        for (std::int64_t id = 2; id <= 4; ++id) aces.push_back(ace(id, kSidEngine, 393216, false));
        aces.push_back(ace(5, kSidEngine, 917504, false));
        aces.push_back(ace(kTablesId, kSidAdmins, 983294, true));
        aces.push_back(ace(kTablesId, kSidEngine, 393217, false));
        aces.push_back(ace(kRelationshipsId, kSidAdmins, 983294, true));
        aces.push_back(ace(kRelationshipsId, kSidEngine, 393217, false));
        aces.push_back(ace(kDatabasesId, kSidEngine, 393216, false));
        aces.push_back(ace(kMSysDbId, kSidEngine, 393230, false));
        aces.push_back(ace(kMSysDbId, kSidUsers, 14, false));
        aces.push_back(ace(4, kSidUsers, 20, false));
        aces.push_back(ace(5, kSidUsers, 20, false));
        aces.push_back(ace(2, kSidUsers, 20, false));
        aces.push_back(ace(kTablesId, kSidUsers, kAcmTableFull, true));
        aces.push_back(ace(kRelationshipsId, kSidUsers, 1048575, true));
        for (std::size_t i = 4; i < plans.size(); ++i)
            aces.push_back(ace(plans[i].tdefPage, kSidUsers, kAcmTableFull, false));

        FileBuilder file;
        for (std::uint32_t i = 0; i < kFirstUserTdefPage + plans.size() - 4; ++i) file.reserve();

        // Usage-map rows: two per table and two per long-value column, on pages of their own.
        std::size_t mapRows = 0;
        for (const auto& p : plans) mapRows += 2 + 2 * p.longColumns.size();
        std::vector<std::uint32_t> mapPages;
        for (std::size_t i = 0; i < (mapRows + kMapRowsPerPage - 1) / kMapRowsPerPage; ++i)
            mapPages.push_back(file.reserve());
        std::size_t nextMapRow = 0;
        auto mapSlot = [&] {
            const std::size_t k = nextMapRow++;
            return pageRow(mapPages[k / kMapRowsPerPage],
                           static_cast<std::uint8_t>(k % kMapRowsPerPage));
        };
        for (auto& p : plans) {
            p.usedMap = mapSlot();
            p.freeMap = mapSlot();
            for (auto& lc : p.longColumns) {
                lc.usedMap = mapSlot();
                lc.freeMap = mapSlot();
            }
        }

        for (auto& p : plans) writeRows(p, file);

        std::vector<Bytes> mapRowBytes;
        for (auto& p : plans) {
            mapRowBytes.push_back(usageMap(p.dataPages, file));
            mapRowBytes.push_back(usageMap(p.freePages, file));
            for (auto& lc : p.longColumns) {
                mapRowBytes.push_back(usageMap(lc.pages, file));
                mapRowBytes.push_back(usageMap(lc.freePages, file));
            }
        }
        for (std::size_t i = 0; i < mapPages.size(); ++i) {
            DataPageBuilder page(0);
            for (std::size_t k = i * kMapRowsPerPage;
                 k < std::min(mapRowBytes.size(), (i + 1) * kMapRowsPerPage); ++k)
                page.add(mapRowBytes[k]);
            file.set(mapPages[i], page.page());
        }

        file.set(0, headerPage(created));
        // Last, when every page of the file is reserved.
        file.set(1, globalMapPage(file.count()));
        for (const auto& p : plans) file.set(p.tdefPage, encodeTableDef(p));
        writeFileAtomically(path, file.pages());
    } catch (const Error& e) {
        const std::string msg = e.what();
        if (msg.rfind(path.string(), 0) == 0) throw;
        throw Error(path.string() + ": " + msg);
    }
}

}  // namespace jet
