#include "DataGrid.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "failure_text.h"
#include "looks.h"
#include "message_box.h"

namespace mozhou {

namespace {

QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

bool editableKind(jet::ColumnType type) {
    switch (type) {
        case jet::ColumnType::Binary:
        case jet::ColumnType::OLE:
        case jet::ColumnType::Guid:
        case jet::ColumnType::Numeric:
            return false;
        default:
            return true;
    }
}

}  // namespace

// The rows of one record set as a table. Rows are read when the view asks for them and kept
// in a small cache that is dropped whenever the file changes.
class DataGridModel : public QAbstractTableModel {
  public:
    explicit DataGridModel(DataGrid* grid) : QAbstractTableModel(grid), grid_(grid) {}

    void open(dao::Workspace ws, dao::Database db, dao::Recordset rs) {
        beginResetModel();
        rs_.emplace(std::move(rs));
        db_ = std::move(db);
        ws_ = std::move(ws);
        shownRows_ = int(rs_->RecordCount());
        cache_.clear();
        openGeneration_ = generation();
        refreshQueued_ = false;
        endResetModel();
    }
    void close() {
        beginResetModel();
        // Reverse order of opening; a handle that fails to close is gone all the same.
        try {
            if (rs_) rs_->Close();
        } catch (...) {
        }
        try {
            db_.Close();
        } catch (...) {
        }
        try {
            ws_.Close();
        } catch (...) {
        }
        rs_.reset();
        db_ = dao::Database();
        ws_ = dao::Workspace();
        shownRows_ = 0;
        cache_.clear();
        endResetModel();
    }
    bool hasData() const { return rs_ && rs_->isOpen(); }
    int dataRows() const { return shownRows_; }

    void setAppendRow(bool on) {
        if (on == appendRow_) return;
        if (!hasData()) {
            appendRow_ = on;
            return;
        }
        if (on) {
            beginInsertRows({}, shownRows_, shownRows_);
            appendRow_ = true;
            endInsertRows();
        } else {
            beginRemoveRows({}, shownRows_, shownRows_);
            appendRow_ = false;
            endRemoveRows();
        }
    }
    void setUpdates(bool on) {
        updates_ = on;
        if (rowCount({}) > 0 && columnCount({}) > 0)
            emit dataChanged(index(0, 0), index(rowCount({}) - 1, columnCount({}) - 1));
    }

