// zentorctl dbf info|dump|check, run as a child process on a table made here, on copies of the
// independent engine's tables, and on damaged copies.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <regex>

#include <sys/wait.h>

#include "support/cli_support.h"
#include "dbf/session.h"
#include "dbf/table.h"

namespace zentor::cli::test {
namespace {

namespace fs = std::filesystem;
using dbf::Date;
using dbf::FieldDef;
using dbf::Session;
using dbf::Table;
using dbf::Value;

#define ASSERT_OK(expr)                          \
  do {                                           \
    const dbf::Status st_ = (expr);              \
    ASSERT_TRUE(st_.ok()) << st_.toString();     \
  } while (0)

bool contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

// A small table with every field type, a deleted record, a memo with the characters the dump
// escapes, and one tag whose order differs from the natural one.
class SmallTable : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.file("KUNDEN.DBF");
    const std::vector<FieldDef> fields = {
        {"NR", 'N', 5, 0},   {"NAME", 'C', 20, 0}, {"BETRAG", 'N', 9, 2},
        {"DATUM", 'D', 8, 0}, {"AKTIV", 'L', 1, 0}, {"NOTIZ", 'M', 10, 0},
    };
    ASSERT_OK(Table::create(session_, path_, fields));
    auto t = Table::open(session_, path_, {.shared = false, .readOnly = false});
    ASSERT_TRUE(t.ok()) << t.status().toString();
    struct Row {
      int nr;
      std::string name;
      std::optional<double> betrag;
      Date datum;
      std::optional<bool> aktiv;
      std::string notiz;
      bool deleted;
    };
    const Row rows[] = {
        {1, "Müller", 12.5, Date::fromYmd(2025, 3, 3), true, "Zeile 1\r\nZeile\t2 \\ Ende", false},
        {2, "Ärger GmbH", 0.0, Date(), false, "", false},
        {3, "Zander", -7.25, Date::fromYmd(1999, 12, 31), true, "weg", true},
        {4, "Becker\tKG", std::nullopt, Date(), std::nullopt, "", false},
        {5, "abel  ", 99999.99, Date::fromYmd(2000, 2, 29), false, "ß", false},
    };
    for (const auto& r : rows) {
      ASSERT_OK((*t)->append());
      ASSERT_OK((*t)->put("NR", r.nr));
      ASSERT_OK((*t)->put("NAME", r.name));
      if (r.betrag) {
        ASSERT_OK((*t)->put("BETRAG", *r.betrag));
      }
      if (!r.datum.empty()) {
        ASSERT_OK((*t)->put("DATUM", r.datum));
      }
      if (r.aktiv) {
        ASSERT_OK((*t)->put("AKTIV", Value::logical(*r.aktiv)));
      }
      if (!r.notiz.empty()) {
        ASSERT_OK((*t)->put("NOTIZ", r.notiz));
      }
      ASSERT_OK((*t)->commit());
      if (r.deleted) {
        ASSERT_OK((*t)->deleteRecord());
        ASSERT_OK((*t)->commit());
      }
    }
    ASSERT_OK((*t)->createTag("NAME", "upper(NAME)"));
    ASSERT_OK((*t)->close());
  }

  ScratchDir dir_;
  Session session_;
  std::string path_;
};

TEST_F(SmallTable, InfoShowsHeaderFieldsAndTags) {
  RunResult r = runZentorctl({"dbf", "info", path_});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_TRUE(contains(r.out, "version        0xF5 (FoxPro with FPT memo)\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "records        5\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "header length  226\n")) << r.out;  // 32 + 6 * 32 + 2
  EXPECT_TRUE(contains(r.out, "record length  54\n")) << r.out;   // 1 + 5 + 20 + 9 + 8 + 1 + 10
  EXPECT_TRUE(std::regex_search(r.out, std::regex("memo file      KUNDEN\\.(FPT|fpt) \\(block size [1-9][0-9]*\\)\n")))
      << r.out;
  EXPECT_TRUE(contains(r.out, "fields         6\n"
                              "  NR         N    5  0\n"
                              "  NAME       C   20  0\n"
                              "  BETRAG     N    9  2\n"
                              "  DATUM      D    8  0\n"
                              "  AKTIV      L    1  0\n"
                              "  NOTIZ      M   10  0\n"))
      << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("index          KUNDEN\\.(CDX|cdx), 1 tag\n"
                                                  "  NAME         20  upper\\(NAME\\)\n")))
      << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("last update    [0-9]{4}-[0-9]{2}-[0-9]{2}\n"))) << r.out;
}

