// The file dialog a window keeps as one of its controls: a title, a filter in the
// "description|pattern|description|pattern" form, and the file name, which survives between
// uses, so that cancelling returns the name chosen before.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace mozhou {

class CommonDialog {
  public:
    enum class Kind { Open, Save };

    QString DialogTitle;
    QString Filter;
    QString FileName;

    // Shows the dialog, modal to `parent`. A chosen file becomes FileName; on cancel FileName
    // stays what it was. The save dialog asks before it replaces an existing file.
    void ShowOpen(QWidget* parent);
    void ShowSave(QWidget* parent);

    // The filter as Qt's dialogs take it: "jpg图片（*.jpg）|*.jpg" → "jpg图片（*.jpg） (*.jpg)".
    static QString qtFilter(const QString& filter);

    // Replaces the dialog (tests answer it this way): the function gets the dialog and its kind
    // and returns the chosen path, or nothing for a cancel. An empty function restores it.
    using Handler = std::function<std::optional<QString>(const CommonDialog&, Kind)>;
    static void setHandler(Handler handler);

  private:
    void show(QWidget* parent, Kind kind);
};

}  // namespace mozhou
