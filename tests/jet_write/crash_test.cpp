// Writers killed at random moments (or by strace at an exact write) leave the table as it was
// before or after the change they were making, and a reader reading all the while sees only
// those two states.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <random>
#include <thread>

#include "child_process.h"
#include "write_util.h"

using namespace jet_write_test;

namespace {

class JetWriteCrash : public ::testing::TestWithParam<jet::Format> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Formats, JetWriteCrash, kBothFormats, formatName);

TEST_P(JetWriteCrash, KilledWritersLeaveBeforeOrAfter) {
    const auto file = seededBank("crash.mdb", GetParam());
    const bool strace = haveStrace();
    std::mt19937 rng(20261207);
    int journals = 0;
    std::size_t bulkRows = 0;  // rows the finished bulk runs added
    // The last round (Jet 4) is a transaction of more pages than any cache would hold, killed
    // while writing its pages.
    const int rounds = GetParam() == jet::Format::Jet4 && strace && !kSanitized ? 25 : 24;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const bool bulk = round % 2 == 0, exact = strace && round % 4 == 2;
        const int rows = round == 24 ? 50000 : 1500;
        const std::string tag = "bulk" + std::to_string(round);
        Child c = bulk
                      ? start({"bulk", file.string(), std::to_string(rows), tag},
                              round == 24 ? killAtWrite(9000)
                              : exact ? killAtWrite(std::uniform_int_distribution<int>(1, 200)(rng))
                                      : std::vector<std::string>{})
                      : start({"updates", file.string()});
        ASSERT_EQ(firstLine(c), "go");
        // One reader for the round, held open while the writer runs and dies.
        auto reader = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
        auto count = [&] { return scanAll(*reader, "tiku").size(); };
        const std::size_t before = kBaseRows + bulkRows;
        auto seen = [&](std::size_t n) { return n == before || (bulk && n == before + rows); };
        const auto until = std::chrono::steady_clock::now() +
                           std::chrono::microseconds(
                               std::uniform_int_distribution<int>(0, bulk ? 300000 : 30000)(rng));
        siginfo_t ended{};
        // Readers hold off commits: the updaters, whose kills mostly land inside one, run alone.
        if (!bulk) std::this_thread::sleep_until(until);
        while (bulk && (exact || round == 24 || std::chrono::steady_clock::now() < until) &&
               ::waitid(P_PID, static_cast<id_t>(c.pid), &ended, WEXITED | WNOHANG | WNOWAIT) ==
                   0 &&
               ended.si_pid == 0) {
            const std::size_t n = count();
            EXPECT_TRUE(seen(n)) << n << " rows while the writer runs";
        }
        const int code = finish(c, true);
        // Killed, or (a bulk run) finished; never stopped by an error of its own.
        EXPECT_TRUE(code == -1 || (bulk && code == 0)) << code;
        journals += fs::exists(jet::PageFile::journalPath(file));
        EXPECT_TRUE(seen(count())) << "a reader after the writer died";
        reader.reset();

        auto db = jet::Database::open(file, jet::PageFile::Mode::ReadWrite);  // rolls back
        EXPECT_FALSE(fs::exists(jet::PageFile::journalPath(file)));
        std::size_t tagged = 0, others = 0;
        std::vector<bool> base(kBaseRows, false);
        auto s = db->scan("tiku");
        while (s.next()) {
            const auto& v = s.values();
            const auto& nianji = std::get<std::string>(v[0]);
            if (nianji == tag) {
                EXPECT_EQ(v, bulkRow(tag, std::stoi(std::get<std::string>(v[1]))));
                ++tagged;
            } else if (nianji == "base") {
                const int r = std::stoi(std::get<std::string>(v[1]));
                const auto& text = std::get<std::string>(v[3]);
                if (text.rfind("u ", 0) == 0)
                    EXPECT_EQ(v, updatedRow(r, std::stol(text.substr(2))));
                else
                    EXPECT_EQ(v, baseRow(r));
                EXPECT_FALSE(base[r]);
                base[r] = true;
            } else {
                ++others;
            }
        }
        EXPECT_EQ(std::count(base.begin(), base.end(), true), kBaseRows);
        EXPECT_EQ(others, bulkRows);
        if (bulk) {
            EXPECT_TRUE(tagged == 0 || tagged == std::size_t(rows)) << tagged;
            bulkRows += tagged;
        }
        db.reset();
        for (const auto& p : jet::checkDatabase(file)) ADD_FAILURE() << p;
        if (round % 12 == 11) expectReadersAgree(file, "tiku");
    }
    EXPECT_GT(journals, 0);
}
