// The study tree built by the catalogue builder over a generated bank of 100,000 questions
// held in memory, against one plain full scan of the same rows in the same run; then the same
// tree over the bank as a Jet 4 and as a Jet 3 (code page 936) file, as the program reads it.
#include <chrono>
#include <cstdio>
#include <string>

#include <unistd.h>
#include <filesystem>

#include "bench/bankgen/bankgen.h"
#include "sql/jet_source.h"
#include "tests/store/memory_tiku.h"
#include "tree.h"

using bankgen::seconds;

int main(int argc, char** argv) {
    std::size_t count = argc > 1 ? std::stoul(argv[1]) : 100000;
    store_test::MemoryTiku bank;
    bank.rows = bankgen::generate(count);

    std::size_t seen = 0;
    double scan = seconds([&] {
        bank.scan("tiku", std::vector<bool>(12, true),
                  [&](std::uint64_t, const std::vector<jet::Value>&) { ++seen; });
    });
    std::size_t queries = 0, nodes = 0;
    double tree = seconds([&] {
        nodes = bank::buildTree(bank::TreeWindow::Study, [&](const std::string& text) {
                    ++queries;
                    return sql::execute(bank, text);
                }).size();
    });
    std::printf("questions %zu, full scan %.4f s (%zu rows)\n", count, scan, seen);
    std::printf("study tree %.4f s (%zu nodes, %zu queries), ratio %.1f\n", tree, nodes, queries,
                scan > 0 ? tree / scan : 0.0);

    double onFile[2] = {0, 0};
    for (const auto format : {jet::Format::Jet4, jet::Format::Jet3}) {
        const bool jet3 = format == jet::Format::Jet3;
        const auto file = std::filesystem::temp_directory_path() /
                          ("tree_build_bench_" + std::to_string(::getpid()) + ".mdb");
        bankgen::writeBank(file, count, {std::nullopt, format, 936});
        std::size_t fileNodes = 0;
        onFile[jet3] = seconds([&] {
            sql::JetSource source(jet::Database::open(file, jet::PageFile::Mode::ReadOnly));
            fileNodes = bank::buildTree(bank::TreeWindow::Study, [&](const std::string& text) {
                            return sql::execute(source, text);
                        }).size();
        });
        std::printf("study tree over a %s file %.4f s (%zu nodes)\n", jet3 ? "Jet 3" : "Jet 4",
                    onFile[jet3], fileNodes);
        std::filesystem::remove(file);
    }
    std::printf("tree over the file, Jet 3 / Jet 4: %.2f\n", onFile[1] / onFile[0]);
}
