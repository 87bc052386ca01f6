#include "expr_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "dbf/expr.h"

namespace zentor::dbf::exprtext {
namespace {

// Length of the UTF-8 sequence at s[i], judged as codepage.cpp decodes it (so character counts
// agree with utf8Length): a malformed sequence is one byte.
size_t seqLength(std::string_view s, size_t i) {
  const auto b0 = static_cast<uint8_t>(s[i]);
  if (b0 < 0x80) return 1;
  auto cont = [&](size_t k) {
    return i + k < s.size() && (static_cast<uint8_t>(s[i + k]) & 0xC0) == 0x80;
  };
  if ((b0 & 0xE0) == 0xC0) return b0 >= 0xC2 && cont(1) ? 2 : 1;
  if ((b0 & 0xF0) == 0xE0) {
    if (!cont(1) || !cont(2)) return 1;
    const auto b1 = static_cast<uint8_t>(s[i + 1]);
    return (b0 == 0xE0 && b1 < 0xA0) ? 1 : 3;
  }
  if ((b0 & 0xF8) == 0xF0) {
    if (!cont(1) || !cont(2) || !cont(3)) return 1;
    const auto b1 = static_cast<uint8_t>(s[i + 1]);
    if (b0 == 0xF0 && b1 < 0x90) return 1;
    if (b0 > 0xF4 || (b0 == 0xF4 && b1 >= 0x90)) return 1;
    return 4;
  }
  return 1;
}

double pow10i(int n) {
  static constexpr double kPow[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                    1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
  return n >= 0 && n <= 18 ? kPow[n] : std::pow(10.0, n);
}

void appendDigits2(std::string& out, int v) {
  out.push_back(static_cast<char>('0' + v / 10 % 10));
  out.push_back(static_cast<char>('0' + v % 10));
}

// The digits of |n| rounded to `decimals`, without sign or point: ("123", "45") for 123.45.
// False when the number is not finite.
bool splitDigits(double n, int decimals, std::string& whole, std::string& frac, bool& negative) {
  if (!std::isfinite(n)) return false;
  const double r = roundHalfAway(n, decimals);
  negative = r < 0;
  const double a = std::fabs(r);
  char buf[400];
  const int len = std::snprintf(buf, sizeof buf, "%.*f", decimals, a);
  if (len <= 0 || static_cast<size_t>(len) >= sizeof buf) return false;
  std::string_view text(buf, static_cast<size_t>(len));
  const size_t dot = text.find('.');
  whole.assign(text.substr(0, dot));
  frac.assign(dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1));
  if (negative && whole.find_first_not_of('0') == std::string::npos &&
      frac.find_first_not_of('0') == std::string::npos) {
    negative = false;  // -0.4 rounds to 0, which dBase shows without a sign
  }
  return true;
}

}  // namespace

size_t charCount(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); i += seqLength(s, i)) ++n;
  return n;
}

size_t byteOffset(std::string_view s, size_t chars) {
  size_t i = 0;
  while (chars > 0 && i < s.size()) {
    i += seqLength(s, i);
    --chars;
  }
  return i;
}

size_t byteOffsetFromEnd(std::string_view s, size_t chars) {
  const size_t total = charCount(s);
  return chars >= total ? 0 : byteOffset(s, total - chars);
}

double roundHalfAway(double x, int decimals) {
  if (!std::isfinite(x) || x == 0) return x;
  if (decimals > 15) decimals = 15;
  if (decimals < -15) decimals = -15;
  const double scaled = decimals >= 0 ? x * pow10i(decimals) : x / pow10i(-decimals);
  if (std::fabs(scaled) >= 1e15) return x;  // no fraction left to round at this magnitude
  // The product carries binary noise (1.005 * 100 = 100.49999999999999); reading it back at 15
  // significant digits restores the decimal value the user wrote.
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", scaled);
  const double r = std::round(std::strtod(buf, nullptr));
  return decimals >= 0 ? r / pow10i(decimals) : r * pow10i(-decimals);
}

