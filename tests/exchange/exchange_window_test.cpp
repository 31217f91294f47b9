// The export and import windows on their real widgets, headless, over files of the tests' own.
#include <QProgressBar>

#include "ShujudaochuWindow.h"
#include "ShujudaoruWindow.h"
#include "dao/dao.h"
#include "exchange_files.h"
#include "file_lists.h"
#include "sql_texts.h"
#include "window_test.h"

namespace {

using namespace exchange_test;
using mozhou::CommonDialog;
using mozhou::ShujudaochuWindow;
using mozhou::ShujudaoruWindow;

// Every file dialog answered by the test.
struct WindowTest : mozhou_test::BankTest {
    std::optional<QString> answer;  // what the next file dialog returns
    CommonDialog::Kind asked{};

    WindowTest() {
        CommonDialog::setHandler([this](const CommonDialog&, CommonDialog::Kind k) {
            asked = k;
            return answer;
        });
    }
    ~WindowTest() override { CommonDialog::setHandler({}); }
    // Answers the file dialog that `button` opens with `path`.
    void choose(QPushButton* button, const fs::path& path) {
        answer = QString::fromStdString(path.string());
        QTest::mouseClick(button, Qt::LeftButton);
    }
};

struct ExportWindowTest : WindowTest {
    // Grades, subjects and lessons interleaved, so that a selection in bank order is not a run
    // of neighbouring rows.
    std::vector<Row> rows = {
        question("初一", "语文", "第一课", "春", 0, "1"),
        question("初二", "数学", "方程", "x+1=2", 1, "2"),
        question("初一", "数学", "加法", "1+1", 1, "3"),
        question("初一", "语文", "第二课", "夏", 0, "4"),
        question("初一", "语文", "第一课", "秋\n冬", 1, "5"),
        question("初二", "数学", "方程", "2x=4", 0, "6"),
    };

