// zentorctl dbf info|dump|check: looking at table files without the program.
//
// Tables are opened shared and read-only, so these commands may run beside working stations;
// they never attach an index unless they need its tags, so a damaged index does not stop a dump
// in natural order.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "command.h"
#include "dbf/session.h"
#include "dbf/table.h"

namespace zentor::cli {
namespace {

namespace fs = std::filesystem;
using dbf::Session;
using dbf::Table;

std::string lowerAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The file `stem` + `ext` beside `dbfPath`, matched without regard to case, since tables copied
// from DOS installations carry any mixture. Empty when there is none.
std::string siblingFile(const std::string& dbfPath, std::string_view ext) {
  fs::path p(dbfPath);
  const std::string wanted = lowerAscii(p.stem().string() + std::string(ext));
  fs::path dir = p.parent_path().empty() ? fs::path(".") : p.parent_path();
  std::error_code ec;
  fs::path exact = p.parent_path() / (p.stem().string() + std::string(ext));
  if (fs::is_regular_file(exact, ec)) return exact.string();
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec) && lowerAscii(it->path().filename().string()) == wanted) {
      return (p.parent_path() / it->path().filename()).string();
    }
  }
  return {};
}

// The table file a command argument names: as given, or with ".DBF"/".dbf" added.
std::string resolveTable(const std::string& arg) {
  std::error_code ec;
  if (fs::is_regular_file(arg, ec)) return arg;
  if (fs::path(arg).extension().empty()) {
    for (const char* ext : {".DBF", ".dbf"}) {
      if (fs::is_regular_file(arg + ext, ec)) return arg + ext;
    }
  }
  return {};
}

struct RawHeader {
  uint8_t version = 0;
  int year = 0, month = 0, day = 0;
  uint32_t recordCount = 0;
  uint16_t headerLength = 0;
  uint16_t recordLength = 0;
  uint8_t flags = 0;
  uint8_t languageId = 0;
};

// The 32 bytes of the DBF header as they are on disk; info shows them even where they disagree
// with what the engine derives (the record count from the file size, for instance).
dbf::Status readRawHeader(Session& s, const std::string& path, RawHeader* h) {
  dbf::FileOpenOptions opts;
  opts.readOnly = true;
  auto file = s.fs().open(path, opts);
  if (!file.ok()) return file.status();
  uint8_t b[32];
  size_t got = 0;
  dbf::Status st = (*file)->read(0, b, sizeof b, &got);
  if (!st.ok()) return st;
  if (got < sizeof b) return dbf::Status::Corruption(path + ": shorter than a table header");
  h->version = b[0];
  h->year = 1900 + b[1];
  h->month = b[2];
  h->day = b[3];
  h->recordCount = uint32_t(b[4]) | uint32_t(b[5]) << 8 | uint32_t(b[6]) << 16 | uint32_t(b[7]) << 24;
  h->headerLength = static_cast<uint16_t>(b[8] | b[9] << 8);
  h->recordLength = static_cast<uint16_t>(b[10] | b[11] << 8);
  h->flags = b[28];
  h->languageId = b[29];
  return dbf::Status::OK();
}

// Block size of an FPT file: the u32 BE at 4, or the u16 BE at 6 that some writers use; 0 when
// the file cannot be read.
uint32_t memoBlockSize(Session& s, const std::string& path) {
  dbf::FileOpenOptions opts;
  opts.readOnly = true;
  auto file = s.fs().open(path, opts);
  if (!file.ok()) return 0;
  uint8_t b[8];
  size_t got = 0;
  if (!(*file)->read(0, b, sizeof b, &got).ok() || got < sizeof b) return 0;
  uint32_t size = uint32_t(b[4]) << 24 | uint32_t(b[5]) << 16 | uint32_t(b[6]) << 8 | b[7];
  if (size == 0 || size > 0xFFFF) size = uint32_t(b[6]) << 8 | b[7];
  return size;
}

const char* versionName(uint8_t v) {
  switch (v) {
    case 0x02: return "FoxBASE";
    case 0x03: return "dBase III, no memo";
    case 0x30: return "Visual FoxPro";
    case 0x83: return "dBase III with DBT memo";
    case 0x8B: return "dBase IV with DBT memo";
    case 0xF5: return "FoxPro with FPT memo";
    default: return "unknown";
  }
}

std::string hex2(unsigned v) {
  static const char digits[] = "0123456789ABCDEF";
  return std::string("0x") + digits[(v >> 4) & 15] + digits[v & 15];
}

