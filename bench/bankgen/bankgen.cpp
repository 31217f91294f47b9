#include "bench/bankgen/bankgen.h"

#include <array>
#include <random>
#include <string>
#include <string_view>

#include "store/bank_tables.h"

namespace bankgen {
namespace {

// Common characters of school texts, so that sizes and encodings match real banks.
constexpr std::string_view kHanzi =
    "的一是了我不人在他有这个上们来到时大地为子中你说生国年着就那和要她出也得里后自以会家可下而过天"
    "去能对小多然"
    "于心学么之都好看起发当没成只如事把还用第样道想作种开美总从无情己面最女但现前些所同日手又行意动"
    "方期它头经长儿"
    "回位分爱老因很给名法间斯知世什两次使身者被高已亲其进此话常与活正感见明问力理尔点文几定本公特做"
    "外孩相西果走将"
    "月十实向声车全信重三机工物气每并别真打太新比才便夫再书部水像眼等体却加电主界门利海受听表德少克"
    "代员许先口由"
    "死安写性马光白或住难望教命花结乐色更拉东神记处让母父应直字场平报友关放至张认接告入笑内英军候民"
    "岁往何度山觉路"
    "带万男边风解叫任金快原吃妈变通师立象数四失满战远格士音轻目条呢病始达深完今提求清王化空业思切怎"
    "非找片罗钱南语"
    "元喜曾离飞科言干流欢约各即指合反题必该论交终林请医晚制球决传画保读运及则房早院量苦火布品近坐产"
    "答星精视五连司";
constexpr std::array<std::string_view, 6> kGrades = {"初一", "初二", "初三",
                                                     "高一", "高二", "高三"};
constexpr std::array<std::string_view, 9> kSubjects = {"语文", "数学", "英语", "物理", "化学",
                                                       "生物", "历史", "地理", "政治"};

class Writer {
  public:
    explicit Writer(std::uint64_t seed) : rng_(seed) {}

    std::size_t between(std::size_t lo, std::size_t hi) {
        return std::uniform_int_distribution<std::size_t>(lo, hi)(rng_);
    }

    // A text of `chars` characters: hanzi with a comma or full stop now and then.
    std::string text(std::size_t chars) {
        std::string out;
        const std::size_t hanziCount = kHanzi.size() / 3;  // every character is 3 bytes in UTF-8
        for (std::size_t i = 0; i < chars; ++i) {
            if (i > 4 && i + 1 < chars && between(0, 11) == 0) {
                out += between(0, 2) == 0 ? "。" : "，";
            } else {
                out += kHanzi.substr(3 * between(0, hanziCount - 1), 3);
            }
        }
        return out;
    }

    // Question texts run over one to three lines.
    std::string question() {
        std::string out = text(between(20, 120));
        for (std::size_t lines = between(0, 2); lines > 0; --lines)
            out += "\r\n" + text(between(10, 40));
        return out;
    }

  private:
    std::mt19937_64 rng_;
};

}  // namespace

std::vector<Row> generate(std::size_t count, std::uint64_t seed) {
    Writer w(seed);
    std::vector<Row> rows;
    rows.reserve(count);
    std::size_t lessonNumber = 0;
    while (rows.size() < count) {
        const std::string grade(kGrades[w.between(0, kGrades.size() - 1)]);
        const std::string subject(kSubjects[w.between(0, kSubjects.size() - 1)]);
        const std::string lesson =
            "第" + std::to_string(++lessonNumber) + "课 " + w.text(w.between(2, 8));
        for (std::size_t n = w.between(50, 500); n > 0 && rows.size() < count; --n) {
            Row row(12);
            row[0] = grade;
            row[1] = subject;
            row[2] = lesson;
            row[3] = w.question();
            const bool choice = w.between(0, 2) != 0;
            if (choice) {
                std::array<std::string, 4> options;
                for (auto& o : options) o = w.text(w.between(5, 60));
                const std::size_t right = w.between(0, 3);
                for (std::size_t i = 0; i < 4; ++i) row[4 + i] = options[i];
                row[8] = std::string(1, static_cast<char>('A' + right));
                row[9] = options[right];
                row[11] = std::string("选择题");
            } else {
                for (std::size_t i = 4; i <= 8; ++i) row[i] = std::string();
                row[9] = w.text(w.between(2, 12));
                row[11] = std::string("填空题");
            }
            row[10] = static_cast<std::int64_t>(w.between(0, 9) == 0 ? 1 : 0);
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

void writeBank(const std::filesystem::path& path, std::size_t count,
               const jet::CreateOptions& options) {
    auto tiku = bank::tikuSpec();
    tiku.rows = generate(count);
    jet::createDatabase(path, {tiku, bank::chengjiSpec(), bank::backSpec()}, options);
}

}  // namespace bankgen
