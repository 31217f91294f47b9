#include "ListingView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <algorithm>
#include <vector>

namespace mozhou {

namespace {

constexpr int kMargin = 4;                // the text's distance from the frame, as a text box keeps
constexpr std::size_t kRemembered = 600;  // entries kept read and laid out: a few screens' worth

// Keeps `key` as the newest of a bounded cache, dropping the oldest when it is full.
template <class Map>
void remember(Map& map, std::list<std::size_t>& order, std::size_t key) {
    order.push_back(key);
    while (order.size() > kRemembered) {
        map.erase(order.front());
        order.pop_front();
    }
}

}  // namespace

// An entry laid out at the viewport's width: a layout for each of its lines as the text ends
// them, each wrapped to the width.
struct ListingView::Layout {
    std::vector<std::unique_ptr<QTextLayout>> lines;
    std::vector<int> starts;  // where each line begins in the entry's text
    qreal height = 0;
};

ListingView::ListingView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

ListingView::~ListingView() = default;

void ListingView::setEntries(std::size_t count, EntryText text) {
    count_ = count;
    text_ = std::move(text);
    texts_.clear();
    textOrder_.clear();
    forgetLayouts();
    anchor_ = cursor_ = {};
    selecting_ = false;
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void ListingView::setPlainText(const QString& text) {
    setEntries(1, [text](std::size_t) { return text; });
}

const QString& ListingView::textOf(std::size_t entry) const {
    auto it = texts_.find(entry);
    if (it != texts_.end()) return it->second;
    QString text = text_ ? text_(entry) : QString();
    // Lines end as a text box ends them, whether the entry ends them with CR LF, CR or LF.
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    remember(texts_, textOrder_, entry);
    return texts_[entry] = std::move(text);
}

const ListingView::Layout& ListingView::layoutOf(std::size_t entry) const {
    auto it = layouts_.find(entry);
    if (it != layouts_.end()) return *it->second;
    const QString text = textOf(entry);
    auto layout = std::make_unique<Layout>();
    const qreal width = std::max(1, viewport()->width() - 2 * kMargin);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    int start = 0;
    while (start < text.size() || layout->lines.empty()) {
        int end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0) end = int(text.size());
        auto line = std::make_unique<QTextLayout>(text.mid(start, end - start), font());
        line->setTextOption(option);
        line->setCacheEnabled(true);
        line->beginLayout();
        qreal y = 0;
        for (QTextLine l = line->createLine(); l.isValid(); l = line->createLine()) {
            l.setLineWidth(width);
            l.setPosition(QPointF(0, y));
            y += l.height();
        }
        line->endLayout();
        layout->lines.push_back(std::move(line));
        layout->starts.push_back(start);
        layout->height += y;
        start = end + 1;
    }
    remember(layouts_, layoutOrder_, entry);
    return *(layouts_[entry] = std::move(layout));
}

void ListingView::forgetLayouts() {
    layouts_.clear();
    layoutOrder_.clear();
    updateScrollRange();
}

void ListingView::updateScrollRange() {
    // The last page starts at the entry from which the rest just fills the viewport.
    std::size_t lastTop = count_;
    qreal filled = 0;
    while (lastTop > 0 && filled < viewport()->height() - 2 * kMargin) {
        filled += layoutOf(lastTop - 1).height;
        if (filled <= viewport()->height() - 2 * kMargin || lastTop == count_)
            --lastTop;
        else
            break;
    }
    if (lastTop == count_ && count_ > 0) lastTop = count_ - 1;
    auto* bar = verticalScrollBar();
    bar->setRange(0, int(std::min<std::size_t>(lastTop, INT_MAX)));
    bar->setSingleStep(1);
    bar->setPageStep(std::max(1, int(count_ - lastTop) - 1));
}

std::size_t ListingView::topEntry() const { return std::size_t(verticalScrollBar()->value()); }

void ListingView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const auto [from, to] = std::minmax(anchor_, cursor_);
    QTextLayout::FormatRange selected;
    selected.format.setBackground(palette().brush(QPalette::Highlight));
    selected.format.setForeground(palette().brush(QPalette::HighlightedText));
    qreal y = kMargin;
    for (std::size_t e = topEntry(); e < count_ && y < viewport()->height(); ++e) {
        const Layout& layout = layoutOf(e);
        const int length = int(textOf(e).size());
        const int selStart = e < from.entry || e > to.entry ? length
                             : e == from.entry              ? from.offset
                                                            : 0;
        const int selEnd = e > to.entry || e < from.entry ? 0 : e == to.entry ? to.offset : length;
        for (std::size_t k = 0; k < layout.lines.size(); ++k) {
            QTextLayout& line = *layout.lines[k];
            QList<QTextLayout::FormatRange> ranges;
            const int start = std::max(selStart - layout.starts[k], 0);
            const int end = std::min(selEnd - layout.starts[k], int(line.text().size()));
            if (end > start) {
                selected.start = start;
                selected.length = end - start;
                ranges.append(selected);
            }
            line.draw(&painter, QPointF(kMargin, y), ranges);
            y += line.boundingRect().height();
        }
    }
}

