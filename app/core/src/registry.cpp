#include "appcore/registry.h"

#include <filesystem>

#include "appcore/format.h"
#include "dbf/codepage.h"
#include "os/files.h"

namespace zentor::app {
namespace {

using Kind = RegistryError::Kind;

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<int> smallNumber(std::string_view s, size_t maxDigits) {
  s = trimBlanks(s);
  if (!allDigits(s) || s.size() > maxDigits) return std::nullopt;
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

std::string firmaLine(const CompanyEntry& e) {
  return "FIRMA=" + zeroPadded(e.nFirma, 2) + ";" + std::to_string(e.nMandant) + ";" + e.cFirma;
}

std::string modeLine(RegistryMode m) {
  return m == RegistryMode::kSingle ? "MODUS=EINZELFIRMA" : "MODUS=MEHRFIRMEN";
}

std::optional<RegistryError> checkName(std::string_view name, bool windows1252) {
  if (name.empty()) return RegistryError{Kind::kEmptyName};
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return RegistryError{Kind::kEmptyName};
  }
  if (windows1252 && !dbf::representable(name, dbf::CodePage::kCp1252)) return RegistryError{Kind::kUnstorableName};
  return std::nullopt;
}

RegistryError damaged(int line, std::string detail) {
  RegistryError e{Kind::kDamaged};
  e.line = line;
  e.detail = std::move(detail);
  return e;
}

bool sameDirectory(const std::string& a, const std::string& b) {
  if (os::withTrailingSeparator(a) == os::withTrailingSeparator(b)) return true;
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace

std::string CompanyEntry::displayText() const { return zeroPadded(nFirma, 2) + " " + cFirma; }

std::string registryErrorText(const RegistryError& e) {
  const std::string nn = zeroPadded(e.nFirma, 2);
  switch (e.kind) {
    case Kind::kMissing:
      return "Es ist keine Firma eingerichtet: Die Firmenliste FIRMEN.TXT fehlt im Programmverzeichnis " +
             e.directory + ".";
    case Kind::kEmpty:
      return "Es ist keine Firma eingerichtet: Die Firmenliste FIRMEN.TXT enthält keine Firma.";
    case Kind::kNoMode:
      return "Die Firmenliste FIRMEN.TXT ist unvollständig: Es fehlt die Zeile MODUS=EINZELFIRMA oder "
             "MODUS=MEHRFIRMEN.";
    case Kind::kDamaged:
      return "Die Firmenliste FIRMEN.TXT ist fehlerhaft (Zeile " + std::to_string(e.line) + "): " + e.detail;
    case Kind::kUnreadable:
      return "Die Firmenliste FIRMEN.TXT kann nicht gelesen werden (" + e.detail + ").";
    case Kind::kUnwritable:
      return "Die Firmenliste FIRMEN.TXT kann nicht gespeichert werden (" + e.detail + ").";
    case Kind::kDuplicate:
      return "Die Firmennummer " + nn + " ist bereits vergeben.";
    case Kind::kOutOfRange:
      return "Die Firmennummer muss zwischen 1 und 99 liegen.";
    case Kind::kBadMandant:
      return "Die Mandantennummer muss zwischen 0 und " + std::to_string(kMaxMandant) + " liegen.";
    case Kind::kEmptyName:
      return "Der Firmenname darf nicht leer sein und keine Zeilenumbrüche oder Steuerzeichen enthalten.";
    case Kind::kUnstorableName:
      return "Der Firmenname enthält Zeichen, die in der Firmenliste nicht gespeichert werden können.";
    case Kind::kSingleFull:
      return "Im Einzelfirmenbetrieb kann nur eine Firma eingerichtet werden.";
    case Kind::kNotFound:
      return "Die Firma " + nn + " ist nicht eingerichtet.";
  }
  return "Unbekannter Fehler in der Firmenliste.";
}

const CompanyEntry* CompanyRegistry::find(int nFirma) const {
  for (const auto& e : entries_) {
    if (e.nFirma == nFirma) return &e;
  }
  return nullptr;
}

std::vector<std::string> CompanyRegistry::displayLines() const {
  std::vector<std::string> out;
  for (const auto& e : entries_) out.push_back(e.displayText());
  return out;
}

std::optional<RegistryError> CompanyRegistry::add(CompanyEntry entry) {
  entry.cFirma = std::string(trimBlanks(entry.cFirma));
  if (entry.nFirma < 1 || entry.nFirma > 99) return RegistryError{Kind::kOutOfRange, entry.nFirma};
  if (find(entry.nFirma) != nullptr) return RegistryError{Kind::kDuplicate, entry.nFirma};
  if (entry.nMandant < 0 || entry.nMandant > kMaxMandant) return RegistryError{Kind::kBadMandant, entry.nFirma};
  if (auto bad = checkName(entry.cFirma, encoding_ == Encoding::kCp1252)) {
    bad->nFirma = entry.nFirma;
    return bad;
  }
  if (mode_ == RegistryMode::kSingle && !entries_.empty()) return RegistryError{Kind::kSingleFull, entry.nFirma};
  entries_.push_back(std::move(entry));
  return std::nullopt;
}

std::optional<RegistryError> CompanyRegistry::rename(int nFirma, std::string_view name) {
  name = trimBlanks(name);
  for (auto& e : entries_) {
    if (e.nFirma != nFirma) continue;
    if (auto bad = checkName(name, encoding_ == Encoding::kCp1252)) {
      bad->nFirma = nFirma;
      return bad;
    }
    e.cFirma = std::string(name);
    return std::nullopt;
  }
  return RegistryError{Kind::kNotFound, nFirma};
}

CompanyRegistry::LoadResult CompanyRegistry::load(const std::string& programDir) {
  LoadResult out;
  const auto name = os::findIgnoringCase(programDir, kRegistryFileName);
  if (!name) {
    out.error = RegistryError{Kind::kMissing};
    out.error.directory = programDir;
    return out;
  }
  auto content = os::readWholeFile(os::withTrailingSeparator(programDir) + *name);
  if (!content.ok()) {
    out.error = RegistryError{content.status().isNotFound() ? Kind::kMissing : Kind::kUnreadable};
    out.error.directory = programDir;
    out.error.detail = content.status().message();
    return out;
  }
  CompanyRegistry reg;
  std::string text;
  const std::string_view bytes = content.value();
  if (bytes.substr(0, os::kUtf8Bom.size()) == os::kUtf8Bom) {
    reg.encoding_ = Encoding::kUtf8WithBom;
    text = bytes.substr(os::kUtf8Bom.size());
  } else if (os::looksLikeUtf8(bytes)) {
    reg.encoding_ = Encoding::kUtf8;
    text = bytes;
  } else {
    text = dbf::toUtf8(bytes, dbf::CodePage::kCp1252);
  }
  std::optional<RegistryMode> mode;
  std::string_view rest = text;
  int lineNo = 0;
  while (!rest.empty()) {
    const auto nl = rest.find('\n');
    std::string_view raw = rest.substr(0, nl);
    rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    FileLine line{std::string(raw)};
    const std::string_view t = trimBlanks(raw);
    if (t.empty() || t.front() == ';') {
      reg.lines_.push_back(std::move(line));
      continue;
    }
    const auto eq = t.find('=');
    const std::string key = os::asciiUpper(trimBlanks(t.substr(0, eq)));
    const std::string_view value = eq == std::string_view::npos ? std::string_view() : trimBlanks(t.substr(eq + 1));
    if (eq == std::string_view::npos || (key != "MODUS" && key != "FIRMA")) {
      out.error = damaged(lineNo, "Erwartet wird MODUS=… oder FIRMA=Nummer;Mandant;Name.");
      return out;
    }
    if (key == "MODUS") {
      if (mode) {
        out.error = damaged(lineNo, "Die Zeile MODUS darf nur einmal vorkommen.");
        return out;
      }
      const std::string v = os::asciiUpper(value);
      if (v == "EINZELFIRMA") {
        mode = RegistryMode::kSingle;
      } else if (v == "MEHRFIRMEN") {
        mode = RegistryMode::kMulti;
      } else {
        out.error = damaged(lineNo, "Der Modus muss EINZELFIRMA oder MEHRFIRMEN sein.");
        return out;
      }
      line.mode = true;
      reg.lines_.push_back(std::move(line));
      continue;
    }
    const auto s1 = value.find(';');
    const auto s2 = s1 == std::string_view::npos ? s1 : value.find(';', s1 + 1);
    if (s2 == std::string_view::npos) {
      out.error = damaged(lineNo, "Erwartet wird FIRMA=Nummer;Mandant;Name.");
      return out;
    }
    const auto number = smallNumber(value.substr(0, s1), 2);
    const auto mandant = smallNumber(value.substr(s1 + 1, s2 - s1 - 1), 5);
    const std::string cFirma(trimBlanks(value.substr(s2 + 1)));
    if (!number || *number < 1 || *number > 99) {
      out.error = damaged(lineNo, "Die Firmennummer muss zwischen 1 und 99 liegen.");
      return out;
    }
    if (!mandant || *mandant > kMaxMandant) {
      out.error = damaged(lineNo, "Die Mandantennummer muss zwischen 0 und " + std::to_string(kMaxMandant) + " liegen.");
      return out;
    }
    if (reg.find(*number) != nullptr) {
      out.error = damaged(lineNo, "Die Firmennummer " + zeroPadded(*number, 2) + " ist doppelt vergeben.");
      return out;
    }
    if (cFirma.empty()) {
      out.error = damaged(lineNo, "Der Firmenname fehlt.");
      return out;
    }
    line.entry = static_cast<int>(reg.entries_.size());
    reg.entries_.push_back({*number, *mandant, cFirma});
    reg.lines_.push_back(std::move(line));
  }
  if (reg.entries_.empty()) {
    out.error = RegistryError{Kind::kEmpty};
    return out;
  }
  if (!mode) {
    out.error = RegistryError{Kind::kNoMode};
    return out;
  }
  reg.mode_ = *mode;
  if (reg.mode_ == RegistryMode::kSingle && reg.entries_.size() > 1) {
    int second = 0;
    for (const auto& l : reg.lines_) {
      if (l.entry == 1) break;
      ++second;
    }
    // Line numbers count file lines; lines_ holds every line, so the index is the line number - 1.
    out.error = damaged(second + 1, "Im Einzelfirmenbetrieb darf nur eine Firma eingetragen sein.");
    return out;
  }
  out.registry = std::move(reg);
  return out;
}

std::optional<RegistryError> CompanyRegistry::save(const std::string& programDir) const {
  std::vector<std::string> text;
  if (lines_.empty()) {
    text = {"; Firmenliste von Lumo-Zentor",
            "; MODUS=EINZELFIRMA: genau eine Firma, ihre Daten liegen im Programmverzeichnis.",
            "; MODUS=MEHRFIRMEN: jede Firma hat ihre Daten im Unterverzeichnis FIRMAnn.",
            "; Je Firma eine Zeile FIRMA=Nummer (1-99);Mandant;Name",
            modeLine(mode_)};
    for (const auto& e : entries_) text.push_back(firmaLine(e));
  } else {
    size_t lastEntryLine = 0;
    bool haveEntryLine = false;
    for (const auto& l : lines_) {
      if (l.entry >= 0 && static_cast<size_t>(l.entry) < entries_.size()) {
        text.push_back(firmaLine(entries_[static_cast<size_t>(l.entry)]));
        lastEntryLine = text.size();
        haveEntryLine = true;
      } else if (l.mode) {
        text.push_back(modeLine(mode_));
      } else {
        text.push_back(l.text);
      }
    }
    size_t known = 0;
    for (const auto& l : lines_) known += l.entry >= 0 ? 1 : 0;
    std::vector<std::string> added;
    for (size_t i = known; i < entries_.size(); ++i) added.push_back(firmaLine(entries_[i]));
    const size_t at = haveEntryLine ? lastEntryLine : text.size();
    text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
  }
  std::string bytes;
  for (const auto& t : text) bytes += t + "\r\n";
  if (encoding_ == Encoding::kCp1252) bytes = dbf::fromUtf8(bytes, dbf::CodePage::kCp1252);
  if (encoding_ == Encoding::kUtf8WithBom) bytes.insert(0, os::kUtf8Bom);
  const std::string dir = os::withTrailingSeparator(programDir);
  const auto existing = os::findIgnoringCase(programDir, kRegistryFileName);
  const auto status = os::replaceFileAtomically(dir + existing.value_or(std::string(kRegistryFileName)), bytes);
  if (!status.ok()) {
    RegistryError e{Kind::kUnwritable};
    e.detail = status.message();
    return e;
  }
  return std::nullopt;
}

std::string companyDirectoryName(int nFirma) { return "FIRMA" + zeroPadded(nFirma, 2); }

std::string companyDataDirectory(const std::string& programDir, int nFirma) {
  const std::string name = companyDirectoryName(nFirma);
  return os::withTrailingSeparator(os::withTrailingSeparator(programDir) +
                                   os::findIgnoringCase(programDir, name).value_or(name));
}

std::optional<CompanyEntry> GETFIRMA(Globals& g, const CompanyRegistry& registry, const CompanyChooser& choose) {
  if (registry.entries().empty()) return std::nullopt;
  if (registry.mode() == RegistryMode::kSingle) {
    g.setDataDirectory(g.programDirectory());
    return registry.entries().front();
  }
  const auto chosen = choose ? choose(registry.displayLines()) : std::nullopt;
  if (!chosen || *chosen >= registry.entries().size()) return std::nullopt;
  const CompanyEntry& entry = registry.entries()[*chosen];
  g.setDataDirectory(companyDataDirectory(g.programDirectory(), entry.nFirma));
  return entry;
}

bool CHKPROJECTDIR(const Globals& g, MessageService& messages) {
  if (sameDirectory(g.dataDirectory(), g.programDirectory())) return true;
  std::vector<std::string> names;
  for (const auto& n : os::listDirectory(g.programDirectory())) names.push_back(os::asciiUpper(n));
  const auto present = [&](std::string_view wanted) {
    for (const auto& n : names) {
      if (n == wanted) return true;
    }
    return false;
  };
  const auto anyUms = [&] {
    for (const auto& n : names) {
      if (n.size() >= 7 && n.compare(0, 3, "UMS") == 0 && n.compare(n.size() - 4, 4, ".DBF") == 0) return true;
    }
    return false;
  };
  const bool found = present("AGR.DBF") || present("ART.DBF") || present("TXT.DBF") || present("AKO.DBF") ||
                     present("APO.DBF") || anyUms() || present("FDT.INI");
  if (!found) return true;
  messages.error("Datenfiles im Programmverzeichnis", "ZENTOR");
  return false;
}

}  // namespace zentor::app
