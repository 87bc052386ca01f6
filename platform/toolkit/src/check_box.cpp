#include "toolkit/check_box.h"

namespace zentor::toolkit {

CheckBox::CheckBox(const QString& name, const QString& text, QWidget* parent)
    : QCheckBox(text, parent) {
  setObjectName(name);
}

}  // namespace zentor::toolkit
