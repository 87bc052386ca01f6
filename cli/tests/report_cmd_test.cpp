// zentorctl report on a small report file over a table of our own: the PDF with its page count
// (checked with pdfinfo), PNG pages, the narrowing options, the typing of --var values, and the
// refusals of bad arguments and of reports that do not load.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dbf/session.h"
#include "dbf/table.h"
#include "dbf/value.h"
#include "support/cli_support.h"

namespace zentor::cli::test {
namespace {

namespace fs = std::filesystem;

std::string capture(const std::string& command) {
  std::string text;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return text;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
  pclose(p);
  return text;
}

// pdfinfo's page count; -1 when it cannot be read.
int pdfPages(const std::string& path) {
  for (const std::string& line : splitLines(capture("pdfinfo '" + path + "' 2>/dev/null"))) {
    int pages = -1;
    if (std::sscanf(line.c_str(), "Pages: %d", &pages) == 1) return pages;
  }
  return -1;
}

// The text of the PDF in reading order.
std::string pdfText(const std::string& path) { return capture("pdftotext -layout '" + path + "' - 2>/dev/null"); }

bool havePoppler() { return splitLines(capture("command -v pdfinfo; command -v pdftotext")).size() == 2; }

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// 20 rows of 5 mm under a 10 mm page header on a body of 52 mm (62 mm page, 5 mm margins): 8 rows
// a page, so 3 pages. The texts run against the numbers, so that a sort by text is visible:
// article 1 is "Posten T", article 20 "Posten A".
constexpr const char* kListReport =
    "report name=\"LISTE\" title=\"Artikelliste\"\n"
    "page width=100 height=62 left=5 right=5 top=5 bottom=5\n"
    "master alias=ART order=ARTNR\n"
    "variable name=cTitel type=text\n"
    "band pageheader height=10\n"
    "  text x=0 y=0 value={cTitel}\n"
    "end\n"
    "band detail height=5\n"
    "  text x=0 y=0 w=15 value={Art.Artnr} align=right\n"
    "  text x=20 y=0 w=60 value={trim(Art.Txt)}\n"
    "end\n";

// One value of each type, each on a line of its own.
constexpr const char* kTypesReport =
    "variable name=cText type=text\n"
    "variable name=dDatum type=date\n"
    "variable name=lJa type=logical\n"
    "variable name=nZahl type=number\n"
    "band reportheader height=30\n"
    "  text x=0 y=0 value={\"Text:\" + cText}\n"
    "  text x=0 y=6 value={dDatum}\n"
    "  text x=0 y=12 value={lJa}\n"
    "  text x=0 y=18 value={nZahl} decimals=2\n"
    "end\n";

class ReportCommand : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef ZENTOR_WITH_REPORTS
    GTEST_SKIP() << "built without the report renderer";
#endif
    if (!havePoppler()) GTEST_SKIP() << "pdfinfo/pdftotext (poppler-utils) are not installed";
    dbf::Session s;
    s.setSyncOnCommit(false);
    const std::string art = dir_.file("ART.DBF");
    ASSERT_TRUE(dbf::Table::create(s, art, {{"ARTNR", 'N', 5, 0}, {"TXT", 'C', 30, 0}}, true).ok());
    auto t = dbf::Table::open(s, art, dbf::OpenOptions{false, false});
    ASSERT_TRUE(t.ok()) << t.status().toString();
    for (int i = 1; i <= 20; ++i) {
      ASSERT_TRUE((*t)->append().ok());
      ASSERT_TRUE((*t)->put("ARTNR", dbf::Value(i)).ok());
      ASSERT_TRUE((*t)->put("TXT", dbf::Value(std::string("Posten ") + static_cast<char>('A' + 20 - i))).ok());
      ASSERT_TRUE((*t)->commit().ok());
    }
    ASSERT_TRUE((*t)->createTag("ARTNR", "str(ARTNR,5)", {}, dir_.file("ART.CDX")).ok());
    writeText(dir_.file("LISTE.RPT"), kListReport);
    writeText(dir_.file("TYPEN.RPT"), kTypesReport);
  }

  // zentorctl report LISTE.RPT over ART with `extra` arguments, into dir/out.pdf.
  RunResult list(std::vector<std::string> extra) {
    std::vector<std::string> args = {"report", dir_.file("LISTE.RPT"), "--dir", dir_.path(),
                                     "--table", "ART=ART.DBF,ART.CDX", "--pdf", pdf()};
    args.insert(args.end(), extra.begin(), extra.end());
    return runZentorctl(args);
  }
  std::string pdf() const { return dir_.file("out.pdf"); }

  ScratchDir dir_;
};

