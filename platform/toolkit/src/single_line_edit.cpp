#include "toolkit/single_line_edit.h"

#include <QFocusEvent>

namespace zentor::toolkit {

SingleLineEdit::SingleLineEdit(const QString& name, Kind kind, QWidget* parent)
    : QLineEdit(parent), kind_(kind) {
  setObjectName(name);
  if (kind_ == Kind::kNumber) setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  rebuild();
}

void SingleLineEdit::setTextLimit(int limit) {
  limit_ = limit > 0 ? limit : 0;
  rebuild();
}

void SingleLineEdit::setPicture(const QString& picture) {
  picture_ = Picture::parse(picture);
  rebuild();
}

void SingleLineEdit::rebuild() {
  const double keep = kind_ == Kind::kNumber ? number() : 0.0;
  delete validator();
  const bool needsValidator = kind_ == Kind::kNumber || !picture_.empty();
  setValidator(needsValidator ? new PictureValidator(picture_, kind_ == Kind::kNumber, limit_, this)
                              : nullptr);
  // With a validator the limit is checked there: a maximum length would cut a stored value that
  // does not fit instead of showing it whole.
  setMaxLength(!needsValidator && limit_ > 0 ? limit_ : 32767);
  if (kind_ == Kind::kNumber) setNumber(keep);
}

void SingleLineEdit::setValue(const QString& value) {
  QString v = value;
  if (kind_ == Kind::kText && !picture_.mask().isEmpty()) {
    while (v.endsWith(QLatin1Char(' '))) v.chop(1);
  }
  setText(v);
}

double SingleLineEdit::number() const { return parseNumber(text()); }

void SingleLineEdit::setNumber(double value) { setText(formatNumber(value, picture_)); }

void SingleLineEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (kind_ == Kind::kNumber) setNumber(number());
}

}  // namespace zentor::toolkit
