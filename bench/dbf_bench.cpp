// dbf_bench: timings of the table engine on a customer table of realistic size and shape.
//
//   dbf_bench [--records N] [--dir DIR] [--sync]
//
// Builds a table with the fields of the customer table KND (default 100,000 records, German
// names, streets and postcodes from a fixed seed, so every run writes the same data), opens it
// shared as a workstation does, and times the operations the program leans on. One line per
// operation: "<operation>  <n> ops  <seconds> s  <ops/s> ops/s". Commits do not force the data to
// disk unless --sync is given, since fdatasync would measure the disk rather than the engine.
//
// Without --dir the files go to a fresh temporary directory that is removed afterwards; with
// --dir they stay there for a look (the directory must not hold a KND table already). Exit status
// 0, 1 when an operation failed or gave a wrong result, 2 on bad arguments.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "dbf/collation.h"
#include "dbf/expr.h"
#include "dbf/session.h"
#include "dbf/table.h"

namespace {

namespace fs = std::filesystem;
using zentor::dbf::Date;
using zentor::dbf::FieldDef;
using zentor::dbf::Session;
using zentor::dbf::Status;
using zentor::dbf::Table;
using zentor::dbf::Value;

// splitmix64: the same sequence on every platform and library, unlike the std distributions.
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed) {}
  uint64_t next() {
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
  template <class T, size_t N>
  const T& pick(const T (&items)[N]) { return items[below(N)]; }

 private:
  uint64_t s_;
};

const char* const kSurnames[] = {
    "Müller",  "Schmidt",   "Schneider", "Fischer", "Weber",     "Meyer",    "Wagner",   "Becker",   "Schulz",
    "Hoffmann", "Schäfer",  "Koch",      "Bauer",   "Richter",   "Klein",    "Wolf",     "Schröder", "Neumann",
    "Schwarz", "Zimmermann", "Braun",    "Krüger",  "Hofmann",   "Hartmann", "Lange",    "Schmitt",  "Werner",
    "Schmitz", "Krause",    "Meier",     "Lehmann", "Schmid",    "Schulze",  "Maier",    "Köhler",   "Herrmann",
    "König",   "Walter",    "Mayer",     "Huber",   "Kaiser",    "Fuchs",    "Peters",   "Lang",     "Scholz",
    "Möller",  "Weiß",      "Jung",      "Hahn",    "Schubert",  "Vogel",    "Friedrich", "Keller",  "Günther",
    "Frank",   "Berger",    "Winkler",   "Roth",    "Beck",      "Lorenz",   "Baumann",  "Franke",   "Albrecht",
    "Öztürk",  "Ührlein",   "Ackermann", "Zander",  "Yilmaz",    "Ebert",    "Ißleib",   "Nowak",    "Dietrich",
};
const char* const kCompanies[] = {
    "Bäckerei", "Elektro", "Autohaus", "Gärtnerei", "Malerbetrieb", "Sanitär", "Dachdeckerei", "Tischlerei",
};
const char* const kFirstNames[] = {
    "Anna",  "Maria", "Ursula", "Monika", "Petra",  "Sabine", "Renate", "Helga", "Karin",  "Brigitte",
    "Jörg",  "Peter", "Klaus",  "Michael", "Thomas", "Andreas", "Wolfgang", "Jürgen", "Günter", "Stefan",
    "Lena",  "Jonas", "Lukas",  "Sophie", "Björn",  "Süleyman", "Zoë",  "Ömer",  "Käthe",  "Götz",
};
const char* const kStreets[] = {
    "Hauptstraße", "Schulstraße", "Gartenstraße", "Bahnhofstraße", "Dorfstraße", "Bergstraße", "Birkenweg",
    "Lindenstraße", "Kirchstraße", "Waldstraße", "Ringstraße", "Schillerstraße", "Goethestraße", "Am Mühlbach",
    "Jahnstraße", "Mühlenweg", "Rosenweg", "Friedhofstraße", "Lessingstraße", "Buchenweg", "Am Sportplatz",
    "Königsallee", "Münsterplatz", "Grüner Weg", "Brückenstraße", "Marktplatz", "Höhenweg", "Eichendorffstraße",
};
struct Town {
  const char* plz;
  const char* name;
};
const Town kTowns[] = {
    {"10115", "Berlin"},    {"20095", "Hamburg"},    {"80331", "München"},   {"50667", "Köln"},
    {"60311", "Frankfurt"}, {"70173", "Stuttgart"},  {"40213", "Düsseldorf"}, {"04109", "Leipzig"},
    {"44135", "Dortmund"},  {"45127", "Essen"},      {"28195", "Bremen"},    {"01067", "Dresden"},
    {"30159", "Hannover"},  {"90403", "Nürnberg"},   {"47051", "Duisburg"},  {"44787", "Bochum"},
    {"42103", "Wuppertal"}, {"33602", "Bielefeld"},  {"53111", "Bonn"},      {"48143", "Münster"},
    {"76133", "Karlsruhe"}, {"68159", "Mannheim"},   {"86150", "Augsburg"},  {"65183", "Wiesbaden"},
    {"79098", "Freiburg"},  {"24103", "Kiel"},       {"99084", "Erfurt"},    {"18055", "Rostock"},
    {"97070", "Würzburg"},  {"93047", "Regensburg"}, {"37073", "Göttingen"}, {"07743", "Jena"},
};
const char* const kSalutations[] = {"Herr", "Frau", "Frau", "Herr", "Firma", "Familie"};
const char* const kTitles[] = {"", "", "", "", "", "", "Dr.", "Prof. Dr.", "Dipl.-Ing."};
const char* const kTerms[] = {"14T/2%", "30T", "8T/3%", "10T/2%", "30T/14T", ""};
const char* const kRemarks[] = {
    "", "", "", "Lieferung nur vormittags", "Rechnung per Post", "Stammkunde seit Jahren",
    "Bitte vorher anrufen", "Zufahrt über den Hof", "Ansprechpartner im Büro: Frau Groß",
};

