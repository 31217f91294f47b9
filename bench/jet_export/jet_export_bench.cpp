// Times an export of one table by our engine against mdb-export on the same file, in the same
// run, and prints both times and their ratio. Without arguments it takes the largest table of
// the largest file of the Jet corpus; `jet_export_bench FILE [TABLE]` measures another file.
// Until the mozhou-db tool exists, our side is the engine called directly: a full scan that
// formats every row as a JSON array, written to /dev/null.
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "jet/database.h"
#include "jet/json.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::size_t exportOurs(const fs::path& file, const std::string& table, FILE* out) {
    auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
    auto t = db->table(table);
    auto scan = db->scan(t);
    std::string line;
    std::size_t rows = 0;
    while (scan.next()) {
        line.assign(1, '[');
        for (std::size_t i = 0; i < t->columns.size(); ++i) {
            if (i) line += ',';
            jet::appendJson(line, scan.values()[i], t->columns[i].type);
        }
        line += "]\n";
        std::fwrite(line.data(), 1, line.size(), out);
        ++rows;
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path file;
    std::string table;
    if (argc > 1) {
        file = argv[1];
        if (argc > 2) table = argv[2];
    } else {
        for (const auto& e : fs::directory_iterator(JET_CORPUS_DIR))
            if (e.path().extension() == ".mdb" &&
                (file.empty() || fs::file_size(e.path()) > fs::file_size(file)))
                file = e.path();
    }
    try {
        if (table.empty()) {
            auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
            std::uint32_t most = 0;
            for (const auto& name : db->tableNames()) {
                auto t = db->table(name);
                if (table.empty() || t->rowCount > most) {
                    table = name;
                    most = t->rowCount;
                }
            }
        }
        if (table.empty()) {
            std::cerr << file << ": no user tables\n";
            return 1;
        }
        // Small tables are exported many times over, so that both times are measurable.
        FILE* devnull = std::fopen("/dev/null", "w");
        std::size_t rows = exportOurs(file, table, devnull);
        const int repeat = rows >= 10000 ? 3 : rows >= 500 ? 20 : 100;

        auto t0 = Clock::now();
        for (int i = 0; i < repeat; ++i) exportOurs(file, table, devnull);
        double ours = std::chrono::duration<double>(Clock::now() - t0).count();
        std::fclose(devnull);

        const std::string command = "mdb-export -H -T '%Y-%m-%d %H:%M:%S' -b hex " +
                                    quote(file.string()) + " " + quote(table) + " > /dev/null 2>&1";
        t0 = Clock::now();
        for (int i = 0; i < repeat; ++i) {
            int st = std::system(command.c_str());
            if (!WIFEXITED(st) || WEXITSTATUS(st) != 0) {
                std::cerr << "mdb-export failed (is mdbtools installed?)\n";
                return 1;
            }
        }
        double theirs = std::chrono::duration<double>(Clock::now() - t0).count();

        std::printf("file %s, table %s, %zu rows, %d runs each\n", file.filename().c_str(),
                    table.c_str(), rows, repeat);
        std::printf(
            "our engine (API directly, the mozhou-db tool does not exist yet): %.3f ms per "
            "export\n",
            1000 * ours / repeat);
        std::printf(
            "mdb-export (a process per export):                               %.3f ms per export\n",
            1000 * theirs / repeat);
        std::printf(
            "ratio mdb-export / ours: %.1f (mdb-export's time includes starting its process)\n",
            ours > 0 ? theirs / ours : 0.0);
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
