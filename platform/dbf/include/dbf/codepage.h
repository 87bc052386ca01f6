// Code page conversion between the program's UTF-8 and the byte encodings of its files:
// code page 850 for text stored in tables, Windows-1252 for the text files the program writes
// (settings files, export files).
#pragma once

#include <string>
#include <string_view>

namespace zentor::dbf {

enum class CodePage { kCp850, kCp1252 };

// Bytes of `cp` to UTF-8. Every byte maps to some character, so this never fails.
std::string toUtf8(std::string_view bytes, CodePage cp);

// UTF-8 to bytes of `cp`. A character the code page cannot represent becomes `replacement`;
// malformed UTF-8 sequences are taken byte by byte as Latin-1.
std::string fromUtf8(std::string_view utf8, CodePage cp, char replacement = '?');

// True when every character of `utf8` can be represented in `cp`.
bool representable(std::string_view utf8, CodePage cp);

// Number of characters (code points) in `utf8`.
size_t utf8Length(std::string_view utf8);

inline std::string cp850ToUtf8(std::string_view b) { return toUtf8(b, CodePage::kCp850); }
inline std::string utf8ToCp850(std::string_view s) { return fromUtf8(s, CodePage::kCp850); }

}  // namespace zentor::dbf
