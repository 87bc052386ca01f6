#include "os/inifile.h"

#include <unistd.h>

#include <climits>
#include <optional>

#include "dbf/codepage.h"
#include "os/files.h"

namespace zentor::os {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// One code point of UTF-8 text at `i` (advancing it); a malformed byte stands for itself.
uint32_t nextCodePoint(std::string_view s, size_t& i) {
  const auto c = static_cast<unsigned char>(s[i]);
  size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
  if (len == 1 || i + len > s.size()) {
    ++i;
    return c;
  }
  uint32_t cp = c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    const auto cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return c;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  i += len;
  return cp;
}

// Case folding of the letters of Windows-1252, as the system's case-insensitive comparison sees
// them.
uint32_t fold(uint32_t cp) {
  if (cp >= 'a' && cp <= 'z') return cp - 0x20;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;
  switch (cp) {
    case 0x0161: return 0x0160;  // š
    case 0x0153: return 0x0152;  // œ
    case 0x017E: return 0x017D;  // ž
    case 0x00FF: return 0x0178;  // ÿ
    default: return cp;
  }
}

bool sameName(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (fold(nextCodePoint(a, i)) != fold(nextCodePoint(b, j))) return false;
  }
  return i == a.size() && j == b.size();
}

size_t characters(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++n) nextCodePoint(s, i);
  return n;
}

std::string_view firstCharacters(std::string_view s, size_t count) {
  size_t i = 0;
  for (size_t n = 0; n < count && i < s.size(); ++n) nextCodePoint(s, i);
  return s.substr(0, i);
}

// The file is handled as UTF-8 text: a Windows-1252 file is converted when read and back when
// written (every byte survives that round trip); a file that an editor saved as UTF-8 (with a
// byte-order mark, or without one but unmistakably UTF-8) stays UTF-8.
struct Line {
  enum class Kind { kOther, kSection, kKey };
  std::string text;  // UTF-8, without the line end
  std::string eol;   // "\r\n", "\n" or "" (last line without line end)
  Kind kind = Kind::kOther;
  std::string name;   // section or key name, trimmed
  std::string value;  // key lines: the raw value, trimmed
};

void classify(Line& line) {
  const std::string_view t = trim(line.text);
  line.kind = Line::Kind::kOther;
  line.name.clear();
  line.value.clear();
  if (t.empty() || t.front() == ';') return;
  if (t.front() == '[') {
    std::string_view inner = t.substr(1);
    const auto close = inner.find(']');
    if (close != std::string_view::npos) inner = inner.substr(0, close);
    line.kind = Line::Kind::kSection;
    line.name = trim(inner);
    return;
  }
  const auto eq = t.find('=');
  if (eq == std::string_view::npos) return;
  const std::string_view key = trim(t.substr(0, eq));
  if (key.empty()) return;
  line.kind = Line::Kind::kKey;
  line.name = key;
  line.value = trim(t.substr(eq + 1));
}

struct Document {
  enum class Encoding { kCp1252, kUtf8, kUtf8WithBom };
  std::vector<Line> lines;
  Encoding encoding = Encoding::kCp1252;
};

Document parse(std::string_view bytes) {
  Document doc;
  std::string text;
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    doc.encoding = Document::Encoding::kUtf8WithBom;
    text = bytes.substr(kUtf8Bom.size());
  } else if (looksLikeUtf8(bytes)) {
    doc.encoding = Document::Encoding::kUtf8;
    text = bytes;
  } else {
    text = dbf::toUtf8(bytes, dbf::CodePage::kCp1252);
  }
  const std::string_view all = text;
  size_t pos = 0;
  while (pos < all.size()) {
    const auto nl = all.find('\n', pos);
    Line line;
    if (nl == std::string_view::npos) {
      line.text = all.substr(pos);
      pos = all.size();
    } else {
      std::string_view body = all.substr(pos, nl - pos);
      if (!body.empty() && body.back() == '\r') {
        body.remove_suffix(1);
        line.eol = kCrLf;
      } else {
        line.eol = "\n";
      }
      line.text = body;
      pos = nl + 1;
    }
    classify(line);
    doc.lines.push_back(std::move(line));
  }
  return doc;
}

std::string serialize(const Document& doc) {
  std::string out;
  for (const auto& l : doc.lines) {
    out += l.text;
    out += l.eol;
  }
  switch (doc.encoding) {
    case Document::Encoding::kUtf8WithBom: return std::string(kUtf8Bom) + out;
    case Document::Encoding::kUtf8: return out;
    case Document::Encoding::kCp1252: break;
  }
  return dbf::fromUtf8(out, dbf::CodePage::kCp1252);
}

struct SectionRange {
  size_t header;  // index of the "[section]" line
  size_t end;     // one past its last line
};

