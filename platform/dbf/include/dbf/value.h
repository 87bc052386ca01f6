// Values of fields, expressions and report variables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace zentor::dbf {

// A calendar date; the default-constructed date is the empty date of dBase (8 blanks on disk).
class Date {
 public:
  Date() = default;
  static Date fromYmd(int year, int month, int day);  // invalid input gives the empty date
  static Date fromJulian(int32_t jdn);                 // 0 gives the empty date
  static Date parseDtos(std::string_view yyyymmdd);    // blanks or invalid give the empty date
  static Date today();                                 // local date of the machine

  bool empty() const { return jdn_ == 0; }
  int32_t julian() const { return jdn_; }
  int year() const;
  int month() const;
  int day() const;
  int dayOfWeek() const;  // 1 = Sunday ... 7 = Saturday, as dBase's dow()
  std::string dtos() const;  // "yyyymmdd", or 8 blanks when empty
  Date addDays(int32_t days) const { return empty() ? Date() : fromJulian(jdn_ + days); }

  friend bool operator==(Date a, Date b) { return a.jdn_ == b.jdn_; }
  friend auto operator<=>(Date a, Date b) { return a.jdn_ <=> b.jdn_; }

 private:
  int32_t jdn_ = 0;
};

enum class ValueType : uint8_t {
  kNil,        // no value (an unset report variable, an error)
  kCharacter,  // text, UTF-8 in the API
  kNumeric,    // double
  kDate,
  kLogical,
};

char typeLetter(ValueType t);  // 'U', 'C', 'N', 'D', 'L' as dBase's type()

class Value {
 public:
  Value() = default;  // nil
  Value(std::string s) : v_(std::move(s)) {}                // NOLINT
  Value(const char* s) : v_(std::string(s)) {}              // NOLINT
  Value(std::string_view s) : v_(std::string(s)) {}         // NOLINT
  Value(double d) : v_(d) {}                                // NOLINT
  Value(int i) : v_(static_cast<double>(i)) {}              // NOLINT
  Value(int64_t i) : v_(static_cast<double>(i)) {}          // NOLINT
  Value(uint32_t i) : v_(static_cast<double>(i)) {}         // NOLINT
  Value(Date d) : v_(d) {}                                  // NOLINT
  static Value logical(bool b) { Value v; v.v_ = b; return v; }

  ValueType type() const { return static_cast<ValueType>(v_.index()); }
  bool isNil() const { return type() == ValueType::kNil; }
  bool isCharacter() const { return type() == ValueType::kCharacter; }
  bool isNumeric() const { return type() == ValueType::kNumeric; }
  bool isDate() const { return type() == ValueType::kDate; }
  bool isLogical() const { return type() == ValueType::kLogical; }

  // Accessors give the type's neutral value when the type differs ("" / 0 / empty / false).
  const std::string& text() const;
  double number() const;
  Date date() const;
  bool boolean() const;

  // dBase's empty(): "" or all blanks, 0, empty date, false, nil.
  bool isEmpty() const;

  friend bool operator==(const Value& a, const Value& b) { return a.v_ == b.v_; }

 private:
  std::variant<std::monostate, std::string, double, Date, bool> v_;
};

}  // namespace zentor::dbf
