// The program's one formatting and parsing module: German dates and numbers and the toolkit's
// picture formatting. The settings are the program's own, never the machine's regional settings:
//
//   dates      day.month.year with the century ("31.12.2025"); two-digit years are read in the
//              100-year window starting at 1930 (29 -> 2029, 30 -> 1930)
//   numbers    decimal separator ",", thousands separator "."
//
// Rounding for display happens here (half away from zero on the decimal value the double stands
// for, so 2.675 shows as "2,68"); rounding of money belongs to the order logic.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dbf/value.h"

namespace zentor::app {

inline constexpr char kDecimalSeparator = ',';
inline constexpr char kThousandsSeparator = '.';
inline constexpr int kCenturyWindowStart = 1930;

// --- dates ---------------------------------------------------------------------------------

// "dd.mm.yyyy"; the empty date gives "" (callers that need fixed width pad it).
std::string formatDate(dbf::Date d);

// Reads what a user types into a date field: d.m.yy, d.m.yyyy, dd.mm.yy, dd.mm.yyyy, ddmmyy or
// ddmmyyyy, blanks around the text (and around each part) ignored. Blank input, or the empty edit
// mask "  .  .    ", is the empty date. Anything else, and impossible dates (31.02.2025), give
// nothing.
std::optional<dbf::Date> parseDate(std::string_view text);

// A two-digit year in the century window (0..99 -> 1930..2029).
int windowYear(int twoDigitYear);

// --- numbers -------------------------------------------------------------------------------

// `value` with `decimals` decimals (0..15), "," as decimal separator and, when `grouped`, "." between
// groups of three integer digits: formatNumber(-1234.5, 2, true) == "-1.234,50". A value that rounds
// to zero never shows a minus sign. Infinity and NaN give "*".
std::string formatNumber(double value, int decimals, bool grouped = false);

// Reads German number input: an optional sign, integer digits written plainly ("1234") or grouped
// by "." in threes ("1.234.567"), an optional "," and decimals: "1.234,56", "-0,5", ",5", "5,".
// Blanks around the text are ignored; an empty or all-blank text is 0 (fields that show zero as
// blanks must read blanks back as zero). Anything else - letters, a "." as decimal point ("1.5"),
// misplaced groups ("12.34"), two signs, exponents - gives nothing.
std::optional<double> parseNumber(std::string_view text);

// The integer `value` with at least `width` digits, zero-filled on the left ("07"); a negative
// value keeps its sign in front of the zeros ("-07" for width 3).
std::string zeroPadded(long long value, int width);

// --- pictures ------------------------------------------------------------------------------
//
// A picture is an optional function part "@<letters>" followed by a blank and a template, or just
// a template. Functions: Z shows a value that displays as zero as blanks; ! upper-cases text;
// B left-aligns numbers; R (text) inserts the template's fixed characters instead of putting them
// in place of the text's characters. Unknown function letters are ignored.
//
// Numbers: "9" and "#" are digit positions, the first "." is the decimal point and is shown as ","
// (the program's decimal separator), a "," in the integer part is a grouping position shown as "."
// when a digit stands to its left and as a blank otherwise; every other character is shown as it
// is. The number is rounded to the template's decimals and right-aligned in its digit positions;
// a minus sign needs a free position left of the digits. When the number does not fit, every
// digit and grouping position shows '*' (the decimal separator and fixed characters stay):
// transform(12345, "999") == "***". Without a template the number is shown with the decimals it
// has, without grouping.
//
// Text: "9", "#", "A", "N", "X", "L", "Y" and "!" each show one character of the text ("!" in upper
// case, by the national rules: ä -> Ä, ß stays); any other character of the template is shown in
// place of the text's character at that position (or inserted, with @R). The result is as wide as
// the template: a shorter text is padded with blanks, a longer one is cut. Without a template the
// text is shown as it is.
//
// Dates are shown as formatDate does, the empty date as ten blanks (a date's width); logicals as
// "T" / "F"; nil gives "".
std::string transform(const dbf::Value& value, std::string_view picture);
std::string transformNumber(double value, std::string_view picture);
std::string transformText(std::string_view utf8, std::string_view picture);

}  // namespace zentor::app
