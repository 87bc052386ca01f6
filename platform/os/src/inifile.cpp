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

// Case folding of Windows-1252 bytes, as the system's case-insensitive comparison sees them.
unsigned char foldCp1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A: return 0x8A;  // š
    case 0x9C: return 0x8C;  // œ
    case 0x9E: return 0x8E;  // ž
    case 0xFF: return 0x9F;  // ÿ
    default: return c;
  }
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (foldCp1252(static_cast<unsigned char>(a[i])) != foldCp1252(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

struct Line {
  enum class Kind { kOther, kSection, kKey };
  std::string text;  // without the line end
  std::string eol;   // "\r\n", "\n" or "" (last line without line end)
  Kind kind = Kind::kOther;
  std::string name;   // section or key name, trimmed (Windows-1252)
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

std::vector<Line> parse(std::string_view bytes) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    const auto nl = bytes.find('\n', pos);
    Line line;
    if (nl == std::string_view::npos) {
      line.text = bytes.substr(pos);
      pos = bytes.size();
    } else {
      std::string_view body = bytes.substr(pos, nl - pos);
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
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string serialize(const std::vector<Line>& lines) {
  std::string out;
  for (const auto& l : lines) {
    out += l.text;
    out += l.eol;
  }
  return out;
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

std::string toFile(std::string_view utf8) { return dbf::fromUtf8(utf8, dbf::CodePage::kCp1252); }
std::string fromFile(std::string_view bytes) { return dbf::toUtf8(bytes, dbf::CodePage::kCp1252); }

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
  const auto lines = parse(content.value());
  const auto sec = findSection(lines, trim(toFile(section)));
  if (!sec) return " ";
  const auto k = findKey(lines, *sec, trim(toFile(key)));
  if (!k) return " ";
  std::string_view v = unquote(lines[*k].value);
  if (v.size() > kMaxValueLength) v = v.substr(0, kMaxValueLength);
  return fromFile(v);
}

bool INIFILE::GETLOGIC(std::string_view section, std::string_view key) const {
  return GETSTRING(section, key) == ".T.";
}

bool INIFILE::WRITESTRING(std::string_view section, std::string_view key, std::string_view value) {
  const std::string sec = std::string(trim(toFile(section)));
  const std::string k = std::string(trim(toFile(key)));
  if (sec.empty() || k.empty() || hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) {
    return false;
  }
  if (sec.find(']') != std::string::npos || k.find('=') != std::string::npos || k.front() == ';' ||
      k.front() == '[') {
    return false;
  }
  const std::string entry = k + "=" + encodeValue(toFile(value));

  DirectoryLock lock(dir_);
  std::string before;
  if (auto content = readWholeFile(path_); content.ok()) {
    before = std::move(content.value());
  } else if (!content.status().isNotFound()) {
    return false;
  }
  auto lines = parse(before);
  if (const auto range = findSection(lines, sec)) {
    if (const auto at = findKey(lines, *range, k)) {
      lines[*at].text = lines[*at].name + "=" + encodeValue(toFile(value));
      classify(lines[*at]);
    } else {
      size_t after = range->header;
      for (size_t i = range->header + 1; i < range->end; ++i) {
        if (lines[i].kind == Line::Kind::kKey) after = i;
      }
      appendLine(lines, after + 1, entry);
    }
  } else {
    if (!lines.empty() && !trim(lines.back().text).empty()) appendLine(lines, lines.size(), "");
    appendLine(lines, lines.size(), "[" + sec + "]");
    appendLine(lines, lines.size(), entry);
  }
  const std::string after = serialize(lines);
  if (after == before) return true;
  return replaceFileAtomically(path_, after).ok();
}

std::vector<std::string> INIFILE::GETSECTION(std::string_view section) const {
  std::vector<std::string> names;
  const auto content = readWholeFile(path_);
  if (!content.ok()) return names;
  const auto lines = parse(content.value());
  const auto sec = findSection(lines, trim(toFile(section)));
  if (!sec) return names;
  std::vector<std::string_view> seen;
  size_t used = 0;
  for (size_t i = sec->header + 1; i < sec->end; ++i) {
    if (lines[i].kind != Line::Kind::kKey) continue;
    const std::string& name = lines[i].name;
    bool duplicate = false;
    for (auto s : seen) duplicate = duplicate || sameName(s, name);
    if (duplicate) continue;
    if (used + name.size() + 1 > kSectionBuffer - 1) break;
    used += name.size() + 1;
    seen.push_back(name);
    names.push_back(fromFile(name));
  }
  return names;
}

bool INIFILE::DELETEENTRY(std::string_view section, std::string_view key) {
  const std::string sec = std::string(trim(toFile(section)));
  const std::string k = std::string(trim(toFile(key)));
  DirectoryLock lock(dir_);
  auto content = readWholeFile(path_);
  if (!content.ok()) return content.status().isNotFound();
  auto lines = parse(content.value());
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
  return replaceFileAtomically(path_, serialize(lines)).ok();
}

}  // namespace zentor::os
