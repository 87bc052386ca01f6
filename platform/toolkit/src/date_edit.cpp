#include "toolkit/date_edit.h"

#include <QFocusEvent>
#include <QStringList>
#include <QValidator>

#include "appcore/format.h"
#include "toolkit/picture.h"

namespace zentor::toolkit {

std::optional<QDate> parseGermanDate(const QString& text) {
  const std::optional<dbf::Date> d = app::parseDate(text.toStdString());
  if (!d || d->empty()) return std::nullopt;
  return toQDate(*d);
}

QDate toQDate(dbf::Date date) {
  return date.empty() ? QDate() : QDate(date.year(), date.month(), date.day());
}

dbf::Date toDbfDate(const QDate& date) {
  return date.isValid() ? dbf::Date::fromYmd(date.year(), date.month(), date.day()) : dbf::Date();
}

QString formatGermanDate(const QDate& date) {
  return date.isValid() ? date.toString(QStringLiteral("dd.MM.yyyy")) : QString();
}

namespace {

class DateValidator : public QValidator {
 public:
  explicit DateValidator(QObject* parent)
      : QValidator(parent), picture_(Picture::parse(QStringLiteral("99.99.9999"))) {}

  State validate(QString& input, int& pos) const override {
    if (layOutText(picture_, 0, input, pos) == Invalid) return Invalid;
    if (input.isEmpty() || parseGermanDate(input)) return Acceptable;
    return Intermediate;
  }

 private:
  Picture picture_;
};

}  // namespace

DateEdit::DateEdit(const QString& name, QWidget* parent) : QLineEdit(parent) {
  setObjectName(name);
  setValidator(new DateValidator(this));
}

QDate DateEdit::date() const {
  const auto d = parseGermanDate(text());
  return d ? *d : QDate();
}

void DateEdit::setDate(const QDate& date) { setText(formatGermanDate(date)); }

void DateEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  const QDate d = date();
  if (d.isValid()) setDate(d);
}

}  // namespace zentor::toolkit
