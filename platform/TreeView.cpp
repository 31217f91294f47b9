#include "TreeView.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

#include "bank_path.h"
#include "looks.h"

namespace mozhou {

namespace {

constexpr int kKeyRole = Qt::UserRole;

QString qs(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void ImageList::add(const QString& path) {
    QIcon icon;
    if (QFileInfo(path).isFile()) icon = QIcon(path);
    if (icon.availableSizes().isEmpty()) icon = QIcon();
    icons_.push_back(icon);
}

QIcon ImageList::icon(int index) const {
    if (index < 1 || index > count()) return {};
    return icons_[static_cast<std::size_t>(index - 1)];
}

TreeView::TreeView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("TreeView1"));
    setColumnCount(1);
    setHeaderHidden(true);
    setIconSize(QSize(16, 16));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(true);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { emit NodeClick(clickOf(item)); });
}

void TreeView::build(bank::TreeWindow window, ImageList& images, const bank::TreeQuery& run) {
    const bank::TreeLook look = bank::treeLook(window);
    images.clear();
    const QString folder = QString::fromStdString(programFolder().string());
    for (const char* file : look.icons) images.add(folder + "/" + QString::fromUtf8(file));
    setImageList(&images);
    clearNodes();
    setLook(look);
    addNodes(bank::buildTree(window, run));
}

void TreeView::setLook(const bank::TreeLook& look) {
    // Line style 1 draws the lines and boxes of the top level too.
    setRootIsDecorated(look.lineStyle == 1);
    setIndentation(std::max(looks::px(look.indentationTwips), kMinimumIndentPx));
}

void TreeView::addNodes(const std::vector<bank::TreeNode>& nodes) {
    for (const auto& node : nodes) {
        const QString key = qs(node.key);
        if (keys_.contains(key) && keys_.value(key).isValid()) continue;
        QTreeWidgetItem* parent = nullptr;
        if (!node.parentKey.empty()) {
            parent = item(qs(node.parentKey));
            if (!parent) continue;
        }
        auto* added = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        added->setText(0, qs(node.text));
        added->setData(0, kKeyRole, key);
        added->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        if (images_) added->setIcon(0, images_->icon(node.image));
        added->setExpanded(node.expanded);
        keys_.insert(key, QPersistentModelIndex(indexFromItem(added)));
    }
}

void TreeView::clearNodes() {
    clear();
    keys_.clear();
}

QTreeWidgetItem* TreeView::item(const QString& key) const {
    auto found = keys_.constFind(key);
    if (found == keys_.constEnd() || !found->isValid()) return nullptr;
    return itemFromIndex(*found);
}

QString TreeView::keyOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, kKeyRole).toString() : QString();
}

TreeClick TreeView::clickOf(const QTreeWidgetItem* item) {
    TreeClick click;
    if (!item) return click;
    click.key = keyOf(item);
    click.text = item->text(0);
    // The lesson is read from the node and its ancestors: the topmost is the grade.
    std::vector<QString> path;
    for (const QTreeWidgetItem* i = item; i; i = i->parent()) path.insert(path.begin(), i->text(0));
    const std::size_t depth = std::min<std::size_t>(path.size(), 3);
    click.level = static_cast<bank::TreeLevel>(depth);
    if (depth >= 1) click.grade = path[0];
    if (depth >= 2) click.subject = path[1];
    if (depth >= 3) click.lesson = path[2];
    return click;
}

void TreeView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        emit NodeClick(clickOf(currentItem()));
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

// Dotted lines from each node to its parent's line and on to its next sibling, and a boxed
// plus or minus on nodes that have children, as the common control draws them.
void TreeView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const {
    const int indent = indentation();
    if (indent <= 0 || rect.width() < indent) return;
    auto hasNextSibling = [](const QModelIndex& i) { return i.sibling(i.row() + 1, 0).isValid(); };

    painter->save();
    QPen dotted(palette().color(QPalette::Mid), 1, Qt::DotLine);
    painter->setPen(dotted);
    const int top = rect.top(), bottom = rect.bottom();
    const int midY = rect.top() + rect.height() / 2;
    const int own = rect.left() + rect.width() - indent;  // this node's own column
    const int midX = own + indent / 2;

    const bool firstOfTree = !index.parent().isValid() && index.row() == 0;
    if (!firstOfTree) painter->drawLine(midX, top, midX, midY);
    if (hasNextSibling(index)) painter->drawLine(midX, midY, midX, bottom);
    painter->drawLine(midX, midY, own + indent - 2, midY);
    int column = own - indent;
    for (QModelIndex a = index.parent(); a.isValid() && column >= rect.left();
         a = a.parent(), column -= indent) {
        if (hasNextSibling(a))
            painter->drawLine(column + indent / 2, top, column + indent / 2, bottom);
    }

    if (model()->hasChildren(index)) {
        const QRect box(midX - 4, midY - 4, 8, 8);
        painter->setPen(QPen(palette().color(QPalette::Mid), 1));
        painter->fillRect(box, palette().color(QPalette::Base));
        painter->drawRect(box);
        painter->setPen(QPen(palette().color(QPalette::Text), 1));
        painter->drawLine(midX - 2, midY, midX + 2, midY);
        if (!isExpanded(index)) painter->drawLine(midX, midY - 2, midX, midY + 2);
    }
    painter->restore();
}

}  // namespace mozhou