const std::vector<FieldDef> kKndFields = {
    {"KNDNR", 'N', 5, 0},      {"KGRNR", 'N', 2, 0},  {"ANREDE", 'C', 25, 0},   {"TITEL", 'C', 10, 0},
    {"ZUNAME", 'C', 25, 0},    {"VORNAME", 'C', 25, 0}, {"ZUSATZ", 'C', 25, 0}, {"STRASSE", 'C', 25, 0},
    {"LAND", 'C', 3, 0},       {"PLZ", 'C', 5, 0},    {"ORT", 'C', 20, 0},      {"TEL_BUERO", 'C', 15, 0},
    {"TEL_PRIVAT", 'C', 15, 0}, {"FAX", 'C', 15, 0},  {"GEBURT", 'D', 8, 0},    {"BEMERK", 'C', 120, 0},
    {"RABATT", 'N', 2, 0},     {"UIDNR", 'C', 12, 0}, {"FIBU", 'N', 5, 0},      {"ZIEL", 'C', 8, 0},
    {"ANLDAT", 'D', 8, 0},     {"LBWDAT", 'D', 8, 0}, {"UMSBTO", 'N', 10, 2},
};

struct TagDef {
  const char* name;
  const char* expression;
};
const TagDef kKndTags[] = {
    {"KNDNR", "str(KNDNR,5)"}, {"ZUNAME", "Upper(ZUNAME)"}, {"KGRNR", "str(KGRNR,2)"},
    {"PLZ", "PLZ"},            {"FIBU", "Str(FIBU,5)"},
};

std::string phone(Rng& rng) {
  return "0" + std::to_string(20 + rng.below(980)) + "/" + std::to_string(100000 + rng.below(9000000));
}

std::string surname(Rng& rng) {
  if (rng.below(10) == 0) return std::string(rng.pick(kCompanies)) + " " + rng.pick(kSurnames);
  return rng.pick(kSurnames);
}

