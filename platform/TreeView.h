// The catalogue tree control of the export, study, test and drill windows, with the image
// list that holds its pictures: nodes with a text, a unique key, a parent and a picture
// index, drawn with dotted lines and plus/minus boxes, reporting the node a user chooses.
#pragma once

#include <QHash>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QString>
#include <QTreeWidget>
#include <vector>

#include "tree.h"

namespace mozhou {

// A window's image list: pictures addressed by 1-based index, in the order they were added.
class ImageList {
  public:
    // A missing or unreadable file adds an empty picture, so that later pictures keep their
    // indexes.
    void add(const QString& path);
    void clear() { icons_.clear(); }
    int count() const { return static_cast<int>(icons_.size()); }
    QIcon icon(int index) const;  // empty outside 1 … count()

  private:
    std::vector<QIcon> icons_;
};

// What a click on a node tells the window: the node, its level, and the texts of the node
// and its ancestors (grade = the grade node's text, and so on; empty below the node's level).
struct TreeClick {
    QString key;
    QString text;
    bank::TreeLevel level = bank::TreeLevel::Grade;
    QString grade, subject, lesson;
};

class TreeView : public QTreeWidget {
    Q_OBJECT
  public:
    explicit TreeView(QWidget* parent = nullptr);  // named TreeView1

    // The window's load-time build: loads the window's three icons from the program folder
    // into `images`, gives them to the tree, sets the window's line style and indentation,
    // and adds the catalogue read through `run`. Throws what the builder throws; the tree is
    // then left empty.
    void build(bank::TreeWindow window, ImageList& images, const bank::TreeQuery& run);

    // The pieces of build, for callers that fill a tree their own way.
    void setImageList(const ImageList* images) { images_ = images; }
    void setLook(const bank::TreeLook& look);
    // Appends nodes in order; a node whose parent key is unknown or whose key is taken is
    // left out, as the control refuses it.
    void addNodes(const std::vector<bank::TreeNode>& nodes);
    void clearNodes();

    QTreeWidgetItem* item(const QString& key) const;
    static QString keyOf(const QTreeWidgetItem* item);
    static TreeClick clickOf(const QTreeWidgetItem* item);

    // Indentation in twips below the control's floor gives the floor, as the common control does.
    static constexpr int kMinimumIndentPx = 19;

  signals:
    // A mouse click on a node's picture or text, or Enter on the current node; a click on a
    // plus/minus box only opens or closes the node.
    void NodeClick(const mozhou::TreeClick& node);

  protected:
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    const ImageList* images_ = nullptr;
    QHash<QString, QPersistentModelIndex> keys_;
};

}  // namespace mozhou
