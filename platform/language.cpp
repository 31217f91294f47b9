#include "language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace mozhou {

bool useChinese() {
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool loaded = false;
    // qtbase holds the widgets' texts; qt_ is the catalogue that gathers the modules.
    for (const char* name : {"qtbase", "qt"}) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(chinese, QString::fromLatin1(name), QStringLiteral("_"), folder) &&
            QCoreApplication::installTranslator(translator)) {
            loaded = true;
        } else {
            delete translator;
        }
    }
    return loaded;
}

}  // namespace mozhou