TEST_F(SmallTable, DumpInNaturalAndTagOrder) {
  const std::string rec1 = "1\t \t1\tMüller\t12.50\t20250303\tT\tZeile 1\\r\\nZeile\\t2 \\\\ Ende\n";
  const std::string rec2 = "2\t \t2\tÄrger GmbH\t0.00\t\tF\t\n";
  const std::string rec3 = "3\t*\t3\tZander\t-7.25\t19991231\tT\tweg\n";
  const std::string rec4 = "4\t \t4\tBecker\\tKG\t\t\t\t\n";  // never-set number, date, logical: empty
  const std::string rec5 = "5\t \t5\tabel\t99999.99\t20000229\tF\tß\n";
  struct Case {
    std::vector<std::string> options;
    std::string expected;
  };
  const Case cases[] = {
      {{}, rec1 + rec2 + rec4 + rec5},
      {{"--deleted"}, rec1 + rec2 + rec3 + rec4 + rec5},
      // German order: ABEL < ÄRGER < BECKER < MÜLLER < ZANDER; the tag name in any case.
      {{"--tag", "name"}, rec5 + rec2 + rec4 + rec1},
      {{"--tag=NAME", "--deleted"}, rec5 + rec2 + rec4 + rec1 + rec3},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"dbf", "dump", path_};
    args.insert(args.end(), c.options.begin(), c.options.end());
    RunResult r = runZentorctl(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.expected) << (c.options.empty() ? "natural order" : c.options[0]);
  }
}

