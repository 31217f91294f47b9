#include "common_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace mozhou {

namespace {
CommonDialog::Handler& handler() {
    static CommonDialog::Handler h;
    return h;
}
}  // namespace

void CommonDialog::setHandler(Handler h) { handler() = std::move(h); }

QString CommonDialog::qtFilter(const QString& filter) {
    auto parts = filter.split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        auto patterns = parts[i + 1];
        patterns.replace(';', ' ');
        entries << parts[i] + " (" + patterns + ")";
    }
    return entries.join(";;");
}

void CommonDialog::ShowOpen(QWidget* parent) { show(parent, Kind::Open); }
void CommonDialog::ShowSave(QWidget* parent) { show(parent, Kind::Save); }

void CommonDialog::show(QWidget* parent, Kind kind) {
    std::optional<QString> chosen;
    if (handler()) {
        chosen = handler()(*this, kind);
    } else {
        QString start = FileName;
        QString name =
            kind == Kind::Open
                ? QFileDialog::getOpenFileName(parent, DialogTitle, start, qtFilter(Filter))
                : QFileDialog::getSaveFileName(parent, DialogTitle, start, qtFilter(Filter));
        if (!name.isEmpty()) chosen = name;
    }
    if (chosen) FileName = *chosen;
}

}  // namespace mozhou
