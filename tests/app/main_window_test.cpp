#include "MainWindow.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <functional>
#include <stdexcept>

#include "looks.h"
#include "shell.h"
#include "window_registry.h"

using mozhou::MainWindow;
using mozhou::WindowRegistry;
namespace looks = mozhou::looks;

namespace {

constexpr std::uint32_t kWhite = looks::kWhite;
constexpr std::uint32_t kText = looks::kSysWindowText;

struct MainWindowTest : ::testing::Test {
    QPointer<MainWindow> window;
    QStringList registered;
    QHash<QString, int> made;

    void SetUp() override {
        window = new MainWindow;
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    void TearDown() override {
        for (const QString& name : registered) {
            delete WindowRegistry::instance().find(name);
            WindowRegistry::instance().unregisterFactory(name);
        }
        delete window;
    }

    // A stand-in for a window that is not built yet, counting how often it is made.
    void provide(const QString& name) {
        registered << name;
        WindowRegistry::instance().registerFactory(name, [this, name] {
            ++made[name];
            return new QWidget;
        });
    }

    QLabel* label(int n) { return window->label(n); }
    QPoint inside(int n) { return label(n)->rect().center(); }
    // A point of the free surface, away from every caption and frame.
    QPoint freeSpot() { return QPoint(500, 400); }

    void press(int n, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(label(n), button, {}, inside(n));
    }
    // The label that took the press receives the release wherever the pointer is.
    void release(int n, Qt::MouseButton button = Qt::LeftButton, QPoint pos = {}) {
        QTest::mouseRelease(label(n), button, {}, pos.isNull() ? inside(n) : pos);
    }
    void moveOver(int n) { QTest::mouseMove(label(n), inside(n)); }
    void moveOverSurface(QPoint pos = {}) {
        QTest::mouseMove(window->surface(), pos.isNull() ? freeSpot() : pos);
    }

    std::array<std::uint32_t, 4> frameColours(int n) {
        const int b = (n - 1) * 4;
        return {window->lineColour(b + 1), window->lineColour(b + 2), window->lineColour(b + 3),
                window->lineColour(b + 4)};
    }
    // Every line one pixel wide and no caption bold: nothing is highlighted.
    void expectNothingHighlighted() {
        for (int n = 1; n <= 16; ++n) EXPECT_EQ(window->lineWidth(n), 1) << n;
        for (int n = 1; n <= 4; ++n) EXPECT_FALSE(window->captionBold(n)) << n;
    }
    std::array<int, 4> frameWidths(int n) {
        const int b = (n - 1) * 4;
        return {window->lineWidth(b + 1), window->lineWidth(b + 2), window->lineWidth(b + 3),
                window->lineWidth(b + 4)};
    }
};

using Colours = std::array<std::uint32_t, 4>;
using Widths = std::array<int, 4>;

TEST_F(MainWindowTest, LooksCaptionsAndStartColours) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("墨舟题苑"));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->surface()->palette().color(QPalette::Window), QColor(0, 192, 192));
    const char* texts[] = {"学习", "测试", "错题演练", "退出"};
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(label(n)->text(), QString::fromUtf8(texts[n - 1]));
        // The classic highlight, dark blue: readable on the window's cyan.
        EXPECT_EQ(label(n)->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        EXPECT_EQ(label(n)->cursor().shape(), Qt::BitmapCursor);
    }
    EXPECT_EQ(frameColours(1), (Colours{kWhite, kWhite, looks::kBlack, looks::kBlack}));
    EXPECT_EQ(frameColours(2),
              (Colours{looks::kSysCaptionText, looks::kSysCaptionText, kText, kText}));
    EXPECT_EQ(frameColours(3),
              (Colours{looks::kSysWindowBackground, looks::kSysWindowBackground, kText, kText}));
    EXPECT_EQ(frameColours(4),
              (Colours{looks::kSysHighlightText, looks::kSysHighlightText, kText, kText}));
    expectNothingHighlighted();
}

TEST_F(MainWindowTest, FramesArePaintedOnTheBackground) {
    auto pixel = [&](int x, int y) {
        return QColor(window->surface()->grab().toImage().pixel(x, y));
    };
    EXPECT_EQ(pixel(500, 400), QColor(0, 192, 192));
    // Every frame starts raised whatever the desktop theme: white left and top, black right
    // and bottom. Frame 1 runs from (24, 8) to (96, 40).
    const int frameX[4][2] = {{24, 96}, {104, 168}, {176, 264}, {272, 328}};
    for (const auto& x : frameX) {
        SCOPED_TRACE(x[0]);
        const int middle = (x[0] + x[1]) / 2;
        EXPECT_EQ(pixel(x[0], 30), QColor(Qt::white));
        EXPECT_EQ(pixel(middle, 8), QColor(Qt::white));
        EXPECT_EQ(pixel(x[1], 30), QColor(Qt::black));
        EXPECT_EQ(pixel(middle, 40), QColor(Qt::black));
    }
    EXPECT_EQ(pixel(23, 30), QColor(0, 192, 192));
    press(1);
    EXPECT_EQ(pixel(24, 30), looks::colour(kText));
    EXPECT_EQ(pixel(96, 30), QColor(Qt::white));
    release(1);
    moveOver(1);
    // A 2-pixel line also covers the pixel beside its path.
    const QColor thick = pixel(23, 30);
    EXPECT_TRUE(thick == QColor(Qt::white) || pixel(25, 30) == QColor(Qt::white));
}