    void SetUp() override {
        useBank(rows);
        bank::createTemplate(ShujudaochuWindow::templatePath(), exchange_test::bankOptions());
    }
    void chooseTarget(ShujudaochuWindow& w, const fs::path& path) { choose(w.command2(), path); }
};

TEST_F(ExportWindowTest, GradeSubjectAndLessonExportedWholeAndInOrder) {
    ShujudaochuWindow w;
    auto* tree = w.treeView1();
    EXPECT_FALSE(w.command2()->isEnabled());
    QTreeWidgetItem* grade = tree->topLevelItem(0);
    ASSERT_EQ(grade->text(0), QStringLiteral("初一"));
    QTreeWidgetItem* subject = mozhou_test::treeItem(tree, QStringLiteral("语文"));
    QTreeWidgetItem* lesson = mozhou_test::treeItem(tree, QStringLiteral("第一课"));
    ASSERT_TRUE(subject && lesson && lesson->parent() == subject && subject->parent() == grade);

    struct Case {
        QTreeWidgetItem* node;
        QStringList boxes;
        std::vector<Row> expected;
        const char* file;
    };
    const std::vector<Case> cases = {
        {grade, {"", "", "初一"}, {rows[0], rows[2], rows[3], rows[4]}, "grade.mdb"},
        {subject, {"", "初一", "语文"}, {rows[0], rows[3], rows[4]}, "subject.mdb"},
        {lesson, {"初一", "语文", "第一课"}, {rows[0], rows[4]}, "lesson.mdb"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        mozhou_test::clickTreeItem(tree, c.node);
        EXPECT_EQ((QStringList{w.text2()->text(), w.text3()->text(), w.text4()->text()}), c.boxes);
        EXPECT_EQ(w.dbGrid1()->dataRowCount(), int(c.expected.size()));

        // An existing file is replaced by the template before the export writes into it.
        makeBank(dir / c.file, rows);
        chooseTarget(w, dir / c.file);
        EXPECT_EQ(asked, CommonDialog::Kind::Save);
        ASSERT_TRUE(w.command1()->isEnabled());
        EXPECT_TRUE(ourRows(dir / c.file).empty());

        QTest::mouseClick(w.command1(), Qt::LeftButton);
        EXPECT_EQ(w.label1()->text(), QStringLiteral("导出完毕"));
        EXPECT_EQ(w.progressBar1()->value(), int(c.expected.size()));
        EXPECT_EQ(ourRows(dir / c.file), c.expected);
        expectOraclesSee(dir / c.file, c.expected);

        // The export closed both sides: a new target alone does not enable another run.
        chooseTarget(w, dir / "again.mdb");
        EXPECT_FALSE(w.command1()->isEnabled());
    }
    EXPECT_EQ(ourRows(bank), rows);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ExportWindowTest, NamesAndSelectionsThatCannotBeExported) {
    ShujudaochuWindow w;
    auto* tree = w.treeView1();
    const std::string bankBytes = fileBytes(bank);
    mozhou_test::clickTreeItem(tree, tree->topLevelItem(1));  // 初二

    // Not ending in exactly ".mdb": the template is copied, nothing is opened.
    chooseTarget(w, dir / "upper.MDB");
    EXPECT_EQ(fileBytes(dir / "upper.MDB"), fileBytes(ShujudaochuWindow::templatePath()));
    EXPECT_FALSE(w.command1()->isEnabled());
    // The bank itself and the template are refused with a message and left as they were.
    chooseTarget(w, dir / "good.mdb");
    chooseTarget(w, bank);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("不能导出到题库文件本身，请另选目标文件。"));
    EXPECT_EQ(fileBytes(bank), bankBytes);
    const std::string templateBytes = fileBytes(ShujudaochuWindow::templatePath());
    chooseTarget(w, ShujudaochuWindow::templatePath());
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(fileBytes(ShujudaochuWindow::templatePath()), templateBytes);
    // The earlier target stays the one written to.
    EXPECT_TRUE(w.command1()->isEnabled());
    EXPECT_EQ(w.text1()->text(), QString::fromStdString((dir / "good.mdb").string()));

    // A lesson whose questions were deleted after the tree was built is an empty selection.
    {
        auto db = dao::Database::open(bank);
        auto rs = db.OpenRecordset(bank::sql::exportLesson("初一", "数学", "加法"));
        rs.Delete();
    }
    mozhou_test::clickTreeItem(tree, mozhou_test::treeItem(tree, QStringLiteral("加法")));
    EXPECT_EQ(w.label1()->text(), QStringLiteral("没有可导出的题"));
    EXPECT_FALSE(w.command1()->isEnabled());
    chooseTarget(w, dir / "empty.mdb");
    QTest::mouseClick(w.command1(), Qt::LeftButton);
    EXPECT_TRUE(ourRows(dir / "empty.mdb").empty());
    // A usable selection again clears the report.
    mozhou_test::clickTreeItem(tree, tree->topLevelItem(0));
    EXPECT_EQ(w.label1()->text(), QStringLiteral("准务导出..."));
    EXPECT_TRUE(w.command1()->isEnabled());

    // A missing template is reported; no target is made.
    fs::remove(ShujudaochuWindow::templatePath());
    chooseTarget(w, dir / "no_template.mdb");
    EXPECT_FALSE(fs::exists(dir / "no_template.mdb"));
    EXPECT_EQ(messages.back(), QStringLiteral("找不到导出模板 daochu.mdb，无法建立目标文件。"));
}

struct ImportWindowTest : WindowTest {
    fs::path downloads = dir / "downloads";
    std::vector<Row> bankRows = {
        question("初一", "语文", "第一课", "春", 0, "旧0"),
        question("初一", "语文", "第一课", "夏", 1, "旧1"),
        question("初二", "数学", "方程", "Case", 0, "旧2"),
        question("初一", "语文", "第二课", "夏", 0, "旧3"),
        question("初一", "语文", "第二课", "夏 ", 0, "旧4"),
        Row{"初二", "数学", "方程", {}, "", "", "", "", "", "", std::int64_t(0), "填空题"},
    };
    std::vector<Row> sourceRows = {
        question("初一", "语文", "第一课", "夏", 1, "新0"),
        question("初三", "物理", "力", "新题", 0, "新1"),
        question("初三", "物理", "力", "新题", 1, "新2"),
        question("初二", "数学", "方程", "case", 1, "新3"),
        Row{"初三", "物理", "力", {}, "", "", "", "", "", "", std::int64_t(1), "填空题"},
    };

