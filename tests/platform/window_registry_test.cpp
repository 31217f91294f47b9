#include "window_registry.h"

#include <gtest/gtest.h>
#include <QApplication>

using mozhou::WindowRegistry;

namespace {

struct RegistryTest : ::testing::Test {
    int made = 0;
    void SetUp() override {
        WindowRegistry::instance().registerFactory("probe", [this] {
            ++made;
            auto* window = new QWidget;
            window->setAttribute(Qt::WA_DeleteOnClose);
            return window;
        });
    }
    void TearDown() override {
        if (QWidget* window = WindowRegistry::instance().find("probe")) delete window;
        WindowRegistry::instance().unregisterFactory("probe");
    }
};

TEST_F(RegistryTest, OneWindowShownAgainUntilClosedThenMadeAnew) {
    QWidget* first = WindowRegistry::instance().show("probe");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->objectName(), "probe");
    EXPECT_EQ(WindowRegistry::instance().show("probe"), first);
    first->hide();
    EXPECT_EQ(WindowRegistry::instance().show("probe"), first);
    EXPECT_TRUE(first->isVisible());
    first->showMaximized();
    first->showMinimized();
    EXPECT_EQ(WindowRegistry::instance().show("probe"), first);
    EXPECT_FALSE(first->isMinimized());
    EXPECT_TRUE(first->isMaximized());
    EXPECT_EQ(made, 1);

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(WindowRegistry::instance().find("probe"), nullptr);
    ASSERT_NE(WindowRegistry::instance().show("probe"), nullptr);
    EXPECT_EQ(made, 2);

    // A name without a factory does nothing.
    const auto before = QApplication::topLevelWidgets().size();
    EXPECT_EQ(WindowRegistry::instance().show("nowhere"), nullptr);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
}

}  // namespace
