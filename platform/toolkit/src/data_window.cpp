#include "toolkit/data_window.h"

#include <algorithm>

#include "toolkit/check_box.h"
#include "toolkit/date_edit.h"
#include "toolkit/multi_line_edit.h"
#include "toolkit/single_line_edit.h"

namespace zentor::toolkit {

DataWindow::DataWindow(QWidget* parent) : QWidget(parent) {}

DataWindow::~DataWindow() { detachTable(); }

void DataWindow::attachTable(dbf::Table* table) {
  if (table_ == table) return;
  detachTable();
  table_ = table;
  if (table_) table_->addObserver(this);
}

void DataWindow::detachTable() {
  if (!table_) return;
  table_->removeObserver(this);
  table_ = nullptr;
  links_.clear();
}

int DataWindow::fieldPositionOf(const QWidget* control) const {
  if (!table_ || !table_->isOpen() || !control) return -1;
  return table_->fieldIndex(control->objectName().toStdString());
}

bool DataWindow::linkField(QWidget* control, int fieldIndex) {
  if (!table_ || !table_->isOpen() || !control) return false;
  if (fieldIndex < 0) fieldIndex = fieldPositionOf(control);
  if (fieldIndex < 0 || fieldIndex >= table_->fieldCount()) return false;
  unlinkField(control);
  links_.push_back({control, fieldIndex});
  setControlValue(control, table_->eof() ? dbf::Value() : table_->get(fieldIndex));
  return true;
}

void DataWindow::unlinkField(QWidget* control) {
  links_.erase(std::remove_if(links_.begin(), links_.end(),
                              [control](const Link& l) { return l.control == control; }),
               links_.end());
}

void DataWindow::unlinkAllFields() { links_.clear(); }

bool DataWindow::isLinked(const QWidget* control) const {
  return std::any_of(links_.begin(), links_.end(), [control](const Link& l) { return l.control == control; });
}

void DataWindow::showRecord() {
  if (!table_ || !table_->isOpen()) return;
  const bool atEnd = table_->eof();
  for (const Link& l : links_) {
    if (l.control) setControlValue(l.control, atEnd ? dbf::Value() : table_->get(l.field));
  }
}

void DataWindow::goTop() {
  if (table_ && table_->isOpen()) table_->goTop();
}
void DataWindow::goBottom() {
  if (table_ && table_->isOpen()) table_->goBottom();
}
// Stepping past either end stays on the last (or first) record, as a list's arrow keys do.
void DataWindow::skipNext() {
  if (!table_ || !table_->isOpen() || table_->eof()) return;
  table_->skip(1);
  if (table_->eof()) table_->goBottom();
}
void DataWindow::skipPrevious() {
  if (!table_ || !table_->isOpen() || table_->eof()) return;
  table_->skip(-1);
  if (table_->bof() || table_->eof()) table_->goTop();
}

dbf::Value DataWindow::controlValue(const QWidget* control) {
  if (auto* e = qobject_cast<const SingleLineEdit*>(control)) {
    if (e->kind() == SingleLineEdit::Kind::kNumber) return dbf::Value(e->number());
    return dbf::Value(e->value().toStdString());
  }
  if (auto* m = qobject_cast<const MultiLineEdit*>(control)) return dbf::Value(m->value().toStdString());
  if (auto* c = qobject_cast<const CheckBox*>(control)) return dbf::Value::logical(c->value());
  if (auto* d = qobject_cast<const DateEdit*>(control)) return dbf::Value(d->dateValue());
  return {};
}

void DataWindow::setControlValue(QWidget* control, const dbf::Value& v) {
  if (auto* e = qobject_cast<SingleLineEdit*>(control)) {
    if (v.isNil()) {
      e->setValue(QString());
    } else if (e->kind() == SingleLineEdit::Kind::kNumber) {
      e->setNumber(v.isNumeric() ? v.number() : 0.0);
    } else {
      e->setValue(QString::fromStdString(v.isCharacter() ? v.text() : std::string()));
    }
  } else if (auto* m = qobject_cast<MultiLineEdit*>(control)) {
    m->setValue(QString::fromStdString(v.isCharacter() ? v.text() : std::string()));
  } else if (auto* c = qobject_cast<CheckBox*>(control)) {
    c->setValue(v.boolean());
  } else if (auto* d = qobject_cast<DateEdit*>(control)) {
    d->setDateValue(v.isDate() ? v.date() : dbf::Date());
  }
}

void DataWindow::tableMoved(dbf::Table&) { showRecord(); }
void DataWindow::recordChanged(dbf::Table&) { showRecord(); }
void DataWindow::tableRefreshed(dbf::Table&) { showRecord(); }
void DataWindow::tableClosing(dbf::Table& t) {
  if (&t == table_) {
    t.removeObserver(this);
    table_ = nullptr;
    links_.clear();
  }
}

}  // namespace zentor::toolkit
