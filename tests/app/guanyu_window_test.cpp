#include "GuanyuWindow.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "HelpWindow.h"
#include "MainWindow.h"
#include "shell.h"
#include "window_registry.h"
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

// Opened from the main window's menu beside it, with the focus on 确定 and the tab order of the
// original; a click on the address opens the fixed site whatever the box shows.
TEST_F(GuanyuWindowTest, OpenedFromTheMenuTabOrderAndTheAddress) {
    QPointer<mozhou::MainWindow> main = new mozhou::MainWindow;
    main->show();
    main->findChild<QAction*>("bangzhu1")->trigger();
    main->findChild<QAction*>("bangzhu5")->trigger();
    EXPECT_NE(qobject_cast<mozhou::HelpWindow*>(WindowRegistry::instance().find("help")), nullptr);
    auto* window = qobject_cast<GuanyuWindow*>(WindowRegistry::instance().find("guanyu"));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->parentWidget(), nullptr);
    delete main;
    EXPECT_EQ(WindowRegistry::instance().find("guanyu"), window);  // closing main closes no other
    EXPECT_EQ(window->windowTitle(), QStringLiteral("关于"));
    EXPECT_EQ(window->windowType(), Qt::Dialog);

    auto* text1 = window->findChild<QLineEdit*>("Text1");
    ASSERT_NE(text1, nullptr);
    EXPECT_TRUE(text1->text().startsWith(QStringLiteral("E-mail：")));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(QApplication::focusWidget(), window->command1());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), text1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window->text2());

    const QString shown = window->text2()->text();
    QTest::mouseClick(window->text2(), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl(shown));
    EXPECT_EQ(opened[0].host(), "mozhou.example.org");
    window->text2()->selectAll();
    QTest::keyClicks(window->text2(), "http://elsewhere.invalid/");
    QTest::mouseClick(window->text2(), Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(window->text2(), Qt::RightButton);
    QTest::mouseClick(window->text2(), Qt::MiddleButton);
    ASSERT_EQ(opened.size(), 4);
    EXPECT_EQ(opened[1], opened[0]);
}

TEST_F(GuanyuWindowTest, OneWindowAndOkClosesIt) {
    auto* other = new QWidget;
    other->setAttribute(Qt::WA_DeleteOnClose);
    other->show();
    QPointer<GuanyuWindow> window =
        qobject_cast<GuanyuWindow*>(WindowRegistry::instance().show("guanyu"));
    ASSERT_FALSE(window.isNull());
    EXPECT_EQ(WindowRegistry::instance().show("guanyu"), window.data());
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
    EXPECT_TRUE(opened.isEmpty());
}

}  // namespace
