#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "DataGrid.h"
#include "ShujudaoruWindow.h"
#include "bank_path.h"
#include "exchange_files.h"
#include "exchange_test_util.h"
#include "file_lists.h"
#include "message_box.h"

namespace {

using namespace exchange_test;
using mozhou::CommonDialog;
using mozhou::ShujudaoruWindow;

std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct ImportWindowTest : ::testing::Test {
    fs::path programDir = scratchDir("import_program");
    fs::path downloads = scratchDir("import_downloads");
    fs::path bank = programDir / "shujuku.mdb";
    std::vector<Row> bankRows = {
        question("初一", "语文", "第一课", "春", 0, "旧0"),
        question("初一", "语文", "第一课", "夏", 1, "旧1"),
        question("初二", "数学", "方程", "Case", 0, "旧2"),
        question("初一", "语文", "第二课", "夏", 0, "旧3"),
    };
    std::vector<Row> sourceRows = {
        question("初一", "语文", "第一课", "夏", 1, "新0"),
        question("初三", "物理", "力", "新题", 0, "新1"),
        question("初三", "物理", "力", "新题", 1, "新2"),
        question("初二", "数学", "方程", "case", 1, "新3"),
    };
    std::vector<QString> messages;
    std::optional<QString> answer;
    std::vector<std::pair<CommonDialog, CommonDialog::Kind>> dialogs;

    void SetUp() override {
        makeBank(bank, bankRows);
        makeBank(downloads / "source.mdb", sourceRows, true);
        mozhou::setBankPath(bank);
        mozhou::setMessageHandler([this](const QString& m) { messages.push_back(m); });
        CommonDialog::setHandler([this](const CommonDialog& d, CommonDialog::Kind k) {
            dialogs.emplace_back(d, k);
            return answer;
        });
    }
    void TearDown() override {
        mozhou::setBankPath({});
        mozhou::setMessageHandler({});
        CommonDialog::setHandler({});
    }

    void chooseSource(ShujudaoruWindow& w, const fs::path& path) {
        answer = QString::fromStdString(path.string());
        QTest::mouseClick(w.command2(), Qt::LeftButton);
    }
    // Clicks a file of the target folder list; false when the list does not show it.
    static bool clickTarget(ShujudaoruWindow& w, const QString& name) {
        auto* list = w.file2();
        auto found = list->findItems(name, Qt::MatchExactly);
        if (found.isEmpty()) return false;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(found[0]).center());
        return true;
    }
};

