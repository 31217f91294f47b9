// What the fuzz targets share: a scratch file per process (in memory where the machine has a
// tmpfs, since every input is written and flushed), reading a whole file back through every
// path a window uses, values drawn from the input and compared as read back, and the failure
// report that stops a run.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../jet/scratch.h"
#include "jet/check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/index_tree.h"
#include "jet/json.h"
#include "jet/text.h"

namespace fuzz {

namespace fs = std::filesystem;

// A file in this process's own folder (in memory where the machine has a tmpfs), removed when
// the process ends.
inline fs::path scratch(const std::string& name) {
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                              ? fs::path("/dev/shm")
                              : fs::temp_directory_path();
    return jet_test::processScratch("mozhou-fuzz", base) / (name + ".mdb");
}

inline std::vector<std::uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A new file under the name each time (a replaced file, not one changed in place), so that
// nothing cached of the last input is taken for this one.
inline void writeFile(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    fs::remove(p);
    fs::remove(jet::PageFile::journalPath(p));
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// The bytes of a new file holding `tables`, to start each input from.
inline std::vector<std::uint8_t> created(const std::vector<jet::TableSpec>& tables,
                                         jet::Format format) {
    const auto path = scratch("template");
    jet::createDatabase(path, tables,
                        {.created = jet::DateTime{45000},
                         .format = format,
                         .codePage = std::uint16_t(format == jet::Format::Jet3 ? 936 : 0)});
    auto bytes = readFile(path);
    fs::remove(path);
    return bytes;
}

// Stops the run: libFuzzer keeps the input that led here.
[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "FUZZ FAILURE: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void expectSound(const fs::path& file, const std::string& after) {
    const auto problems = jet::checkDatabase(file);
    if (problems.empty()) return;
    std::string all;
    for (const auto& p : problems) all += "\n  " + p;
    fail("the check finds faults after " + after + ":" + all);
}

// Every table of the catalog, system ones too: every row by a scan and again by its id, every
// value as the export writes it, every index from its leaves and by a lookup of its first key.
// A table that cannot be read is passed over; the others are still read.
inline void readEverything(jet::Database& db) {
    std::string json;
    for (const auto& entry : db.catalog()) {
        if (!entry.isTable()) continue;
        try {
            auto t = db.table(entry.name);
            for (auto scan = db.scan(t); scan.next();) {
                json.clear();
                for (std::size_t i = 0; i < t->columns.size() && i < scan.values().size(); ++i)
                    jet::appendJson(json, scan.values()[i], t->columns[i].type);
                db.readRow(*t, scan.rowId());
            }
            for (const auto& ri : t->realIndexes) {
                jet::IndexTree tree(db.pages(), t->tdefPage, ri.firstPage, ri.usedPages,
                                    entry.name);
                const auto entries = tree.entries();
                if (!entries.empty()) tree.find(entries.front().key);
            }
        } catch (const jet::Error&) {
        }
    }
}

// Values as read back: numbers bit for bit (so that -0 is not 0), any NaN like any other.
inline bool sameValue(const jet::Value& a, const jet::Value& b) {
    if (a.index() != b.index()) return false;
    auto sameDouble = [](double x, double y) {
        return std::memcmp(&x, &y, sizeof x) == 0 || (std::isnan(x) && std::isnan(y));
    };
    if (const auto* d = std::get_if<double>(&a)) return sameDouble(*d, std::get<double>(b));
    if (const auto* d = std::get_if<jet::DateTime>(&a))
        return sameDouble(d->days, std::get<jet::DateTime>(b).days);
    return a == b;
}
inline bool sameRow(const std::vector<jet::Value>& a, const std::vector<jet::Value>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), sameValue);
}

inline std::string show(const std::vector<jet::Value>& row) {
    std::string s = "(";
    for (std::size_t i = 0; i < row.size(); ++i) {
        std::string v;
        jet::appendJson(v, row[i], jet::ColumnType::Memo);
        s += (i ? ", " : "") + (v.size() > 80 ? v.substr(0, 80) + "…" : v);
    }
    return s + ")";
}

// Takes bytes off the front of an input, as numbers (zeros once it is used up).
struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    bool empty() const { return size == 0; }
    std::uint8_t byte() {
        if (size == 0) return 0;
        --size;
        return *data++;
    }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | byte() << 8); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(u16() | std::uint32_t(u16()) << 16); }
    std::uint64_t u64() { return u32() | std::uint64_t(u32()) << 32; }
    std::string text(std::size_t n) {
        n = std::min(n, size);
        std::string s(reinterpret_cast<const char*>(data), n);
        data += n;
        size -= n;
        return s;
    }
};

