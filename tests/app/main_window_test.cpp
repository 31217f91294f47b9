#include <QMenu>
#include <functional>
#include <stdexcept>

#include "MainWindow.h"
#include "looks.h"
#include "shell.h"
#include "window_registry.h"
#include "window_test.h"

using mozhou::MainWindow;
using mozhou::WindowRegistry;
namespace looks = mozhou::looks;

namespace {

constexpr std::uint32_t kWhite = looks::kWhite;
constexpr std::uint32_t kText = looks::kSysWindowText;
using Colours = std::array<std::uint32_t, 4>;
const QPoint kFreeSpot(500, 400);  // away from every caption and frame

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
    // A stand-in for a window, counting how often it is made.
    void provide(const QString& name) {
        registered << name;
        WindowRegistry::instance().registerFactory(name, [this, name] {
            ++made[name];
            return new QWidget;
        });
    }
    QPoint inside(int n) { return window->label(n)->rect().center(); }
    void press(int n, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(window->label(n), button, {}, inside(n));
    }
    // The label that took the press receives the release wherever the pointer is.
    void release(int n, Qt::MouseButton button = Qt::LeftButton, QPoint pos = {}) {
        QTest::mouseRelease(window->label(n), button, {}, pos.isNull() ? inside(n) : pos);
    }
    void click(int n) { QTest::mouseClick(window->label(n), Qt::LeftButton, {}, inside(n)); }
    void moveOver(int n) { QTest::mouseMove(window->label(n), inside(n)); }
    void moveOverSurface(QPoint pos = kFreeSpot) { QTest::mouseMove(window->surface(), pos); }
    Colours frameColours(int n) {
        const int b = (n - 1) * 4;
        return {window->lineColour(b + 1), window->lineColour(b + 2), window->lineColour(b + 3),
                window->lineColour(b + 4)};
    }
    // Frame n's four lines two pixels wide and its caption bold; every other one plain.
    void expectHighlighted(std::initializer_list<int> frames) {
        for (int n = 1; n <= 4; ++n) {
            const bool on = std::find(frames.begin(), frames.end(), n) != frames.end();
            EXPECT_EQ(window->captionBold(n), on) << n;
            for (int l = (n - 1) * 4 + 1; l <= n * 4; ++l)
                EXPECT_EQ(window->lineWidth(l), on ? 2 : 1) << l;
        }
    }
};

// A press sinks only its own frame and a release raises it; a move thickens and bolds without
// recolouring; the lines take no mouse input.
TEST_F(MainWindowTest, PressesAndMoves) {
    expectHighlighted({});
    const Colours second = frameColours(2);
    press(1);
    EXPECT_EQ(frameColours(1), (Colours{kText, kText, kWhite, kWhite}));
    EXPECT_EQ(QColor(window->surface()->grab().toImage().pixel(24, 30)), looks::colour(kText));
    EXPECT_EQ(frameColours(2), second);
    expectHighlighted({});
    release(1);
    EXPECT_EQ(frameColours(1), (Colours{kWhite, kWhite, kText, kText}));

    moveOver(2);
    moveOver(3);  // straight onto another caption: both stay highlighted
    expectHighlighted({2, 3});
    EXPECT_EQ(frameColours(2), second);
    moveOverSurface();
    expectHighlighted({});
    moveOver(1);
    EXPECT_EQ(window->surface()->childAt(QPoint(50, 8)), nullptr);
    moveOverSurface(QPoint(50, 8));
    expectHighlighted({});
    // "werrewrew" bolds 学习, without thickening, until the next move over the surface.
    window->findChild<QAction*>("pop3")->trigger();
    EXPECT_TRUE(window->captionBold(1));
    EXPECT_EQ(window->lineWidth(1), 1);
    moveOverSurface();
    EXPECT_FALSE(window->captionBold(1));
}

TEST_F(MainWindowTest, ClicksMenusAndThePopupReachTheirOneWindow) {
    // Released away from the caption: raised, but no click.
    provide("cuoti");
    press(3);
    release(3, Qt::LeftButton, QPoint(-200, 300));
    EXPECT_EQ(frameColours(3), (Colours{kWhite, kWhite, kText, kText}));
    EXPECT_EQ(made.value("cuoti"), 0);
    // The right button acts as a click and pops up no menu.
    provide("cheshi");
    press(2, Qt::RightButton);
    release(2, Qt::RightButton);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(made.value("cheshi"), 1);
    // A right press on the surface pops the menu up where it was pressed; a left one does not.
    QTest::mousePress(window->surface(), Qt::LeftButton, {}, kFreeSpot);
    EXPECT_FALSE(window->popupMenu()->isVisible());
    QTest::mouseRelease(window->surface(), Qt::LeftButton, {}, kFreeSpot);
    QTest::mousePress(window->surface(), Qt::RightButton, {}, kFreeSpot);
    ASSERT_TRUE(window->popupMenu()->isVisible());
    EXPECT_EQ(window->popupMenu()->pos(), window->surface()->mapToGlobal(kFreeSpot));
    window->popupMenu()->close();

    // A window that fails to build is ignored.
    registered << "shujuluru";
    WindowRegistry::instance().registerFactory("shujuluru",
                                               []() -> QWidget* { throw std::runtime_error("x"); });
    EXPECT_NO_THROW(window->findChild<QAction*>("sjlr")->trigger());
    WindowRegistry::instance().unregisterFactory("shujuluru");

    const std::pair<const char*, const char*> routes[] = {
        {"sjlr", "shujuluru"}, {"sjdr", "shujudaoru"}, {"sjdc", "shujudaochu"},
        {"ctjl", "chengji"},   {"bangzhu1", "help"},   {"bangzhu5", "guanyu"}};
    for (auto [item, name] : routes) {
        provide(name);
        window->findChild<QAction*>(item)->trigger();
        window->findChild<QAction*>(item)->trigger();
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
    click(1);
    click(1);
    EXPECT_EQ(seen, (Colours{kWhite, kWhite, kText, kText}));
    EXPECT_EQ(made.value("xuexi"), 1);
    EXPECT_EQ(WindowRegistry::instance().find("xuexi")->parentWidget(), nullptr);
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
    click(1);
    QPointer<QWidget> study = WindowRegistry::instance().find("xuexi");
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"退出 clicked", [this] { click(4); }},
        {"menu item 退出", [this] { window->findChild<QAction*>("bangzhu7")->trigger(); }},
        {"close box", [this] { window->close(); }},
    };
    for (const auto& [way, close] : ways) {
        SCOPED_TRACE(way);
        if (!window) {
            window = new MainWindow;
            window->show();
        }
        close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull());
    }
    ASSERT_FALSE(study.isNull());
    EXPECT_TRUE(study->isVisible());
}

}  // namespace
