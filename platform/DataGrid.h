// The data control and its bound grid in one widget: given a database file and an SQL text it
// shows every column of the result, headed by the column names, and lets the user change
// cells, append rows and delete rows as its four switches allow. Every change goes to the
// file at once through the record set. Rows are read only when they are shown, so a result of
// 100,000 rows opens at once.
#pragma once

#include <QTableView>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dao/dao.h"

namespace mozhou {

class DataGridModel;

class DataGrid : public QTableView {
    Q_OBJECT

  public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    // The data control's properties: the file and the SQL text; refresh() opens the file and
    // runs the text. A failure (file missing, locked or not a database, a bad SQL text) is told
    // in a message box and leaves the grid empty; an empty SQL text shows an empty grid.
    void setDatabaseName(const std::filesystem::path& path) { databaseName_ = path; }
    const std::filesystem::path& databaseName() const { return databaseName_; }
    void setRecordSource(const std::string& sqlText) { recordSource_ = sqlText; }
    const std::string& recordSource() const { return recordSource_; }
    bool refresh();
    // Releases the record set, the database and the workspace; the grid becomes empty.
    void closeData();

    // What the user may do. All four start off.
    bool AllowAddNew() const { return allowAddNew_; }
    bool AllowDelete() const { return allowDelete_; }
    bool AllowUpdate() const { return allowUpdate_; }
    bool AllowArrows() const { return allowArrows_; }
    void setAllowAddNew(bool on);
    void setAllowDelete(bool on) { allowDelete_ = on; }
    void setAllowUpdate(bool on);
    void setAllowArrows(bool on) { allowArrows_ = on; }

    // The width of a column by its position, in twips; kept over refreshes. Columns without
    // one keep the default width.
    void setColumnWidthTwips(int column, int twips);

    // The rows of the result (the empty row for appending not counted) and a cell's text.
    int dataRowCount() const;
    QString cellText(int row, int column) const;

    // Typed text as a value of a column kind; nullopt with `problem` set when it is not one.
    static std::optional<dao::Value> valueFromText(const QString& text, jet::ColumnType type,
                                                   const QString& columnName, QString* problem);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void deleteSelectedRows();
    void applyColumnWidths();

    DataGridModel* model_ = nullptr;
    std::filesystem::path databaseName_;
    std::string recordSource_;
    std::vector<int> columnWidthsTwips_;  // 0: the default width
    bool allowAddNew_ = false;
    bool allowDelete_ = false;
    bool allowUpdate_ = false;
    bool allowArrows_ = false;
};

}  // namespace mozhou
