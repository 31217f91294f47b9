#include <QApplication>

#include "MainWindow.h"
#include "windows.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Closing the main window closes no other window; the program ends with its last window.
    QApplication::setQuitOnLastWindowClosed(true);
    mozhou::registerWindows();
    auto* window = new mozhou::MainWindow;  // deletes itself when closed
    window->show();
    return app.exec();
}
