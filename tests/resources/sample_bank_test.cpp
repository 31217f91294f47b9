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

// Every row: twelve columns of the right kinds, unmarked; a choice's answer copies the option
// its letter names, its four options differ (the test marks by option text); a fill-in has no
// options and no letter; no question text twice (the import takes equal texts for one question).
TEST(SampleBank, EveryRowIsAQuestionTheWindowsTreatCorrectly) {
    ASSERT_GE(bank().size(), 50u);
    int choices = 0, fills = 0;
    bool multiLine = false;
    std::set<std::string> seen;
    std::map<std::string, std::map<std::string, std::set<std::string>>> tree;
    for (size_t i = 0; i < bank().size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        const QJsonArray& row = bank()[i];
        ASSERT_EQ(row.size(), 12);
        for (int c = kNianji; c <= kTixing; ++c)
            EXPECT_TRUE(c == kZhuangtai || row[c].isString()) << "column " << c;
        ASSERT_TRUE(row[kZhuangtai].isDouble());
        EXPECT_EQ(row[kZhuangtai].toDouble(), 0.0) << "starts unmarked";
        for (int c : {kNianji, kKemu, kKecheng, kYuanti, kNeirong})
            EXPECT_FALSE(text(row, c).empty()) << "column " << c;
        // Lesson names go into SQL texts between single quotes, without escaping.
        for (int c : {kNianji, kKemu, kKecheng})
            EXPECT_EQ(text(row, c).find('\''), std::string::npos);
        tree[text(row, kNianji)][text(row, kKemu)].insert(text(row, kKecheng));

        const std::string q = text(row, kYuanti);
        EXPECT_TRUE(seen.insert(q).second) << "repeats " << q;
        for (size_t p = 0; p < q.size(); ++p)
            EXPECT_TRUE(q[p] != '\n' || (p > 0 && q[p - 1] == '\r'));
        multiLine = multiLine || q.find("\r\n") != std::string::npos;

        if (text(row, kTixing) != "选择题") {
            EXPECT_EQ(text(row, kTixing), "填空题") << "unknown type";
            ++fills;
            for (int c = kA; c <= kDaan; ++c) EXPECT_EQ(text(row, c), "") << "column " << c;
            continue;
        }
        ++choices;
        const std::string letter = text(row, kDaan);
        ASSERT_EQ(letter.size(), 1u);
        ASSERT_TRUE(letter[0] >= 'A' && letter[0] <= 'D');
        EXPECT_EQ(text(row, kNeirong), text(row, kA + (letter[0] - 'A')));
        std::set<std::string> options;
        for (int c = kA; c <= kD; ++c) {
            EXPECT_FALSE(text(row, c).empty());
            options.insert(text(row, c));
        }
        EXPECT_EQ(options.size(), 4u) << "options must differ";
    }
    EXPECT_GE(choices, 20);
    EXPECT_GE(fills, 10);
    EXPECT_TRUE(multiLine);
    // Three grades of two subjects of two lessons at least.
    EXPECT_GE(tree.size(), 3u);
    for (const auto& [grade, subjects] : tree) {
        EXPECT_GE(subjects.size(), 2u) << grade;
        for (const auto& [subject, lessons] : subjects) EXPECT_GE(lessons.size(), 2u) << subject;
    }
}

}  // namespace