TEST_F(ReportCommand, WritesThePdfAndPrintsItsPageCount) {
  const auto r = list({"--var", "cTitel='Artikelliste'", "--png", dir_.file("seiten")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string stem = dir_.file("seiten") + "/out";
  EXPECT_EQ(r.out, "3 pages written to " + pdf() + "\n" + stem + "-1.png\n" + stem + "-2.png\n" + stem + "-3.png\n");
  EXPECT_EQ(pdfPages(pdf()), 3);
  for (int n = 1; n <= 3; ++n) EXPECT_GT(fs::file_size(stem + "-" + std::to_string(n) + ".png"), 0u) << n;
  const std::string text = pdfText(pdf());
  EXPECT_NE(text.find("Artikelliste"), std::string::npos) << text;
  EXPECT_LT(text.find("Posten T"), text.find("Posten A")) << text;  // in the order of ARTNR
}

TEST_F(ReportCommand, NarrowsTheRowsLikeTheProgram) {
  // Seek and while in the tag's order: articles 11 to 14 only.
  auto r = list({"--index", "ART=ARTNR", "--seek", "11", "--while", "Art.Artnr<=14"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1 page written to " + pdf() + "\n");
  std::string text = pdfText(pdf());
  for (int i = 11; i <= 14; ++i) {
    EXPECT_NE(text.find(std::string("Posten ") + static_cast<char>('A' + 20 - i)), std::string::npos) << i;
  }
  EXPECT_EQ(text.find("Posten K"), std::string::npos) << text;  // article 10
  EXPECT_EQ(text.find("Posten F"), std::string::npos) << text;  // article 15

  // A sort by text turns the list round.
  r = list({"--sort", "Art.Txt"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(pdfPages(pdf()), 3);
  text = pdfText(pdf());
  EXPECT_LT(text.find("Posten A"), text.find("Posten T")) << text;
}

TEST_F(ReportCommand, TypesTheVariablesByTheirSpelling) {
  struct Case {
    std::vector<std::string> vars;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases = {
      {{"cText='Müller'", "dDatum=1.2.2026", "lJa=.T.", "nZahl=12,5"}, {"Text:Müller", "01.02.2026", "Ja", "12,50"}},
      {{"cText=\"zwei Worte\"", "dDatum=24.12.2026", "lJa=.f.", "nZahl=-3"},
       {"Text:zwei Worte", "24.12.2026", "Nein", "-3,00"}},
      {{"cText=''", "nZahl=12.5"}, {"Text:", "12,50"}},
      {{"cText='a=b'"}, {"Text:a=b"}},  // only the first '=' separates the name
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"report", dir_.file("TYPEN.RPT"), "--pdf", pdf()};
    for (const auto& v : c.vars) args.insert(args.end(), {"--var", v});
    const auto r = runZentorctl(args);
    ASSERT_EQ(r.exitCode, 0) << c.vars.front() << ": " << r.err;
    EXPECT_EQ(r.out, "1 page written to " + pdf() + "\n");
    const std::string text = pdfText(pdf());
    for (const auto& s : c.shown) EXPECT_NE(text.find(s), std::string::npos) << s << " in:\n" << text;
  }
}

TEST_F(ReportCommand, BadArgumentsAreRefused) {
  struct Case {
    std::vector<std::string> args;  // after the report file
    std::string err;
  };
  const std::string rpt = dir_.file("TYPEN.RPT");
  const std::vector<Case> cases = {
      {{}, "zentorctl: report needs --pdf OUT.pdf\n"},
      {{"--pdf", pdf(), "--pdf", pdf()}, "zentorctl: option --pdf given twice (see zentorctl --help)\n"},
      {{"--pdf", pdf(), "--table", "ART"}, "zentorctl: --table ART: expected ALIAS=FILE or ALIAS=FILE,INDEX\n"},
      {{"--pdf", pdf(), "--table", "ART=ART.DBF,"}, "zentorctl: --table ART=ART.DBF,: expected ALIAS=FILE or ALIAS=FILE,INDEX\n"},
      {{"--pdf", pdf(), "--index", "ART"}, "zentorctl: --index ART: expected ALIAS=TAG\n"},
      {{"--pdf", pdf(), "--var", "nZahl"}, "zentorctl: --var nZahl: expected NAME=VALUE\n"},
      {{"--pdf", pdf(), "--var", "=5"}, "zentorctl: --var =5: expected NAME=VALUE\n"},
      {{"--pdf", pdf(), "--dir", dir_.file("fehlt")}, "zentorctl: --dir " + dir_.file("fehlt") + " is no directory\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"report", rpt};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = runZentorctl(args);
    EXPECT_EQ(r.exitCode, 2) << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  // Values whose type cannot be told: unquoted words, impossible dates, two separators, nothing.
  for (const std::string value : {"Maier", "31.02.2026", "1.234,56", "", "'offen", "-", "1e5", ".X."}) {
    const auto r = runZentorctl({"report", rpt, "--pdf", pdf(), "--var", "cText=" + value});
    EXPECT_EQ(r.exitCode, 2) << value;
    EXPECT_EQ(r.err.rfind("zentorctl: --var cText=" + value + ": cannot tell the type of '" + value + "'", 0), 0u)
        << r.err;
  }
  // An order the table does not have.
  const auto r = list({"--index", "ART=GIBTSNICHT"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err.rfind("zentorctl: --index ART=GIBTSNICHT: ", 0), 0u) << r.err;
  EXPECT_FALSE(fs::exists(pdf()));
}

TEST_F(ReportCommand, AReportThatDoesNotLoadWritesNothing) {
  writeText(dir_.file("KAPUTT.RPT"), "band detail height=5\n  text x=0 y=0 value={Art.Gibtsnicht}\nend\n");
  struct Case {
    std::vector<std::string> args;
    std::string errStart;
  };
  const std::vector<Case> cases = {
      {{"report", dir_.file("FEHLT.RPT"), "--pdf", pdf()}, "zentorctl: report cannot be loaded: "},
      // An expression naming a field the table lacks.
      {{"report", dir_.file("KAPUTT.RPT"), "--table", "ART=ART.DBF", "--pdf", pdf()},
       "zentorctl: report cannot be loaded: Syntax error: KAPUTT.RPT:2: "},
      // The master's table is not there.
      {{"report", dir_.file("LISTE.RPT"), "--table", "ART=FEHLT.DBF", "--pdf", pdf()},
       "zentorctl: report cannot be loaded: "},
  };
  for (const auto& c : cases) {
    const auto r = runZentorctl(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args[1];
    EXPECT_EQ(r.err.rfind(c.errStart, 0), 0u) << r.err;
    EXPECT_EQ(splitLines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(pdf()));
  }
}

}  // namespace
}  // namespace zentor::cli::test