Status fillCustomer(Table& t, Rng& rng, uint32_t kndnr) {
  const Town& town = rng.pick(kTowns);
  const Date created = Date::fromYmd(2005 + static_cast<int>(rng.below(20)), 1 + static_cast<int>(rng.below(12)),
                                     1 + static_cast<int>(rng.below(28)));
  struct Put {
    const char* field;
    Value value;
  };
  const Put puts[] = {
      {"KNDNR", kndnr},
      {"KGRNR", static_cast<int>(1 + rng.below(20))},
      {"ANREDE", rng.pick(kSalutations)},
      {"TITEL", rng.pick(kTitles)},
      {"ZUNAME", surname(rng)},
      {"VORNAME", rng.pick(kFirstNames)},
      {"ZUSATZ", rng.below(8) == 0 ? "c/o Hausverwaltung" : ""},
      {"STRASSE", std::string(rng.pick(kStreets)) + " " + std::to_string(1 + rng.below(180))},
      {"LAND", rng.below(20) == 0 ? "A" : "D"},
      {"PLZ", town.plz},
      {"ORT", town.name},
      {"TEL_BUERO", phone(rng)},
      {"TEL_PRIVAT", rng.below(3) == 0 ? phone(rng) : std::string()},
      {"FAX", rng.below(4) == 0 ? phone(rng) : std::string()},
      {"GEBURT", rng.below(3) == 0 ? Date::fromYmd(1940 + static_cast<int>(rng.below(60)), 1 + static_cast<int>(rng.below(12)),
                                                   1 + static_cast<int>(rng.below(28)))
                                   : Date()},
      {"BEMERK", rng.pick(kRemarks)},
      {"RABATT", static_cast<int>(rng.below(4) * 5)},
      {"UIDNR", rng.below(5) == 0 ? "DE" + std::to_string(100000000 + rng.below(899999999)) : std::string()},
      {"FIBU", static_cast<int>(10000 + kndnr % 89999)},
      {"ZIEL", rng.pick(kTerms)},
      {"ANLDAT", created},
      {"LBWDAT", created.addDays(static_cast<int32_t>(rng.below(2000)))},
      {"UMSBTO", static_cast<double>(rng.below(10000000)) / 100.0},
  };
  for (const auto& p : puts) {
    if (Status st = t.put(p.field, p.value); !st.ok()) return st;
  }
  return Status::OK();
}

// KNDNR is N 5,0: numbers stop at 99,999, so a bigger table repeats them (which only makes some
// keys of the KNDNR tag duplicates).
uint32_t kndnrOf(uint32_t recno) { return (recno - 1) % 99999 + 1; }

struct Options {
  uint32_t records = 100000;
  std::string dir;
  bool sync = false;
};

[[noreturn]] void usage(const char* why) {
  if (why != nullptr) std::fprintf(stderr, "dbf_bench: %s\n", why);
  std::fprintf(stderr, "usage: dbf_bench [--records N] [--dir DIR] [--sync]\n");
  std::exit(2);
}

Options parseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--sync") {
      o.sync = true;
    } else if (a == "--records" || a == "--dir") {
      if (i + 1 >= argc) usage("option needs a value");
      std::string v = argv[++i];
      if (a == "--dir") {
        o.dir = v;
        continue;
      }
      char* end = nullptr;
      unsigned long n = std::strtoul(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || n < 10 || n > 1000000) usage("--records wants a number from 10 to 1000000");
      o.records = static_cast<uint32_t>(n);
    } else if (a == "--help" || a == "-h") {
      usage(nullptr);
    } else {
      usage(("unknown argument " + std::string(a)).c_str());
    }
  }
  return o;
}

// Where the files are, for the message when a run stops half-way and leaves them behind.
std::string gDir;

[[noreturn]] void stop() {
  std::fprintf(stderr, "dbf_bench: stopped; the files are left in %s\n", gDir.c_str());
  std::exit(1);
}

class Bench {
 public:
  // Times `body`, which performs `n` operations, and prints the line.
  template <class F>
  void run(const std::string& name, uint64_t n, F&& body) {
    auto start = std::chrono::steady_clock::now();
    body();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-34s %8llu ops  %9.3f s  %10.0f ops/s\n", name.c_str(), static_cast<unsigned long long>(n), s,
                s > 0 ? static_cast<double>(n) / s : 0.0);
    std::fflush(stdout);
  }

  void require(const Status& st, const std::string& what) {
    if (st.ok()) return;
    std::fprintf(stderr, "dbf_bench: %s: %s\n", what.c_str(), st.toString().c_str());
    stop();
  }
  void require(bool ok, const std::string& what) {
    if (ok) return;
    std::fprintf(stderr, "dbf_bench: %s\n", what.c_str());
    stop();
  }
};

std::string makeTempDir() {
  std::string tmpl = (fs::temp_directory_path() / "zentor-bench-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) {
    std::perror("dbf_bench: mkdtemp");
    std::exit(1);
  }
  return tmpl;
}

}  // namespace

