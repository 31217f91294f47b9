#pragma once

#include <QString>

class QWidget;

namespace mozhou {

// The application's title, shown on every message box and input box.
inline const QString kAppTitle = QStringLiteral("墨舟题苑");

// A modal message: one OK button, no icon, the application's title.
void showMessage(QWidget* parent, const QString& text);

}  // namespace mozhou
