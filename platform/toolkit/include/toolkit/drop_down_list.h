// Drop-down list without typing: each line shows a text and stands for a value (a code letter,
// a number). The object name is the name of the field the control shows.
#pragma once

#include <QComboBox>
#include <QString>
#include <QVariant>
#include <utility>
#include <vector>

namespace zentor::toolkit {

class DropDownList : public QComboBox {
  Q_OBJECT
 public:
  explicit DropDownList(const QString& name, QWidget* parent = nullptr);

  void addEntry(const QString& text, const QVariant& value);
  // Replaces every line; the first one is selected when there is any.
  void setEntries(const std::vector<std::pair<QString, QVariant>>& entries);

  // The selected line's value; invalid when nothing is selected.
  QVariant value() const;
  // Selects the first line with this value; false (and nothing selected) when there is none.
  bool setValue(const QVariant& value);
};

}  // namespace zentor::toolkit