void formatStr(std::string& out, double n, int width, int decimals) {
  if (width < 1) width = 10;
  if (static_cast<size_t>(width) > kMaxText) width = static_cast<int>(kMaxText);
  if (decimals < 0) decimals = 0;
  out.clear();
  // Whole numbers are the common case of index keys: format them without snprintf.
  if (decimals == 0 && std::fabs(n) < 1e15) {
    const double r = n == std::trunc(n) ? n : roundHalfAway(n, 0);
    const auto v = static_cast<int64_t>(r);
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    const auto len = static_cast<size_t>(res.ptr - buf);
    if (len > static_cast<size_t>(width)) {
      out.assign(static_cast<size_t>(width), '*');
    } else {
      out.assign(static_cast<size_t>(width) - len, ' ');
      out.append(buf, len);
    }
    return;
  }
  std::string whole, frac;
  bool negative = false;
  if (!splitDigits(n, decimals, whole, frac, negative)) {
    out.assign(static_cast<size_t>(width), '*');
    return;
  }
  const size_t len = (negative ? 1 : 0) + whole.size() + (decimals > 0 ? 1 + frac.size() : 0);
  if (len > static_cast<size_t>(width)) {
    out.assign(static_cast<size_t>(width), '*');
    return;
  }
  out.assign(static_cast<size_t>(width) - len, ' ');
  if (negative) out.push_back('-');
  out += whole;
  if (decimals > 0) {
    out.push_back('.');
    out += frac;
  }
}

void formatDtoc(std::string& out, Date d) {
  if (d.empty()) {
    out.assign("  .  .    ");
    return;
  }
  out.clear();
  appendDigits2(out, d.day());
  out.push_back('.');
  appendDigits2(out, d.month());
  out.push_back('.');
  appendDigits2(out, d.year() / 100);
  appendDigits2(out, d.year() % 100);
}

Date parseCtod(std::string_view s, int windowStart) {
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int k = 0;
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      if (++digits[k] > 4) return Date();
      parts[k] = parts[k] * 10 + (c - '0');
    } else if ((c == '.' || c == '/' || c == '-') && k < 2) {
      if (digits[k] == 0) return Date();
      ++k;
    } else if (c == ' ') {
      while (i < s.size() && s[i] == ' ') ++i;
      if (i != s.size()) return Date();
      break;
    } else {
      return Date();
    }
  }
  if (k != 2 || digits[0] > 2 || digits[1] > 2 || digits[2] == 0 || digits[2] == 3) return Date();
  int year = parts[2];
  if (digits[2] <= 2) {
    year += windowStart / 100 * 100;
    if (year < windowStart) year += 100;
  }
  return Date::fromYmd(year, parts[1], parts[0]);
}

double parseVal(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  const size_t start = i;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  bool any = false;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, any = true;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, any = true;
  }
  if (!any) return 0;
  std::string number(s.substr(start, i - start));
  return std::strtod(number.c_str(), nullptr);
}

void upperInPlace(std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (c >= 'a' && c <= 'z') {
      s[i] = static_cast<char>(c - 0x20);
    } else if (c == 0xC3 && i + 1 < s.size()) {
      // ä ö ü are C3 A4 / C3 B6 / C3 BC; their capitals are 0x20 lower in the second byte.
      const auto d = static_cast<uint8_t>(s[i + 1]);
      if (d == 0xA4 || d == 0xB6 || d == 0xBC) s[i + 1] = static_cast<char>(d - 0x20);
      ++i;
    }
  }
}

void lowerInPlace(std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (c >= 'A' && c <= 'Z') {
      s[i] = static_cast<char>(c + 0x20);
    } else if (c == 0xC3 && i + 1 < s.size()) {
      const auto d = static_cast<uint8_t>(s[i + 1]);
      if (d == 0x84 || d == 0x96 || d == 0x9C) s[i + 1] = static_cast<char>(d + 0x20);
      ++i;
    }
  }
}

