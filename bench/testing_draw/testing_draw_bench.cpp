// A whole test of one large lesson driven through the test logic: start, then every question
// drawn, shown and answered (right and wrong in turn, both question types). The time of an
// answer covers its marking and the draw and option order of the next question; the last
// questions cost most, since most draws then land on rows already asked.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "test_session.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<cheshi::QuestionRow> lesson(std::size_t count) {
    std::vector<cheshi::QuestionRow> rows;
    rows.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        if (i % 3 == 2) {
            rows.push_back({"八年级", "历史", "近代史", "第" + n + "题：新中国成立于哪一年？", "",
                            "", "", "", "", "一九四九年" + n, "0", "填空题"});
        } else {
            rows.push_back({"八年级", "历史", "近代史", "第" + n + "题：下列哪一项正确？",
                            "选项甲" + n, "选项乙" + n, "选项丙" + n, "选项丁" + n, "B",
                            "选项乙" + n, "0", "选择题"});
        }
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::stoul(argv[1]) : 5000;
    cheshi::FixedStartRandom random;
    cheshi::TestSession session(random);

    auto rows = lesson(count);
    const auto t0 = Clock::now();
    session.start(std::move(rows));
    const double startMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();

    std::vector<double> answerUs;
    answerUs.reserve(count);
    std::size_t k = 0;
    while (const auto& q = session.current()) {
        const std::string answer = *session.currentRow()[cheshi::kDaanneirong];
        const bool right = k++ % 2 == 0;
        const auto t = Clock::now();
        if (q->choice) {
            const auto at = std::find(q->options.begin(), q->options.end(), answer);
            int slot = static_cast<int>(at - q->options.begin()) + 1;
            if (!right) slot = slot % 4 + 1;
            session.answerChoice(slot);
        } else {
            session.answerFillIn(right ? answer.substr(0, 6) : "错误答案");
        }
        answerUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t).count());
    }

    double sum = 0, worst = 0;
    for (double us : answerUs) {
        sum += us;
        worst = std::max(worst, us);
    }
    std::printf("test of a %zu-question lesson: %zu answers, %zu right, %zu wrong\n", count,
                answerUs.size(), session.duishu(), session.cuoshu());
    std::printf("start (first draw):  %.3f ms\n", startMs);
    std::printf("per answer (mark + next draw): mean %.2f us, worst %.2f us, total %.1f ms\n",
                answerUs.empty() ? 0.0 : sum / static_cast<double>(answerUs.size()), worst,
                sum / 1000);
    // On a shared machine the worst answer is often a preemption; the percentiles show the rest.
    std::sort(answerUs.begin(), answerUs.end());
    if (!answerUs.empty()) {
        std::printf("per answer: median %.2f us, 99th percentile %.2f us\n",
                    answerUs[answerUs.size() / 2], answerUs[answerUs.size() * 99 / 100]);
    }
    std::printf(
        "not included: the durable zhuangtai write per answer, which comes with the "
        "data layer\n");
    return session.phase() == cheshi::TestSession::Phase::Finished ? 0 : 1;
}