std::string pad(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

std::string padLeft(const std::string& s, size_t width) {
  return s.size() < width ? std::string(width - s.size(), ' ') + s : s;
}

std::string fileName(const std::string& path) { return fs::path(path).filename().string(); }

dbf::Result<std::unique_ptr<Table>> openForReading(Session& s, const std::string& path) {
  dbf::OpenOptions opts;
  opts.shared = true;
  opts.readOnly = true;
  return Table::open(s, path, opts);
}

// ---- dbf info ----

int runInfo(const Invocation& inv) {
  const std::string& arg = inv.args.positional[0];
  const std::string path = resolveTable(arg);
  if (path.empty()) return inv.fail("cannot open " + arg + ": no such table file");

  Session s;
  RawHeader h;
  if (auto st = readRawHeader(s, path, &h); !st.ok()) return inv.fail("cannot read " + path + ": " + st.toString());
  auto opened = openForReading(s, path);
  if (!opened.ok()) return inv.fail("cannot open " + path + ": " + opened.status().toString());
  Table& t = **opened;

  auto& o = inv.out;
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", h.year, h.month, h.day);
  o << "table          " << path << '\n';
  o << "version        " << hex2(h.version) << " (" << versionName(h.version) << ")\n";
  o << "last update    " << date << '\n';
  o << "records        " << h.recordCount;
  if (t.recCount() != h.recordCount) o << " (the file size says " << t.recCount() << ")";
  o << '\n';
  o << "header length  " << h.headerLength << '\n';
  o << "record length  " << h.recordLength << '\n';
  o << "flags          " << hex2(h.flags) << ((h.flags & 1) ? " (structural index)" : "") << '\n';
  o << "language id    " << hex2(h.languageId) << '\n';

  bool hasMemoField = std::any_of(t.fields().begin(), t.fields().end(),
                                  [](const dbf::FieldDef& f) { return f.type == 'M'; });
  std::string fpt = siblingFile(path, ".FPT");
  o << "memo file      ";
  if (!fpt.empty()) {
    o << fileName(fpt) << " (block size " << memoBlockSize(s, fpt) << ")\n";
  } else {
    o << (hasMemoField ? "missing" : "none") << '\n';
  }

  o << "fields         " << t.fieldCount() << '\n';
  for (const auto& f : t.fields()) {
    o << "  " << pad(f.name, 11) << f.type << ' ' << padLeft(std::to_string(f.width), 4) << ' '
      << padLeft(std::to_string(f.decimals), 2) << '\n';
  }

  std::string cdx = siblingFile(path, ".CDX");
  if (cdx.empty()) {
    o << "index          none\n";
    return kExitOk;
  }
  if (auto st = t.attachIndex(cdx); !st.ok()) {
    o << "index          " << fileName(cdx) << '\n';
    o.flush();
    return inv.fail("cannot read index " + cdx + ": " + st.toString());
  }
  const auto tags = t.tags();
  o << "index          " << fileName(cdx) << ", " << tags.size() << (tags.size() == 1 ? " tag" : " tags") << '\n';
  for (const auto& tag : tags) {
    o << "  " << pad(tag.name, 11) << padLeft(std::to_string(tag.keyLength), 4) << "  " << tag.expression;
    if (tag.unique) o << "  [unique]";
    if (tag.descending) o << "  [descending]";
    if (tag.hasCondition) o << "  [for condition]";
    o << '\n';
  }
  return kExitOk;
}

// ---- dbf dump ----

// One record per line, so the characters that would break a line or a column are written as
// escapes; the backslash is escaped too, so the text can be read back without doubt.
void appendEscaped(std::string& line, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\\': line += "\\\\"; break;
      case '\r': line += "\\r"; break;
      case '\n': line += "\\n"; break;
      case '\t': line += "\\t"; break;
      default: line += c;
    }
  }
}

