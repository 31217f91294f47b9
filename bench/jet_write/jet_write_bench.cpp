// Appends 100,000 generated questions to a new bank's tiku in one transaction, then makes
// 1,000 single-row durable updates of zhuangtai (each its own transaction, flushed to disk);
// over a Jet 4 bank and a Jet 3 (code page 936) one in the same run, with their ratio.
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bankgen/bankgen.h"
#include "store/bank_tables.h"
#include "store/jet/database.h"

namespace fs = std::filesystem;

namespace {

double since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

struct Times {
    double bulk = 0, updates = 0;
};

Times run(const std::vector<bankgen::Row>& rows, const jet::CreateOptions& options,
          const char* label) {
    const fs::path file =
        fs::temp_directory_path() / ("jet_write_bench_" + std::to_string(::getpid()) + ".mdb");
    bank::createBank(file, options);
    Times times;
    auto db = jet::Database::open(file, jet::PageFile::Mode::ReadWrite);
    auto t = std::chrono::steady_clock::now();
    db->beginTransaction();
    std::vector<jet::RowId> ids;
    ids.reserve(rows.size());
    for (const auto& r : rows) ids.push_back(db->insertRow("tiku", r));
    const double inserts = since(t);
    db->commitTransaction();
    times.bulk = since(t);
    std::printf(
        "%s: append %zu rows in one transaction: %.3f s (%.1f us a row; inserts %.3f s, "
        "commit to disk %.3f s), file %.1f MB\n",
        label, rows.size(), times.bulk, times.bulk * 1e6 / static_cast<double>(rows.size()),
        inserts, times.bulk - inserts, static_cast<double>(fs::file_size(file)) / 1e6);

    const std::size_t updates = std::min<std::size_t>(1000, ids.size());
    t = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < updates; ++i) {
        auto r = rows[i * 97 % rows.size()];
        r[10] = static_cast<std::int64_t>(i % 2);
        db->updateRow("tiku", ids[i * 97 % ids.size()], r);
    }
    times.updates = since(t);
    std::printf("%s: %zu single durable updates: %.3f s (%.2f ms an update)\n", label, updates,
                times.updates, times.updates * 1e3 / static_cast<double>(updates));
    db.reset();
    fs::remove(file);
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::stoul(argv[1]) : 100000;
    const auto rows = bankgen::generate(count);
    const Times jet4 = run(rows, {}, "Jet 4");
    const Times jet3 = run(rows, {std::nullopt, jet::Format::Jet3, 936}, "Jet 3");
    std::printf("Jet 3 / Jet 4: append %.2f, updates %.2f\n", jet3.bulk / jet4.bulk,
                jet3.updates / jet4.updates);
    return 0;
}
