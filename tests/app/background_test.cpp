#include <QImage>

#include "MainWindow.h"
#include "common_dialog.h"
#include "looks.h"
#include "window_test.h"

namespace {

namespace fs = std::filesystem;
using mozhou::CommonDialog;

// The file dialog takes `answers` in turn, as the input box does.
struct BackgroundTest : mozhou_test::BankTest {
    void SetUp() override {
        useBank({});
        CommonDialog::setHandler(
            [this](const CommonDialog&, CommonDialog::Kind) { return next(); });
    }
    void TearDown() override { CommonDialog::setHandler({}); }
    std::vector<std::string> backRows() {
        std::vector<std::string> rows;
        for (const auto& r : exchange_test::ourRows(bank, "back"))
            rows.push_back(std::get<std::string>(r[0]));
        return rows;
    }
    QString picture(const char* name, QSize size, QColor colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        QString path = QString::fromStdString((dir / name).string());
        EXPECT_TRUE(image.save(path, "JPG", 100));
        return path;
    }
};

TEST_F(BackgroundTest, ChangesAreStoredInOneRowAndShownAtTheirOwnSize) {
    EXPECT_TRUE(mozhou::MainWindow().picture().isNull());  // empty table: plain, no message
    mozhou::MainWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    answers = {std::nullopt};  // the first dialog cancelled: nothing is written
    window.changeBackground();
    EXPECT_TRUE(backRows().empty());

    QString big = picture("big.jpg", {1400, 900}, Qt::red);
    answers = {big};
    window.changeBackground();
    EXPECT_EQ(backRows(), std::vector<std::string>{big.toStdString()});
    EXPECT_EQ(window.picture().size(), QSize(1400, 900));  // not scaled to the window

    QString small = picture("small.jpg", {100, 80}, Qt::blue);
    answers = {small};
    window.changeBackground();
    EXPECT_EQ(backRows(), std::vector<std::string>{small.toStdString()});  // edited, not added
    const QImage shown = window.surface()->grab().toImage();
    EXPECT_GT(shown.pixelColor(10, 10).blue(), 200);
    EXPECT_EQ(shown.pixelColor(500, 600), mozhou::looks::colour(0x00C0C000));

    // A cancel returns the name chosen before, which is stored and shown again.
    answers = {std::nullopt};
    window.changeBackground();
    EXPECT_EQ(backRows(), std::vector<std::string>{small.toStdString()});
    EXPECT_TRUE(messages.isEmpty());

    // A named pipe is not read: no wait for a writer, the picture stays, the next start is plain.
    const fs::path pipe = dir / "pipe.jpg";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    answers = {QString::fromStdString(pipe.string())};
    window.changeBackground();
    EXPECT_EQ(window.picture().size(), QSize(100, 80));
    EXPECT_TRUE(mozhou::MainWindow().picture().isNull());
    answers = {small};
    window.changeBackground();

    // Next start-up shows it; once the file is gone the window starts plain and silent.
    EXPECT_EQ(mozhou::MainWindow().picture().size(), QSize(100, 80));
    fs::remove(small.toStdString());
    EXPECT_TRUE(mozhou::MainWindow().picture().isNull());
    EXPECT_TRUE(messages.isEmpty());

    // An unreadable bank is reported and nothing changes.
    fs::remove(bank);
    std::ofstream(bank) << "not a database";
    answers = {picture("a.jpg", {10, 10}, Qt::green)};
    mozhou::MainWindow fresh;
    fresh.changeBackground();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("背景图片没有保存。题库文件")));
    EXPECT_TRUE(fresh.picture().isNull());
}

}  // namespace
