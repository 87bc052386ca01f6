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

namespace zentor::toolkit {

// The first year of the window that two-digit years are read in.
inline constexpr int kCenturyWindowStart = 1930;

// "d.m.yy", "dd.mm.yyyy" and mixtures; day and month 1 or 2 digits, the year 2 or 4 digits.
// nullopt for anything else or an impossible date; an empty or blank text is not a date either.
std::optional<QDate> parseGermanDate(const QString& text, int windowStart = kCenturyWindowStart);
// dd.mm.yyyy, or "" for a null date.
QString formatGermanDate(const QDate& date);

class DateEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit DateEdit(const QString& name, QWidget* parent = nullptr);

  // Null for the empty date and for a text that is not a valid date.
  QDate date() const;
  void setDate(const QDate& date);  // a null date empties the edit

  bool isEmptyDate() const { return text().trimmed().isEmpty(); }
  // True for the empty date and for a valid date: what a save may accept.
  bool hasValidInput() const { return isEmptyDate() || date().isValid(); }

 protected:
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace zentor::toolkit