TEST_F(SmallTable, NameWithoutExtensionIsFound) {
  RunResult r = runZentorctl({"dbf", "dump", dir_.file("KUNDEN")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(splitLines(r.out).size(), 4u);
}

TEST_F(SmallTable, ReadsBesideAStationThatHoldsALockButNotBesideAnExclusiveOne) {
  {
    auto station = Table::open(session_, path_, {.shared = true, .readOnly = false});
    ASSERT_TRUE(station.ok());
    ASSERT_TRUE((*station)->go(1).ok());
    ASSERT_TRUE((*station)->lock());
    RunResult r = runZentorctl({"dbf", "dump", path_, "--tag", "NAME"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(splitLines(r.out).size(), 4u);
    r = runZentorctl({"dbf", "check", path_});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  auto exclusive = Table::open(session_, path_, {.shared = false, .readOnly = false});
  ASSERT_TRUE(exclusive.ok());
  for (const char* cmd : {"info", "dump", "check"}) {
    RunResult r = runZentorctl({"dbf", cmd, path_});
    EXPECT_EQ(r.exitCode, 2) << cmd;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_TRUE(contains(r.err, "zentorctl: cannot open " + path_ + ": ")) << r.err;
    EXPECT_EQ(splitLines(r.err).size(), 1u) << r.err;
  }
}

TEST_F(SmallTable, FileAndTagErrorsExitWithTwo) {
  std::ofstream(dir_.file("SHORT.DBF")) << "0123456789";
  // The same table under another name, memo file along, but without an index file.
  for (const auto& e : fs::directory_iterator(dir_.path())) {
    const std::string name = e.path().filename().string();
    if (name.rfind("KUNDEN.", 0) == 0 && name != "KUNDEN.CDX" && name != "KUNDEN.cdx") {
      fs::copy_file(e.path(), dir_.file("NOCDX" + name.substr(6)));
    }
  }
  struct Case {
    std::vector<std::string> args;
    std::string errorPrefix;
  };
  const Case cases[] = {
      {{"dbf", "info", dir_.file("NONE.DBF")}, "zentorctl: cannot open " + dir_.file("NONE.DBF") + ": no such table file"},
      {{"dbf", "dump", dir_.file("NONE")}, "zentorctl: cannot open " + dir_.file("NONE") + ": no such table file"},
      {{"dbf", "info", dir_.path()}, "zentorctl: cannot open " + dir_.path() + ": no such table file"},
      {{"dbf", "info", dir_.file("SHORT.DBF")}, "zentorctl: cannot read " + dir_.file("SHORT.DBF") + ": "},
      {{"dbf", "dump", dir_.file("SHORT.DBF")}, "zentorctl: cannot open " + dir_.file("SHORT.DBF") + ": "},
      {{"dbf", "dump", path_, "--tag", "NOPE"}, "zentorctl: no tag NOPE in "},
      {{"dbf", "dump", dir_.file("NOCDX.DBF"), "--tag", "NAME"},
       "zentorctl: " + dir_.file("NOCDX.DBF") + " has no index file, so no tag NAME"},
      {{"dbf", "check", dir_.file("NONE")}, "zentorctl: cannot open " + dir_.file("NONE") + ": no such table file or directory"},
  };
  for (const auto& c : cases) {
    RunResult r = runZentorctl(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args[1] << " " << c.args[2];
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(r.err.rfind(c.errorPrefix, 0), 0u) << r.err;
    EXPECT_EQ(splitLines(r.err).size(), 1u) << r.err;
  }
  RunResult r = runZentorctl({"dbf", "dump", path_, "--tag", "NOPE"});
  EXPECT_TRUE(contains(r.err, "(it has: NAME)")) << r.err;
}

// A full disk or a closed pipe must not pass for a complete dump.
TEST_F(SmallTable, WriteErrorOnStandardOutputExitsWithTwo) {
  const std::string cmd = std::string(ZENTORCTL_PATH) + " dbf dump " + path_ + " --deleted >/dev/full 2>" +
                          dir_.file("err.txt");
  const int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_EQ(readFile(dir_.file("err.txt")), "zentorctl: write error on standard output\n");
}

TEST(DbfCheck, EmptyDirectoryHasNothingToFind) {
  ScratchDir dir;
  std::ofstream(dir.file("README.TXT")) << "no table";
  RunResult r = runZentorctl({"dbf", "check", dir.path()});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "no tables in " + dir.path() + "\n");
}

// ---- the independent engine's tables ----

const std::vector<std::string> kPeerFiles = {
    "ART.DBF", "ART.CDX", "KND.DBF", "KND.CDX", "APO.DBF", "APO.FPT", "APO.CDX", "UMS2025.DBF", "UMS2025.CDX",
};

class PeerTables : public ::testing::Test {
 protected:
  void SetUp() override { copyFixtures(dir_.path(), kPeerFiles); }
  std::string fixture(const std::string& name) const {
    return (fs::path(ZENTOR_FIXTURES_DIR) / "peer-cdx" / name).string();
  }
  ScratchDir dir_;
};

TEST_F(PeerTables, InfoOfTheCustomerTable) {
  RunResult r = runZentorctl({"dbf", "info", dir_.file("KND.DBF")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "version        0x03 (dBase III, no memo)\n"
                              "last update    2025-06-30\n"
                              "records        2000\n"
                              "header length  770\n"
                              "record length  397\n"))
      << r.out;
  EXPECT_TRUE(contains(r.out, "memo file      none\nfields         23\n  KNDNR      N    5  0\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "  UMSBTO     N   10  2\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "index          KND.CDX, 5 tags\n"
                              "  KNDNR         5  str(KNDNR,5)\n"
                              "  ZUNAME       25  Upper(ZUNAME)\n"
                              "  KGRNR         2  str(KGRNR,2)\n"
                              "  PLZ           5  PLZ\n"
                              "  FIBU          5  Str(FIBU,5)\n"))
      << r.out;
}

TEST_F(PeerTables, InfoOfTheTableWithMemos) {
  RunResult r = runZentorctl({"dbf", "info", dir_.file("APO.DBF")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "version        0xF5 (FoxPro with FPT memo)\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "memo file      APO.FPT (block size 64)\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "  AUFTRAG      12  str(AUFTRAG,8)+str(SORT,4)\n")) << r.out;
}

std::string escaped(const std::string& s) {
  std::string e;
  for (char c : s) {
    if (c == '\\') e += "\\\\";
    else if (c == '\r') e += "\\r";
    else if (c == '\n') e += "\\n";
    else if (c == '\t') e += "\\t";
    else e += c;
  }
  return e;
}

std::string rtrimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Every record, every field, against what the independent engine says it wrote.
TEST_F(PeerTables, DumpWithDeletedMatchesTheRecordsTheOtherEngineWrote) {
  for (const std::string table : {"KND", "APO", "UMS2025"}) {
    SCOPED_TRACE(table);
    RunResult r = runZentorctl({"dbf", "dump", dir_.file(table + ".DBF"), "--deleted"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = splitLines(r.out);
    const auto expected = splitLines(readFile(fixture(table + ".records.jsonl")));
    ASSERT_EQ(lines.size(), expected.size());

    // The field types, from the dump's own info, decide how to compare.
    RunResult info = runZentorctl({"dbf", "info", dir_.file(table + ".DBF")});
    std::map<std::string, char> types;
    for (const auto& l : splitLines(info.out)) {
      std::smatch m;
      if (std::regex_match(l, m, std::regex("  ([A-Z_0-9]+) +([CNDLM]) +[0-9]+ +[0-9]+"))) types[m[1]] = m[2].str()[0];
    }
    size_t mismatches = 0;
    for (size_t i = 0; i < lines.size() && mismatches < 5; ++i) {
      const JsonRecord rec = parseJsonLine(expected[i]);
      const auto cols = splitTabs(lines[i]);
      ASSERT_EQ(cols.size(), rec.size()) << lines[i];
      EXPECT_EQ(cols[0], rec[0].second);
      EXPECT_EQ(cols[1], rec[1].second == "true" ? "*" : " ") << lines[i];
      for (size_t f = 2; f < rec.size(); ++f) {
        const auto& [name, value] = rec[f];
        bool same = false;
        switch (types[name]) {
          case 'N': same = std::strtod(cols[f].c_str(), nullptr) == std::strtod(value.c_str(), nullptr); break;
          case 'C': same = cols[f] == escaped(rtrimmed(value)); break;
          case 'M': same = cols[f] == escaped(value); break;
          default: same = cols[f] == value;
        }
        if (!same) {
          ++mismatches;
          ADD_FAILURE() << "record " << cols[0] << " field " << name << ": dump '" << cols[f] << "', expected '"
                        << value << "'";
        }
      }
    }
  }
}

std::vector<std::string> recnos(const std::string& dumpOut) {
  std::vector<std::string> out;
  for (const auto& l : splitLines(dumpOut)) out.push_back(l.substr(0, l.find('\t')));
  return out;
}

TEST_F(PeerTables, DumpInEveryTagOrderMatchesTheOtherEngine) {
  const std::vector<std::pair<std::string, std::string>> tags = {
      {"ART", "ARTNR"}, {"ART", "TXT"},     {"ART", "AGRNR"},   {"KND", "KNDNR"},         {"KND", "ZUNAME"},
      {"KND", "KGRNR"}, {"KND", "PLZ"},     {"KND", "FIBU"},    {"APO", "AUFTRAG"},       {"UMS2025", "DATUM"},
      {"UMS2025", "AUFTRAG"}, {"UMS2025", "KNDNR"},
  };
  for (const auto& [table, tag] : tags) {
    RunResult r = runZentorctl({"dbf", "dump", dir_.file(table + ".DBF"), "--tag", tag, "--deleted"});
    ASSERT_EQ(r.exitCode, 0) << table << "." << tag << ": " << r.err;
    EXPECT_EQ(recnos(r.out), splitLines(readFile(fixture(table + "." + tag + ".order.txt")))) << table << "." << tag;
  }
}

TEST_F(PeerTables, DumpHidesDeletedRecordsByDefault) {
  RunResult r = runZentorctl({"dbf", "dump", dir_.file("KND.DBF"), "--tag", "ZUNAME"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto lines = splitLines(r.out);
  EXPECT_EQ(lines.size(), 2000u - 79u);
  for (const auto& l : lines) ASSERT_EQ(splitTabs(l)[1], " ") << l;
}

void overwrite(const std::string& path, uint64_t offset, const std::string& bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A CDX whose header is garbage: info shows the table and then fails on the index; a dump in
// natural order never looks at the index and still reads every record.
TEST_F(PeerTables, UnreadableIndexStopsInfoButNotANaturalDump) {
  overwrite(dir_.file("KND.CDX"), 0, std::string(16, '\xFF'));
  RunResult r = runZentorctl({"dbf", "info", dir_.file("KND.DBF")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(contains(r.out, "  UMSBTO     N   10  2\nindex          KND.CDX\n")) << r.out;
  EXPECT_EQ(r.err.rfind("zentorctl: cannot read index " + dir_.file("KND.CDX") + ": ", 0), 0u) << r.err;
  EXPECT_EQ(splitLines(r.err).size(), 1u) << r.err;

  r = runZentorctl({"dbf", "dump", dir_.file("KND.DBF")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(splitLines(r.out).size(), 2000u - 79u);
  EXPECT_EQ(runZentorctl({"dbf", "dump", dir_.file("KND.DBF"), "--tag", "KNDNR"}).exitCode, 2);
  EXPECT_EQ(runZentorctl({"dbf", "check", dir_.file("KND.DBF")}).exitCode, 1);
}

TEST_F(PeerTables, CheckFindsNothingOnSoundTables) {
  RunResult r = runZentorctl({"dbf", "check", dir_.path()});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "OK " + dir_.file("APO.DBF") + "\nOK " + dir_.file("ART.DBF") + "\nOK " + dir_.file("KND.DBF") +
                       "\nOK " + dir_.file("UMS2025.DBF") + "\n");
}

TEST_F(PeerTables, CheckReportsEachDamageAndExitsWithOne) {
  struct Case {
    std::string what;
    std::string table;  // the file the problems must name
    std::function<void(const ScratchDir&)> damage;
  };
  const Case cases[] = {
      {"half a record cut off", "KND.DBF",
       [](const ScratchDir& d) { fs::resize_file(d.file("KND.DBF"), 770 + 397 * 1999 + 200); }},
      {"a memo pointer past the end of the memo file", "APO.DBF",
       // record 1 of APO: header 322, flag 1, AUFTRAG..SORT 112 bytes, then ZUSATZ
       [](const ScratchDir& d) { overwrite(d.file("APO.DBF"), 322 + 1 + 112, "  99999999"); }},
      {"an index page wiped", "UMS2025.DBF",
       [](const ScratchDir& d) { overwrite(d.file("UMS2025.CDX"), 4096, std::string(512, '\xAB')); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    copyFixtures(dir.path(), kPeerFiles);
    c.damage(dir);
    RunResult r = runZentorctl({"dbf", "check", dir.path()});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    const std::string damaged = dir.file(c.table);
    size_t problemLines = 0;
    for (const auto& l : splitLines(r.out)) {
      if (l.rfind(damaged + ": ", 0) == 0) ++problemLines;
      else EXPECT_EQ(l.rfind("OK ", 0), 0u) << l;  // the others are sound
    }
    EXPECT_GE(problemLines, 1u) << r.out;
    EXPECT_FALSE(contains(r.out, "OK " + damaged + "\n")) << r.out;
    // The same file named alone gives the same verdict.
    EXPECT_EQ(runZentorctl({"dbf", "check", damaged}).exitCode, 1);
  }
}

}  // namespace
}  // namespace zentor::cli::test
