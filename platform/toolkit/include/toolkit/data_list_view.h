// A list bound to a table object: one row per record in the table's current order, following
// the table's current record and moving the table when the user selects a row.
//
// The rows are the record numbers of the order, taken from the index keys without reading the
// records (dbf::Table::orderRecnos); a record is read only when its row is painted, through a
// second read-only handle on the same file, so a list over a large table opens at once and the
// bound table never moves for painting. Small orders (up to a thousand rows) are tested record
// by record when they are taken. In larger ones, the price of not reading up front: a record
// that is deleted or fails the bound table's filter is found out only when its row is painted,
// and its row then leaves the list in the next turn of the event loop.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QTableView>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbf/expr.h"
#include "dbf/table.h"

namespace zentor::toolkit {

struct ListColumn {
  std::string field;
  QString caption;
  int widthChars = 10;
  Qt::Alignment alignment = Qt::AlignLeft;
};

class DataListModel : public QAbstractTableModel, protected dbf::TableObserver {
  Q_OBJECT
 public:
  // Cell text of `field` for the record `row` stands on (the read-only handle).
  using CellText = std::function<QString(const dbf::Table& row, const std::string& field)>;

  explicit DataListModel(QObject* parent = nullptr);
  ~DataListModel() override;

  void setColumns(std::vector<ListColumn> columns);
  const std::vector<ListColumn>& columns() const { return columns_; }
  void setCellText(CellText fn) { cellText_ = std::move(fn); }

  // Binds the model to `table` (nullptr unbinds). The table must stay open while bound, or be
  // closed (which unbinds).
  void setTable(dbf::Table* table);
  dbf::Table* table() const { return table_; }
  // Takes the order anew from the table (after appends, deletions, a change of order).
  void refresh();

  int rowOfRecno(uint32_t recno) const;
  uint32_t recnoOfRow(int row) const;
  // The row of the bound table's current record; -1 at end of file or when it is not listed.
  int currentRow() const;
  // Records read for painting since binding, for callers that watch the cost of a list.
  uint64_t recordsRead() const { return recordsRead_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 signals:
  // The bound table moved to the record of `row` (-1: none listed).
  void currentRowChanged(int row);

 protected:
  void tableMoved(dbf::Table& t) override;
  void recordChanged(dbf::Table& t) override;
  void tableRefreshed(dbf::Table& t) override;
  void tableClosing(dbf::Table& t) override;

 private:
  // The cells of a row, read on first demand; nullopt when the record is not to be listed.
  const std::optional<std::vector<QString>>& cells(int row) const;
  void dropHiddenRows();
  // Whether the record the reader stands on belongs in the list (deleted flag, filter).
  bool listed() const;
  void openReader();
  void unbind();

  dbf::Table* table_ = nullptr;
  std::unique_ptr<dbf::Table> reader_;
  std::optional<dbf::Expression> filter_;
  std::string filterText_;
  std::vector<ListColumn> columns_;
  CellText cellText_;
  std::vector<uint32_t> recnos_;
  mutable std::map<int, std::optional<std::vector<QString>>> cache_;
  mutable bool dropPending_ = false;
  mutable uint64_t recordsRead_ = 0;
};

class DataListView : public QTableView {
  Q_OBJECT
 public:
  explicit DataListView(const QString& name, QWidget* parent = nullptr);

  void addColumn(ListColumn column);
  void clearColumns();
  // Binds the list to `table` and shows its current record.
  void attachTable(dbf::Table* table);
  void refresh();
  DataListModel* dataModel() const { return model_; }

  // The cell text; the default shows text without trailing blanks, numbers with their field's
  // decimals, dates as day.month.year and logicals as ".T." / ".F.".
  virtual QString fieldGet(const dbf::Table& row, const std::string& field) const;
  static QString defaultCellText(const dbf::Table& row, const std::string& field);

 private:
  void followTable(int row);
  void userMoved(const QModelIndex& current);
  void applyWidths();

  DataListModel* model_;
  bool following_ = false;
};

}  // namespace zentor::toolkit
