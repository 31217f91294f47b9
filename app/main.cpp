#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "MainWindow.h"
#include "bank_path.h"
#include "failure_text.h"
#include "first_run.h"
#include "language.h"
#include "message_box.h"
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
    // A missing bank is made with the sample questions; one that is there but cannot be read
    // is reported and left exactly as it is.
    try {
        bank::ensureBank(mozhou::bankPath(), mozhou::programFolder() / "sample_bank.jsonl");
    } catch (const std::exception& e) {
        mozhou::showFailure(nullptr, e, {QStringLiteral("题库无法使用，它原样留着")});
    }
    auto* window = new mozhou::MainWindow;  // deletes itself when closed
    window->show();
    return app.exec();
}
