#include "GuanyuWindow.h"
#include "shell.h"
#include "window_registry.h"
#include "window_test.h"
#include "windows.h"

using mozhou::GuanyuWindow;
using mozhou::WindowRegistry;

namespace {

struct GuanyuWindowTest : ::testing::Test {
    QList<QUrl> opened;

    void SetUp() override {
        mozhou::registerWindows();
        mozhou::setShellOpenHandler([this](const QUrl& address) { opened << address; });
    }
    void TearDown() override {
        mozhou::setShellOpenHandler({});
        for (const char* name : {"help", "guanyu"}) {
            delete WindowRegistry::instance().find(name);
            WindowRegistry::instance().unregisterFactory(name);
        }
    }
};

// One window; a click on the address opens the fixed site whatever the box shows.
TEST_F(GuanyuWindowTest, OneWindowItsAddressAndOkClosesIt) {
    auto* other = new QWidget;
    other->setAttribute(Qt::WA_DeleteOnClose);
    other->show();
    QPointer<GuanyuWindow> window =
        qobject_cast<GuanyuWindow*>(WindowRegistry::instance().show("guanyu"));
    ASSERT_FALSE(window.isNull());
    EXPECT_EQ(WindowRegistry::instance().show("guanyu"), window.data());
    const QString shown = window->text2()->text();
    QTest::mouseClick(window->text2(), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl(shown));
    EXPECT_EQ(opened[0].host(), "mozhou.example.org");
    window->text2()->selectAll();
    QTest::keyClicks(window->text2(), "http://elsewhere.invalid/");
    QTest::mouseClick(window->text2(), Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(window->text2(), Qt::RightButton);
    ASSERT_EQ(opened.size(), 3);
    EXPECT_EQ(opened[2], opened[0]);

    // Another window closes first: the about box still counts and the program runs on, until
    // Enter on its focused 确定 closes the last window.
    bool aboutClosed = false;
    QObject timers;  // its timers end with the test
    QTimer::singleShot(0, other, &QWidget::close);
    QTimer::singleShot(200, &timers, [&] {
        aboutClosed = true;
        window->command1()->setFocus();
        QTest::keyClick(window->command1(), Qt::Key_Return);
    });
    QTimer::singleShot(5000, &timers, [] { QCoreApplication::exit(2); });
    QApplication::setQuitOnLastWindowClosed(true);  // as the program runs
    EXPECT_EQ(QApplication::exec(), 0);
    QApplication::setQuitOnLastWindowClosed(false);
    EXPECT_TRUE(aboutClosed);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(WindowRegistry::instance().find("guanyu"), nullptr);
    EXPECT_EQ(opened.size(), 3);  // Enter on 确定 opens nothing
}

}  // namespace
