#include "toolkit/data_list_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMetaObject>
#include <algorithm>

#include "appcore/format.h"

namespace zentor::toolkit {
namespace {

// Rows kept read; a list shows a few dozen at a time, so this only bounds a long scroll.
constexpr size_t kCachedRows = 512;
// Orders up to this many rows are tested record by record when they are taken, so that small
// tables never show a row that is about to leave; larger ones are tested as rows are painted.
constexpr size_t kEagerRows = 1000;

}  // namespace

// ---- DataListModel ---------------------------------------------------------------------------

DataListModel::DataListModel(QObject* parent) : QAbstractTableModel(parent) {}

DataListModel::~DataListModel() {
  if (table_) table_->removeObserver(this);
}

void DataListModel::setColumns(std::vector<ListColumn> columns) {
  beginResetModel();
  columns_ = std::move(columns);
  cache_.clear();
  endResetModel();
}

void DataListModel::setTable(dbf::Table* table) {
  if (table == table_) {
    refresh();
    return;
  }
  unbind();
  table_ = table;
  if (table_) table_->addObserver(this);
  refresh();
}

void DataListModel::unbind() {
  if (table_) table_->removeObserver(this);
  table_ = nullptr;
  filter_.reset();
  filterText_.clear();
  reader_.reset();
}

void DataListModel::openReader() {
  if (!table_ || !table_->isOpen()) {
    reader_.reset();
    return;
  }
  if (!reader_ || !reader_->isOpen() || reader_->path() != table_->path()) {
    filter_.reset();
    filterText_.clear();
    dbf::OpenOptions opts;
    opts.shared = true;
    opts.readOnly = true;
    auto r = dbf::Table::open(table_->session(), table_->path(), opts);
    reader_ = r.ok() ? std::move(*r) : nullptr;
  }
  if (reader_ && table_->filterText() != filterText_) {
    filterText_ = table_->filterText();
    filter_.reset();
    // A filter given only as a predicate has no text to compile; its rows are all listed.
    if (!filterText_.empty()) {
      auto e = dbf::Expression::compile(filterText_, reader_->resolver());
      if (e.ok()) filter_.emplace(std::move(*e));
    }
  }
}

void DataListModel::refresh() {
  beginResetModel();
  cache_.clear();
  recnos_.clear();
  openReader();
  if (table_ && table_->isOpen()) table_->orderRecnos(&recnos_);
  if (reader_ && recnos_.size() <= kEagerRows) {
    std::erase_if(recnos_, [this](uint32_t r) {
      ++recordsRead_;
      return !reader_->go(r).ok() || reader_->eof() || !listed();
    });
  }
  endResetModel();
  emit currentRowChanged(currentRow());
}

int DataListModel::rowOfRecno(uint32_t recno) const {
  auto it = std::find(recnos_.begin(), recnos_.end(), recno);
  return it == recnos_.end() ? -1 : static_cast<int>(it - recnos_.begin());
}

uint32_t DataListModel::recnoOfRow(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= recnos_.size()) return 0;
  return recnos_[static_cast<size_t>(row)];
}

int DataListModel::currentRow() const {
  if (!table_ || !table_->isOpen() || table_->eof()) return -1;
  return rowOfRecno(table_->recno());
}

int DataListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(recnos_.size());
}

int DataListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

const std::optional<std::vector<QString>>& DataListModel::cells(int row) const {
  auto it = cache_.find(row);
  if (it != cache_.end()) return it->second;
  if (cache_.size() >= kCachedRows) cache_.clear();
  std::optional<std::vector<QString>> out;
  if (reader_ && reader_->go(recnoOfRow(row)).ok() && !reader_->eof()) {
    ++recordsRead_;
    if (listed()) {
      std::vector<QString> texts;
      texts.reserve(columns_.size());
      for (const ListColumn& c : columns_) {
        texts.push_back(cellText_ ? cellText_(*reader_, c.field) : DataListView::defaultCellText(*reader_, c.field));
      }
      out = std::move(texts);
    }
  }
  if (!out && !dropPending_) {
    dropPending_ = true;
    QMetaObject::invokeMethod(const_cast<DataListModel*>(this), &DataListModel::dropHiddenRows,
                              Qt::QueuedConnection);
  }
  return cache_.emplace(row, std::move(out)).first->second;
}

bool DataListModel::listed() const {
  if (reader_->session().deletedHidden() && reader_->deleted()) return false;
  return !filter_ || filter_->test();
}

