// Text helpers of the expression functions: character-counted UTF-8 slicing and the dBase number,
// date and picture formats. Private to the engine.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dbf/value.h"

namespace zentor::dbf::exprtext {

// Longest text an expression builds (dBase's own string limit); space(), replicate(), padl() ...
// stop there instead of exhausting memory on a careless argument.
constexpr size_t kMaxText = 65535;

// Characters of UTF-8 text; a malformed byte counts as one character.
size_t charCount(std::string_view s);
// Byte offset of the character with 0-based index `chars`; s.size() when the text is shorter.
size_t byteOffset(std::string_view s, size_t chars);
// Byte offset where the last `chars` characters begin (0 when the text is shorter).
size_t byteOffsetFromEnd(std::string_view s, size_t chars);

// Rounds half away from zero on the decimal value a user reads: 1.005 to 2 decimals is 1.01 even
// though the binary double lies just below. Negative `decimals` round to tens, hundreds ...
double roundHalfAway(double x, int decimals);

// str(n, width, decimals) into `out` (assigned, its capacity reused).
void formatStr(std::string& out, double n, int width, int decimals);
// dd.mm.yyyy, or "  .  .    " for the empty date.
void formatDtoc(std::string& out, Date d);
// d.m.yy / dd.mm.yyyy (also with '/' or '-'); two-digit years fall in the 100 years from
// `windowStart`. Anything else gives the empty date.
Date parseCtod(std::string_view s, int windowStart);
// The leading number of a text as dBase's val(): blanks, sign, digits, '.', digits.
double parseVal(std::string_view s);

// The national upper/lower casing of collation.h, in place (the byte length never changes).
void upperInPlace(std::string& s);
void lowerInPlace(std::string& s);

// transform(value, picture): "@Z" (zero as blanks), "@E" (German separators), "@!" (upper case),
// then a template of '9' '#' digits, '!' upper-cased characters, '.' ',' and literal characters.
std::string transform(const Value& v, std::string_view picture);

}  // namespace zentor::dbf::exprtext
