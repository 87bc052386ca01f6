// A group of radio buttons, each standing for a value; exactly one or none is checked.
// The group's object name is the field it shows, each button's its own control name (RDB...).
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QString>
#include <QVariant>

namespace zentor::toolkit {

class RadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  RadioGroup(const QString& name, const QString& title, QWidget* parent = nullptr);

  // The button belongs to the group, which lays it out below the earlier ones.
  QRadioButton* addButton(const QString& name, const QString& text, const QVariant& value);

  // The checked button's value; invalid when none is checked.
  QVariant value() const;
  // Checks the first button with this value; unchecks all and returns false when none has it.
  bool setValue(const QVariant& value);

 signals:
  void valueChanged(const QVariant& value);

 private:
  QButtonGroup* buttons_;
};

}  // namespace zentor::toolkit
