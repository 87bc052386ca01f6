#include "toolkit/date_edit.h"

#include <QFocusEvent>
#include <QStringList>
#include <QValidator>

#include "toolkit/picture.h"

namespace zentor::toolkit {

std::optional<QDate> parseGermanDate(const QString& text, int windowStart) {
  const QStringList parts = text.trimmed().split(QLatin1Char('.'));
  if (parts.size() != 3) return std::nullopt;
  for (const QString& p : parts) {
    if (p.isEmpty()) return std::nullopt;
    for (QChar c : p) {
      if (!c.isDigit() || c.unicode() >= 128) return std::nullopt;
    }
  }
  if (parts[0].size() > 2 || parts[1].size() > 2) return std::nullopt;
  if (parts[2].size() != 2 && parts[2].size() != 4) return std::nullopt;
  const int day = parts[0].toInt();
  const int month = parts[1].toInt();
  int year = parts[2].toInt();
  if (parts[2].size() == 2) {
    year += windowStart / 100 * 100;
    if (year < windowStart) year += 100;
  }
  const QDate d(year, month, day);
  if (!d.isValid()) return std::nullopt;
  return d;
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
