// Turning values into the texts a report prints, with German conventions: decimal comma, "." as
// thousands separator, dates as dd.mm.yyyy.
#pragma once

#include <string>
#include <string_view>

#include "dbf/value.h"

namespace zentor::report {

struct FormatSpec {
  // Decimals of a number; -1 = as many as the value needs (up to 6, trailing zeros dropped).
  int decimals = -1;
  bool thousands = false;  // group the integer digits with "."
  bool blankZero = false;  // a zero number prints as nothing
  // A picture overrides the fields above (see formatPicture). Empty = none.
  std::string picture;
};

// Numbers rounded half away from zero to their decimals; dates dd.mm.yyyy (empty date: "");
// logicals "Ja" / "Nein"; text as it is; nil as "".
std::string formatValue(const dbf::Value& v, const FormatSpec& style = {});

// Pictures, written the German way:
//   numbers: "9" or "#" a digit, "," the decimal comma, "." before a digit a thousands separator
//            (printed only between digits), any other character fixed; right-aligned in the picture's width; a
//            number that does not fit prints as "*" over the whole width. A leading "@Z " blanks
//            zero. Example: "9.999.999,99" gives "    1.234,50" for 1234.5.
//   text:    "X" or "9" takes the next character, "!" takes it upper-cased, any other character
//            is fixed; "@!" as the whole picture upper-cases everything.
//   dates and logicals ignore the picture.
std::string formatPicture(const dbf::Value& v, std::string_view picture);

}  // namespace zentor::report
