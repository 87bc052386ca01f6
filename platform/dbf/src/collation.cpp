#include "dbf/collation.h"

#include <array>

#include "dbf/codepage.h"

namespace zentor::dbf {
namespace {

constexpr uint8_t kAUml = 0x8E, kOUml = 0x99, kUUml = 0x9A;  // Ä Ö Ü
constexpr uint8_t kaUml = 0x84, koUml = 0x94, kuUml = 0x81;  // ä ö ü
constexpr uint8_t kSz = 0xE1;                                // ß

struct Tables {
  std::array<uint8_t, 256> weight{};
  std::array<uint8_t, 256> upper{};
};

Tables build() {
  Tables t;
  std::array<int, 256> order{};  // order[i] = byte at rank i
  int n = 0;
  for (int b = 0x00; b <= 0x40; ++b) order[n++] = b;
  for (int b = 'A'; b <= 'Z'; ++b) {
    order[n++] = b;
    if (b == 'A') order[n++] = kAUml;
    if (b == 'O') order[n++] = kOUml;
    if (b == 'U') order[n++] = kUUml;
  }
  for (int b = 0x5B; b <= 0x60; ++b) order[n++] = b;
  for (int b = 'a'; b <= 'z'; ++b) {
    order[n++] = b;
    if (b == 'a') order[n++] = kaUml;
    if (b == 'o') order[n++] = koUml;
    if (b == 's') order[n++] = kSz;
    if (b == 'u') order[n++] = kuUml;
  }
  for (int b = 0x7B; b <= 0xFF; ++b) {
    if (b == kAUml || b == kOUml || b == kUUml || b == kaUml || b == koUml || b == kuUml || b == kSz) continue;
    order[n++] = b;
  }
  for (int i = 0; i < 256; ++i) t.weight[static_cast<size_t>(order[i])] = static_cast<uint8_t>(i);
  for (int b = 0; b < 256; ++b) t.upper[b] = static_cast<uint8_t>(b);
  for (int b = 'a'; b <= 'z'; ++b) t.upper[b] = static_cast<uint8_t>(b - 'a' + 'A');
  t.upper[kaUml] = kAUml;
  t.upper[koUml] = kOUml;
  t.upper[kuUml] = kUUml;
  return t;
}

const Tables& tables() {
  static const Tables t = build();
  return t;
}

}  // namespace

uint8_t collationWeight(uint8_t b) { return tables().weight[b]; }

int collateCompare(std::string_view a, std::string_view b) {
  const auto& w = tables().weight;
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const uint8_t x = w[static_cast<uint8_t>(a[i])], y = w[static_cast<uint8_t>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

uint8_t upperCp850(uint8_t b) { return tables().upper[b]; }

std::string upperCp850(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(upperCp850(static_cast<uint8_t>(c)));
  return out;
}

std::string upperUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (c >= 'a' && c <= 'z') {
      out.push_back(static_cast<char>(c - 'a' + 'A'));
    } else if (c == 0xC3 && i + 1 < s.size()) {
      // ä ö ü are U+00E4, U+00F6, U+00FC: C3 A4 / C3 B6 / C3 BC; upper case is 0x20 less.
      const auto d = static_cast<uint8_t>(s[i + 1]);
      out.push_back(static_cast<char>(c));
      out.push_back(static_cast<char>((d == 0xA4 || d == 0xB6 || d == 0xBC) ? d - 0x20 : d));
      ++i;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string lowerUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (c >= 'A' && c <= 'Z') {
      out.push_back(static_cast<char>(c - 'A' + 'a'));
    } else if (c == 0xC3 && i + 1 < s.size()) {
      const auto d = static_cast<uint8_t>(s[i + 1]);
      out.push_back(static_cast<char>(c));
      out.push_back(static_cast<char>((d == 0x84 || d == 0x96 || d == 0x9C) ? d + 0x20 : d));
      ++i;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

}  // namespace zentor::dbf