// Text drawn from the input: mostly a few letters (so that keys repeat, share prefixes and
// differ only in case or accent), now and then ASCII, Chinese, any other character, or one
// beyond the BMP that no Jet 3 file can hold.
inline std::string textFrom(Reader& in, std::size_t n) {
    static const char* const kLetters[] = {"a", "A", "b", "B", "0", "1",
                                           " ", "-", "'", "é", "z", "中"};
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = in.byte();
        if (b < 0xA0) {
            s += kLetters[b % std::size(kLetters)];
            continue;
        }
        std::uint32_t c = b < 0xC0   ? 0x20 + in.byte() % 0x5F
                          : b < 0xE0 ? 0x4E00 + in.u16() % 0x5000
                          : b < 0xF0 ? 1 + in.u16()
                          : b & 1    ? 0x1F600 + in.byte() % 0x40
                                     : 0xFF01 + in.byte() % 0x5E;
        if (c >= 0xD800 && c < 0xE000) c = 'x';
        jet::appendCodePoint(c, s);
    }
    return s;
}

// Mostly short; now and then past a row onto long-value pages, or over several of them. Within
// `limit` (0: none) but for now and then one over it.
inline std::size_t lengthFrom(Reader& in, std::size_t limit) {
    const std::uint8_t b = in.byte();
    const std::size_t n = b < 0xE0   ? b % 40
                          : b < 0xFC ? 200 + in.byte() * 8u
                                     : 4000 + in.u16() % 8000;
    return limit && n > limit ? n % (limit + 2) : n;
}

// The most characters (bytes for binary) a column holds; 0 for no limit short of a long value.
inline std::size_t limitOf(const jet::TableDef& t, const jet::Column& c) {
    if (c.type == jet::ColumnType::Binary) return c.length;
    if (c.type != jet::ColumnType::Text) return 0;
    return t.format == jet::Format::Jet3 ? c.length : c.length / 2u;
}

// A value of `type` drawn from the input: now and then null, mostly small, now and then any
// bits (a number that does not fit, NaN, infinity, a date far out).
inline jet::Value valueFrom(Reader& in, jet::ColumnType type, std::size_t limit = 0) {
    using T = jet::ColumnType;
    const std::uint8_t tag = in.byte();
    if (tag % 8 == 0) return {};
    const bool wide = tag % 8 == 1;
    const auto small = [&] { return static_cast<std::int8_t>(in.byte()); };
    const auto anyDouble = [&] {
        const std::uint64_t bits = in.u64();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    };
    switch (type) {
        case T::Boolean:
            return (tag & 0x10) != 0;
        case T::Byte:
        case T::Int16:
        case T::Int32:
            if (wide) return static_cast<std::int64_t>(in.u64()) >> in.byte() % 64;
            return std::int64_t{type == T::Byte ? in.byte() : small()};
        case T::Currency:
            return jet::Currency{wide ? static_cast<std::int64_t>(in.u64()) : small() * 10000LL};
        case T::Single:
        case T::Double:
            return wide ? anyDouble() : small() / 4.0;
        case T::DateTime:
            return jet::DateTime{wide ? anyDouble() : small() * 1000.0 + in.byte() / 256.0};
        case T::Binary:
        case T::OLE: {
            const std::string s = in.text(lengthFrom(in, limit));
            return jet::Bytes(s.begin(), s.end());
        }
        case T::Guid: {
            jet::Guid g;
            for (auto& b : g.bytes) b = in.byte();
            return g;
        }
        case T::Text:
        case T::Memo:
            return textFrom(in, lengthFrom(in, limit));
        default:
            return {};
    }
}

// A value as column `c` gives it back: a boolean is never null, a single has 32 bits, a
// fixed-size text is padded with blanks.
inline jet::Value stored(jet::Value v, const jet::TableDef& t, const jet::Column& c) {
    if (c.type == jet::ColumnType::Boolean && jet::isNull(v)) return false;
    if (auto* d = std::get_if<double>(&v); d && c.type == jet::ColumnType::Single)
        *d = static_cast<float>(*d);
    if (auto* text = std::get_if<std::string>(&v); text && c.fixed()) {
        std::size_t chars = 0;
        for (char ch : *text) chars += (ch & 0xC0) != 0x80;
        if (chars < limitOf(t, c)) text->append(limitOf(t, c) - chars, ' ');
    }
    return v;
}

}  // namespace fuzz
