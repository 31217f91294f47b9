// Times `mozhou-db export` against `mdb-export` on the same file, in the same run, each as a
// process of its own writing to /dev/null, and prints both times and their ratio. Cases: the
// largest table of the largest file of the Jet corpus, and a generated bank of 100,000
// questions as a Jet 4 and as a Jet 3 (code page 936) file, with the ratio of our two times.
// Then the catalogue's Group By and a keyword search over the Jet 4 bank by `mozhou-db query`,
// against `sqlite3` over the same rows, each a fresh process as a program starting cold. Runs
// of the two programs compared take turns; processor times are printed beside the wall-clock
// ones, as on a busy machine they are the steadier figure.
// `jet_export_bench FILE [TABLE]` measures another file instead.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
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

// Runs a program with its output thrown away; its processor time (user and system, in
// seconds) in `cpu`. True when it exits with 0. Spawned rather than forked: a fork copies the
// page tables of this process, which holds the generated rows, and that time would count
// against both programs measured.
bool runQuiet(const std::vector<std::string>& argv, double* cpu = nullptr) {
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int failed = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (failed) return false;
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    if (cpu)
        *cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The best (least disturbed by the other work on the machine) of `repeat` runs of each
// command, in seconds: wall-clock time and processor time. The two take turns, so that both
// meet the same load.
struct Times {
    double wall = 1e300, cpu = 1e300;
};
std::pair<Times, Times> bestOf(int repeat, const std::vector<std::string>& a,
                               const std::vector<std::string>& b) {
    std::pair<Times, Times> best;
    for (int i = 0; i < repeat; ++i) {
        for (int which = 0; which < 2; ++which) {
            const auto& argv = which == 0 ? a : b;
            Times& t = which == 0 ? best.first : best.second;
            const auto t0 = Clock::now();
            double cpu = 0;
            if (!runQuiet(argv, &cpu))
                throw std::runtime_error(argv[0] + " failed on " + argv[argv.size() - 2]);
            t.wall = std::min(t.wall, std::chrono::duration<double>(Clock::now() - t0).count());
            t.cpu = std::min(t.cpu, cpu);
        }
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
    const auto [ours, theirs] =
        bestOf(repeat, {MOZHOU_DB, "export", file.string(), table},
               {"mdb-export", "-H", "-T", "%Y-%m-%d %H:%M:%S", "-b", "hex", file.string(), table});
    std::printf("%s, table %s, %u rows, %.1f MB (best of %d runs each)\n", file.filename().c_str(),
                table.c_str(), rows, static_cast<double>(fs::file_size(file)) / 1e6, repeat);
    std::printf("  mozhou-db export: %9.2f ms (processor %.2f ms)\n", 1000 * ours.wall,
                1000 * ours.cpu);
    std::printf("  mdb-export:       %9.2f ms (processor %.2f ms)\n", 1000 * theirs.wall,
                1000 * theirs.cpu);
    std::printf("  ratio mdb-export / mozhou-db: %.2f (processor time %.2f)\n",
                ours.wall > 0 ? theirs.wall / ours.wall : 0.0,
                ours.cpu > 0 ? theirs.cpu / ours.cpu : 0.0);
    return ours.wall;
}

// The bank's rows as an SQLite database beside it.
fs::path sqliteCopy(const fs::path& dir, const std::vector<bankgen::Row>& rows) {
    const fs::path script = dir / "tiku.sql", db = dir / "tiku.sqlite";
    {
        std::FILE* out = std::fopen(script.c_str(), "w");
        std::fputs(
            "create table tiku(nianji text, kemu text, kecheng text, yuanti text, "
            "xuanxianga text, xuanxiangb text, xuanxiangc text, xuanxiangd text, "
            "daan text, daanneirong text, zhuangtai integer, tixing text);\nbegin;\n",
            out);
        for (const auto& row : rows) {
            std::string line = "insert into tiku values(";
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (i) line += ',';
                if (auto t = std::get_if<std::string>(&row[i])) {
                    line += '\'';
                    for (char c : *t) line += c == '\'' ? std::string("''") : std::string(1, c);
                    line += '\'';
                } else if (auto n = std::get_if<std::int64_t>(&row[i])) {
                    line += std::to_string(*n);
                } else {
                    line += "null";
                }
            }
            line += ");\n";
            std::fputs(line.c_str(), out);
        }
        std::fputs("commit;\n", out);
        std::fclose(out);
    }
    if (!runQuiet({"sqlite3", db.string(), ".read " + script.string()}))
        throw std::runtime_error("sqlite3 could not load the rows");
    return db;
}

// One query by mozhou-db and by sqlite3, each the best of five cold processes.
void compareWithSqlite(const char* what, const fs::path& bank, const std::string& ours,
                       const fs::path& db, const std::string& theirs) {
    const auto [a, b] =
        bestOf(5, {MOZHOU_DB, "query", bank.string(), ours}, {"sqlite3", db.string(), theirs});
    std::printf("  %-34s mozhou-db %7.1f ms, sqlite3 %7.1f ms, ratio %.2f (processor time %.2f)\n",
                what, 1000 * a.wall, 1000 * b.wall, a.wall / b.wall, a.cpu / b.cpu);
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
        const auto rows = bankgen::generate(100000);
        const auto tables = bank::bankTables(rows);
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

        std::printf("the Jet 4 bank against SQLite 3 on the same rows (mozhou-db / sqlite3):\n");
        const fs::path db = sqliteCopy(dir, rows);
        compareWithSqlite("catalogue Group By", dir / "shujuku4.mdb",
                          "Select tiku.nianji, tiku.kemu, tiku.kecheng From tiku Group By "
                          "tiku.nianji, tiku.kemu, tiku.kecheng",
                          db, "select nianji, kemu, kecheng from tiku group by 1, 2, 3");
        compareWithSqlite("keyword search (Like '*学*')", dir / "shujuku4.mdb",
                          "Select tiku.* From tiku Where (tiku.yuanti Like '*学*')", db,
                          "select * from tiku where yuanti like '%学%'");
        fs::remove_all(dir);
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
