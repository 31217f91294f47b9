// Damaged files: bytes of the corpus files are changed at random (a fixed seed, so every run
// tries the same files) and each result is opened and read completely. Every file must end in
// a result or a jet::Error: no crash, no hang, no other exception, no sanitizer report.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>

#include "jet/database.h"
#include "jet/json.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const fs::path& p, const std::vector<std::uint8_t>& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Opens and reads everything; returns the number of values read.
std::size_t readEverything(const fs::path& p) {
    auto db = jet::Database::open(p, jet::PageFile::Mode::ReadOnly);
    std::size_t values = 0;
    std::string json;
    for (const auto& name : db->tableNames()) {
        auto t = db->table(name);
        auto scan = db->scan(t);
        while (scan.next()) {
            json.clear();
            for (std::size_t i = 0; i < t->columns.size(); ++i)
                jet::appendJson(json, scan.values()[i], t->columns[i].type);
            values += t->columns.size();
            db->readRow(*t, scan.rowId());
        }
    }
    return values;
}

}  // namespace

TEST(Fuzz, MutatedCorpusFilesEndInAResultOrAnError) {
    std::vector<std::vector<std::uint8_t>> originals;
    for (const auto& e : fs::directory_iterator(JET_CORPUS_DIR))
        if (e.path().extension() == ".mdb") originals.push_back(readAll(e.path()));
    ASSERT_FALSE(originals.empty());
    std::sort(originals.begin(), originals.end(),
              [](const auto& a, const auto& b) { return a.size() < b.size(); });
    // The 3 MB file adds nothing the small ones lack but time.
    while (originals.size() > 1 && originals.back().size() > 1000000) originals.pop_back();

    const fs::path path =
        fs::temp_directory_path() / ("mozhou-jet-fuzz-" + std::to_string(::getpid()) + ".mdb");
    std::mt19937 rng(20261207);
    const int iterations = JET_FUZZ_ITERATIONS;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(100);
    int results = 0, errors = 0, done = 0;
    for (; done < iterations && std::chrono::steady_clock::now() < deadline; ++done) {
        auto bytes = originals[rng() % originals.size()];
        const std::size_t pageSize = bytes.size() > 0x14 && bytes[0x14] == 0 ? 2048 : 4096;
        const std::size_t pages = bytes.size() / pageSize;
        const int kind = static_cast<int>(rng() % 10);
        if (kind == 0) {
            bytes.resize(rng() % bytes.size());  // cut short
        } else {
            const int changes = 1 + static_cast<int>(rng() % 16);
            // Page 0 stays intact most of the time, so that damage reaches the structures behind
            // it.
            for (int c = 0; c < changes; ++c) {
                std::size_t page = 1 + rng() % (pages - 1);
                if (rng() % 16 == 0) page = 0;
                std::size_t off = rng() % 2 ? rng() % 96 : rng() % pageSize;
                std::size_t at = page * pageSize + off;
                if (at >= bytes.size()) continue;
                switch (rng() % 4) {
                    case 0:
                        bytes[at] = static_cast<std::uint8_t>(rng());
                        break;
                    case 1:
                        bytes[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                        break;
                    case 2:
                        bytes[at] = rng() % 2 ? 0x00 : 0xFF;
                        break;
                    default:
                        for (std::size_t k = 0; k < 4 && at + k < bytes.size(); ++k)
                            bytes[at + k] = rng() % 2 ? 0xFF : static_cast<std::uint8_t>(rng() % 3);
                }
            }
        }
        writeAll(path, bytes);
        try {
            readEverything(path);
            ++results;
        } catch (const jet::Error&) {
            ++errors;
        } catch (const std::exception& e) {
            ADD_FAILURE() << "iteration " << done << ": not a jet::Error: " << e.what();
        }
    }
    fs::remove(path);
    std::cout << "[ fuzz ] " << done << " mutated files: " << results << " read, " << errors
              << " errors\n";
    EXPECT_GT(errors, 0);
    EXPECT_GT(results, 0);
}
