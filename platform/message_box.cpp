#include "message_box.h"

#include <QMessageBox>

namespace mozhou {

void showMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace mozhou
