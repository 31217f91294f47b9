// A whole test of one 5,000-question lesson as the test window runs it: the lesson read through
// its record set from a bank of 20,000 questions on disk, then every answer marked by the test
// logic and its zhuangtai written back at once through the same record set (Edit, Update,
// flushed to disk) before the next question is drawn. Answers are right and wrong in turn.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bankgen/bankgen.h"
#include "lesson_records.h"
#include "sql_texts.h"
#include "store/bank_tables.h"
#include "store/jet/database.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// `total` generated questions; the first `lesson` of them moved into one lesson.
void makeBank(const fs::path& file, std::size_t total, std::size_t lesson) {
    bank::createBank(file);
    auto rows = bankgen::generate(total);
    for (std::size_t i = 0; i < lesson && i < rows.size(); ++i) {
        rows[i][0] = std::string("八年级");
        rows[i][1] = std::string("历史");
        rows[i][2] = std::string("近代史");
        rows[i][10] = std::int64_t{0};
    }
    auto db = jet::Database::open(file, jet::PageFile::Mode::ReadWrite);
    db->beginTransaction();
    for (const auto& r : rows) db->insertRow("tiku", r);
    db->commitTransaction();
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::stoul(argv[1]) : 5000;
    const std::size_t total = std::max<std::size_t>(count, argc > 2 ? std::stoul(argv[2]) : 20000);
    const fs::path file =
        fs::temp_directory_path() / ("testing_answer_bench_" + std::to_string(::getpid()) + ".mdb");
    makeBank(file, total, count);

    cheshi::FixedStartRandom random;
    cheshi::TestSession session(random);
    cheshi::LessonRecords records;
    auto t0 = Clock::now();
    const auto rows = records.open(file, bank::sql::testLesson("八年级", "历史", "近代史"));
    const double readMs = msSince(t0);
    t0 = Clock::now();
    session.start(rows, [&](std::size_t position) { return records.row(position); });
    const double startMs = msSince(t0);

    // Answers that write the mark, and wrong fill-in answers, which write nothing.
    std::vector<double> writing, notWriting;
    std::size_t k = 0, failedWrites = 0;
    while (const auto& q = session.current()) {
        const auto answer =
            std::string(cheshi::cellText(session.currentRow(), cheshi::kDaanneirong));
        const bool right = k++ % 2 == 0;
        const auto t = Clock::now();
        std::optional<cheshi::Answered> a;
        if (q->choice) {
            const auto at = std::find(q->options.begin(), q->options.end(), answer);
            int slot = static_cast<int>(at - q->options.begin()) % 4 + 1;
            if (!right) slot = slot % 4 + 1;
            a = session.answerChoice(slot);
        } else {
            a = session.answerFillIn(right ? answer.substr(0, 3) : "错误答案");
        }
        const bool writes = a && a->zhuangtai;
        if (writes && !records.write(a->answeredPosition, *a->zhuangtai)) ++failedWrites;
        (writes ? writing : notWriting).push_back(msSince(t));
    }
    records.close();

    std::printf("bank of %zu questions, lesson of %zu: %zu right, %zu wrong, %zu failed writes\n",
                total, count, session.duishu(), session.cuoshu(), failedWrites);
    std::printf("lesson read through its record set: %.1f ms; start (first draw): %.3f ms\n",
                readMs, startMs);
    auto report = [](const char* what, std::vector<double> ms) {
        if (ms.empty()) return;
        double sum = 0;
        for (double x : ms) sum += x;
        std::sort(ms.begin(), ms.end());
        std::printf(
            "%s: %zu answers, mean %.3f ms, median %.3f ms, 99th percentile %.3f ms, worst "
            "%.3f ms\n",
            what, ms.size(), sum / static_cast<double>(ms.size()), ms[ms.size() / 2],
            ms[ms.size() * 99 / 100], ms.back());
    };
    report("mark + durable zhuangtai write + next draw", writing);
    report("mark + next draw (wrong fill-in, nothing written)", notWriting);
    std::vector<double> all = writing;
    all.insert(all.end(), notWriting.begin(), notWriting.end());
    report("every answer", all);
    fs::remove(file);
    return session.phase() == cheshi::TestSession::Phase::Finished && failedWrites == 0 ? 0 : 1;
}