    int rowCount(const QModelIndex& parent) const override {
        if (parent.isValid() || !hasData()) return 0;
        return shownRows_ + (appendRow_ ? 1 : 0);
    }
    int columnCount(const QModelIndex& parent) const override {
        if (parent.isValid() || !hasData()) return 0;
        return int(rs_->fieldCount());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= shownRows_) return {};
        if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole) return {};
        const QStringList& texts = rowTexts(index.row());
        return index.column() < texts.size() ? texts[index.column()] : QString();
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || !hasData()) return {};
        if (orientation == Qt::Horizontal) {
            if (section < 0 || std::size_t(section) >= rs_->fieldCount()) return {};
            return fromUtf8(rs_->columns()[std::size_t(section)].name);
        }
        // The record selector: a star marks the empty row for appending.
        return appendRow_ && section == shownRows_ ? QStringLiteral("*") : QString();
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) return Qt::NoItemFlags;
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        const bool appending = index.row() == shownRows_;
        // Groups are not rows: a grouped result is only looked at.
        if ((appending ? appendRow_ : updates_) && !rs_->grouped() &&
            editableKind(rs_->columns()[std::size_t(index.column())].type))
            f |= Qt::ItemIsEditable;
        return f;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
            return false;
        const int row = index.row();
        const std::size_t column = std::size_t(index.column());
        const bool appending = row == shownRows_;
        const QString text = value.toString();
        // Leaving a cell as it was writes nothing, and an untouched empty row appends nothing.
        if (appending ? text.isEmpty() : text == rowTexts(row).value(index.column())) return false;
        const auto& info = rs_->columns()[column];
        QString problem;
        auto v = DataGrid::valueFromText(text, info.type, columnLabel(info.name), &problem);
        if (!v) {
            report(problem);
            return false;
        }
        try {
            if (appending) {
                rs_->AddNew();
            } else {
                rs_->setAbsolutePosition(row);
                rs_->Edit();
            }
            rs_->Fields(column) = std::move(*v);
            rs_->Update();
        } catch (const std::exception& e) {
            try {
                rs_->CancelUpdate();
            } catch (...) {
            }
            report(failureText(e, {QStringLiteral("这一格没有存入数据库"), grid_->databaseName(),
                                   QStringLiteral("第 %1 行").arg(row + 1)}),
                   QString::fromUtf8(e.what()));
            return false;
        }
        cache_.clear();
        if (appending) {
            beginInsertRows({}, shownRows_ + 1, shownRows_ + 1);
            ++shownRows_;
            endInsertRows();
            emit headerDataChanged(Qt::Vertical, row, row + 1);
        }
        emit dataChanged(this->index(row, 0), this->index(row, columnCount({}) - 1));
        return true;
    }

    // Deletes the rows (places in the result) as one transaction: all of them or none.
    bool deleteRows(std::vector<int> rows, QString* problem) {
        std::sort(rows.begin(), rows.end(), std::greater<>());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        bool ok = true;
        try {
            ws_.BeginTrans();
            try {
                // From the bottom up, so that the places still to delete do not move.
                for (int r : rows) {
                    rs_->setAbsolutePosition(r);
                    rs_->Delete();
                }
                ws_.CommitTrans();
            } catch (...) {
                try {
                    ws_.Rollback();
                } catch (...) {
                }
                throw;
            }
        } catch (const std::exception& e) {
            *problem = failureText(e, {QStringLiteral("没有删除任何一行"), grid_->databaseName()});
            ok = false;
            // The record set marked rows that the rollback brought back; read it anew.
            try {
                rs_->Requery();
            } catch (...) {
            }
        }
        beginResetModel();
        shownRows_ = hasData() ? int(rs_->RecordCount()) : 0;
        cache_.clear();
        openGeneration_ = generation();
        endResetModel();
        return ok;
    }

  private:
    std::uint64_t generation() const {
        return db_.isOpen() ? db_.engine().pages().generation() : 0;
    }

    const QStringList& rowTexts(int row) const {
        const std::uint64_t now = generation();
        if (now != cacheGeneration_ || cache_.size() > 2000) {
            cache_.clear();
            cacheGeneration_ = now;
        }
        auto it = cache_.find(row);
        if (it != cache_.end()) return it->second;
        QStringList texts;
        try {
            rs_->setAbsolutePosition(row);
            const dao::Recordset& rs = *rs_;
            for (std::size_t i = 0; i < rs.fieldCount(); ++i)
                texts << fromUtf8(dao::toText(rs.Fields(i)));
        } catch (...) {
            texts.clear();
            // Another handle changed the file and this row is gone: rather than blank lines,
            // the grid reads its query again, once per change (a row that cannot be read in
            // an unchanged file stays empty).
            if (now != openGeneration_ && !refreshQueued_) {
                refreshQueued_ = true;
                QMetaObject::invokeMethod(
                    grid_,
                    [grid = QPointer<DataGrid>(grid_)] {
                        if (grid) grid->refresh();
                    },
                    Qt::QueuedConnection);
            }
        }
        return cache_.emplace(row, std::move(texts)).first->second;
    }

    // Said after the edit has ended: a box opened while the editor commits would take its
    // focus and make it commit a second time.
    void report(const QString& text, const QString& details = {}) {
        QMetaObject::invokeMethod(
            grid_, [grid = grid_, text, details] { showMessage(grid, text, details); },
            Qt::QueuedConnection);
    }

    DataGrid* grid_;
    dao::Workspace ws_;
    dao::Database db_;
    // Optional: the record set has no default constructor that this file can instantiate.
    mutable std::optional<dao::Recordset> rs_;
    int shownRows_ = 0;
    bool appendRow_ = false;
    bool updates_ = false;
    mutable std::unordered_map<int, QStringList> cache_;
    mutable std::uint64_t cacheGeneration_ = 0;
    std::uint64_t openGeneration_ = 0;  // the file's generation when the query last ran
    mutable bool refreshQueued_ = false;
};

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), model_(new DataGridModel(this)) {
    setModel(model_);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setWordWrap(false);
    // Fixed row heights: the view never measures the rows it does not show.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumWidth(16);
    horizontalHeader()->setVisible(true);
    horizontalHeader()->setDefaultSectionSize(100);
    // A reset of the model (a refresh, a deletion) gives the header new sections.
    connect(model_, &QAbstractItemModel::modelReset, this, &DataGrid::applyColumnWidths);
}

