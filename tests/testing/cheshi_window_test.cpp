#include <QDate>
#include <QImage>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QStyleHints>

#include "CheshiWindow.h"
#include "window_registry.h"
#include "window_test.h"

namespace {

using namespace exchange_test;
using mozhou::CheshiWindow;

// A question of 初一 with the options 一 to 四; a fill-in when `type` says so.
Row row(std::string subject, std::string lesson, std::string text, std::string answer,
        std::int64_t mark, std::string type = "选择题") {
    return {"初一", subject, lesson, text, "一", "二", "三", "四", "B", answer, mark, type};
}

// Three lessons under two subjects; the first lesson is the three-question test.
std::vector<Row> bankRows() {
    return {row("数学", "第一课", "一加一", "二", 1),
            row("数学", "第一课", "首都", "北京市", 1, "填空题"),
            row("数学", "第一课", "二加二", "四", 0),
            row("数学", "王's 课", "三加一", "四", 0),
            row("语文", "古诗", "床前明月光", "疑是地上霜", 1, "填空题"),
            row("数学", "第二课", "一加三", "四", 0)};
}

struct CheshiWindowTest : mozhou_test::BankTest {
    fs::path program = fs::path(QCoreApplication::applicationDirPath().toStdString());

    // The window ignores input sooner than a double-click after a question shows; these tests
    // answer at once unless they say otherwise.
    const int doubleClick = QGuiApplication::styleHints()->mouseDoubleClickInterval();

    void SetUp() override {
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
        useBank(bankRows());
        // A red right picture and no wrong picture, unless a test draws one.
        picture("dui.jpg", Qt::red);
        fs::remove(program / "cuo.jpg");
    }
    void TearDown() override {
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(doubleClick);
        fs::remove(program / "dui.jpg");
        fs::remove(program / "cuo.jpg");
    }

    void picture(const char* name, Qt::GlobalColor colour) {
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(QString::fromStdString((program / name).string()), "JPG"));
    }

    // zhuangtai of a question, as mdbtools reads it from the file.
    std::string mark(const std::string& text) {
        for (const auto& line : mdbtoolsLines(bank, "tiku")) {
            const auto cells = jet_test::split(line, "|");
            if (cells.size() == 12 && cells[3] == text) return cells[10];
        }
        return "no such question";
    }
    std::vector<std::string> chengjiByMdbtools() { return mdbtoolsLines(bank, "chengji"); }
};

// The window's controls by name.
struct Controls {
    QTreeWidget* tree;
    QPlainTextEdit* question;
    std::array<QRadioButton*, 4> options;
    std::array<QLineEdit*, 4> optionTexts;
    QLineEdit* answer;
    QPushButton* confirm;
    QLabel* picture;
    QLineEdit *right, *wrong, *score;
    QLabel *total, *remaining;
    QPushButton *save, *retrieve, *leave;

    explicit Controls(QWidget* w) {
        auto get = [w](auto*& to, const QString& name) {
            to = w->findChild<std::remove_reference_t<decltype(*to)>*>(name);
        };
        get(tree, "TreeView1"), get(question, "Text2"), get(answer, "Text1");
        for (int i = 0; i < 4; ++i) {
            get(options[i], QStringLiteral("Option1(%1)").arg(i + 1));
            get(optionTexts[i], QStringLiteral("Text6(%1)").arg(i + 1));
        }
        get(confirm, "Command1"), get(picture, "Picture1"), get(right, "Text3");
        get(wrong, "Text4"), get(score, "Text5"), get(total, "Label8"), get(remaining, "Label9");
        get(save, "Command3"), get(retrieve, "Command4"), get(leave, "Command6");
    }

