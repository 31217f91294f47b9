#include "window_registry.h"

#include <gtest/gtest.h>
#include <QApplication>

using mozhou::WindowRegistry;

// One window per name: shown again (restored, raised) until closed, then made anew.
TEST(WindowRegistry, OneWindowShownAgainUntilClosedThenMadeAnew) {
    auto& registry = WindowRegistry::instance();
    int made = 0;
    registry.registerFactory("probe", [&made] {
        ++made;
        auto* window = new QWidget;
        window->setAttribute(Qt::WA_DeleteOnClose);
        return window;
    });
    QWidget* first = registry.show("probe");
    ASSERT_NE(first, nullptr);
    first->hide();
    EXPECT_EQ(registry.show("probe"), first);
    EXPECT_TRUE(first->isVisible());
    first->showMaximized();
    first->showMinimized();
    EXPECT_EQ(registry.show("probe"), first);
    EXPECT_FALSE(first->isMinimized());
    EXPECT_TRUE(first->isMaximized());
    EXPECT_EQ(made, 1);

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(registry.find("probe"), nullptr);
    delete registry.show("probe");
    EXPECT_EQ(made, 2);
    registry.unregisterFactory("probe");
    EXPECT_EQ(registry.show("nowhere"), nullptr);
}
