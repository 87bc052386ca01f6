// A window bound to one table object, whose input controls are bound to fields by their object
// names. A linked control shows the field of the current record and follows every move of the
// table; an unlinked control keeps whatever it shows until it is linked again.
//
// Controls understood: SingleLineEdit (text, or number for Kind::kNumber), MultiLineEdit,
// CheckBox (logical fields), DateEdit (date fields). At end of file a linked control is emptied.
// The window does not own the table; detachTable() (or the table's closing) unbinds everything.
#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "dbf/table.h"

namespace zentor::toolkit {

class DataWindow : public QWidget, protected dbf::TableObserver {
  Q_OBJECT
 public:
  explicit DataWindow(QWidget* parent = nullptr);
  ~DataWindow() override;

  void attachTable(dbf::Table* table);
  void detachTable();
  dbf::Table* table() const { return table_; }

  // Binds `control` to the field of the attached table at `fieldIndex` (by position) or, without
  // one, to the field named like the control. False when there is no table or no such field.
  bool linkField(QWidget* control, int fieldIndex = -1);
  void unlinkField(QWidget* control);
  void unlinkAllFields();
  bool isLinked(const QWidget* control) const;
  // The field position a control would bind to by its name; -1 when the table has none.
  int fieldPositionOf(const QWidget* control) const;
  // Puts the current record into every linked control.
  void showRecord();

  // Navigation of the attached table; the bound controls and lists follow.
  void goTop();
  void goBottom();
  void skipNext();
  void skipPrevious();

  // The value a control holds, in the type of the field it stands for; nil for unknown controls.
  static dbf::Value controlValue(const QWidget* control);
  // Shows `value` in the control; a nil value empties it.
  static void setControlValue(QWidget* control, const dbf::Value& value);

 protected:
  void tableMoved(dbf::Table& t) override;
  void recordChanged(dbf::Table& t) override;
  void tableRefreshed(dbf::Table& t) override;
  void tableClosing(dbf::Table& t) override;

 private:
  struct Link {
    QPointer<QWidget> control;
    int field = -1;
  };
  dbf::Table* table_ = nullptr;
  std::vector<Link> links_;
};

}  // namespace zentor::toolkit
