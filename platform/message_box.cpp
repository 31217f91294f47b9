#include "message_box.h"

#include <QInputDialog>
#include <QMessageBox>

namespace mozhou {

void showMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

QString askText(QWidget* parent) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(kAppTitle);
    dialog.setLabelText(QString());
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted) return QString();
    return dialog.textValue();
}

}  // namespace mozhou
