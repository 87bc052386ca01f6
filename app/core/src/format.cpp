#include "appcore/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "dbf/collation.h"

namespace zentor::app {
namespace {

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int toInt(std::string_view digits) {
  int v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  return v;
}

// The magnitude of a number as decimal digits, rounded half away from zero to `decimals` places.
// The rounding works on the shortest decimal text that reads back as the same double, which is
// the number the user typed or the program computed, not its binary neighbour.
struct Decimal {
  bool negative = false;
  std::string integer;   // no leading zeros; "0" for a zero integer part
  std::string fraction;  // exactly `decimals` digits
  bool isZero() const {
    return integer == "0" && fraction.find_first_not_of('0') == std::string::npos;
  }
};

Decimal toDecimal(double value, int decimals) {
  Decimal out;
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
  std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
  const auto dot = text.find('.');
  std::string integer(text.substr(0, dot));
  std::string fraction(dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1));
  bool roundUp = false;
  if (fraction.size() > static_cast<size_t>(decimals)) {
    roundUp = fraction[static_cast<size_t>(decimals)] >= '5';
    fraction.resize(static_cast<size_t>(decimals));
  }
  fraction.resize(static_cast<size_t>(decimals), '0');
  if (roundUp) {
    std::string digits = integer + fraction;
    size_t i = digits.size();
    while (i > 0) {
      --i;
      if (digits[i] == '9') {
        digits[i] = '0';
      } else {
        ++digits[i];
        break;
      }
      if (i == 0) digits.insert(digits.begin(), '1');
    }
    integer = digits.substr(0, digits.size() - fraction.size());
    fraction = digits.substr(digits.size() - fraction.size());
  }
  const auto nonZero = integer.find_first_not_of('0');
  integer = nonZero == std::string::npos ? "0" : integer.substr(nonZero);
  out.integer = std::move(integer);
  out.fraction = std::move(fraction);
  out.negative = std::signbit(value) && !out.isZero();
  return out;
}

std::string groupThousands(const std::string& integer) {
  std::string out;
  const size_t n = integer.size();
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += kThousandsSeparator;
    out += integer[i];
  }
  return out;
}

// Splits "@ZB 999.99" into its function letters (upper-cased) and template.
struct Picture {
  std::string functions;
  std::string_view tmpl;
  bool has(char f) const { return functions.find(f) != std::string::npos; }
};

Picture splitPicture(std::string_view picture) {
  Picture p;
  if (!picture.empty() && picture.front() == '@') {
    const auto blank = picture.find(' ');
    const std::string_view funcs = picture.substr(1, blank == std::string_view::npos ? std::string_view::npos : blank - 1);
    for (char c : funcs) p.functions += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    p.tmpl = blank == std::string_view::npos ? std::string_view() : picture.substr(blank + 1);
  } else {
    p.tmpl = picture;
  }
  return p;
}

bool isDigitPosition(char c) { return c == '9' || c == '#'; }

// The number of decimals needed to show `value` without loss (at most 15).
int naturalDecimals(double value) {
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
  const std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
  const auto dot = text.find('.');
  if (dot == std::string_view::npos) return 0;
  return static_cast<int>(std::min<size_t>(text.size() - dot - 1, 15));
}

size_t utf8Width(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 0x6) return 2;
  if ((lead >> 4) == 0xE) return 3;
  if ((lead >> 3) == 0x1E) return 4;
  return 1;
}

std::vector<std::string> utf8Chars(std::string_view s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    const size_t w = std::min(utf8Width(static_cast<unsigned char>(s[i])), s.size() - i);
    out.emplace_back(s.substr(i, w));
    i += w;
  }
  return out;
}

bool isTextPosition(char c) {
  switch (c) {
    case '9': case '#': case 'A': case 'N': case 'X': case 'L': case 'Y': case '!':
      return true;
    default:
      return false;
  }
}

}  // namespace

int windowYear(int twoDigitYear) {
  const int offset = kCenturyWindowStart % 100;
  const int century = kCenturyWindowStart - offset;
  return twoDigitYear >= offset ? century + twoDigitYear : century + 100 + twoDigitYear;
}

