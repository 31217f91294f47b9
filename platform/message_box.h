#pragma once

#include <QString>

class QWidget;

namespace mozhou {

// The application's title, shown on every message box and input box.
inline const QString kAppTitle = QStringLiteral("墨舟题苑");

// A modal message: one OK button, no icon, the application's title.
void showMessage(QWidget* parent, const QString& text);

// A modal input box with an empty prompt under the application's title; returns what was
// typed, or an empty text when the user cancels.
QString askText(QWidget* parent);

}  // namespace mozhou
