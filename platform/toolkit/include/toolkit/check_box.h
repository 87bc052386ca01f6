// Check box that shows a logical field; the object name is the field's name.
#pragma once

#include <QCheckBox>
#include <QString>

namespace zentor::toolkit {

class CheckBox : public QCheckBox {
  Q_OBJECT
 public:
  CheckBox(const QString& name, const QString& text, QWidget* parent = nullptr);

  bool value() const { return isChecked(); }
  void setValue(bool value) { setChecked(value); }
};

}  // namespace zentor::toolkit
