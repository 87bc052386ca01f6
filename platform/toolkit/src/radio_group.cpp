#include "toolkit/radio_group.h"

#include <QVBoxLayout>

namespace zentor::toolkit {

namespace {
const char* const kValueProperty = "value";
}

RadioGroup::RadioGroup(const QString& name, const QString& title, QWidget* parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this)) {
  setObjectName(name);
  new QVBoxLayout(this);
  connect(buttons_, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool checked) {
    if (checked) emit valueChanged(value());
  });
}

QRadioButton* RadioGroup::addButton(const QString& name, const QString& text, const QVariant& value) {
  auto* button = new QRadioButton(text, this);
  button->setObjectName(name);
  button->setProperty(kValueProperty, value);
  buttons_->addButton(button);
  layout()->addWidget(button);
  return button;
}

QVariant RadioGroup::value() const {
  const QAbstractButton* checked = buttons_->checkedButton();
  return checked ? checked->property(kValueProperty) : QVariant();
}

bool RadioGroup::setValue(const QVariant& value) {
  for (QAbstractButton* b : buttons_->buttons()) {
    if (b->property(kValueProperty) == value) {
      b->setChecked(true);
      return true;
    }
  }
  // An exclusive group does not let the last checked button go; lift that for a moment.
  buttons_->setExclusive(false);
  for (QAbstractButton* b : buttons_->buttons()) b->setChecked(false);
  buttons_->setExclusive(true);
  return false;
}

}  // namespace zentor::toolkit
