#include "file_lists.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QStyle>
#include <algorithm>

namespace mozhou {

namespace {

// Kernel and runtime file systems hold no question files; a user's mounted media may sit
// under /run/media, so that stays.
bool listedRoot(const QString& root) {
    for (const char* hidden : {"/proc", "/sys", "/dev", "/run"})
        if (root == hidden || root.startsWith(QString(hidden) + '/'))
            return root.startsWith("/run/media/");
    return true;
}

bool under(const QString& path, const QString& root) {
    if (root == "/") return path.startsWith('/');
    return path == root || path.startsWith(root + '/');
}

}  // namespace

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    Refresh();
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) emit Change();
    });
}

void DriveListBox::Refresh() {
    QStringList roots;
    for (const auto& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && listedRoot(v.rootPath())) roots << v.rootPath();
    if (!roots.contains("/")) roots << "/";
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end(), [](const QString& a, const QString& b) {
        return a == "/" ? b != "/" : b == "/" ? false : a < b;
    });
    const QString keep = Drive();
    filling_ = true;
    clear();
    addItems(roots);
    filling_ = false;
    if (!keep.isEmpty()) setCurrentIndex(std::max(0, findText(keep)));
}

QString DriveListBox::Drive() const { return currentText(); }

void DriveListBox::setDrive(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    int best = -1;
    for (int i = 0; i < count(); ++i)
        if (under(absolute, itemText(i)) &&
            (best < 0 || itemText(i).size() > itemText(best).size()))
            best = i;
    if (best >= 0) setCurrentIndex(best);
}

// ---------------------------------------------------------------------------------------------

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::openItem);
}

bool DirListBox::setPath(const QString& folder) {
    QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable()) return false;
    const QString path = QDir::cleanPath(info.absoluteFilePath());
    const bool changed = path != path_;
    path_ = path;

    clear();
    auto* style = QApplication::style();
    const QIcon open = style->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style->standardIcon(QStyle::SP_DirClosedIcon);
    // The way down from the root, one step of indentation per level.
    QStringList parts = path_.split('/', Qt::SkipEmptyParts);
    QString at = "/";
    int depth = 0;
    auto add = [&](const QString& text, const QString& full, const QIcon& icon) {
        auto* item = new QListWidgetItem(icon, QString(depth * 2, ' ') + text, this);
        item->setData(Qt::UserRole, full);
        return item;
    };
    QListWidgetItem* current = add("/", "/", open);
    for (const auto& part : parts) {
        at = at == "/" ? "/" + part : at + "/" + part;
        ++depth;
        current = add(part, at, open);
    }
    ++depth;
    const auto subfolders =
        QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const auto& name : subfolders)
        add(name, path_ == "/" ? "/" + name : path_ + "/" + name, closed);
    setCurrentItem(current);
    if (changed) emit Change();
    return true;
}

void DirListBox::openItem(QListWidgetItem* item) {
    if (item) setPath(item->data(Qt::UserRole).toString());
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openItem(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemClicked, this, [this] { emit Click(); });
}

void FileListBox::setPath(const QString& folder) {
    path_ = folder;
    Refresh();
}

void FileListBox::setPattern(const QString& pattern) {
    pattern_ = pattern;
    Refresh();
}

void FileListBox::Refresh() {
    clear();
    if (path_.isEmpty()) return;
    // QDir matches name filters without regard to case, as the list should.
    addItems(
        QDir(path_).entryList(QStringList{pattern_}, QDir::Files, QDir::Name | QDir::IgnoreCase));
    setCurrentRow(-1);
}

QString FileListBox::FileName() const {
    auto* item = currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void FileListBox::keyPressEvent(QKeyEvent* event) {
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0) emit Click();
}

}  // namespace mozhou