std::string formatDate(dbf::Date d) {
  if (d.empty()) return "";
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d.day(), d.month(), d.year());
  return buf;
}

std::optional<dbf::Date> parseDate(std::string_view text) {
  text = trimBlanks(text);
  if (text.find_first_not_of(" .") == std::string_view::npos) return dbf::Date();
  std::string_view day, month, year;
  if (text.find('.') != std::string_view::npos) {
    const auto d1 = text.find('.');
    const auto d2 = text.find('.', d1 + 1);
    if (d2 == std::string_view::npos || text.find('.', d2 + 1) != std::string_view::npos) return std::nullopt;
    day = trimBlanks(text.substr(0, d1));
    month = trimBlanks(text.substr(d1 + 1, d2 - d1 - 1));
    year = trimBlanks(text.substr(d2 + 1));
    if (day.size() > 2 || month.size() > 2) return std::nullopt;
  } else {
    if (text.size() != 6 && text.size() != 8) return std::nullopt;
    day = text.substr(0, 2);
    month = text.substr(2, 2);
    year = text.substr(4);
  }
  if (!allDigits(day) || !allDigits(month) || !allDigits(year)) return std::nullopt;
  if (year.size() != 2 && year.size() != 4) return std::nullopt;
  const int y = year.size() == 2 ? windowYear(toInt(year)) : toInt(year);
  const dbf::Date d = dbf::Date::fromYmd(y, toInt(month), toInt(day));
  if (d.empty()) return std::nullopt;
  return d;
}

std::string formatNumber(double value, int decimals, bool grouped) {
  if (!std::isfinite(value)) return "*";
  decimals = std::clamp(decimals, 0, 15);
  const Decimal d = toDecimal(value, decimals);
  std::string out = d.negative ? "-" : "";
  out += grouped ? groupThousands(d.integer) : d.integer;
  if (decimals > 0) {
    out += kDecimalSeparator;
    out += d.fraction;
  }
  return out;
}