std::string_view trimmed(std::string_view s, bool left) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  while (left && !s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

void appendField(std::string& line, const Table& t, int i) {
  const dbf::FieldDef& f = t.fields()[static_cast<size_t>(i)];
  switch (f.type) {
    case 'C': {
      dbf::Value v = t.get(i);
      appendEscaped(line, trimmed(v.text(), false));
      break;
    }
    case 'M': appendEscaped(line, t.get(i).text()); break;
    case 'L': {
      std::string_view raw = t.rawField(i);
      char c = raw.empty() ? ' ' : raw[0];
      if (c == 'T' || c == 't' || c == 'Y' || c == 'y') line += 'T';
      else if (c == 'F' || c == 'f' || c == 'N' || c == 'n') line += 'F';
      break;  // blank or '?': not set, an empty column
    }
    default:  // N and D are ASCII on disk: shown as stored, without the padding
      appendEscaped(line, trimmed(t.rawField(i), true));
  }
}

int runDump(const Invocation& inv) {
  const std::string& arg = inv.args.positional[0];
  const std::string path = resolveTable(arg);
  if (path.empty()) return inv.fail("cannot open " + arg + ": no such table file");

  Session s;
  s.setDeletedHidden(!inv.args.has("deleted"));
  auto opened = openForReading(s, path);
  if (!opened.ok()) return inv.fail("cannot open " + path + ": " + opened.status().toString());
  Table& t = **opened;

  if (auto tag = inv.args.value("tag")) {
    std::string cdx = siblingFile(path, ".CDX");
    if (cdx.empty()) return inv.fail(path + " has no index file, so no tag " + *tag);
    if (auto st = t.attachIndex(cdx); !st.ok()) return inv.fail("cannot read index " + cdx + ": " + st.toString());
    if (auto st = t.selectTag(*tag); !st.ok()) {
      std::string names;
      for (const auto& ti : t.tags()) names += (names.empty() ? "" : ", ") + ti.name;
      return inv.fail("no tag " + *tag + " in " + cdx + " (it has: " + (names.empty() ? "none" : names) + ")");
    }
  }

  std::string line;
  dbf::Status st = t.goTop();
  for (; st.ok() && !t.eof(); st = t.skip(1)) {
    line.clear();
    line += std::to_string(t.recno());
    line += '\t';
    line += t.deleted() ? '*' : ' ';
    for (int i = 0; i < t.fieldCount(); ++i) {
      line += '\t';
      appendField(line, t, i);
    }
    line += '\n';
    inv.out << line;
  }
  if (!st.ok()) {
    inv.out.flush();
    return inv.fail("reading " + path + " stopped at record " + std::to_string(t.recno()) + ": " + st.toString());
  }
  return kExitOk;
}

// ---- dbf check ----

int runCheck(const Invocation& inv) {
  const std::string& arg = inv.args.positional[0];
  std::error_code ec;
  std::vector<std::string> files;
  if (fs::is_directory(arg, ec)) {
    for (fs::directory_iterator it(arg, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->is_regular_file(ec) && lowerAscii(it->path().extension().string()) == ".dbf") {
        files.push_back(it->path().string());
      }
    }
    if (ec) return inv.fail("cannot list " + arg + ": " + ec.message());
    std::sort(files.begin(), files.end());
    if (files.empty()) {
      inv.out << "no tables in " << arg << '\n';
      return kExitOk;
    }
  } else {
    std::string path = resolveTable(arg);
    if (path.empty()) return inv.fail("cannot open " + arg + ": no such table file or directory");
    files.push_back(path);
  }

  Session s;
  int status = kExitOk;
  for (const auto& file : files) {
    // checkTableFile folds "cannot be read at all" into its problems; tell that case apart, since
    // a check that could not look (no permission, a station holding the table exclusively) is
    // no finding about the file.
    dbf::FileOpenOptions opts;
    opts.readOnly = true;
    opts.share = dbf::FileOpenOptions::Share::kShared;
    if (auto probe = s.fs().open(file, opts); !probe.ok()) {
      inv.err << "zentorctl: cannot open " << file << ": " << probe.status().toString() << '\n';
      status = kExitFailure;
      continue;
    }
    std::vector<std::string> problems = dbf::checkTableFile(s, file);
    if (problems.empty()) {
      inv.out << "OK " << file << '\n';
      continue;
    }
    // Every line begins with the table's name, whether or not the engine's message names it.
    for (const auto& p : problems) {
      if (p.rfind(file + ":", 0) == 0) inv.out << p << '\n';
      else inv.out << file << ": " << p << '\n';
    }
    if (status == kExitOk) status = kExitProblems;
  }
  return status;
}

}  // namespace

std::vector<Command> dbfCommands() {
  return {
      {"dbf info", "FILE", "header, fields and index tags of a table", 1, 1, {}, runInfo},
      {"dbf dump",
       "FILE",
       "records as tab-separated text: record number, deleted mark, fields",
       1,
       1,
       {{"tag", "NAME", "in the order of this tag of the table's index file"},
        {"deleted", "", "include deleted records (marked '*')"}},
       runDump},
      {"dbf check", "DIR|FILE", "checks a table, or every table of a directory, with memo and index files", 1, 1,
       {}, runCheck},
  };
}

}  // namespace zentor::cli
