// Writers killed at random moments leave the table as it was before or after the change they
// were making.
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
    std::mt19937 rng(20261207);
    int journals = 0, bulkDone = 0, bulkUndone = 0;
    std::size_t bulkRows = 0;  // rows the finished bulk runs added
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const bool bulk = round % 2 == 0;
        const std::string tag = "bulk" + std::to_string(round);
        Child c =
            bulk ? start({"bulk", file.string(), "1500", tag}) : start({"updates", file.string()});
        ASSERT_EQ(firstLine(c), "go");
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::uniform_int_distribution<int>(0, bulk ? 300000 : 30000)(rng)));
        const int code = finish(c, true);
        // Killed, or (a bulk run) finished; never stopped by an error of its own.
        EXPECT_TRUE(code == -1 || (bulk && code == 0)) << code;
        journals += fs::exists(jet::PageFile::journalPath(file));

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
            EXPECT_TRUE(tagged == 0 || tagged == 1500) << tagged;
            (tagged ? bulkDone : bulkUndone)++;
            bulkRows += tagged;
        }
        db.reset();
        for (const auto& p : jet::checkDatabase(file)) ADD_FAILURE() << p;
        if (round % 12 == 11) expectReadersAgree(file, "tiku");
    }
    std::cout << "[ crash ] " << (GetParam() == jet::Format::Jet3 ? "Jet 3" : "Jet 4")
              << ", 24 kills: " << journals << " journals rolled back, bulk " << bulkDone
              << " finished / " << bulkUndone << " undone\n";
    EXPECT_GT(journals, 0);
}