namespace {

struct Picture {
  bool zeroBlank = false;
  bool german = false;
  bool upper = false;
  std::string_view tmpl;
};

Picture parsePicture(std::string_view p) {
  Picture pic;
  if (!p.empty() && p[0] == '@') {
    size_t end = p.find(' ');
    std::string_view funcs = p.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
    for (char c : funcs) {
      switch (c) {
        case 'Z': case 'z': pic.zeroBlank = true; break;
        case 'E': case 'e': pic.german = true; break;
        case '!': pic.upper = true; break;
        default: break;
      }
    }
    pic.tmpl = end == std::string_view::npos ? std::string_view() : p.substr(end + 1);
  } else {
    pic.tmpl = p;
  }
  return pic;
}

bool isDigitSlot(char c) { return c == '9' || c == '#'; }

std::string transformNumber(double n, const Picture& pic) {
  std::string out;
  if (pic.tmpl.empty()) {
    const bool whole = std::isfinite(n) && n == std::trunc(n);
    formatStr(out, n, whole ? 10 : 13, whole ? 0 : 2);
    if (pic.zeroBlank && n == 0) out.assign(out.size(), ' ');
    return out;
  }
  const std::string_view t = pic.tmpl;
  const size_t dot = t.find('.');
  int decimals = 0;
  if (dot != std::string_view::npos) {
    for (size_t i = dot + 1; i < t.size(); ++i) decimals += isDigitSlot(t[i]) ? 1 : 0;
  }
  std::string whole, frac;
  bool negative = false;
  out.assign(t);
  bool overflow = !splitDigits(n, decimals, whole, frac, negative);
  if (!overflow) {
    // Integer part from the right; a leading zero only when the picture has a slot left of '.'.
    const size_t intEnd = dot == std::string_view::npos ? t.size() : dot;
    size_t next = whole.size();  // digits of `whole` still to place, from the right
    bool signPlaced = !negative;
    if (whole == "0" && std::none_of(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(intEnd), isDigitSlot)) {
      next = 0;  // ".99" shows 0.5 as ".50"
    }
    for (size_t i = intEnd; i-- > 0;) {
      const char c = t[i];
      if (isDigitSlot(c)) {
        if (next > 0) {
          out[i] = whole[--next];
        } else if (!signPlaced) {
          out[i] = '-';
          signPlaced = true;
        } else {
          out[i] = ' ';
        }
      } else if (c == ',') {
        out[i] = next > 0 ? ',' : ' ';
      }
    }
    if (next > 0 || !signPlaced) overflow = true;
    size_t f = 0;
    for (size_t i = intEnd; i < t.size(); ++i) {
      if (isDigitSlot(t[i])) out[i] = f < frac.size() ? frac[f++] : '0';
    }
  }
  if (overflow) {
    for (size_t i = 0; i < t.size(); ++i) {
      if (isDigitSlot(t[i]) || t[i] == ',') out[i] = '*';
    }
    return out;
  }
  if (pic.zeroBlank && n == 0) return std::string(out.size(), ' ');
  if (pic.german) {
    for (auto& c : out) c = c == '.' ? ',' : (c == ',' ? '.' : c);
  }
  return out;
}

std::string transformText(const std::string& s, const Picture& pic) {
  std::string out;
  if (pic.tmpl.empty()) {
    out = s;
  } else {
    size_t pos = 0;
    for (char c : pic.tmpl) {
      const bool slot = c == '9' || c == '#' || c == '!' || c == 'A' || c == 'N' || c == 'X' ||
                        c == 'a' || c == 'n' || c == 'x';
      if (!slot) {
        out.push_back(c);
        continue;
      }
      if (pos >= s.size()) {
        out.push_back(' ');
        continue;
      }
      const size_t len = byteOffset(std::string_view(s).substr(pos), 1);
      std::string ch = s.substr(pos, len);
      pos += len;
      if (c == '!') upperInPlace(ch);
      out += ch;
    }
  }
  if (pic.upper) upperInPlace(out);
  return out;
}

}  // namespace

std::string transform(const Value& v, std::string_view picture) {
  const Picture pic = parsePicture(picture);
  switch (v.type()) {
    case ValueType::kNumeric: return transformNumber(v.number(), pic);
    case ValueType::kCharacter: return transformText(v.text(), pic);
    case ValueType::kDate: {
      std::string out;
      formatDtoc(out, v.date());
      return out;
    }
    case ValueType::kLogical: return v.boolean() ? "T" : "F";
    case ValueType::kNil: break;
  }
  return std::string();
}

}  // namespace zentor::dbf::exprtext
