#include "bound_grid.h"

#include <QHeaderView>
#include <optional>

#include "dao/dao.h"
#include "looks.h"

namespace mozhou {

class BoundGrid::Model : public QAbstractTableModel {
  public:
    void open(const std::filesystem::path& path, const std::string& sqlText) {
        beginResetModel();
        close();
        try {
            db_ = ws_.OpenDatabase(path);
            rs_ = db_.OpenRecordset(sqlText);
        } catch (const std::exception&) {
            close();
        }
        endResetModel();
    }
    void clear() {
        beginResetModel();
        close();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !rs_ ? 0 : int(rs_->RecordCount());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !rs_ ? 0 : int(rs_->fieldCount());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !rs_) return {};
        try {
            rs_->setAbsolutePosition(index.row());
            return QString::fromStdString(rs_->Fields(std::size_t(index.column())).text());
        } catch (const std::exception&) {
            // A row changed or removed elsewhere since the grid was filled shows empty.
            return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole || !rs_) return {};
        if (o == Qt::Horizontal && section < int(rs_->fieldCount()))
            return QString::fromStdString(rs_->columns()[std::size_t(section)].name);
        return {};
    }

  private:
    void close() {
        rs_.reset();
        db_.Close();
    }
    dao::Workspace ws_;
    dao::Database db_;
    mutable std::optional<dao::Recordset> rs_;
};

BoundGrid::BoundGrid(QWidget* parent) : QTableView(parent), model_(std::make_unique<Model>()) {
    setModel(model_.get());
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFont(looks::songFont(9));
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setMinimumWidth(looks::px(300));
}

BoundGrid::~BoundGrid() { setModel(nullptr); }

void BoundGrid::Refresh() { model_->open(DatabaseName, RecordSource); }

void BoundGrid::Clear() { model_->clear(); }

int BoundGrid::rowCountShown() const { return model_->rowCount(); }

}  // namespace mozhou
