#include <QApplication>

#include "MainWindow.h"
#include "bank_path.h"
#include "failure_text.h"
#include "first_run.h"
#include "language.h"
#include "message_box.h"
#include "windows.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    mozhou::useChinese();
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