    void SetUp() override {
        useBank(bankRows);
        fs::create_directory(downloads);
        makeBank(downloads / "source.mdb", sourceRows, true);
    }
    void chooseSource(ShujudaoruWindow& w, const fs::path& path) { choose(w.command2(), path); }
    // Clicks a file of the target list showing `folder` (the bank's unless told); false when the
    // list does not show it.
    bool clickTarget(ShujudaoruWindow& w, const QString& name, const fs::path& folder = {}) {
        w.dir2()->setPath(QString::fromStdString((folder.empty() ? dir : folder).string()));
        auto* list = w.file2();
        list->Refresh();
        auto found = list->findItems(name, Qt::MatchExactly);
        if (found.isEmpty()) return false;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(found[0]).center());
        return true;
    }
};

TEST_F(ImportWindowTest, ReplacesEqualTextsAndAppendsTheSourceInOrder) {
    std::ofstream(dir / "OTHER.MDB") << "x";
    const std::string sourceBytes = fileBytes(downloads / "source.mdb");
    ShujudaoruWindow w;
    // A target clicked before any source opens the target only.
    ASSERT_TRUE(clickTarget(w, "shujuku.mdb"));
    EXPECT_EQ(w.dbGrid2()->dataRowCount(), 6);
    EXPECT_FALSE(w.command1()->isEnabled());

    chooseSource(w, downloads / "source.mdb");
    EXPECT_EQ(w.dbGrid1()->dataRowCount(), 5);
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
    ASSERT_EQ(during.size(), 10u);
    for (std::size_t i = 0; i < during.size(); ++i)
        EXPECT_EQ(during[i], std::make_pair(int(i + 1), QStringLiteral("正在导入")));

    // Both rows with the exact text "夏" gave way; "Case" differs from "case", "夏 " from "夏",
    // and a question without text replaces nothing.
    std::vector<Row> expected = {bankRows[0], bankRows[2], bankRows[4], bankRows[5]};
    expected.insert(expected.end(), sourceRows.begin(), sourceRows.end());
    EXPECT_EQ(ourRows(bank), expected);
    expectOraclesSee(bank, expected);
    EXPECT_EQ(fileBytes(downloads / "source.mdb"), sourceBytes);
    // The bank as it was, kept beside it, and the user told where.
    ASSERT_EQ(messages.size(), 1);
    const fs::path copy = fs::directory_iterator(bank::backupFolder(bank))->path();
    EXPECT_EQ(messages[0],
              QStringLiteral("导入前的题库备份在 %1。").arg(QString::fromStdString(copy.string())));
    EXPECT_EQ(ourRows(copy), bankRows);
    // Both files were closed: no second run until both are chosen again.
    EXPECT_FALSE(w.command1()->isEnabled());
}

