// The sample bank source: one tiku row per line, as a JSON array of the twelve columns in
// column order. The first start turns it into shujuku.mdb, so every row must be a question
// that the study, test and drill windows treat correctly.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QString>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

enum Column {
    kNianji,
    kKemu,
    kKecheng,
    kYuanti,
    kA,
    kB,
    kC,
    kD,
    kDaan,
    kNeirong,
    kZhuangtai,
    kTixing
};

std::vector<QJsonArray> readBank(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot open " << path.toStdString();
        return {};
    }
    const QByteArray all = file.readAll();
    EXPECT_TRUE(all.endsWith('\n'));
    EXPECT_FALSE(all.contains('\r')) << "line ends are LF; CR appears only escaped inside texts";
    std::vector<QJsonArray> rows;
    int lineNo = 0;
    for (const QByteArray& line : all.split('\n')) {
        ++lineNo;
        if (line.isEmpty()) continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError)
            << "line " << lineNo << ": " << error.errorString().toStdString();
        EXPECT_TRUE(doc.isArray()) << "line " << lineNo;
        rows.push_back(doc.array());
    }
    return rows;
}

const std::vector<QJsonArray>& bank() {
    static const std::vector<QJsonArray> rows = readBank(QString::fromUtf8(MOZHOU_SAMPLE_BANK));
    return rows;
}

std::string text(const QJsonArray& row, int column) { return row[column].toString().toStdString(); }

TEST(SampleBank, InstalledCopyEqualsTheSource) {
    QFile source(QString::fromUtf8(MOZHOU_SAMPLE_BANK));
    QFile installed(QString::fromUtf8(MOZHOU_PROGRAM_DIR) + "/sample_bank.jsonl");
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
    EXPECT_EQ(source.readAll(), installed.readAll());
}

TEST(SampleBank, EveryRowHasTwelveColumnsOfTheRightKinds) {
    ASSERT_GE(bank().size(), 50u);
    for (size_t i = 0; i < bank().size(); ++i) {
        const QJsonArray& row = bank()[i];
        ASSERT_EQ(row.size(), 12) << "row " << i + 1;
        for (int c = kNianji; c <= kNeirong; ++c)
            EXPECT_TRUE(row[c].isString()) << "row " << i + 1 << " column " << c;
        EXPECT_TRUE(row[kTixing].isString()) << "row " << i + 1;
        ASSERT_TRUE(row[kZhuangtai].isDouble()) << "row " << i + 1;
        EXPECT_EQ(row[kZhuangtai].toDouble(), 0.0) << "row " << i + 1 << ": starts unmarked";
        for (int c : {kNianji, kKemu, kKecheng, kYuanti, kNeirong})
            EXPECT_FALSE(text(row, c).empty()) << "row " << i + 1 << " column " << c;
        // Lesson names go into SQL texts between single quotes, without escaping.
        for (int c : {kNianji, kKemu, kKecheng})
            EXPECT_EQ(text(row, c).find('\''), std::string::npos) << "row " << i + 1;
    }
}

// A choice's answer copies the option its letter names; a fill-in has no options and no letter.
TEST(SampleBank, ChoicesCopyTheNamedOptionAndFillInsHaveNone) {
    int choices = 0, fills = 0;
    for (size_t i = 0; i < bank().size(); ++i) {
        const QJsonArray& row = bank()[i];
        if (row.size() != 12) continue;
        if (text(row, kTixing) != "选择题") {
            EXPECT_EQ(text(row, kTixing), "填空题") << "row " << i + 1 << ": unknown type";
            ++fills;
            for (int c = kA; c <= kDaan; ++c)
                EXPECT_EQ(text(row, c), "") << "row " << i + 1 << " column " << c;
            continue;
        }
        ++choices;
        const std::string letter = text(row, kDaan);
        ASSERT_EQ(letter.size(), 1u) << "row " << i + 1;
        ASSERT_TRUE(letter[0] >= 'A' && letter[0] <= 'D') << "row " << i + 1;
        EXPECT_EQ(text(row, kNeirong), text(row, kA + (letter[0] - 'A'))) << "row " << i + 1;
        // The test marks by option text, so the right text must occur once among the four.
        std::set<std::string> options;
        for (int c = kA; c <= kD; ++c) {
            EXPECT_FALSE(text(row, c).empty()) << "row " << i + 1;
            options.insert(text(row, c));
        }
        EXPECT_EQ(options.size(), 4u) << "row " << i + 1 << ": options must differ";
    }
    EXPECT_GE(choices, 20);
    EXPECT_GE(fills, 10);
}

TEST(SampleBank, ThreeGradesOfTwoSubjectsOfTwoLessons) {
    std::map<std::string, std::map<std::string, std::set<std::string>>> tree;
    for (const QJsonArray& row : bank())
        if (row.size() == 12)
            tree[text(row, kNianji)][text(row, kKemu)].insert(text(row, kKecheng));
    EXPECT_GE(tree.size(), 3u);
    for (const auto& [grade, subjects] : tree) {
        EXPECT_GE(subjects.size(), 2u) << grade;
        for (const auto& [subject, lessons] : subjects) EXPECT_GE(lessons.size(), 2u) << subject;
    }
}

// The import treats equal question texts as one question, so the sample has none twice.
TEST(SampleBank, QuestionTextsAreUniqueAndOneSpansLines) {
    std::set<std::string> seen;
    bool multiLine = false;
    for (size_t i = 0; i < bank().size(); ++i) {
        const QJsonArray& row = bank()[i];
        if (row.size() != 12) continue;
        const std::string q = text(row, kYuanti);
        EXPECT_TRUE(seen.insert(q).second) << "row " << i + 1 << " repeats " << q;
        for (size_t p = 0; p < q.size(); ++p)
            if (q[p] == '\n') {
                EXPECT_TRUE(p > 0 && q[p - 1] == '\r') << "row " << i + 1;
            }
        if (q.find("\r\n") != std::string::npos) multiLine = true;
    }
    EXPECT_TRUE(multiLine);
}

}  // namespace
