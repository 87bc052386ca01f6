#include "report/format.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "dbf/codepage.h"
#include "dbf/collation.h"

namespace zentor::report {
namespace {

// The digits of |n| rounded half away from zero to `decimals`, without any separator; false when
// the number is too large to print exactly.
bool roundedDigits(double n, int decimals, std::string* digits, bool* negative) {
  double scaled = std::fabs(n) * std::pow(10.0, decimals);
  // Money values such as 1.005 are stored a hair below the half; nudge by a relative epsilon.
  scaled = std::floor(scaled + 0.5 + scaled * 1e-12);
  if (!std::isfinite(scaled) || scaled >= 9.0e18) return false;
  uint64_t v = static_cast<uint64_t>(scaled);
  *negative = n < 0 && v != 0;
  std::string d;
  do {
    d.insert(d.begin(), static_cast<char>('0' + v % 10));
    v /= 10;
  } while (v);
  while (static_cast<int>(d.size()) <= decimals) d.insert(d.begin(), '0');
  *digits = std::move(d);
  return true;
}

std::string groupThousands(const std::string& intDigits) {
  std::string out;
  const int n = static_cast<int>(intDigits.size());
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += '.';
    out += intDigits[i];
  }
  return out;
}

std::string formatNumber(double n, const FormatSpec& style) {
  if (style.blankZero && n == 0) return {};
  int decimals = style.decimals;
  if (decimals < 0) {
    // As many as needed, up to six.
    decimals = 0;
    for (int d = 0; d <= 6; ++d) {
      decimals = d;
      const double p = std::pow(10.0, d);
      if (std::fabs(std::round(n * p) - n * p) < 1e-6 * std::max(1.0, std::fabs(n * p))) break;
    }
  }
  std::string digits;
  bool negative = false;
  if (!roundedDigits(n, decimals, &digits, &negative)) return "***";
  std::string intPart = digits.substr(0, digits.size() - decimals);
  const std::string fracPart = digits.substr(digits.size() - decimals);
  if (style.thousands) intPart = groupThousands(intPart);
  std::string out = negative ? "-" : "";
  out += intPart;
  if (decimals > 0) out += "," + fracPart;
  return out;
}

std::string formatDate(dbf::Date d) {
  if (d.empty()) return {};
  auto two = [](int v) { return std::string(1, static_cast<char>('0' + v / 10)) + static_cast<char>('0' + v % 10); };
  std::string y = std::to_string(d.year());
  while (y.size() < 4) y.insert(y.begin(), '0');
  return two(d.day()) + "." + two(d.month()) + "." + y;
}

// Splits UTF-8 text into its characters.
std::vector<std::string> characters(std::string_view s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (i + len > s.size()) len = 1;
    out.emplace_back(s.substr(i, len));
    i += len;
  }
  return out;
}

std::string pictureNumber(double n, std::string_view pic) {
  bool blankZero = false;
  if (pic.substr(0, 2) == "@Z" || pic.substr(0, 2) == "@z") {
    blankZero = true;
    pic.remove_prefix(2);
    while (!pic.empty() && pic.front() == ' ') pic.remove_prefix(1);
  }
  const std::vector<std::string> chars = characters(pic);
  const size_t width = chars.size();
  if (blankZero && n == 0) return std::string(width, ' ');
  const size_t comma = pic.find(',');
  int decimals = 0;
  if (comma != std::string_view::npos) {
    for (char c : pic.substr(comma + 1)) decimals += (c == '9' || c == '#') ? 1 : 0;
  }
  std::string digits;
  bool negative = false;
  if (!roundedDigits(n, decimals, &digits, &negative)) return std::string(width, '*');
  std::string intDigits = digits.substr(0, digits.size() - decimals);
  std::string fracDigits = digits.substr(digits.size() - decimals);
  // A zero before the comma is put back below, into the last digit position left free.
  if (intDigits == "0" && decimals > 0) intDigits.clear();

  // Fill the positions before the comma from the right.
  size_t intEnd = 0;
  while (intEnd < chars.size() && chars[intEnd] != ",") ++intEnd;
  std::vector<std::string> out(chars.size(), " ");
  int di = static_cast<int>(intDigits.size()) - 1;
  bool signPlaced = !negative;
  for (int i = static_cast<int>(intEnd) - 1; i >= 0; --i) {
    const std::string& c = chars[i];
    if (c == "9" || c == "#") {
      if (di >= 0) {
        out[i] = intDigits[di--];
      } else if (!signPlaced) {
        out[i] = "-";
        signPlaced = true;
      }
    } else if (c == "." && i + 1 < static_cast<int>(intEnd) && (chars[i + 1] == "9" || chars[i + 1] == "#")) {
      out[i] = di >= 0 ? "." : " ";
    } else {
      out[i] = c;
    }
  }
  if (di >= 0 || !signPlaced) return std::string(width, '*');
  if (decimals > 0 && intDigits.empty()) {
    // Put the leading zero into the last integer position when there is one.
    for (int i = static_cast<int>(intEnd) - 1; i >= 0; --i) {
      if (chars[i] == "9" || chars[i] == "#") {
        if (out[i] == "-") break;
        out[i] = "0";
        break;
      }
    }
  }
  int fi = 0;
  for (size_t i = intEnd; i < chars.size(); ++i) {
    const std::string& c = chars[i];
    if (c == "9" || c == "#") out[i] = fi < static_cast<int>(fracDigits.size()) ? std::string(1, fracDigits[fi++]) : "0";
    else out[i] = c;
  }
  std::string r;
  for (auto& c : out) r += c;
  return r;
}

std::string pictureText(const std::string& text, std::string_view pic) {
  if (pic == "@!") return dbf::upperUtf8(text);
  const std::vector<std::string> src = characters(text);
  size_t si = 0;
  std::string out;
  for (const std::string& c : characters(pic)) {
    if (c == "X" || c == "x" || c == "9" || c == "!" || c == "A" || c == "a") {
      const std::string ch = si < src.size() ? src[si] : " ";
      ++si;
      out += c == "!" ? dbf::upperUtf8(ch) : ch;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string formatValue(const dbf::Value& v, const FormatSpec& style) {
  if (!style.picture.empty()) return formatPicture(v, style.picture);
  switch (v.type()) {
    case dbf::ValueType::kCharacter:
      return v.text();
    case dbf::ValueType::kNumeric:
      return formatNumber(v.number(), style);
    case dbf::ValueType::kDate:
      return formatDate(v.date());
    case dbf::ValueType::kLogical:
      return v.boolean() ? "Ja" : "Nein";
    case dbf::ValueType::kNil:
      break;
  }
  return {};
}

std::string formatPicture(const dbf::Value& v, std::string_view picture) {
  switch (v.type()) {
    case dbf::ValueType::kNumeric:
      return pictureNumber(v.number(), picture);
    case dbf::ValueType::kCharacter:
      return pictureText(v.text(), picture);
    default:
      return formatValue(v, {});
  }
}

}  // namespace zentor::report
