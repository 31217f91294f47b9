#include <QMessageBox>

#include "bank_rescue.h"
#include "first_run.h"
#include "window_test.h"

namespace {

namespace fs = std::filesystem;

using exchange_test::fileBytes;
void write(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// The files beside the bank that keep an unusable bank, by content.
std::vector<std::string> keptAside(const fs::path& dir) {
    std::vector<std::string> kept;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().starts_with("shujuku-损坏-"))
            kept.push_back(fileBytes(e.path()));
    std::sort(kept.begin(), kept.end());
    return kept;
}

// Answers the start-up offer with the button captioned `choice`, noting the box's buttons and
// text; a real click on the real box.
void choose(const QString& choice, QStringList* buttons, QString* text) {
    mozhou_test::whenShown<QMessageBox>([=](QMessageBox* box) {
        *text = box->text();
        buttons->clear();
        QPushButton* wanted = nullptr;
        for (auto* b : box->buttons()) {
            if (box->buttonRole(b) == QMessageBox::ActionRole) continue;  // the details button
            *buttons << b->text();
            if (b->text() == choice) wanted = qobject_cast<QPushButton*>(b);
        }
        ASSERT_NE(wanted, nullptr);
        QTest::mouseClick(wanted, Qt::LeftButton);
    });
}

}  // namespace

TEST(BankRescue, UnusableBankOffersBackupNewBankOrQuit) {
    const fs::path dir = exchange_test::scratchDir("bank_rescue");
    const fs::path bank = dir / "shujuku.mdb", noSample = dir / "none.jsonl";
    QStringList messages, buttons;
    QString text;
    mozhou::setMessageHandler([&](const QString& m) { messages << m; });

    // Not a database and no copy: only a new bank or quitting; quitting changes nothing.
    const std::string junk(4096, 'x');
    write(bank, junk);
    choose(QStringLiteral("退出"), &buttons, &text);
    EXPECT_FALSE(mozhou::settleBank(bank, noSample));
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("新建题库"), QStringLiteral("退出")}));
    EXPECT_TRUE(text.contains(QStringLiteral("没有找到题库的备份")));
    EXPECT_EQ(fileBytes(bank), junk);
    EXPECT_TRUE(keptAside(dir).empty());

    // With dated copies the newest is restored; the unusable file is kept under another name.
    fs::create_directories(bank::backupFolder(bank));
    const fs::path good = bank::backupFolder(bank) / "shujuku-20260101-080000.mdb";
    bank::ensureBank(good, noSample);
    write(bank::backupFolder(bank) / "shujuku-20250101-080000.mdb", "older");
    choose(QStringLiteral("恢复最近的备份"), &buttons, &text);
    EXPECT_TRUE(mozhou::settleBank(bank, noSample));
    EXPECT_EQ(buttons.size(), 3);
    EXPECT_TRUE(text.contains(QString::fromStdString(good.string()))) << text.toStdString();
    EXPECT_EQ(fileBytes(bank), fileBytes(good));
    EXPECT_EQ(keptAside(dir), std::vector<std::string>{junk});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("从备份恢复")));

    // Damaged again: a new bank is made and the second unusable file is kept beside the first.
    const std::string damaged = fileBytes(good).substr(0, 2048) + std::string(2048, '\0');
    write(bank, damaged);
    choose(QStringLiteral("新建题库"), &buttons, &text);
    EXPECT_TRUE(mozhou::settleBank(bank, noSample));
    EXPECT_FALSE(bank::ensureBank(bank, noSample));  // there and usable
    EXPECT_EQ(keptAside(dir), (std::vector<std::string>{damaged, junk}));
    EXPECT_EQ(fs::file_size(bank::backupFolder(bank) / "shujuku-20250101-080000.mdb"), 5u);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains(QStringLiteral("新的题库已经建好")));

    // Another program writing the bank is no damage: it is said, and nothing is replaced.
    const std::string sound = fileBytes(bank);
    {
        mozhou_test::OtherProgram other(bank);
        EXPECT_TRUE(mozhou::settleBank(bank, noSample));
    }
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[2].contains(QStringLiteral("另一个程序"))) << messages[2].toStdString();
    EXPECT_EQ(fileBytes(bank), sound);
    EXPECT_EQ(keptAside(dir).size(), 2u);

    mozhou::setMessageHandler({});
}
