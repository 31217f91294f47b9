// A read-only, word-wrapped display of a listing that may run to a hundred thousand entries.
// Only the entries on screen are asked for and laid out, so a listing of any length shows at
// once and costs memory for what is seen; yet it reads, scrolls, selects and copies as one plain
// text, the entries following each other with nothing between them.
#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <unordered_map>

class QTextLayout;

namespace mozhou {

class ListingView : public QAbstractScrollArea {
  public:
    // The text of entry i (0-based). Asked for again whenever the entry comes back into view
    // after a while; it must give the same text each time. Its lines may end with CR LF, CR or
    // LF: the listing reads and copies them as LF, as a text box does.
    using EntryText = std::function<QString(std::size_t)>;

    explicit ListingView(QWidget* parent = nullptr);
    ~ListingView() override;

    // Replaces the listing and shows it from its start, nothing selected.
    void setEntries(std::size_t count, EntryText text);
    // A listing of one text (a message in place of a listing).
    void setPlainText(const QString& text);

    std::size_t entryCount() const { return count_; }
    // The whole listing as one text, and the selected part of it.
    QString toPlainText() const;
    QString selectedText() const;
    void selectAll();
    void copy() const;
    // The first entry on screen.
    std::size_t topEntry() const;

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void changeEvent(QEvent*) override;
    void scrollContentsBy(int, int) override;

  private:
    // A place in the listing: an entry and a character of its text.
    struct Place {
        std::size_t entry = 0;
        int offset = 0;
        auto operator<=>(const Place&) const = default;
    };
    struct Layout;

    const QString& textOf(std::size_t entry) const;
    const Layout& layoutOf(std::size_t entry) const;
    void forgetLayouts();
    void updateScrollRange();
    // The place under a point of the viewport, the nearest one when between entries.
    Place placeAt(QPoint p) const;
    QString textBetween(Place from, Place to) const;

    std::size_t count_ = 0;
    EntryText text_;
    // Entries read and laid out lately, the oldest dropped once there are many.
    mutable std::unordered_map<std::size_t, QString> texts_;
    mutable std::list<std::size_t> textOrder_;
    mutable std::unordered_map<std::size_t, std::unique_ptr<Layout>> layouts_;
    mutable std::list<std::size_t> layoutOrder_;
    Place anchor_, cursor_;  // the selection runs between them
    bool selecting_ = false;
};

}  // namespace mozhou