    void click(const QString& text) {
        auto* item = mozhou_test::treeItem(tree, text);
        ASSERT_TRUE(item) << text.toStdString();
        mozhou_test::clickTreeItem(tree, item);
    }
    std::vector<QString> nodes() const {
        std::vector<QString> out;
        for (QTreeWidgetItemIterator it(tree); *it; ++it) out.push_back((*it)->text(0));
        return out;
    }
    // The question on show, by its text: the first line without "1." for multiple choice.
    std::string shown() const {
        const QString t = question->toPlainText();
        if (options[0]->isEnabled())
            return t.section(QChar('\n'), 0, 0).mid(2).trimmed().toStdString();
        return t.toStdString();
    }
    // Clicks the option whose text is (or, when `right` is false, is not) `answerText`.
    void choose(const QString& answerText, bool rightOne) {
        for (int i = 0; i < 4; ++i)
            if ((optionTexts[i]->text() == answerText) == rightOne) {
                QTest::mouseClick(options[i], Qt::LeftButton);
                return;
            }
        ADD_FAILURE() << "no option fits";
    }
    // Answers the question on show right or wrong, whichever its type.
    void answerShown(bool rightOne) {
        QString a;
        for (const auto& r : bankRows())
            if (std::get<std::string>(r[3]) == shown())
                a = QString::fromStdString(std::get<std::string>(r[9]));
        if (options[0]->isEnabled()) return choose(a, rightOne);
        answer->setText(rightOne ? a : a + "长");
        QTest::mouseClick(confirm, Qt::LeftButton);
    }
    QRgb pictureColour() const { return picture->pixmap().toImage().pixel(8, 8); }
};

