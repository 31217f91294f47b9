// Import of 10,000 questions into a bank of 100,000 through the window's own import logic, and
// export of the bank's largest grade, each against one plain full scan of the same tables in
// the same run. Every tenth imported question carries the text of a bank question, so the
// removal pass has rows to remove all over the bank.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>

#include "bank_tables.h"
#include "bench/bankgen/bankgen.h"
#include "exchange_files.h"
#include "sql_texts.h"
#include "transfer.h"

namespace {

namespace fs = std::filesystem;

using bankgen::seconds;

double fullScan(const fs::path& path) {
    dao::Workspace ws;
    auto db = ws.OpenDatabase(path);
    std::size_t rows = 0;
    return seconds([&] {
        auto s = db.engine().scan(bank::tiku::kTable);
        while (s.next()) ++rows;
    });
}

void printOutcome(const char* what, const exchange::Outcome& o) {
    if (o.status != exchange::Outcome::Status::Done)
        std::printf("%s did not finish: %s\n", what, o.error.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t bankCount = argc > 1 ? std::stoul(argv[1]) : 100000;
    const std::size_t importCount = argc > 2 ? std::stoul(argv[2]) : 10000;
    const fs::path dir =
        fs::temp_directory_path() / ("exchange_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path bank = dir / "shujuku.mdb", source = dir / "source.mdb",
                   tmpl = dir / "daochu.mdb", out = dir / "out.mdb";

    auto bankRows = bankgen::generate(bankCount);
    auto sourceRows = bankgen::generate(importCount, 777);
    for (std::size_t i = 0; i < sourceRows.size(); i += 10)
        sourceRows[i][bank::tiku::yuanti] =
            bankRows[(i * 7919) % bankRows.size()][bank::tiku::yuanti];
    std::map<std::string, long> perGrade;
    for (const auto& r : bankRows) ++perGrade[std::get<std::string>(r[0])];
    std::string largest;
    for (const auto& [g, n] : perGrade)
        if (largest.empty() || n > perGrade[largest]) largest = g;

    auto tiku = bank::tikuSpec();
    tiku.rows = std::move(bankRows);
    jet::createDatabase(bank, {tiku, bank::chengjiSpec(), bank::backSpec()});
    tiku.rows = std::move(sourceRows);
    jet::createDatabase(source, {tiku});
    tiku.rows.clear();
    bank::createTemplate(tmpl);

    // Export first, so that it reads the bank as generated.
    const double bankScan = fullScan(bank);
    exchange::Outcome exported;
    const double exportTime = seconds([&] {
        exchange::copyReplacing(tmpl, out);
        exchange::QuestionFile from, to;
        exchange::openQuestionFile(bank, bank::sql::exportGrade(largest), false, from);
        exchange::openQuestionFile(out, bank::sql::allQuestions(), true, to);
        exported = exchange::exportQuestions(to.workspace, *from.records, *to.records);
    });
    printOutcome("export", exported);

    const double scanBoth = fullScan(bank) + fullScan(source);
    exchange::Outcome imported;
    const double importTime = seconds([&] {
        exchange::QuestionFile from, to;
        exchange::openQuestionFile(source, bank::sql::allQuestions(), false, from);
        exchange::openQuestionFile(bank, bank::sql::allQuestions(), true, to);
        imported = exchange::importQuestions(to.workspace, *from.records, *to.records);
    });
    printOutcome("import", imported);

    std::printf("bank of %zu questions, import of %zu\n", bankCount, importCount);
    std::printf("full scan of the bank:              %8.1f ms\n", bankScan * 1000);
    std::printf("full scan of bank and source:       %8.1f ms\n", scanBoth * 1000);
    std::printf(
        "import (%ld removed, %ld added):  %8.1f ms  (%.2f x the scans; target 3 s, 10 x)\n",
        imported.removed, imported.added, importTime * 1000, importTime / scanBoth);
    std::printf("export of grade %s (%ld rows):   %8.1f ms  (%.2f x the bank scan)\n",
                largest.c_str(), exported.added, exportTime * 1000, exportTime / bankScan);
    fs::remove_all(dir);
}
