#include "message_box.h"

#include <QInputDialog>
#include <QMessageBox>

namespace mozhou {

namespace {
std::function<void(const QString&)>& messageHandler() {
    static std::function<void(const QString&)> h;
    return h;
}
std::function<std::optional<QString>()>& askHandler() {
    static std::function<std::optional<QString>()> h;
    return h;
}
}  // namespace

void setMessageHandler(std::function<void(const QString&)> handler) {
    messageHandler() = std::move(handler);
}
void setAskTextHandler(std::function<std::optional<QString>()> handler) {
    askHandler() = std::move(handler);
}

void showMessage(QWidget* parent, const QString& text) { showMessage(parent, text, QString()); }

void showMessage(QWidget* parent, const QString& text, const QString& details) {
    if (messageHandler()) return messageHandler()(text);
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent);
    if (!details.isEmpty()) box.setDetailedText(details);
    box.exec();
}

QString askText(QWidget* parent) {
    if (askHandler()) return askHandler()().value_or(QString());
    QInputDialog dialog(parent);
    dialog.setWindowTitle(kAppTitle);
    dialog.setLabelText(QString());
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted) return QString();
    return dialog.textValue();
}

}  // namespace mozhou
