#include "dbf/value.h"

#include <ctime>

namespace zentor::dbf {
namespace {

// Day numbers follow the astronomers' julian day count on the proleptic Gregorian calendar, so
// date differences are plain subtraction and 0 is free to mean "empty" (it lies in 4713 BC).
int32_t ymdToJdn(int y, int m, int d) {
  const int a = (14 - m) / 12;
  const int yy = y + 4800 - a;
  const int mm = m + 12 * a - 3;
  return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

struct Ymd {
  int y, m, d;
};

Ymd jdnToYmd(int32_t jdn) {
  const int a = jdn + 32044;
  const int b = (4 * a + 3) / 146097;
  const int c = a - 146097 * b / 4;
  const int d = (4 * c + 3) / 1461;
  const int e = c - 1461 * d / 4;
  const int m = (5 * e + 2) / 153;
  return {100 * b + d - 4800 + m / 10, m + 3 - 12 * (m / 10), e - (153 * m + 2) / 5 + 1};
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : kDays[m - 1];
}

// Four-digit years only: dtos() and the 8-byte field have no room for more.
const int32_t kFirstJdn = ymdToJdn(1, 1, 1);
const int32_t kLastJdn = ymdToJdn(9999, 12, 31);

}  // namespace

Date Date::fromYmd(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) {
    return Date();
  }
  Date out;
  out.jdn_ = ymdToJdn(year, month, day);
  return out;
}

Date Date::fromJulian(int32_t jdn) {
  Date out;
  if (jdn >= kFirstJdn && jdn <= kLastJdn) out.jdn_ = jdn;
  return out;
}

Date Date::parseDtos(std::string_view s) {
  if (s.size() != 8) return Date();
  int parts[3] = {0, 0, 0};
  const int widths[3] = {4, 2, 2};
  size_t pos = 0;
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < widths[k]; ++i, ++pos) {
      const char c = s[pos];
      if (c < '0' || c > '9') return Date();
      parts[k] = parts[k] * 10 + (c - '0');
    }
  }
  return fromYmd(parts[0], parts[1], parts[2]);
}

Date Date::today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return fromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

int Date::year() const { return empty() ? 0 : jdnToYmd(jdn_).y; }
int Date::month() const { return empty() ? 0 : jdnToYmd(jdn_).m; }
int Date::day() const { return empty() ? 0 : jdnToYmd(jdn_).d; }

int Date::dayOfWeek() const {
  // Julian day 0 was a Monday.
  return empty() ? 0 : (jdn_ + 1) % 7 + 1;
}

std::string Date::dtos() const {
  std::string out(8, ' ');
  if (empty()) return out;
  const Ymd v = jdnToYmd(jdn_);
  int y = v.y;
  for (int i = 3; i >= 0; --i, y /= 10) out[static_cast<size_t>(i)] = static_cast<char>('0' + y % 10);
  out[4] = static_cast<char>('0' + v.m / 10);
  out[5] = static_cast<char>('0' + v.m % 10);
  out[6] = static_cast<char>('0' + v.d / 10);
  out[7] = static_cast<char>('0' + v.d % 10);
  return out;
}

char typeLetter(ValueType t) {
  switch (t) {
    case ValueType::kCharacter: return 'C';
    case ValueType::kNumeric: return 'N';
    case ValueType::kDate: return 'D';
    case ValueType::kLogical: return 'L';
    case ValueType::kNil: break;
  }
  return 'U';
}

const std::string& Value::text() const {
  static const std::string kEmpty;
  const auto* s = std::get_if<std::string>(&v_);
  return s ? *s : kEmpty;
}

double Value::number() const {
  const auto* d = std::get_if<double>(&v_);
  return d ? *d : 0.0;
}

Date Value::date() const {
  const auto* d = std::get_if<Date>(&v_);
  return d ? *d : Date();
}

bool Value::boolean() const {
  const auto* b = std::get_if<bool>(&v_);
  return b ? *b : false;
}

bool Value::isEmpty() const {
  switch (type()) {
    case ValueType::kNil: return true;
    case ValueType::kCharacter:
      for (char c : text()) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
      }
      return true;
    case ValueType::kNumeric: return number() == 0.0;
    case ValueType::kDate: return date().empty();
    case ValueType::kLogical: return !boolean();
  }
  return true;
}

}  // namespace zentor::dbf
