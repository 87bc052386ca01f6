#include "toolkit/drop_down_list.h"

namespace zentor::toolkit {

DropDownList::DropDownList(const QString& name, QWidget* parent) : QComboBox(parent) {
  setObjectName(name);
  setEditable(false);
}

void DropDownList::addEntry(const QString& text, const QVariant& value) { addItem(text, value); }

void DropDownList::setEntries(const std::vector<std::pair<QString, QVariant>>& entries) {
  clear();
  for (const auto& [text, value] : entries) addItem(text, value);
  setCurrentIndex(count() > 0 ? 0 : -1);
}

QVariant DropDownList::value() const { return currentIndex() < 0 ? QVariant() : currentData(); }

bool DropDownList::setValue(const QVariant& value) {
  for (int i = 0; i < count(); ++i) {
    if (itemData(i) == value) {
      setCurrentIndex(i);
      return true;
    }
  }
  setCurrentIndex(-1);
  return false;
}

}  // namespace zentor::toolkit
