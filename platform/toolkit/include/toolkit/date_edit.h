// Date edit in the German form dd.mm.yyyy.
//
// Typing follows the picture "99.99.9999" (the dots step by themselves, "1.2.25" closes day and
// month early). A two-digit year is read in the hundred-year window that starts at 1930 (29 is
// 2029, 30 is 1930). An empty text is the empty date. On losing the focus a valid date is shown
// in full, dd.mm.yyyy; an impossible date (31.02.) stays as typed and date() reports it as null.
#pragma once

#include <QDate>
#include <QLineEdit>
#include <QString>
#include <optional>

#include "dbf/value.h"

namespace zentor::toolkit {

// A typed date by the program's rules (appcore/format.h): "d.m.yy", "dd.mm.yyyy", "ddmmyy", ...
// nullopt for an impossible date and for anything else; the empty date is not a date either.
std::optional<QDate> parseGermanDate(const QString& text);
// dd.mm.yyyy, or "" for a null date.
QString formatGermanDate(const QDate& date);

QDate toQDate(dbf::Date date);  // the empty date gives a null QDate
dbf::Date toDbfDate(const QDate& date);  // a null or invalid QDate gives the empty date

class DateEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit DateEdit(const QString& name, QWidget* parent = nullptr);

  // Null for the empty date and for a text that is not a valid date.
  QDate date() const;
  void setDate(const QDate& date);  // a null date empties the edit

  // The stored form: the empty date for an empty or invalid text.
  dbf::Date dateValue() const { return toDbfDate(date()); }
  void setDateValue(dbf::Date date) { setDate(toQDate(date)); }

  bool isEmptyDate() const { return text().trimmed().isEmpty(); }
  // True for the empty date and for a valid date: what a save may accept.
  bool hasValidInput() const { return isEmptyDate() || date().isValid(); }

 protected:
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace zentor::toolkit