std::optional<double> parseNumber(std::string_view text) {
  text = trimBlanks(text);
  if (text.empty()) return 0.0;
  bool negative = false;
  if (text.front() == '-' || text.front() == '+') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const auto comma = text.find(kDecimalSeparator);
  std::string_view integer = text.substr(0, comma);
  const std::string_view fraction = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  if (integer.empty() && fraction.empty()) return std::nullopt;
  if (!fraction.empty() && !allDigits(fraction)) return std::nullopt;
  std::string digits;
  if (integer.find(kThousandsSeparator) != std::string_view::npos) {
    // Grouped: 1 to 3 digits, then groups of exactly three.
    const auto first = integer.find(kThousandsSeparator);
    if (first == 0 || first > 3) return std::nullopt;
    size_t pos = 0;
    bool firstGroup = true;
    while (pos <= integer.size()) {
      const auto next = integer.find(kThousandsSeparator, pos);
      const std::string_view group = integer.substr(pos, next == std::string_view::npos ? std::string_view::npos : next - pos);
      if (!allDigits(group) || (!firstGroup && group.size() != 3)) return std::nullopt;
      digits += group;
      firstGroup = false;
      if (next == std::string_view::npos) break;
      pos = next + 1;
    }
  } else if (!integer.empty()) {
    if (!allDigits(integer)) return std::nullopt;
    digits = integer;
  }
  std::string normal = digits.empty() ? "0" : digits;
  if (!fraction.empty()) normal += "." + std::string(fraction);
  double value = 0;
  const auto res = std::from_chars(normal.data(), normal.data() + normal.size(), value);
  if (res.ec != std::errc() || res.ptr != normal.data() + normal.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::string zeroPadded(long long value, int width) {
  const bool negative = value < 0;
  std::string digits = std::to_string(value);
  if (negative) digits.erase(0, 1);
  const int room = width - (negative ? 1 : 0);
  if (static_cast<int>(digits.size()) < room) digits.insert(0, static_cast<size_t>(room) - digits.size(), '0');
  return negative ? "-" + digits : digits;
}

std::string transformNumber(double value, std::string_view picture) {
  const Picture pic = splitPicture(picture);
  const std::string_view t = pic.tmpl;
  if (t.empty()) {
    if (pic.has('Z') && value == 0) return "";
    return formatNumber(value, naturalDecimals(value));
  }
  const auto point = t.find('.');
  const std::string_view intPart = t.substr(0, point);
  const std::string_view fracPart = point == std::string_view::npos ? std::string_view() : t.substr(point + 1);
  int decimals = 0;
  for (char c : fracPart) decimals += isDigitPosition(c) ? 1 : 0;

  std::string out(t.size(), ' ');
  const auto stars = [&] {
    for (size_t i = 0; i < t.size(); ++i) {
      if (isDigitPosition(t[i]) || (t[i] == ',' && i < intPart.size())) {
        out[i] = '*';
      } else if (i == point) {
        out[i] = kDecimalSeparator;
      } else {
        out[i] = t[i];
      }
    }
    return out;
  };
  if (!std::isfinite(value)) return stars();
  const Decimal d = toDecimal(value, decimals);
  if (pic.has('Z') && d.isZero()) return std::string(t.size(), ' ');

  // Integer part, right to left: digits, then the sign; a leading zero integer digit is only shown
  // where the template has room for it.
  std::string pending = d.integer == "0" && decimals > 0 && std::count_if(intPart.begin(), intPart.end(), isDigitPosition) == 0
                            ? std::string()
                            : d.integer;
  size_t digitsLeft = pending.size();
  bool signLeft = d.negative;
  for (size_t i = intPart.size(); i-- > 0;) {
    const char c = intPart[i];
    if (isDigitPosition(c)) {
      if (digitsLeft > 0) {
        out[i] = pending[--digitsLeft];
      } else if (signLeft) {
        out[i] = '-';
        signLeft = false;
      }
    } else if (c == ',') {
      if (digitsLeft > 0) {
        out[i] = kThousandsSeparator;
      } else if (signLeft) {
        out[i] = '-';
        signLeft = false;
      }
    } else {
      out[i] = c;
    }
  }
  if (digitsLeft > 0 || signLeft) return stars();
  if (point != std::string_view::npos) {
    out[point] = kDecimalSeparator;
    size_t f = 0;
    for (size_t i = point + 1; i < t.size(); ++i) {
      out[i] = isDigitPosition(t[i]) ? d.fraction[f++] : t[i];
    }
  }
  if (pic.has('B')) {
    const auto first = out.find_first_not_of(' ');
    if (first != std::string::npos && first > 0) out = out.substr(first) + std::string(first, ' ');
  }
  return out;
}

std::string transformText(std::string_view utf8, std::string_view picture) {
  const Picture pic = splitPicture(picture);
  const bool upper = pic.has('!');
  if (pic.tmpl.empty()) return upper ? dbf::upperUtf8(utf8) : std::string(utf8);
  const auto chars = utf8Chars(utf8);
  const bool insert = pic.has('R');
  std::string out;
  size_t next = 0;
  for (char c : pic.tmpl) {
    if (isTextPosition(c)) {
      std::string ch = next < chars.size() ? chars[next] : std::string(" ");
      ++next;
      if (upper || c == '!') ch = dbf::upperUtf8(ch);
      out += ch;
    } else {
      out += c;
      if (!insert) ++next;
    }
  }
  return out;
}

std::string transform(const dbf::Value& value, std::string_view picture) {
  switch (value.type()) {
    case dbf::ValueType::kNil:
      return "";
    case dbf::ValueType::kNumeric:
      return transformNumber(value.number(), picture);
    case dbf::ValueType::kCharacter:
      return transformText(value.text(), picture);
    case dbf::ValueType::kDate:
      return value.date().empty() ? std::string(10, ' ') : formatDate(value.date());
    case dbf::ValueType::kLogical:
      return value.boolean() ? "T" : "F";
  }
  return "";
}

}  // namespace zentor::app
