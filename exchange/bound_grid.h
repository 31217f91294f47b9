// A read-only grid bound to a database file and an SQL text, as the exchange windows show the
// rows of a file: every column of the result in column order, headed by the column names.
// The grid opens its own connection and reads a row only when it is shown, so a file of
// 100,000 questions opens at once.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <filesystem>
#include <memory>
#include <string>

namespace mozhou {

class BoundGrid : public QTableView {
    Q_OBJECT
  public:
    explicit BoundGrid(QWidget* parent = nullptr);
    ~BoundGrid() override;

    // The data control's database path and record source; Refresh opens them and shows the
    // rows. A file or text that cannot be opened leaves the grid empty.
    std::filesystem::path DatabaseName;
    std::string RecordSource;
    void Refresh();
    // Shows nothing and lets go of the file.
    void Clear();
    int rowCountShown() const;

  private:
    class Model;
    std::unique_ptr<Model> model_;
};

}  // namespace mozhou