TEST_F(ImportWindowTest, FilesThatCannotBeImportedAreRefused) {
    ShujudaoruWindow w;
    const std::string bankBytes = fileBytes(bank);
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
    jet::createDatabase(downloads / "scores.mdb", {bank::chengjiSpec()});
    chooseSource(w, downloads / "scores.mdb");
    expectMessage(
        QStringLiteral("所选的源文件中没有题库表，请选择本程序导出的或与题库同样结构的文件。"));
    auto shape = bank::tikuSpec();
    shape.columns.pop_back();
    jet::createDatabase(downloads / "eleven.mdb", {shape});
    chooseSource(w, downloads / "eleven.mdb");
    expectMessage(QStringLiteral("所选的源文件中的题库表与题库的结构不同，不能导入。"));
    jet::createDatabase(dir / "scores.mdb", {bank::chengjiSpec()});
    chooseSource(w, downloads / "source.mdb");
    ASSERT_TRUE(clickTarget(w, "scores.mdb"));
    expectMessage(
        QStringLiteral("所选的目标文件中没有题库表，请选择本程序导出的或与题库同样结构的文件。"));
    EXPECT_FALSE(w.command1()->isEnabled());

    // A good target first; then files that must not take questions drop it and are refused.
    auto dropsTheTarget = [&](const QString& message) {
        EXPECT_FALSE(w.command1()->isEnabled());
        EXPECT_EQ(w.dbGrid2()->dataRowCount(), 0);
        expectMessage(message);
        ASSERT_TRUE(clickTarget(w, "shujuku.mdb"));
        EXPECT_TRUE(w.command1()->isEnabled());
    };
    ASSERT_TRUE(clickTarget(w, "shujuku.mdb"));
    // The export template: every later export would carry what went in.
    if (!fs::exists(ShujudaochuWindow::templatePath()))
        bank::createTemplate(ShujudaochuWindow::templatePath());
    ASSERT_TRUE(clickTarget(w, "daochu.mdb", ShujudaochuWindow::templatePath().parent_path()));
    dropsTheTarget(QStringLiteral(
        "不能导入到导出模板 daochu.mdb，否则以后每个导出文件都会带上这些题。请另选目标文件。"));
    // A copy of the bank.
    const fs::path copies = bank::backupFolder(bank);
    fs::create_directories(copies);
    fs::copy_file(bank, copies / "shujuku-20261201-080000.mdb");
    ASSERT_TRUE(clickTarget(w, "shujuku-20261201-080000.mdb", copies));
    dropsTheTarget(QStringLiteral("这是题库的备份，不能作为导入的目标文件。请另选目标文件。"));
    // A file another program is changing.
    makeBank(dir / "other.mdb", {});
    {
        mozhou_test::OtherProgram other(dir / "other.mdb");
        ASSERT_TRUE(clickTarget(w, "other.mdb"));
    }
    dropsTheTarget(
        QStringLiteral("所选的目标文件正在被另一个程序修改，请等它改完或关闭那个程序后再选。"));
    EXPECT_EQ(fileBytes(bank), bankBytes);

    // An empty source is reported, and "导入" stays off.
    makeBank(downloads / "empty.mdb", {}, true);
    chooseSource(w, downloads / "empty.mdb");
    EXPECT_EQ(w.label1()->text(), QStringLiteral("源文件没有题目"));
    ASSERT_TRUE(clickTarget(w, "shujuku.mdb"));
    EXPECT_FALSE(w.command1()->isEnabled());
    QTest::mouseClick(w.command1(), Qt::LeftButton);
    EXPECT_EQ(fileBytes(bank), bankBytes);
    // No copy of the bank but the one put there above.
    EXPECT_EQ(std::distance(fs::directory_iterator(bank::backupFolder(bank)), {}), 1);
}

// A row the target cannot store stays out; the rest goes in, and the user is told which.
TEST_F(ImportWindowTest, RowsTheTargetCannotStoreAreLeftOut) {
    // Made elsewhere: a Long mark and a memo lesson, both wider than the bank's columns.
    auto tiku = bank::tikuSpec();
    tiku.columns[2].type = jet::ColumnType::Memo;
    tiku.columns[10].type = jet::ColumnType::Int32;
    tiku.rows = {question("初一", "语文", "第一课", "夏", 70000, "新0"),
                 question("初三", "物理", std::string(300, 'k'), "长课名", 0, "新1"),
                 question("初三", "物理", "力", "新题", 0, "新2"),
                 question("初二", "数学", "方程", "Case", 1, "新3")};
    jet::createDatabase(downloads / "wide.mdb", {tiku});
    ShujudaoruWindow w;
    chooseSource(w, downloads / "wide.mdb");
    ASSERT_TRUE(clickTarget(w, "shujuku.mdb"));
    ASSERT_TRUE(w.command1()->isEnabled());
    QTest::mouseClick(w.command1(), Qt::LeftButton);

    EXPECT_EQ(w.label1()->text(), QStringLiteral("导入完毕，2题未导入"));
    ASSERT_EQ(messages.size(), 2);  // and where the copy of the bank is
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("以下 2 道题无法存入目标文件")));
    EXPECT_TRUE(messages[0].contains(QStringLiteral("源文件第 2 题“长课名”")));
    EXPECT_FALSE(messages[0].contains(QStringLiteral("新题")));
    // Both "夏" rows of the bank stay, as nothing replaced them; "Case" was replaced.
    const std::vector<Row> expected = {bankRows[0], bankRows[1],  bankRows[3], bankRows[4],
                                       bankRows[5], tiku.rows[2], tiku.rows[3]};
    EXPECT_EQ(ourRows(bank), expected);
    expectOraclesSee(bank, expected);
}

}  // namespace
