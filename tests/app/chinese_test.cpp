// The windows speak Chinese under any system locale (these tests run under LANG=C.UTF-8): Qt's
// own buttons and dialogs, the date caption, and every failure a user meets, told as a Chinese
// sentence that names the file once and says what to do.
#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

#include "ChengjiWindow.h"
#include "CheshiWindow.h"
#include "ShujudaochuWindow.h"
#include "ShujuluruWindow.h"
#include "XuexiWindow.h"
#include "failure_text.h"
#include "language.h"
#include "window_test.h"

namespace {

namespace fs = std::filesystem;

// Without the file's own path the text holds no Latin letter; the path appears at most once,
// and the text says what to do.
void expectChineseSentence(const QString& text, const fs::path& file) {
    const QString path = QString::fromStdString(file.string());
    EXPECT_LE(text.count(path), 1) << qPrintable(text);
    QString rest = text;
    rest.remove(path);
    EXPECT_FALSE(rest.contains(QRegularExpression("[A-Za-z]"))) << qPrintable(text);
    EXPECT_TRUE(rest.contains(QStringLiteral("请"))) << qPrintable(text);
}

struct Chinese : mozhou_test::BankTest {
    static void SetUpTestSuite() { ASSERT_TRUE(mozhou::useChinese()); }
    void SetUp() override {
        useBank({exchange_test::question("初一", "数学", "第一课", "一加一")});
    }
    // What the four windows that build a tree or a list from the bank say when they open.
    QStringList openingMessages() {
        messages.clear();
        {
            mozhou::XuexiWindow study;
            mozhou::CheshiWindow test;
            mozhou::ShujudaochuWindow exporting;
            mozhou::ChengjiWindow records;
            QApplication::processEvents();
        }
        return messages;
    }
};

TEST_F(Chinese, QtTextsAndDateCaption) {
    // The real boxes: the program's title, the text, no icon, Chinese buttons; the input box
    // without a prompt gives the typed text, or an empty one after a cancel.
    mozhou::setMessageHandler({});
    mozhou::setAskTextHandler({});
    QStringList seen;
    auto buttons = [&](const QList<QAbstractButton*>& list) {
        QStringList texts;
        for (auto* b : list) texts << b->text();
        texts.sort();
        seen << texts;
    };
    mozhou_test::whenShown<QMessageBox>([&](QMessageBox* box) {
        seen << box->windowTitle() << box->text() << QString::number(box->icon());
        buttons(box->buttons());
        box->button(QMessageBox::Ok)->click();
    });
    mozhou::showMessage(nullptr, QStringLiteral("测试完毕!"));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("墨舟题苑"), QStringLiteral("测试完毕!"),
                                 QString::number(QMessageBox::NoIcon), QStringLiteral("确定")}));
    for (bool accept : {true, false}) {
        seen.clear();
        mozhou_test::whenShown<QInputDialog>([&](QInputDialog* dialog) {
            seen << dialog->windowTitle() << dialog->labelText();
            buttons(dialog->findChild<QDialogButtonBox*>()->buttons());
            dialog->setTextValue("583904");
            accept ? dialog->accept() : dialog->reject();
        });
        EXPECT_EQ(mozhou::askText(nullptr), accept ? "583904" : "");
        EXPECT_EQ(seen, (QStringList{QStringLiteral("墨舟题苑"), "", QStringLiteral("取消"),
                                     QStringLiteral("确定")}));
    }

    mozhou::XuexiWindow study;
    auto* caption = mozhou_test::child<QLabel>(&study, "Label2");
    for (int i = 0; i < 50 && !caption->text().startsWith("***"); ++i) QTest::qWait(20);
    const QDate d = QDate::currentDate();
    EXPECT_EQ(caption->text(),
              QStringLiteral("***%1/%2/%3***").arg(d.year()).arg(d.month()).arg(d.day()));
}

// A bank that cannot be read never looks empty: each window says what happened and what to
// do; an empty bank opens in silence.
TEST_F(Chinese, UnreadableBankIsToldByEveryWindow) {
    exchange_test::makeBank(bank, {});
    EXPECT_TRUE(openingMessages().isEmpty());

    struct Case {
        const char* name;
        std::function<void()> spoil;
        QString says;
    };
    const Case cases[] = {
        {"missing", [&] { fs::remove(bank); }, QStringLiteral("找不到题库文件")},
        {"not a database", [&] { std::ofstream(bank) << std::string(8192, 'x'); },
         QStringLiteral("不是本程序能用的题库")},
        {"damaged",
         [&] {
             // The catalog's page overwritten with rubbish.
             std::fstream f(bank, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(2 * 4096);
             f << std::string(4096, '\x55');
         },
         QStringLiteral("已经损坏")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        exchange_test::makeBank(bank, {exchange_test::question("初一", "数学", "第一课", "一")});
        c.spoil();
        const QStringList said = openingMessages();
        ASSERT_EQ(said.size(), 4) << qPrintable(said.join('\n'));
        for (const auto& m : said) {
            EXPECT_TRUE(m.contains(c.says)) << qPrintable(m);
            expectChineseSentence(m, bank);
        }
    }
}

// Access holding the bank (its lock file with a byte-range lock held) leaves it readable and
// refuses a change with the reason; a bank that cannot be written is called read-only.
TEST_F(Chinese, ChangesRefusedByAccessOrAReadOnlyBankSayWhy) {
    auto add = [&] {
        mozhou::ShujuluruWindow entry;
        entry.findChild<QComboBox*>("Combo1")->setEditText(QStringLiteral("初一"));
        auto* command = entry.findChild<QPushButton*>("Command1");
        command->setEnabled(true);
        messages.clear();
        command->click();
        EXPECT_EQ(messages.size(), 1);
        expectChineseSentence(messages.value(0), bank);
        return messages.value(0);
    };
    const fs::path ldb = dir / "shujuku.ldb";
    std::ofstream(ldb) << std::string(64, '\0');
    QString held;
    {
        mozhou_test::OtherProgram access(ldb, 1);
        EXPECT_TRUE(openingMessages().isEmpty()) << "a locked bank can still be read";
        held = add();
    }
    EXPECT_TRUE(held.contains(QStringLiteral("正在被另一个程序"))) << qPrintable(held);
    fs::remove(ldb);

    mozhou_test::ReadOnly readOnly(bank);
    if (!readOnly.made) GTEST_SKIP() << "cannot make the bank read-only here";
    const QString refused = add();
    EXPECT_TRUE(refused.contains(QStringLiteral("是只读的"))) << qPrintable(refused);

    // Every kind has its own sentence, Chinese but for the path, which it names once.
    using K = jet::ErrorKind;
    QStringList seen;
    for (K k :
         {K::General, K::Missing, K::NotDatabase, K::Damaged, K::Busy, K::ReadOnly, K::DiskFull,
          K::ValueDoesNotFit, K::Unencodable, K::IndexUnsupported, K::Replaced}) {
        const QString text = mozhou::failureText(jet::ColumnError("English detail", k, "daan"),
                                                 {QStringLiteral("这道题没有录入"), bank});
        expectChineseSentence(text, bank);
        EXPECT_FALSE(seen.contains(text));
        seen << text;
    }
    EXPECT_TRUE(seen[7].contains(QStringLiteral("“正确答案”"))) << qPrintable(seen[7]);
}

}  // namespace