bool reddish(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool bluish(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; }

std::string today() { return QDate::currentDate().toString("yyyy-MM-dd").toStdString(); }

TEST_F(CheshiWindowTest, ThreeQuestionTestSavedThenDrilled) {
    QPointer<CheshiWindow> w = new CheshiWindow(CheshiWindow::Mode::Test);
    w->show();
    Controls c(w);

    // 提取测试 only asks for the score window, before a test as at any time.
    auto& registry = mozhou::WindowRegistry::instance();
    registry.registerFactory("chengji", [] { return new QWidget; });
    QTest::mouseClick(c.retrieve, Qt::LeftButton);
    EXPECT_NE(registry.find("chengji"), nullptr);
    delete registry.find("chengji");
    EXPECT_FALSE(c.options[0]->isEnabled() || c.answer->isEnabled() || c.save->isEnabled());
    // Groups in the engine's order.
    EXPECT_EQ(c.nodes(), (std::vector<QString>{"初一", "数学", "王's 课", "第一课", "第二课",
                                               "语文", "古诗"}));

    c.click("第一课");
    EXPECT_EQ(c.remaining->text(), "还有3 题");
    // A subject click in the middle of a test changes nothing.
    const QString before = c.question->toPlainText();
    c.click("数学");
    EXPECT_EQ(c.question->toPlainText(), before);
    EXPECT_EQ(c.total->text(), "共3 题");

    // Whatever the order: 一加一 right, 二加二 wrong, the fill-in right with part of its answer.
    for (int answered = 1; answered <= 3; ++answered) {
        const std::string q = c.shown();
        if (q == "一加一") {
            EXPECT_TRUE(c.options[0]->isEnabled() && !c.answer->isEnabled());
            c.choose("二", true);
            EXPECT_EQ(mark(q), "0");
            EXPECT_TRUE(reddish(c.pictureColour()));
        } else if (q == "二加二") {
            const QRgb shownBefore = c.picture->pixmap().isNull() ? 0 : c.pictureColour();
            c.choose("四", false);
            EXPECT_EQ(mark(q), "1");
            // No cuo.jpg: the picture stays as it was.
            EXPECT_EQ(c.picture->pixmap().isNull() ? 0 : c.pictureColour(), shownBefore);
        } else {
            ASSERT_EQ(q, "首都");
            EXPECT_TRUE(c.answer->isEnabled() && c.confirm->isEnabled());
            c.answer->setText(QStringLiteral("北京"));
            QTest::keyClick(c.answer, Qt::Key_Return);
            EXPECT_TRUE(c.answer->text().isEmpty());
            EXPECT_EQ(mark(q), "0");
        }
        for (auto* o : c.options) EXPECT_FALSE(o->isChecked());
    }
    EXPECT_EQ(c.remaining->text(), "测试完毕!");
    EXPECT_EQ(c.right->text() + c.wrong->text() + c.score->text(), "2166");
    EXPECT_EQ(w->findChild<QSlider*>("Slider1")->value(), 3);
    EXPECT_FALSE(c.answer->isEnabled() || c.options[0]->isEnabled() || c.confirm->isEnabled());
    ASSERT_TRUE(c.save->isEnabled());

    QTest::mouseClick(c.save, Qt::LeftButton);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(c.save->isEnabled());
    EXPECT_EQ(chengjiByMdbtools(),
              (std::vector<std::string>{"初一|数学|第一课|" + today() + " 00:00:00|2|1|66"}));
    // Other questions keep their marks.
    EXPECT_EQ(mark("床前明月光"), "1");
    EXPECT_EQ(mark("三加一"), "0");

    QTest::mouseClick(c.leave, Qt::LeftButton);
    QApplication::processEvents();
    mozhou_test::settle();
    EXPECT_TRUE(w.isNull());

    // The drill now offers the wrongly answered choice and the poem marked before.
    picture("cuo.jpg", Qt::blue);
    auto drill = std::make_unique<CheshiWindow>(CheshiWindow::Mode::Drill);
    drill->setAttribute(Qt::WA_DeleteOnClose, false);
    Controls d(drill.get());
    auto* bar = mozhou_test::child<QProgressBar>(drill.get(), "ProgressBar1");
    // Only marked questions: 二加二 (wrong just now) and the poem, marked before.
    EXPECT_EQ(d.nodes(), (std::vector<QString>{"初一", "数学", "第一课", "语文", "古诗"}));

    d.click("第一课");
    EXPECT_EQ(d.shown(), "二加二");
    d.choose("四", true);
    EXPECT_EQ(mark("二加二"), "0");
    EXPECT_EQ(d.remaining->text(), "测试完毕!");
    EXPECT_EQ(bar->value(), bar->maximum());

    // Its last marked question has left the set: the lesson is empty now and nothing can start.
    d.click("第一课");
    EXPECT_EQ(d.total->text(), "共0 题");
    EXPECT_FALSE(d.options[0]->isEnabled() || d.answer->isEnabled() || d.save->isEnabled());

    // A wrong fill-in answer in the drill keeps the question in the set.
    d.click("古诗");
    d.answer->setText(QStringLiteral("举头望明月"));
    QTest::mouseClick(d.confirm, Qt::LeftButton);
    EXPECT_EQ(mark("床前明月光"), "1");
    EXPECT_EQ(d.wrong->text(), "1");
    EXPECT_TRUE(bluish(d.pictureColour()));
    // A drill is saved as a test is.
    QTest::mouseClick(d.save, Qt::LeftButton);
    const auto saved = chengjiByMdbtools();
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved.back(), "初一|语文|古诗|" + today() + " 00:00:00|0|1|0");
}

