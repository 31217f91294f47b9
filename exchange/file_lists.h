// The drive, folder and file lists with which the import window picks its target. On Linux
// the drives are the mounted file-system roots; the folder list shows the way from the
// drive's root down to the current folder, then the current folder's subfolders (a double
// click or Enter opens one); the file list shows the files of a folder whose names match a
// pattern, without regard to letter case.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>

namespace mozhou {

class DriveListBox : public QComboBox {
    Q_OBJECT
  public:
    explicit DriveListBox(QWidget* parent = nullptr);
    // The root of the chosen drive.
    QString Drive() const;
    // Chooses the drive that holds `path` (the mounted root with the longest matching prefix).
    void setDrive(const QString& path);
    // Reads the mounted roots again.
    void Refresh();

  signals:
    void Change();

  private:
    bool filling_ = false;
};

class DirListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit DirListBox(QWidget* parent = nullptr);
    QString Path() const { return path_; }
    // Shows `folder`; returns false (and stays where it was) when it is not a readable folder.
    bool setPath(const QString& folder);

  signals:
    void Change();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void openItem(QListWidgetItem* item);
    QString path_;
};

class FileListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit FileListBox(QWidget* parent = nullptr);
    QString Path() const { return path_; }
    void setPath(const QString& folder);
    QString Pattern() const { return pattern_; }
    void setPattern(const QString& pattern);
    // The selected file's name, or empty.
    QString FileName() const;
    void Refresh();

  signals:
    // The user chose a file, with the mouse or the arrow keys.
    void Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QString path_;
    QString pattern_ = QStringLiteral("*.*");
};

}  // namespace mozhou
