// Single-line edit with a text limit and an input picture (see picture.h).
//
// A text edit hands its value out as text; a numeric edit is right-aligned, takes a number with
// "," as decimal separator and shows it in the picture's format whenever it loses the focus.
// The object name is the name of the field the control shows.
#pragma once

#include <QLineEdit>
#include <QString>

#include "toolkit/picture.h"

namespace zentor::toolkit {

class SingleLineEdit : public QLineEdit {
  Q_OBJECT
 public:
  enum class Kind { kText, kNumber };

  explicit SingleLineEdit(const QString& name, Kind kind = Kind::kText, QWidget* parent = nullptr);

  Kind kind() const { return kind_; }

  // The most characters the user can type; 0 means no limit. With a text picture the fixed
  // characters do not count, so "99/9/999" with a limit of 6 still takes "14/2/30".
  void setTextLimit(int limit);
  int textLimit() const { return limit_; }

  void setPicture(const QString& picture);
  const Picture& picture() const { return picture_; }

  // Text value; for a text edit with a picture, trailing blanks (the padding of a stored field)
  // are dropped before the text is laid out on the picture.
  QString value() const { return text(); }
  void setValue(const QString& value);

  // Numeric value; 0 for an empty or unfinished text. Setting it shows it formatted.
  double number() const;
  void setNumber(double value);

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void rebuild();

  Kind kind_;
  int limit_ = 0;
  Picture picture_;
};

}  // namespace zentor::toolkit