DataGrid::~DataGrid() = default;

bool DataGrid::refresh() {
    model_->close();
    if (recordSource_.empty()) return true;
    dao::Workspace ws;
    dao::Database db;
    try {
        std::error_code ec;
        if (!std::filesystem::exists(databaseName_, ec))
            throw dao::Error("the file does not exist", jet::ErrorKind::Missing);
        db = ws.OpenDatabase(databaseName_);
        dao::Recordset rs = db.OpenRecordset(recordSource_);
        model_->open(std::move(ws), std::move(db), std::move(rs));
    } catch (const std::exception& e) {
        // The grid stays empty; the user is told why, unlike for a query without rows.
        showFailure(this, e, {QStringLiteral("表格里的数据没有读出来"), databaseName_});
        return false;
    }
    return true;
}

void DataGrid::closeData() { model_->close(); }

void DataGrid::setAllowAddNew(bool on) {
    allowAddNew_ = on;
    model_->setAppendRow(on);
}

void DataGrid::setAllowUpdate(bool on) {
    allowUpdate_ = on;
    model_->setUpdates(on);
}

void DataGrid::setColumnWidthTwips(int column, int twips) {
    if (column < 0) return;
    if (std::size_t(column) >= columnWidthsTwips_.size())
        columnWidthsTwips_.resize(std::size_t(column) + 1, 0);
    columnWidthsTwips_[std::size_t(column)] = twips;
    applyColumnWidths();
}

void DataGrid::applyColumnWidths() {
    const int columns = model_->columnCount({});
    for (int c = 0; c < columns && std::size_t(c) < columnWidthsTwips_.size(); ++c)
        if (columnWidthsTwips_[std::size_t(c)] > 0)
            setColumnWidth(c, looks::px(columnWidthsTwips_[std::size_t(c)]));
}

int DataGrid::dataRowCount() const { return model_->dataRows(); }

QString DataGrid::cellText(int row, int column) const {
    return model_->data(model_->index(row, column), Qt::DisplayRole).toString();
}