void ListingView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    forgetLayouts();
}

void ListingView::changeEvent(QEvent* e) {
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange) forgetLayouts();
}

void ListingView::scrollContentsBy(int, int) { viewport()->update(); }

ListingView::Place ListingView::placeAt(QPoint p) const {
    if (count_ == 0) return {};
    qreal y = kMargin;
    std::size_t e = topEntry();
    if (p.y() < y) return {e, 0};
    for (; e < count_; ++e) {
        const Layout& layout = layoutOf(e);
        if (p.y() < y + layout.height) {
            for (std::size_t k = 0; k < layout.lines.size(); ++k) {
                const QTextLayout& line = *layout.lines[k];
                for (int i = 0; i < line.lineCount(); ++i) {
                    const QTextLine l = line.lineAt(i);
                    if (p.y() < y + l.y() + l.height())
                        return {e, layout.starts[k] + l.xToCursor(p.x() - kMargin)};
                }
                y += line.boundingRect().height();
            }
        }
        y += layout.height;
        if (y > viewport()->height()) break;
    }
    if (e >= count_) return {count_ - 1, int(textOf(count_ - 1).size())};
    return {e, int(textOf(e).size())};
}

void ListingView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    cursor_ = placeAt(e->position().toPoint());
    if (!(e->modifiers() & Qt::ShiftModifier)) anchor_ = cursor_;
    selecting_ = true;
    viewport()->update();
}

void ListingView::mouseMoveEvent(QMouseEvent* e) {
    if (!selecting_ || !(e->buttons() & Qt::LeftButton)) return;
    // Dragging past the top or bottom edge scrolls on, an entry at a time.
    auto* bar = verticalScrollBar();
    if (e->position().y() < 0) bar->setValue(bar->value() - 1);
    if (e->position().y() > viewport()->height()) bar->setValue(bar->value() + 1);
    cursor_ = placeAt(e->position().toPoint());
    viewport()->update();
}

void ListingView::wheelEvent(QWheelEvent* e) {
    // An entry a notch: entries are several lines each.
    const int steps = e->angleDelta().y() / 120;
    if (steps == 0) return QAbstractScrollArea::wheelEvent(e);
    verticalScrollBar()->setValue(verticalScrollBar()->value() - steps);
    e->accept();
}

void ListingView::keyPressEvent(QKeyEvent* e) {
    if (e == QKeySequence::SelectAll) return selectAll();
    if (e == QKeySequence::Copy) return copy();
    auto* bar = verticalScrollBar();
    if (e == QKeySequence::MoveToStartOfDocument) return bar->setValue(bar->minimum());
    if (e == QKeySequence::MoveToEndOfDocument) return bar->setValue(bar->maximum());
    QAbstractScrollArea::keyPressEvent(e);
}

void ListingView::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(QStringLiteral("复制(&C)"), this, [this] { copy(); });
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(anchor_ != cursor_);
    menu.addSeparator();
    menu.addAction(QStringLiteral("全选(&A)"), this, [this] { selectAll(); })
        ->setShortcut(QKeySequence::SelectAll);
    menu.exec(e->globalPos());
}

void ListingView::selectAll() {
    if (count_ == 0) return;
    anchor_ = {};
    cursor_ = {count_ - 1, int(textOf(count_ - 1).size())};
    viewport()->update();
}

QString ListingView::textBetween(Place from, Place to) const {
    QString out;
    for (std::size_t e = from.entry; e <= to.entry && e < count_; ++e) {
        const QString& text = textOf(e);
        const int start = e == from.entry ? from.offset : 0;
        const int end = e == to.entry ? to.offset : int(text.size());
        out += text.mid(start, end - start);
    }
    return out;
}

QString ListingView::selectedText() const {
    const auto [from, to] = std::minmax(anchor_, cursor_);
    return textBetween(from, to);
}

QString ListingView::toPlainText() const {
    if (count_ == 0) return {};
    return textBetween({}, {count_ - 1, int(textOf(count_ - 1).size())});
}

void ListingView::copy() const {
    if (anchor_ != cursor_) QApplication::clipboard()->setText(selectedText());
}

}  // namespace mozhou
