#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "MainWindow.h"
#include "bank_path.h"
#include "bank_rescue.h"
#include "language.h"
#include "windows.h"

int main(int argc, char** argv) {
    // Answered before any window system is needed, so they work on a bare terminal.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("mozhou %s\n", MOZHOU_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--paths") == 0) {
        std::printf("bank: %s\nfiles: %s\n", mozhou::bankPath().c_str(),
                    mozhou::programFolder().c_str());
        return 0;
    }
    QApplication app(argc, argv);
    mozhou::useChinese();
    // Installed, the desktop knows the program and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(MOZHOU_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(MOZHOU_APP_ID)));
    // Closing the main window closes no other window; the program ends with its last window.
    QApplication::setQuitOnLastWindowClosed(true);
    mozhou::registerWindows();
    // A missing bank is made with the sample questions; for one that cannot be used the user
    // chooses between its newest copy, a new bank and quitting.
    if (!mozhou::settleBank(mozhou::bankPath(), mozhou::programFolder() / "sample_bank.jsonl"))
        return 0;
    auto* window = new mozhou::MainWindow;  // deletes itself when closed
    window->show();
    return app.exec();
}