TEST_F(MainWindowTest, PressSinksAndReleaseRaisesOnlyThatFrame) {
    press(1);
    EXPECT_EQ(frameColours(1), (Colours{kText, kText, kWhite, kWhite}));
    EXPECT_EQ(frameColours(2),
              (Colours{looks::kSysCaptionText, looks::kSysCaptionText, kText, kText}));
    // A press changes no widths and no weights.
    expectNothingHighlighted();
    release(1);
    EXPECT_EQ(frameColours(1), (Colours{kWhite, kWhite, kText, kText}));
    EXPECT_EQ(frameColours(3),
              (Colours{looks::kSysWindowBackground, looks::kSysWindowBackground, kText, kText}));

    // Released away from the caption: raised, but no click.
    provide("cuoti");
    press(3);
    release(3, Qt::LeftButton, QPoint(-200, 300));
    EXPECT_EQ(frameColours(3), (Colours{kWhite, kWhite, kText, kText}));
    EXPECT_EQ(made.value("cuoti"), 0);

    // The right button acts as a click and pops up no menu.
    provide("cheshi");
    press(2, Qt::RightButton);
    EXPECT_EQ(frameColours(2), (Colours{kText, kText, kWhite, kWhite}));
    release(2, Qt::RightButton);
    EXPECT_EQ(frameColours(2), (Colours{kWhite, kWhite, kText, kText}));
    EXPECT_FALSE(window->popupMenu()->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(made.value("cheshi"), 1);
}

TEST_F(MainWindowTest, MovesThickenAndBoldWithoutRecolouring) {
    moveOver(2);
    EXPECT_EQ(frameWidths(2), (Widths{2, 2, 2, 2}));
    EXPECT_TRUE(window->captionBold(2));
    EXPECT_EQ(frameWidths(1), (Widths{1, 1, 1, 1}));
    EXPECT_FALSE(window->captionBold(1));
    EXPECT_EQ(frameColours(2),
              (Colours{looks::kSysCaptionText, looks::kSysCaptionText, kText, kText}));

    // Straight onto another caption: both stay highlighted.
    moveOver(3);
    EXPECT_EQ(frameWidths(2), (Widths{2, 2, 2, 2}));
    EXPECT_EQ(frameWidths(3), (Widths{2, 2, 2, 2}));
    EXPECT_TRUE(window->captionBold(2));
    EXPECT_TRUE(window->captionBold(3));
    moveOverSurface();
    expectNothingHighlighted();

    // The lines take no mouse input: a move over the top edge of frame 1 (y 8) is the surface's.
    moveOver(1);
    ASSERT_TRUE(window->captionBold(1));
    EXPECT_EQ(window->surface()->childAt(QPoint(50, 8)), nullptr);
    moveOverSurface(QPoint(50, 8));
    expectNothingHighlighted();

    // "werrewrew" bolds 学习 until the next move over the surface.
    window->findChild<QAction*>("pop3")->trigger();
    EXPECT_TRUE(window->captionBold(1));
    EXPECT_FALSE(window->captionBold(2));
    EXPECT_EQ(frameWidths(1), (Widths{1, 1, 1, 1}));
    moveOverSurface();
    EXPECT_FALSE(window->captionBold(1));
}

TEST_F(MainWindowTest, RightPressOnTheSurfacePopsUpTheMenu) {
    QTest::mousePress(window->surface(), Qt::LeftButton, {}, freeSpot());
    EXPECT_FALSE(window->popupMenu()->isVisible());
    QTest::mouseRelease(window->surface(), Qt::LeftButton, {}, freeSpot());
    QTest::mousePress(window->surface(), Qt::RightButton, {}, freeSpot());
    ASSERT_TRUE(window->popupMenu()->isVisible());
    EXPECT_EQ(window->popupMenu()->pos(), window->surface()->mapToGlobal(freeSpot()));
    QStringList names, texts;
    for (QAction* action : window->popupMenu()->actions()) {
        names << action->objectName();
        texts << action->text();
    }
    EXPECT_EQ(names, (QStringList{"pop2", "pop3", "pop4"}));
    EXPECT_EQ(texts, (QStringList{QStringLiteral("更换背景"), "werrewrew", "sfsfsfd"}));
    window->popupMenu()->close();
}

TEST_F(MainWindowTest, MenuBarHoldsTheMenusButNotThePopup) {
    QStringList bar;
    for (QAction* action : window->menuBar()->actions())
        bar << (action->menu() ? action->menu()->objectName() : action->objectName());
    EXPECT_EQ(bar, (QStringList{"sjcl", "ctjl", "bangzhu"}));

    auto items = [&](const char* menu) {
        QStringList names;
        for (QAction* action : window->findChild<QMenu*>(menu)->actions())
            names << action->objectName() + (action->isSeparator() ? "|-" : "|" + action->text());
        return names;
    };
    EXPECT_EQ(items("sjcl"),
              (QStringList{QStringLiteral("sjlr|数据录入"), "sjcl1|-",
                           QStringLiteral("sjdr|数据导入"), QStringLiteral("sjdc|数据导出")}));
    EXPECT_EQ(items("bangzhu"), (QStringList{QStringLiteral("bangzhu1|使用帮助"), "bangzhu2|-",
                                             QStringLiteral("bangzhu11|下载最新版"), "bangzhu10|-",
                                             QStringLiteral("bangzhu5|关于"), "bangzhu6|-",
                                             QStringLiteral("bangzhu7|退出")}));
}

TEST_F(MainWindowTest, MenuItemsWithoutWindowsOrFailingOnesOpenNothing) {
    const auto before = QApplication::topLevelWidgets().size();
    for (const char* item : {"sjlr", "sjdr", "sjdc", "ctjl", "bangzhu1", "bangzhu5"})
        window->findChild<QAction*>(item)->trigger();
    QTest::mouseClick(label(1), Qt::LeftButton, {}, inside(1));
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
    // A window that fails to build is ignored.
    registered << "shujuluru";
    WindowRegistry::instance().registerFactory("shujuluru",
                                               []() -> QWidget* { throw std::runtime_error("x"); });
    EXPECT_NO_THROW(window->findChild<QAction*>("sjlr")->trigger());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, MenuItemsAndCaptionsReachTheirOneWindow) {
    const std::pair<const char*, const char*> routes[] = {
        {"sjlr", "shujuluru"}, {"sjdr", "shujudaoru"}, {"sjdc", "shujudaochu"},
        {"ctjl", "chengji"},   {"bangzhu1", "help"},   {"bangzhu5", "guanyu"}};
    for (auto [item, name] : routes) {
        provide(name);
        auto* action = window->findChild<QAction*>(item);
        ASSERT_NE(action, nullptr) << item;
        action->trigger();
        action->trigger();
        EXPECT_EQ(made.value(name), 1) << name;
        ASSERT_NE(WindowRegistry::instance().find(name), nullptr) << name;
        EXPECT_TRUE(WindowRegistry::instance().find(name)->isVisible()) << name;
    }

    // 学习 twice: the frame is raised before the click acts, and one unowned window is made.
    Colours seen{};
    registered << "xuexi";
    WindowRegistry::instance().registerFactory("xuexi", [&] {
        seen = frameColours(1);
        ++made["xuexi"];
        return new QWidget;
    });
    QTest::mouseClick(label(1), Qt::LeftButton, {}, inside(1));
    EXPECT_EQ(seen, (Colours{kWhite, kWhite, kText, kText}));
    QWidget* first = WindowRegistry::instance().find("xuexi");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->parentWidget(), nullptr);
    QTest::mouseClick(label(1), Qt::LeftButton, {}, inside(1));
    EXPECT_EQ(WindowRegistry::instance().find("xuexi"), first);
    EXPECT_EQ(made.value("xuexi"), 1);
    EXPECT_TRUE(window->isVisible());  // the main window never hides itself

    QList<QUrl> opened;
    mozhou::setShellOpenHandler([&](const QUrl& address) { opened << address; });
    window->findChild<QAction*>("bangzhu11")->trigger();
    mozhou::setShellOpenHandler({});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].path().endsWith("/setup.rar")) << opened[0].toString().toStdString();
}

TEST_F(MainWindowTest, FourWaysToCloseOnlyTheMainWindow) {
    provide("xuexi");
    QTest::mouseClick(label(1), Qt::LeftButton, {}, inside(1));
    QPointer<QWidget> study = WindowRegistry::instance().find("xuexi");
    const std::pair<const char*, std::function<void(MainWindow*)>> ways[] = {
        {"退出 clicked",
         [this](MainWindow*) { QTest::mouseClick(label(4), Qt::LeftButton, {}, inside(4)); }},
        {"退出 right-clicked",
         [this](MainWindow*) {
             press(4, Qt::RightButton);
             release(4, Qt::RightButton);
         }},
        {"menu item 退出", [](MainWindow* w) { w->findChild<QAction*>("bangzhu7")->trigger(); }},
        {"close box", [](MainWindow* w) { w->close(); }},
    };
    for (const auto& [way, close] : ways) {
        SCOPED_TRACE(way);
        if (!window) {
            window = new MainWindow;
            window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        }
        close(window);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull());
    }
    ASSERT_FALSE(study.isNull());
    EXPECT_TRUE(study->isVisible());
}

}  // namespace
