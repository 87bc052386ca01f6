#include "logic/texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "logic/money.h"

namespace zentor::logic {
namespace {

std::string trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string rtrim(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return std::string(s.substr(0, e));
}

std::string ltrim(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return std::string(s.substr(b));
}

// The numeric value of a text as dBase's val() reads it: leading blanks, sign, digits, '.'; 0 for
// anything else.
double val(std::string_view s) {
  std::string t = trim(s);
  char* end = nullptr;
  const double d = std::strtod(t.c_str(), &end);
  return end == t.c_str() ? 0.0 : d;
}

std::string withDecimals(double v, int decimals) {
  static constexpr int64_t kPow[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  const int64_t scaled = toScaled(v, decimals);
  const bool negative = scaled < 0;
  const int64_t a = negative ? -scaled : scaled;
  std::string out = std::to_string(a / kPow[decimals]);
  if (decimals > 0) {
    std::string frac = std::to_string(a % kPow[decimals]);
    out += ',' + std::string(static_cast<size_t>(decimals) - frac.size(), '0') + frac;
  }
  return negative ? "-" + out : out;
}

}  // namespace

std::string numberText(double v) {
  if (std::nearbyint(v) == v) return withDecimals(v, 0);
  // Up to four decimals, trailing zeros dropped.
  std::string s = withDecimals(v, 4);
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == ',') s.pop_back();
  return s;
}

std::string GETZIEL(std::string_view code) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t slash = code.find('/', start);
    parts.emplace_back(code.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  parts.resize(std::max<size_t>(parts.size(), 3));
  const double d = val(parts[0]);
  const double n = val(parts[2]);
  if (d != 0 && n != 0) {
    return "Zahlbar innerhalb von " + numberText(d) + " Tagen mit " + trim(parts[1]) + "% Skonto oder " +
           numberText(n) + " Tage netto";
  }
  if (d == 0 && n != 0) return "Zahlbar innerhalb von " + numberText(n) + " Tagen netto";
  return "";
}

std::string RZL(const dbf::Value& v, bool blankZero, int decimals) {
  std::string out;
  switch (v.type()) {
    case dbf::ValueType::kCharacter: {
      out = trim(v.text());
      out.erase(std::remove(out.begin(), out.end(), ';'), out.end());
      break;
    }
    case dbf::ValueType::kNumeric: {
      const double d = v.number();
      if (blankZero && d == 0) break;
      if (decimals < 0) {
        out = std::nearbyint(d) == d ? withDecimals(d, 0) : withDecimals(d, 2);
      } else {
        out = withDecimals(d, std::min(decimals, 6));
      }
      break;
    }
    case dbf::ValueType::kDate: {
      const dbf::Date dt = v.date();
      if (!dt.empty()) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d%02d%04d", dt.day(), dt.month(), dt.year());
        out = buf;
      }
      break;
    }
    default:
      break;
  }
  return out + ";";
}

std::string QUOTE(std::string_view text) { return "'" + std::string(text) + "'"; }

std::string invoiceAddress(const AddressFields& f, std::string_view country) {
  const std::string crlf = "\r\n";
  std::string line2 = ltrim(rtrim(f.titel) + " " + rtrim(f.vorname) + " " + f.zuname);
  return f.anrede + crlf + line2 + crlf + f.zusatz + crlf + f.strasse + crlf + ltrim(f.plz) + " " + f.ort + crlf +
         std::string(country);
}

std::vector<double> orderVatRates(const std::vector<VatRateRecord>& records) {
  std::vector<double> defaults, others;
  for (const auto& r : records) {
    if (!r.active) continue;
    (r.isDefault ? defaults : others).push_back(r.rate);
  }
  std::stable_sort(defaults.begin(), defaults.end(), [](double a, double b) { return a > b; });
  std::stable_sort(others.begin(), others.end());
  defaults.insert(defaults.end(), others.begin(), others.end());
  return defaults;
}

}  // namespace zentor::logic
