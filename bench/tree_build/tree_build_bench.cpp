// The study tree built by the catalogue builder over a generated bank of 100,000 questions
// held in memory, against one plain full scan of the same rows in the same run.
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/bankgen/bankgen.h"
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
}
