// The sample bank source: one tiku row per line, as a JSON array of the twelve columns in
// column order. The first start turns it into shujuku.mdb, so every row must be a question
// that the study, test and drill windows treat correctly.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <map>
#include <set>
#include <string>

namespace {

enum Column { kNianji, kKemu, kKecheng, kYuanti, kA, kD = 7, kDaan, kNeirong, kZhuangtai, kTixing };

QByteArray readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// Every row: twelve columns, unmarked; a choice's answer copies the option its letter names, its
// four options differ (the test marks by option text); a fill-in has no options and no letter;
// no question text twice (the import takes equal texts for one question); no quote in a lesson
// path (they go into SQL texts unescaped). The installed copy is the source.
TEST(SampleBank, EveryRowIsAQuestionTheWindowsTreatCorrectly) {
    const QByteArray all = readAll(QString::fromUtf8(MOZHOU_SAMPLE_BANK));
    EXPECT_EQ(readAll(QString::fromUtf8(MOZHOU_PROGRAM_DIR) + "/sample_bank.jsonl"), all);
    EXPECT_TRUE(all.endsWith('\n'));
    EXPECT_FALSE(all.contains('\r')) << "line ends are LF; CR appears only escaped inside texts";
    std::set<std::string> seen;
    std::map<std::string, std::map<std::string, std::set<std::string>>> tree;
    int rows = 0, choices = 0;
    for (const QByteArray& line : all.split('\n')) {
        if (line.isEmpty()) continue;
        SCOPED_TRACE("row " + std::to_string(++rows));
        const QJsonArray row = QJsonDocument::fromJson(line).array();
        ASSERT_EQ(row.size(), 12);
        auto text = [&](int c) { return row[c].toString().toStdString(); };
        EXPECT_TRUE(row[kZhuangtai].isDouble() && row[kZhuangtai].toDouble() == 0.0);
        for (int c : {kNianji, kKemu, kKecheng, kYuanti, kNeirong}) EXPECT_NE(text(c), "") << c;
        for (int c : {kNianji, kKemu, kKecheng}) EXPECT_EQ(text(c).find('\''), std::string::npos);
        tree[text(kNianji)][text(kKemu)].insert(text(kKecheng));
        EXPECT_TRUE(seen.insert(text(kYuanti)).second) << "repeats " << text(kYuanti);
        const std::string q = text(kYuanti);  // lines in a question end with CR LF
        for (auto p = q.find('\n'); p != std::string::npos; p = q.find('\n', p + 1))
            EXPECT_TRUE(p > 0 && q[p - 1] == '\r');

        if (text(kTixing) == "填空题") {
            for (int c = kA; c <= kDaan; ++c) EXPECT_EQ(text(c), "") << c;
            continue;
        }
        ++choices;
        ASSERT_EQ(text(kTixing), "选择题");
        const std::string letter = text(kDaan);
        ASSERT_TRUE(letter.size() == 1 && letter[0] >= 'A' && letter[0] <= 'D');
        EXPECT_EQ(text(kNeirong), text(kA + (letter[0] - 'A')));
        std::set<std::string> options;
        for (int c = kA; c <= kD; ++c) options.insert(text(c));
        EXPECT_EQ(options.size(), 4u) << "options must differ";
        EXPECT_FALSE(options.contains(""));
    }
    EXPECT_GE(rows, 50);
    EXPECT_GE(choices, 20);
    EXPECT_LE(choices, rows - 10);
    // Three grades of two subjects of two lessons at least.
    EXPECT_GE(tree.size(), 3u);
    for (const auto& [grade, subjects] : tree) {
        EXPECT_GE(subjects.size(), 2u) << grade;
        for (const auto& [subject, lessons] : subjects) EXPECT_GE(lessons.size(), 2u) << subject;
    }
}

}  // namespace