// The first section of that name; the system functions never look past it.
std::optional<SectionRange> findSection(const std::vector<Line>& lines, std::string_view name) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != Line::Kind::kSection || !sameName(lines[i].name, name)) continue;
    size_t end = i + 1;
    while (end < lines.size() && lines[end].kind != Line::Kind::kSection) ++end;
    return SectionRange{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> findKey(const std::vector<Line>& lines, SectionRange s, std::string_view key) {
  for (size_t i = s.header + 1; i < s.end; ++i) {
    if (lines[i].kind == Line::Kind::kKey && sameName(lines[i].name, key)) return i;
  }
  return std::nullopt;
}

bool hasLineBreak(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// The reading rules drop one pair of matching quotes around a value.
std::string_view unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

std::string encodeValue(std::string_view v) {
  const bool altered = !v.empty() && (isBlank(v.front()) || isBlank(v.back()) || unquote(v).size() != v.size());
  if (!altered) return std::string(v);
  return "\"" + std::string(v) + "\"";
}

void appendLine(std::vector<Line>& lines, size_t at, std::string text) {
  if (at > 0 && lines[at - 1].eol.empty()) lines[at - 1].eol = kCrLf;
  Line line;
  line.text = std::move(text);
  line.eol = kCrLf;
  classify(line);
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

std::string directoryPart(const std::string& path) {
  const auto slash = path.find_last_of(kPathSeparator);
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

INIFILE::INIFILE(std::string fileName) {
  const auto slash = fileName.find_last_of(kPathSeparator);
  const std::string_view base =
      slash == std::string::npos ? std::string_view(fileName) : std::string_view(fileName).substr(slash + 1);
  if (base.find('.') == std::string_view::npos) fileName += ".INI";
  if (fileName.empty() || fileName.front() != kPathSeparator) {
    std::string cwd(PATH_MAX, '\0');
    if (::getcwd(cwd.data(), cwd.size()) != nullptr) {
      cwd.resize(std::char_traits<char>::length(cwd.c_str()));
      fileName = withTrailingSeparator(cwd) + fileName;
    }
  }
  path_ = std::move(fileName);
  dir_ = directoryPart(path_);
}

bool INIFILE::EXISTS() const { return ::access(path_.c_str(), F_OK) == 0; }

std::string INIFILE::GETSTRING(std::string_view section, std::string_view key) const {
  const auto content = readWholeFile(path_);
  if (!content.ok()) return " ";
  const Document doc = parse(content.value());
  const auto sec = findSection(doc.lines, trim(section));
  if (!sec) return " ";
  const auto k = findKey(doc.lines, *sec, trim(key));
  if (!k) return " ";
  return std::string(firstCharacters(unquote(doc.lines[*k].value), kMaxValueLength));
}

bool INIFILE::GETLOGIC(std::string_view section, std::string_view key) const {
  return GETSTRING(section, key) == ".T.";
}

bool INIFILE::WRITESTRING(std::string_view section, std::string_view key, std::string_view value) {
  const std::string sec(trim(section));
  const std::string k(trim(key));
  if (sec.empty() || k.empty() || hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) {
    return false;
  }
  if (sec.find(']') != std::string::npos || k.find('=') != std::string::npos || k.front() == ';' ||
      k.front() == '[') {
    return false;
  }

  DirectoryLock lock(dir_);
  std::string before;
  if (auto content = readWholeFile(path_); content.ok()) {
    before = std::move(content.value());
  } else if (!content.status().isNotFound()) {
    return false;
  }
  Document doc = parse(before);
  auto& lines = doc.lines;
  if (const auto range = findSection(lines, sec)) {
    if (const auto at = findKey(lines, *range, k)) {
      lines[*at].text = lines[*at].name + "=" + encodeValue(value);
      classify(lines[*at]);
    } else {
      size_t after = range->header;
      for (size_t i = range->header + 1; i < range->end; ++i) {
        if (lines[i].kind == Line::Kind::kKey) after = i;
      }
      appendLine(lines, after + 1, k + "=" + encodeValue(value));
    }
  } else {
    if (!lines.empty() && !trim(lines.back().text).empty()) appendLine(lines, lines.size(), "");
    appendLine(lines, lines.size(), "[" + sec + "]");
    appendLine(lines, lines.size(), k + "=" + encodeValue(value));
  }
  const std::string after = serialize(doc);
  if (after == before) return true;
  return replaceFileAtomically(path_, after).ok();
}

std::vector<std::string> INIFILE::GETSECTION(std::string_view section) const {
  std::vector<std::string> names;
  const auto content = readWholeFile(path_);
  if (!content.ok()) return names;
  const Document doc = parse(content.value());
  const auto sec = findSection(doc.lines, trim(section));
  if (!sec) return names;
  size_t used = 0;
  for (size_t i = sec->header + 1; i < sec->end; ++i) {
    if (doc.lines[i].kind != Line::Kind::kKey) continue;
    const std::string& name = doc.lines[i].name;
    bool duplicate = false;
    for (const auto& seen : names) duplicate = duplicate || sameName(seen, name);
    if (duplicate) continue;
    const size_t cost = characters(name) + 1;
    if (used + cost > kSectionBuffer - 1) break;
    used += cost;
    names.push_back(name);
  }
  return names;
}

bool INIFILE::DELETEENTRY(std::string_view section, std::string_view key) {
  const std::string sec(trim(section));
  const std::string k(trim(key));
  DirectoryLock lock(dir_);
  auto content = readWholeFile(path_);
  if (!content.ok()) return content.status().isNotFound();
  Document doc = parse(content.value());
  auto& lines = doc.lines;
  const auto range = findSection(lines, sec);
  if (!range) return true;
  bool removed = false;
  for (size_t i = range->end; i-- > range->header + 1;) {
    if (lines[i].kind == Line::Kind::kKey && sameName(lines[i].name, k)) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
      removed = true;
    }
  }
  if (!removed) return true;
  return replaceFileAtomically(path_, serialize(doc)).ok();
}

}  // namespace zentor::os