int main(int argc, char** argv) {
  const Options opt = parseOptions(argc, argv);
  const bool ownDir = opt.dir.empty();
  const std::string dir = ownDir ? makeTempDir() : opt.dir;
  const std::string path = (fs::path(dir) / "KND.DBF").string();
  gDir = dir;
  if (!ownDir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    for (const char* name : {"KND.DBF", "KND.CDX", "knd.dbf", "knd.cdx"}) {
      if (fs::exists(fs::path(dir) / name)) {
        std::fprintf(stderr, "dbf_bench: %s holds a table KND already; give an empty directory\n", dir.c_str());
        return 2;
      }
    }
  }

  const uint32_t n = opt.records;
  const uint32_t later = n / 10 > 0 ? n / 10 : 1;  // appends with tags and updates
  std::printf("dbf_bench: %u records shaped like KND in %s, opened shared; commit sync %s\n", n, dir.c_str(),
              opt.sync ? "on (fdatasync per commit)" : "off (no fdatasync; --sync turns it on)");

  Session s;
  s.setSyncOnCommit(opt.sync);
  int result = 0;
  {
    Rng rng(20251211);
    if (Status st = Table::create(s, path, kKndFields); !st.ok()) {
      std::fprintf(stderr, "dbf_bench: %s\n", st.toString().c_str());
      stop();
    }
    auto opened = Table::open(s, path, {.shared = true, .readOnly = false});
    if (!opened.ok()) {
      std::fprintf(stderr, "dbf_bench: %s\n", opened.status().toString().c_str());
      stop();
    }
    Table& t = **opened;
    Bench b;

    b.run("shared append", n, [&] {
      for (uint32_t i = 1; i <= n; ++i) {
        b.require(t.append(), "append");
        b.require(fillCustomer(t, rng, kndnrOf(i)), "put");
        b.require(t.commit(), "commit");
      }
      b.require(t.unlock(), "unlock");
    });

    for (const auto& tag : kKndTags) {
      b.run(std::string("create tag ") + tag.name, n,
            [&] { b.require(t.createTag(tag.name, tag.expression), std::string("create tag ") + tag.name); });
    }

    b.require(t.selectTag("KNDNR"), "select KNDNR");
    b.run("exact seek KNDNR", n, [&] {
      uint32_t missed = 0;
      for (uint32_t i = 0; i < n; ++i) {
        const uint32_t k = kndnrOf(1 + rng.below(n));
        b.require(t.seek(zentor::dbf::dbaseStr(k, 5), false), "seek");
        if (!t.found() || t.getNumber("KNDNR") != k) ++missed;
      }
      b.require(missed == 0, std::to_string(missed) + " exact seeks on KNDNR missed an existing number");
    });

    b.require(t.selectTag("ZUNAME"), "select ZUNAME");
    b.run("soft seek ZUNAME", n, [&] {
      for (uint32_t i = 0; i < n; ++i) {
        std::string key = zentor::dbf::upperUtf8(rng.pick(kSurnames));
        key.resize(1 + rng.below(static_cast<uint32_t>(key.size())));  // a prefix, as typed in a search box
        if (static_cast<unsigned char>(key.back()) >= 0x80) key.pop_back();  // not half a character
        b.require(t.seek(key, true), "soft seek");
      }
    });

    for (const auto& tag : kKndTags) {
      b.require(t.selectTag(tag.name), "select tag");
      b.run(std::string("walk tag ") + tag.name, n, [&] {
        uint32_t seen = 0;
        Status st = t.goTop();
        for (; st.ok() && !t.eof(); st = t.skip(1)) ++seen;
        b.require(st, "skip");
        b.require(seen == n, "walk saw " + std::to_string(seen) + " records instead of " + std::to_string(n));
      });
    }

    b.run("record lock/unlock", n, [&] {
      for (uint32_t i = 0; i < n; ++i) {
        const uint32_t r = 1 + rng.below(n);
        b.require(t.lockRecord(r), "lock of record " + std::to_string(r) + " refused");
        b.require(t.unlock(r), "unlock");
      }
    });

    b.require(t.selectTag("KNDNR"), "select KNDNR");
    b.run("shared append, 5 tags", later, [&] {
      for (uint32_t i = 1; i <= later; ++i) {
        b.require(t.append(), "append");
        b.require(fillCustomer(t, rng, kndnrOf(n + i)), "put");
        b.require(t.commit(), "commit");
      }
      b.require(t.unlock(), "unlock");
    });

    const uint32_t total = n + later;
    b.run("update ZUNAME, 5 tags", later, [&] {
      for (uint32_t i = 0; i < later; ++i) {
        b.require(t.go(1 + rng.below(total)), "go");
        b.require(t.lock(), "lock refused");
        b.require(t.put("ZUNAME", surname(rng)), "put");
        b.require(t.commit(), "commit");
        b.require(t.unlock(), "unlock");
      }
    });

    b.run("check table and tags", total, [&] {
      std::vector<std::string> problems = t.check();
      for (const auto& p : problems) std::fprintf(stderr, "dbf_bench: check: %s\n", p.c_str());
      if (!problems.empty()) result = 1;
    });
    b.require(t.close(), "close");
  }

  if (result != 0) stop();
  if (ownDir) {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  return result;
}