void DataListModel::dropHiddenRows() {
  dropPending_ = false;
  std::vector<int> hidden;
  for (const auto& [row, c] : cache_) {
    if (!c) hidden.push_back(row);
  }
  if (hidden.empty()) return;
  cache_.clear();
  for (auto it = hidden.rbegin(); it != hidden.rend(); ++it) {
    if (static_cast<size_t>(*it) >= recnos_.size()) continue;
    beginRemoveRows(QModelIndex(), *it, *it);
    recnos_.erase(recnos_.begin() + *it);
    endRemoveRows();
  }
  emit currentRowChanged(currentRow());
}

QVariant DataListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() >= static_cast<int>(columns_.size())) return {};
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(columns_[static_cast<size_t>(index.column())].alignment | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole) return {};
  const auto& c = cells(index.row());
  if (!c) return QString();
  return (*c)[static_cast<size_t>(index.column())];
}

QVariant DataListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(columns_.size())) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  const ListColumn& c = columns_[static_cast<size_t>(section)];
  if (role == Qt::DisplayRole) return c.caption;
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(c.alignment | Qt::AlignVCenter);
  return {};
}

void DataListModel::tableMoved(dbf::Table&) { emit currentRowChanged(currentRow()); }

void DataListModel::recordChanged(dbf::Table&) {
  const int row = currentRow();
  if (row < 0) return;
  cache_.erase(row);
  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void DataListModel::tableRefreshed(dbf::Table&) { refresh(); }

void DataListModel::tableClosing(dbf::Table& t) {
  if (&t != table_) return;
  beginResetModel();
  unbind();
  cache_.clear();
  recnos_.clear();
  endResetModel();
}

// ---- DataListView ----------------------------------------------------------------------------

DataListView::DataListView(const QString& name, QWidget* parent)
    : QTableView(parent), model_(new DataListModel(this)) {
  setObjectName(name);
  setModel(model_);
  model_->setCellText([this](const dbf::Table& row, const std::string& field) { return fieldGet(row, field); });
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  verticalHeader()->hide();
  // Fixed row heights: measuring rows by their contents would read every record.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  connect(model_, &DataListModel::currentRowChanged, this, &DataListView::followTable);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) { userMoved(current); });
}

void DataListView::addColumn(ListColumn column) {
  auto cols = model_->columns();
  cols.push_back(std::move(column));
  model_->setColumns(std::move(cols));
  applyWidths();
  followTable(model_->currentRow());
}

void DataListView::clearColumns() { model_->setColumns({}); }

void DataListView::attachTable(dbf::Table* table) {
  model_->setTable(table);
  applyWidths();
}

void DataListView::refresh() { model_->refresh(); }

void DataListView::applyWidths() {
  const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
  const auto& cols = model_->columns();
  for (size_t i = 0; i < cols.size(); ++i) {
    setColumnWidth(static_cast<int>(i), cols[i].widthChars * charWidth + 8);
  }
}

void DataListView::followTable(int row) {
  following_ = true;
  if (row < 0) {
    selectionModel()->clearSelection();
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
  } else {
    const QModelIndex idx = model_->index(row, 0);
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(idx);
  }
  following_ = false;
}

void DataListView::userMoved(const QModelIndex& current) {
  if (following_ || !current.isValid()) return;
  dbf::Table* t = model_->table();
  const uint32_t recno = model_->recnoOfRow(current.row());
  if (!t || !t->isOpen() || recno == 0 || (!t->eof() && t->recno() == recno)) return;
  t->go(recno);
}

QString DataListView::fieldGet(const dbf::Table& row, const std::string& field) const {
  return defaultCellText(row, field);
}

QString DataListView::defaultCellText(const dbf::Table& row, const std::string& field) {
  const int idx = row.fieldIndex(field);
  if (idx < 0) return QString();
  const dbf::FieldDef& f = row.fields()[static_cast<size_t>(idx)];
  const dbf::Value v = row.get(idx);
  switch (f.type) {
    case 'N': return QString::fromStdString(app::formatNumber(v.number(), f.decimals));
    case 'D': return QString::fromStdString(app::formatDate(v.date()));
    case 'L': return v.boolean() ? QStringLiteral(".T.") : QStringLiteral(".F.");
    default: {
      QString s = QString::fromStdString(v.text());
      while (s.endsWith(QLatin1Char(' '))) s.chop(1);
      return s;
    }
  }
}

}  // namespace zentor::toolkit
