// What the fuzz targets share: a scratch file per process (in memory where the machine has a
// tmpfs, since every input is written and flushed), reading a whole file back through every
// path a window uses, and the failure report that stops a run.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "jet/check.h"
#include "jet/database.h"
#include "jet/index_tree.h"
#include "jet/json.h"
#include "jet/text.h"

namespace fuzz {

namespace fs = std::filesystem;

inline fs::path scratch(const std::string& name) {
    std::error_code ec;
    fs::path dir = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                       ? fs::path("/dev/shm")
                       : fs::temp_directory_path();
    return dir / ("mozhou-fuzz-" + name + "-" + std::to_string(::getpid()) + ".mdb");
}

inline std::vector<std::uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A new file under the name each time (a replaced file, not one changed in place), so that
// nothing cached of the last input is taken for this one.
inline void writeFile(const fs::path& p, const std::uint8_t* data, std::size_t size) {
    fs::remove(p);
    fs::remove(jet::PageFile::journalPath(p));
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
inline void writeFile(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    writeFile(p, bytes.data(), bytes.size());
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

// Takes `n` bytes off the front of an input, as numbers.
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

}  // namespace fuzz