// Another lesson, or the same one again, starts afresh; a save that cannot be done says so
// and can be tried again.
TEST_F(CheshiWindowTest, RestartsQuotedLessonAndSaveFailures) {
    auto w = std::make_unique<CheshiWindow>(CheshiWindow::Mode::Test);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    Controls c(w.get());
    c.click("第二课");
    c.answerShown(true);
    ASSERT_TRUE(c.save->isEnabled());

    c.click("第一课");
    EXPECT_FALSE(c.save->isEnabled());
    EXPECT_EQ(c.remaining->text(), "还有3 题");
    // A wrong choice sets the mark; a wrong fill-in answer leaves its 1.
    const std::string q = c.shown();
    c.answerShown(false);
    EXPECT_EQ(mark(q), "1");
    EXPECT_EQ(c.right->text() + c.wrong->text() + c.score->text(), "010");
    c.click("第一课");  // mid-test, the same lesson again: a fresh start
    EXPECT_EQ(c.remaining->text(), "还有3 题");
    c.answerShown(true);
    EXPECT_EQ(c.right->text() + c.wrong->text() + c.score->text(), "10100");

    c.click("王's 课");
    EXPECT_EQ(c.shown(), "三加一");
    c.answerShown(true);
    EXPECT_EQ(c.remaining->text(), "测试完毕!");
    EXPECT_EQ(mark("三加一"), "0");
    // The bank is gone, then another program is changing it: the user is told, nothing is
    // written, the button stays for a retry.
    const fs::path away = dir / "elsewhere.mdb";
    fs::rename(bank, away);
    QTest::mouseClick(c.save, Qt::LeftButton);
    fs::rename(away, bank);
    {
        mozhou_test::OtherProgram other(bank);
        QTest::mouseClick(c.save, Qt::LeftButton);
    }
    ASSERT_EQ(messages.size(), 2);
    for (const auto& m : messages) EXPECT_TRUE(m.startsWith("测试成绩没有保存"));
    EXPECT_TRUE(chengjiByMdbtools().empty());

    QTest::mouseClick(c.save, Qt::LeftButton);
    EXPECT_EQ(messages.size(), 2);
    EXPECT_FALSE(c.save->isEnabled());
    EXPECT_EQ(chengjiByMdbtools(),
              (std::vector<std::string>{"初一|数学|王's 课|" + today() + " 00:00:00|1|0|100"}));
    // Questions another program deletes mid-test are said to be unreadable; the test goes on.
    c.click("第一课");
    {
        auto rs = dao::Database::open(bank).OpenRecordset(
            "select * from tiku where kecheng='第一课' and yuanti<>'" + c.shown() + "'");
        for (; !rs.Eof(); rs.MoveNext()) rs.Delete();
    }
    c.answerShown(false);
    for (int left = 2; left > 0; --left) {
        EXPECT_EQ(c.question->toPlainText().toStdString(), cheshi::kUnreadableQuestion);
        QTest::mouseClick(c.confirm, Qt::LeftButton);
    }
    EXPECT_EQ(c.remaining->text(), "测试完毕!");
}

// The rest of a double-click or a second quick Enter never answers the next, unseen question.
TEST_F(CheshiWindowTest, OnePressAnswersOneQuestion) {
    useBank({row("数学", "选", "甲", "二", 0), row("数学", "选", "乙", "二", 0),
             row("数学", "填", "丙", "二", 0, "填空题"), row("数学", "填", "丁", "二", 0, "填空题"),
             row("数学", "填", "戊", "二", 0, "填空题")});
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(300);
    auto w = std::make_unique<CheshiWindow>(CheshiWindow::Mode::Test);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    Controls c(w.get());
    auto settle = [] { QTest::qWait(350); };
    // What a double-click delivers: two clicks in a row.
    auto doubleClick = [](QWidget* w) {
        QTest::mouseClick(w, Qt::LeftButton);
        QTest::mouseClick(w, Qt::LeftButton);
    };

    c.click("选");
    settle();
    const std::string first = c.shown();
    int wrongOne = 0;
    while (c.optionTexts[wrongOne]->text() == "二") ++wrongOne;
    doubleClick(c.options[wrongOne]);
    EXPECT_EQ(c.remaining->text(), "还有1 题");
    EXPECT_EQ(c.wrong->text(), "1");
    EXPECT_EQ(mark(first), "1");
    EXPECT_EQ(mark(first == "甲" ? "乙" : "甲"), "0");
    for (auto* o : c.options) EXPECT_FALSE(o->isChecked());
    settle();
    c.choose("二", false);
    EXPECT_EQ(c.remaining->text(), "测试完毕!");

    c.click("填");
    settle();
    QTest::keyClick(c.answer, Qt::Key_Return);
    QTest::keyClick(c.answer, Qt::Key_Return);
    EXPECT_EQ(c.remaining->text(), "还有2 题");
    settle();
    // A held key repeats; the repeats are not presses.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true);
    QApplication::sendEvent(c.answer, &repeat);
    EXPECT_EQ(c.remaining->text(), "还有2 题");
    c.answer->setText("二");
    doubleClick(c.confirm);
    EXPECT_EQ(c.right->text() + c.wrong->text() + c.remaining->text(), "11还有1 题");
}

}  // namespace
