// Times `mozhou-db export` against `mdb-export` on the same file, in the same run, each as a
// process of its own writing to /dev/null, and prints both times and their ratio. Cases: the
// largest table of the largest file of the Jet corpus, and a generated bank of 100,000
// questions as a Jet 4 and as a Jet 3 (code page 936) file, with the ratio of our two times.
// `jet_export_bench FILE [TABLE]` measures another file instead.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bench/bankgen/bankgen.h"
#include "first_run.h"
#include "jet/database.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Runs a program with its output thrown away; true when it exits with 0.
bool runQuiet(const std::vector<std::string>& argv) {
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Seconds per run, the best of `repeat` runs (the least disturbed by the other work on the
// machine).
double bestOf(int repeat, const std::vector<std::string>& argv) {
    double best = 1e300;
    for (int i = 0; i < repeat; ++i) {
        const auto t0 = Clock::now();
        if (!runQuiet(argv))
            throw std::runtime_error(argv[0] + " failed on " + argv[argv.size() - 2]);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

std::string largestTable(const fs::path& file, std::uint32_t& rows) {
    auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
    std::string table;
    rows = 0;
    for (const auto& name : db->tableNames()) {
        auto t = db->table(name);
        if (table.empty() || t->rowCount > rows) {
            table = name;
            rows = t->rowCount;
        }
    }
    return table;
}

// Our time, in seconds.
double measure(const fs::path& file, std::string table) {
    std::uint32_t rows = 0;
    if (table.empty())
        table = largestTable(file, rows);
    else
        rows = jet::Database::open(file, jet::PageFile::Mode::ReadOnly)->table(table)->rowCount;
    const int repeat = rows >= 50000 ? 5 : rows >= 1000 ? 20 : 50;
    const double ours = bestOf(repeat, {MOZHOU_DB, "export", file.string(), table});
    const double theirs = bestOf(
        repeat, {"mdb-export", "-H", "-T", "%Y-%m-%d %H:%M:%S", "-b", "hex", file.string(), table});
    std::printf("%s, table %s, %u rows, %.1f MB (best of %d runs each)\n", file.filename().c_str(),
                table.c_str(), rows, static_cast<double>(fs::file_size(file)) / 1e6, repeat);
    std::printf("  mozhou-db export: %9.2f ms\n", 1000 * ours);
    std::printf("  mdb-export:       %9.2f ms\n", 1000 * theirs);
    std::printf("  ratio mdb-export / mozhou-db: %.2f\n", ours > 0 ? theirs / ours : 0.0);
    return ours;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc > 1) {
            measure(argv[1], argc > 2 ? argv[2] : "");
            return 0;
        }
        fs::path largest;
        for (const auto& e : fs::directory_iterator(JET_CORPUS_DIR))
            if (e.path().extension() == ".mdb" &&
                (largest.empty() || fs::file_size(e.path()) > fs::file_size(largest)))
                largest = e.path();
        measure(largest, "");

        const fs::path dir =
            fs::temp_directory_path() / ("jet_export_bench_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        const auto tables = bank::bankTables(bankgen::generate(100000));
        double ours[2] = {0, 0};
        for (const auto format : {jet::Format::Jet4, jet::Format::Jet3}) {
            const bool jet3 = format == jet::Format::Jet3;
            const fs::path bankFile = dir / (jet3 ? "shujuku3.mdb" : "shujuku4.mdb");
            const auto t0 = Clock::now();
            bank::createNew(bankFile, tables, {std::nullopt, format, 936});
            std::printf("(generated %s bank of 100,000 questions written in %.0f ms)\n",
                        jet3 ? "Jet 3" : "Jet 4",
                        1000 * std::chrono::duration<double>(Clock::now() - t0).count());
            ours[jet3] = measure(bankFile, "tiku");
        }
        std::printf("mozhou-db export, Jet 3 / Jet 4: %.2f\n", ours[1] / ours[0]);
        fs::remove_all(dir);
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