TEST_F(ImportWindowTest, ReplacesEqualTextsAndAppendsTheSourceInOrder) {
    std::ofstream(programDir / "OTHER.MDB") << "x";
    const std::string sourceBytes = bytesOf(downloads / "source.mdb");
    ShujudaoruWindow w;
    EXPECT_EQ(w.label1()->text(), QStringLiteral("准备导入..."));
    EXPECT_EQ(w.dir2()->Path(), QString::fromStdString(programDir.string()));
    EXPECT_EQ(w.text2()->text(), QString::fromStdString(programDir.string()) + "/");
    EXPECT_FALSE(w.command1()->isEnabled());

    // A target clicked before any source opens the target only.
    ASSERT_TRUE(clickTarget(w, "shujuku.mdb"));
    EXPECT_EQ(w.text2()->text(), QString::fromStdString(bank.string()));
    EXPECT_EQ(w.dbGrid2()->dataRowCount(), 4);
    EXPECT_FALSE(w.command1()->isEnabled());

    chooseSource(w, downloads / "source.mdb");
    ASSERT_FALSE(dialogs.empty());
    EXPECT_EQ(dialogs.back().second, CommonDialog::Kind::Open);
    EXPECT_EQ(w.text1()->text(), QString::fromStdString((downloads / "source.mdb").string()));
    EXPECT_EQ(w.dbGrid1()->dataRowCount(), 4);
    EXPECT_FALSE(w.command1()->isEnabled());
    // The list matches "*.mdb" without regard to case, but only ".mdb" opens.
    ASSERT_TRUE(clickTarget(w, "OTHER.MDB"));
    EXPECT_FALSE(w.command1()->isEnabled());
    ASSERT_TRUE(clickTarget(w, "shujuku.mdb"));
    ASSERT_TRUE(w.command1()->isEnabled());

    std::vector<std::pair<int, QString>> during;
    QObject::connect(w.progressBar1(), &QProgressBar::valueChanged,
                     [&](int v) { during.emplace_back(v, w.label1()->text()); });
    QTest::mouseClick(w.command1(), Qt::LeftButton);
    EXPECT_EQ(w.label1()->text(), QStringLiteral("导入完毕"));
    EXPECT_FALSE(w.command1()->isEnabled());
    EXPECT_EQ(w.progressBar1()->maximum(), 8);
    EXPECT_EQ(w.progressBar1()->value(), 8);
    ASSERT_EQ(during.size(), 8u);
    for (std::size_t i = 0; i < during.size(); ++i) {
        EXPECT_EQ(during[i].first, int(i + 1));
        EXPECT_EQ(during[i].second, QStringLiteral("正在导入"));
    }

    // Both rows with the text "夏" gave way; "Case" differs from "case" and stays.
    const std::vector<Row> expected = {bankRows[0],   bankRows[2],   sourceRows[0],
                                       sourceRows[1], sourceRows[2], sourceRows[3]};
    EXPECT_EQ(ourRows(bank), expected);
    expectOraclesSee(bank, expected);
    EXPECT_EQ(bytesOf(downloads / "source.mdb"), sourceBytes);
    // The bank as it was, kept beside it.
    EXPECT_EQ(ourRows(exchange::backupPath(bank)), bankRows);

    // Everything was closed: a second click does nothing until both are chosen again.
    w.command1()->setEnabled(true);
    QTest::mouseClick(w.command1(), Qt::LeftButton);
    EXPECT_EQ(ourRows(bank), expected);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ImportWindowTest, FilesThatCannotBeImportedAreRefused) {
    ShujudaoruWindow w;
    const std::string bankBytes = bytesOf(bank);
    auto expectMessage = [&](const QString& text) {
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), text);
        messages.clear();
    };

    // The bank on both sides: each order is refused.
    chooseSource(w, bank);
    EXPECT_TRUE(messages.empty());
    ASSERT_TRUE(clickTarget(w, "shujuku.mdb"));
    expectMessage(QStringLiteral("目标文件与源文件是同一个文件，请另选目标文件。"));
    EXPECT_FALSE(w.command1()->isEnabled());
    chooseSource(w, downloads / "source.mdb");
    ASSERT_TRUE(clickTarget(w, "shujuku.mdb"));
    EXPECT_TRUE(w.command1()->isEnabled());
    chooseSource(w, bank);
    expectMessage(QStringLiteral("源文件与目标文件是同一个文件，请另选源文件。"));
    EXPECT_FALSE(w.command1()->isEnabled());

    // Files that are not question files.
    std::ofstream(downloads / "text.mdb") << std::string(5000, 't');
    chooseSource(w, downloads / "text.mdb");
    expectMessage(QStringLiteral("所选的源文件不是可以读取的数据库文件。"));
    jet::createDatabase(downloads / "scores.mdb", {jet::bank::chengjiSpec()});
    chooseSource(w, downloads / "scores.mdb");
    expectMessage(QStringLiteral("所选的源文件中没有题库表 tiku。"));
    auto shape = jet::bank::tikuSpec();
    shape.columns.pop_back();
    jet::createDatabase(downloads / "eleven.mdb", {shape});
    chooseSource(w, downloads / "eleven.mdb");
    expectMessage(QStringLiteral("所选的源文件中的题库表 tiku 与题库的结构不同，不能导入。"));
    EXPECT_EQ(w.dbGrid1()->dataRowCount(), 0);
    jet::createDatabase(programDir / "scores.mdb", {jet::bank::chengjiSpec()});
    w.dir2()->setPath(QString::fromStdString(programDir.string()));
    w.file2()->Refresh();
    chooseSource(w, downloads / "source.mdb");
    ASSERT_TRUE(clickTarget(w, "scores.mdb"));
    expectMessage(QStringLiteral("所选的目标文件中没有题库表 tiku。"));
    EXPECT_FALSE(w.command1()->isEnabled());

    // An empty source is reported, and "导入" stays off.
    makeBank(downloads / "empty.mdb", {}, true);
    chooseSource(w, downloads / "empty.mdb");
    EXPECT_EQ(w.label1()->text(), QStringLiteral("源文件没有题目"));
    ASSERT_TRUE(clickTarget(w, "shujuku.mdb"));
    EXPECT_FALSE(w.command1()->isEnabled());
    QTest::mouseClick(w.command1(), Qt::LeftButton);
    EXPECT_EQ(bytesOf(bank), bankBytes);
    EXPECT_FALSE(fs::exists(exchange::backupPath(bank)));
}

}  // namespace
