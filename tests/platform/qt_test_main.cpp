#include <gtest/gtest.h>
#include <QApplication>

#include "jet/page_file.h"

// Widget tests need one QApplication; they run without a screen.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The tests stand for another program by holding the bank's locks themselves: the windows
    // give up on them after a moment instead of the seconds a real program may take.
    jet::PageFile::setWaitLimits(300, 300);
    return RUN_ALL_TESTS();
}
