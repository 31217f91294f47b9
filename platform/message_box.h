#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace mozhou {

// The application's title, shown on every message box and input box.
inline const QString kAppTitle = QStringLiteral("墨舟题苑");

// A modal message: one OK button, no icon, the application's title.
void showMessage(QWidget* parent, const QString& text);
// The same with `details` behind the box's details button (for the engine's own words).
void showMessage(QWidget* parent, const QString& text, const QString& details);

// A modal input box with an empty prompt under the application's title; returns what was
// typed, or an empty text when the user cancels.
QString askText(QWidget* parent);

// Replace the boxes (tests answer and observe them this way). The message handler sees each
// text instead of a box; the input handler returns what the user would type, or nothing for
// a cancel. Empty functions restore the boxes.
void setMessageHandler(std::function<void(const QString&)> handler);
void setAskTextHandler(std::function<std::optional<QString>()> handler);

}  // namespace mozhou