std::optional<dao::Value> DataGrid::valueFromText(const QString& text, jet::ColumnType type,
                                                  const QString& columnName, QString* problem) {
    using jet::ColumnType;
    const QString t = text.trimmed();
    auto fail = [&](const QString& what) -> std::optional<dao::Value> {
        if (problem)
            *problem = QStringLiteral("“%1”不能写入 %2 列：%3").arg(text, columnName, what);
        return std::nullopt;
    };
    if (type == ColumnType::Text || type == ColumnType::Memo) return dao::Value{text.toStdString()};
    // Other kinds: an empty cell is no value.
    if (t.isEmpty()) return dao::Value{};
    switch (type) {
        case ColumnType::Boolean: {
            static const QStringList yes{"true", "yes", "1", "-1", QStringLiteral("是")};
            static const QStringList no{"false", "no", "0", QStringLiteral("否")};
            if (yes.contains(t, Qt::CaseInsensitive)) return dao::Value{true};
            if (no.contains(t, Qt::CaseInsensitive)) return dao::Value{false};
            return fail(QStringLiteral("这一列只收“是”或“否”。"));
        }
        case ColumnType::Byte:
        case ColumnType::Int16:
        case ColumnType::Int32: {
            bool ok = false;
            const qlonglong n = t.toLongLong(&ok);
            if (!ok) return fail(QStringLiteral("这一列只收整数。"));
            const qlonglong lo = type == ColumnType::Byte    ? 0
                                 : type == ColumnType::Int16 ? -32768
                                                             : -2147483648LL;
            const qlonglong hi = type == ColumnType::Byte    ? 255
                                 : type == ColumnType::Int16 ? 32767
                                                             : 2147483647LL;
            if (n < lo || n > hi)
                return fail(QStringLiteral("这一列只收 %1 到 %2 之间的整数。").arg(lo).arg(hi));
            return dao::Value{std::int64_t(n)};
        }
        case ColumnType::Single:
        case ColumnType::Double: {
            bool ok = false;
            const double d = t.toDouble(&ok);
            if (!ok || !std::isfinite(d)) return fail(QStringLiteral("这一列只收数字。"));
            return dao::Value{d};
        }
        case ColumnType::Currency: {
            bool ok = false;
            const double d = t.toDouble(&ok);
            if (!ok || !std::isfinite(d) || std::fabs(d) > 9.2e14)
                return fail(QStringLiteral("这一列只收金额。"));
            return dao::Value{jet::Currency{std::int64_t(std::llround(d * 10000.0))}};
        }
        case ColumnType::DateTime: {
            QDateTime when;
            for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd",
                                       "yyyy/M/d HH:mm:ss", "yyyy/M/d"}) {
                when = QDateTime::fromString(t, QString::fromLatin1(format));
                if (when.isValid()) break;
            }
            if (!when.isValid())
                return fail(
                    QStringLiteral("这一列只收日期，如 2024-09-01 或 2024-09-01 08:30:00。"));
            const double days = double(QDate(1899, 12, 30).daysTo(when.date()));
            const double fraction = when.time().msecsSinceStartOfDay() / 86400000.0;
            // Before 1899-12-30 the time of day counts away from zero, as the engine keeps it.
            return dao::Value{jet::DateTime{days < 0 ? days - fraction : days + fraction}};
        }
        default:
            return fail(QStringLiteral("这一列不能在表格里修改。"));
    }
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
    if (state() != QAbstractItemView::EditingState) {
        if (event->key() == Qt::Key_Delete) {
            deleteSelectedRows();
            event->accept();
            return;
        }
        switch (event->key()) {
            case Qt::Key_Left:
            case Qt::Key_Right:
            case Qt::Key_Up:
            case Qt::Key_Down:
                if (!allowArrows_) {
                    event->ignore();
                    return;
                }
                break;
            default:
                break;
        }
    }
    QTableView::keyPressEvent(event);
}

void DataGrid::changeEvent(QEvent* event) {
    // Rows are as high as one line of the cell font.
    if (event->type() == QEvent::FontChange)
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QTableView::changeEvent(event);
}

void DataGrid::deleteSelectedRows() {
    if (!allowDelete_ || !model_->hasData() || !selectionModel()) return;
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        if (index.row() < model_->dataRows()) rows.push_back(index.row());
    if (rows.empty()) return;
    const int first = *std::min_element(rows.begin(), rows.end());
    const int scroll = verticalScrollBar()->value();
    QString problem;
    const bool ok = model_->deleteRows(rows, &problem);
    verticalScrollBar()->setValue(scroll);
    const int rowsLeft = model_->rowCount({});
    if (rowsLeft > 0) setCurrentIndex(model_->index(std::min(first, rowsLeft - 1), 0));
    if (!ok) showMessage(this, problem);
}

}  // namespace mozhou
