// Input pictures of edit controls.
//
// A picture is an optional function part ("@Z", "@!", several may follow one "@") and a
// template, separated by a blank: "@Z 99999.9", "!!!", "99/9/999".
//
// Text pictures: "9" takes a digit, "!" takes any character and upper-cases it, every other
// template character is a fixed character that the user does not type. The fixed characters
// split the template into groups; a group takes up to as many characters as it has positions,
// typing the fixed character that ends a group closes it early ("7/2/30" fits "99/9/999"), and
// typing into a full group steps over the fixed character by itself.
//
// Numeric pictures: "9" is a digit position and "." the place of the decimal separator (shown and
// typed as ","); a leading "-" takes one of the integer positions. "@Z" shows zero as blanks.
#pragma once

#include <QString>
#include <QValidator>

namespace zentor::toolkit {

class Picture {
 public:
  Picture() = default;
  // Never fails: unknown functions are ignored, unknown template characters are fixed text.
  static Picture parse(const QString& picture);

  bool empty() const { return mask_.isEmpty() && !zeroBlank_ && !upperAll_; }
  const QString& mask() const { return mask_; }
  bool zeroBlank() const { return zeroBlank_; }  // "@Z"
  bool upperAll() const { return upperAll_; }    // "@!": every character upper-cased

  // Numeric reading of the template: digit positions before and after the ".". Both 0 when the
  // template has no "9" (the number is then limited only by the text limit).
  int integerDigits() const { return integerDigits_; }
  int decimals() const { return decimals_; }

  static bool isInputPosition(QChar c) { return c == QLatin1Char('9') || c == QLatin1Char('!'); }

 private:
  QString mask_;
  bool zeroBlank_ = false;
  bool upperAll_ = false;
  int integerDigits_ = 0;
  int decimals_ = 0;
};

// Lays typed text out on a text picture. `input` is rewritten in place (fixed characters put in,
// letters upper-cased) and `pos` follows the character it stood behind. `limit` > 0 caps the
// number of typed characters; fixed characters do not count. Returns Invalid when the text cannot
// be laid out (a letter on a digit position, too long), otherwise Acceptable.
QValidator::State layOutText(const Picture& picture, int limit, QString& input, int& pos);

// Checks typed text against a numeric picture; "." is turned into ",". `limit` > 0 caps the
// length of the whole text. Intermediate for a text that is not yet a number ("-", ",").
QValidator::State checkNumber(const Picture& picture, int limit, QString& input, int& pos);

// The number as a numeric edit shows it: the picture's decimals (rounded as everywhere in the
// program), "," as separator, no thousands separator, never cut to the picture's width; blank
// for a value that shows as zero under "@Z". Without a template, with the decimals it has.
QString formatNumber(double value, const Picture& picture);

// Reads a numeric edit's text by the program's number rules; what is not a number yet ("-",
// ",") reads as 0, like the empty text. (A typed "." has become "," before it gets here.)
double parseNumber(const QString& text);

// The validator of SingleLineEdit: text or numeric layout by the picture and the limit.
class PictureValidator : public QValidator {
  Q_OBJECT
 public:
  PictureValidator(Picture picture, bool numeric, int limit, QObject* parent = nullptr);
  State validate(QString& input, int& pos) const override;

 private:
  Picture picture_;
  bool numeric_;
  int limit_;
};

}  // namespace zentor::toolkit
