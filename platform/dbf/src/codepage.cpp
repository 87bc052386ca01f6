#include "dbf/codepage.h"

#include <array>
#include <cstdint>

namespace zentor::dbf {
namespace {

// Unicode code points of the bytes 0x80-0xFF.
constexpr std::array<uint16_t, 128> kCp850 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557,
    0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};

// Windows-1252; the five unassigned bytes map to the C1 controls of the same value, as the
// system conversion does, so every byte survives a round trip.
constexpr std::array<uint16_t, 128> kCp1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039,
    0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3,
    0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB,
    0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, 0x00D0, 0x00D1, 0x00D2, 0x00D3,
    0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB,
    0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF};

const std::array<uint16_t, 128>& tableOf(CodePage cp) { return cp == CodePage::kCp850 ? kCp850 : kCp1252; }

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one code point at s[i]; malformed input yields the byte itself (as Latin-1).
uint32_t decodeUtf8(std::string_view s, size_t& i) {
  const auto b0 = static_cast<uint8_t>(s[i]);
  auto cont = [&](size_t k) -> int {
    if (i + k >= s.size()) return -1;
    const auto b = static_cast<uint8_t>(s[i + k]);
    return (b & 0xC0) == 0x80 ? (b & 0x3F) : -1;
  };
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  if ((b0 & 0xE0) == 0xC0) {
    const int c1 = cont(1);
    const uint32_t cp = ((b0 & 0x1Fu) << 6) | static_cast<uint32_t>(c1);
    if (c1 >= 0 && cp >= 0x80) {
      i += 2;
      return cp;
    }
  } else if ((b0 & 0xF0) == 0xE0) {
    const int c1 = cont(1), c2 = c1 >= 0 ? cont(2) : -1;
    const uint32_t cp = ((b0 & 0x0Fu) << 12) | (static_cast<uint32_t>(c1) << 6) | static_cast<uint32_t>(c2);
    if (c1 >= 0 && c2 >= 0 && cp >= 0x800) {
      i += 3;
      return cp;
    }
  } else if ((b0 & 0xF8) == 0xF0) {
    const int c1 = cont(1), c2 = c1 >= 0 ? cont(2) : -1, c3 = c2 >= 0 ? cont(3) : -1;
    const uint32_t cp = ((b0 & 0x07u) << 18) | (static_cast<uint32_t>(c1) << 12) |
                        (static_cast<uint32_t>(c2) << 6) | static_cast<uint32_t>(c3);
    if (c1 >= 0 && c2 >= 0 && c3 >= 0 && cp >= 0x10000 && cp <= 0x10FFFF) {
      i += 4;
      return cp;
    }
  }
  ++i;
  return b0;
}

int encodeByte(uint32_t cp, CodePage page) {
  if (cp < 0x80) return static_cast<int>(cp);
  const auto& t = tableOf(page);
  for (size_t k = 0; k < t.size(); ++k) {
    if (t[k] == cp) return static_cast<int>(0x80 + k);
  }
  return -1;
}

}  // namespace

std::string toUtf8(std::string_view bytes, CodePage cp) {
  const auto& t = tableOf(cp);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      appendUtf8(out, t[b - 0x80]);
    }
  }
  return out;
}

std::string fromUtf8(std::string_view utf8, CodePage cp, char replacement) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto b = static_cast<uint8_t>(utf8[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    const uint32_t code = decodeUtf8(utf8, i);
    const int enc = encodeByte(code, cp);
    out.push_back(enc < 0 ? replacement : static_cast<char>(enc));
  }
  return out;
}

bool representable(std::string_view utf8, CodePage cp) {
  size_t i = 0;
  while (i < utf8.size()) {
    if (encodeByte(decodeUtf8(utf8, i), cp) < 0) return false;
  }
  return true;
}

size_t utf8Length(std::string_view utf8) {
  size_t n = 0, i = 0;
  while (i < utf8.size()) {
    decodeUtf8(utf8, i);
    ++n;
  }
  return n;
}

}  // namespace zentor::dbf
