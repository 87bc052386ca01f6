// zentorctl print-order on a demo installation: the PDF's page count against pdfinfo, numbering
// at the first final print only, every document kind, and the failures: no such order, no report
// file, an output that cannot be written, an order locked by another workstation.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "dbf/session.h"
#include "dbf/table.h"
#include "dbf/value.h"
#include "support/cli_support.h"
#include "support/company_support.h"

namespace zentor::cli::test {
namespace {

namespace fs = std::filesystem;

std::string todayText() {
  const std::string s = dbf::Date::today().dtos();
  return s.substr(6, 2) + "." + s.substr(4, 2) + "." + s.substr(0, 4);
}

// pdfinfo's page count; -1 when it cannot be read.
int pdfPages(const std::string& path) {
  const std::string cmd = "pdfinfo '" + path + "' 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return -1;
  char line[512];
  int pages = -1;
  while (fgets(line, sizeof line, p) != nullptr) {
    if (std::sscanf(line, "Pages: %d", &pages) == 1) break;
  }
  pclose(p);
  return pages;
}

// The number a yearly counter of the demo (Jahresnummern=.T.) issues after `last`.
std::string nextYearly(const std::string& last) {
  const uint32_t yy = static_cast<uint32_t>(dbf::Date::today().year() % 100);
  const uint32_t n = static_cast<uint32_t>(std::stoul(last));
  return std::to_string(n / 1000000 == yy ? n + 1 : yy * 1000000 + 1);
}

struct Printed {
  std::string number, date;
  int pages = -1;
};

// print-order's two lines: "<number> <date>" and "<n> page(s) written to <pdf>".
Printed parsePrinted(const RunResult& r, const std::string& pdf) {
  Printed p;
  const auto lines = splitLines(r.out);
  if (lines.size() != 2) {
    ADD_FAILURE() << r.out << r.err;
    return p;
  }
  const size_t sp = lines[0].find(' ');
  p.number = lines[0].substr(0, sp);
  p.date = sp == std::string::npos ? "" : lines[0].substr(sp + 1);
  char rest[64] = {};
  if (std::sscanf(lines[1].c_str(), "%d %63s", &p.pages, rest) != 2) ADD_FAILURE() << lines[1];
  EXPECT_EQ(lines[1], std::to_string(p.pages) + (p.pages == 1 ? " page" : " pages") + " written to " + pdf);
  return p;
}

class PrintOrder : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { detachStandardInput(); }
  void SetUp() override {
#ifndef ZENTOR_WITH_REPORTS
    GTEST_SKIP() << "built without the report renderer";
#endif
    const auto r = runZentorctl({"demo", home_.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(fs::exists(home_.file("AUFTRAG.RPT"))) << "the demo did not install the report files";
    data_ = home_.file("FIRMA01");
  }
  RunResult print(const std::string& auftrag, std::vector<std::string> flags, const std::string& pdf) {
    std::vector<std::string> all = {"--home", home_.path(), "--company", "1", "print-order", auftrag, "--pdf", pdf};
    all.insert(all.end(), flags.begin(), flags.end());
    return runZentorctl(all);
  }
  // The first order of kind `typ` without any number.
  Row openOrder(const std::string& typ) {
    for (const auto& o : dumpRows(data_ + "/AKO.DBF"))
      if (o.at("TYP") == typ && o.at("TYPNR") == "0" && o.at("LSNR") == "0") return o;
    ADD_FAILURE() << "no open order of kind " << typ;
    return {{"AUFTRAG", "0"}};
  }
  Row ako(const std::string& auftrag) {
    for (const auto& o : dumpRows(data_ + "/AKO.DBF"))
      if (o.at("AUFTRAG") == auftrag) return o;
    return {};
  }
  size_t postings(const std::string& auftrag) {
    const std::string ums = data_ + "/UMS" + std::to_string(dbf::Date::today().year()) + ".DBF";
    size_t n = 0;
    if (!fs::exists(ums)) return 0;
    for (const auto& u : dumpRows(ums)) n += u.at("AUFTRAG") == auftrag;
    return n;
  }
  std::string counter(const std::string& field) { return dumpRows(data_ + "/KRS.DBF").at(0).at(field); }
  std::string pdf(const std::string& name) const { return home_.file(name + ".pdf"); }

  ScratchDir home_;
  std::string data_;
};

TEST_F(PrintOrder, AFinalPrintNumbersOnceAndASecondKeepsTheNumber) {
  const std::string auftrag = openOrder("R").at("AUFTRAG");

  // A draft: no number, today's date, nothing stored.
  auto r = print(auftrag, {}, pdf("entwurf"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  Printed p = parsePrinted(r, pdf("entwurf"));
  EXPECT_EQ(p.number, "0");
  EXPECT_EQ(p.date, todayText());
  EXPECT_GE(p.pages, 1);
  EXPECT_EQ(pdfPages(pdf("entwurf")), p.pages);
  EXPECT_EQ(ako(auftrag).at("TYPNR"), "0");

  const std::string renr = nextYearly(counter("RENR"));
  r = print(auftrag, {"--final", "--complete"}, pdf("rechnung"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  p = parsePrinted(r, pdf("rechnung"));
  EXPECT_EQ(p.number, renr);
  EXPECT_EQ(p.date, todayText());
  EXPECT_EQ(pdfPages(pdf("rechnung")), p.pages);
  EXPECT_EQ(ako(auftrag).at("TYPNR"), renr);
  const size_t posted = postings(auftrag);
  EXPECT_GT(posted, 0u);

  r = print(auftrag, {"--final"}, pdf("nochmals"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  p = parsePrinted(r, pdf("nochmals"));
  EXPECT_EQ(p.number, renr);
  EXPECT_EQ(pdfPages(pdf("nochmals")), p.pages);
  EXPECT_EQ(counter("RENR"), renr);
  EXPECT_EQ(postings(auftrag), posted);
}

TEST_F(PrintOrder, EveryKindOfDocumentBecomesAPdf) {
  struct Case {
    std::string typ;
    std::vector<std::string> flags;
    std::string counterField;  // the range the final print draws from
  };
  const std::vector<Case> cases = {
      {"G", {"--final"}, "GUNR"},
      {"A", {"--final"}, "ANNR"},
      {"R", {"--final", "--delivery-note"}, "LSNR"},
  };
  for (const auto& c : cases) {
    const std::string auftrag = openOrder(c.typ).at("AUFTRAG");
    const std::string expected = nextYearly(counter(c.counterField));
    const std::string out = pdf(c.counterField);
    const auto r = print(auftrag, c.flags, out);
    ASSERT_EQ(r.exitCode, 0) << c.typ << ": " << r.err;
    const Printed p = parsePrinted(r, out);
    EXPECT_EQ(p.number, expected) << c.typ;
    EXPECT_EQ(pdfPages(out), p.pages) << c.typ;
  }
  // Only invoices have delivery notes.
  const std::string quotation = openOrder("A").at("AUFTRAG");
  const auto r = print(quotation, {"--delivery-note"}, pdf("ls"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: order " + quotation + " is no invoice, so it has no delivery note\n");
  EXPECT_FALSE(fs::exists(pdf("ls")));
}

TEST_F(PrintOrder, FailuresAreReported) {
  const std::string auftrag = openOrder("R").at("AUFTRAG");

  auto r = print("99999999", {}, pdf("x"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: order 99999999 does not exist\n");
  r = runZentorctl({"--home", home_.path(), "--company", "1", "print-order", auftrag});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: print-order needs --pdf OUT.pdf\n");

  // The output cannot be written: the program's message, and the number stays issued.
  const std::string renr = nextYearly(counter("RENR"));
  r = print(auftrag, {"--final"}, home_.file("fehlt/beleg.pdf"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("zentorctl: Der Beleg konnte nicht ausgegeben werden.\n", 0), 0u) << r.err;
  EXPECT_EQ(ako(auftrag).at("TYPNR"), renr);

  // Without AUFTRAG.RPT nothing is printed, but a final print has numbered the document.
  fs::remove(home_.file("AUFTRAG.RPT"));
  const std::string other = openOrder("R").at("AUFTRAG");
  const std::string next = nextYearly(renr);
  r = print(other, {"--final"}, pdf("ohne"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err.rfind("zentorctl: report cannot be loaded: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("(the document has its number " + next + ")"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(pdf("ohne")));
  EXPECT_EQ(ako(other).at("TYPNR"), next);
}

TEST_F(PrintOrder, AnOrderLockedByAnotherWorkstationIsNotPrinted) {
  const std::string auftrag = openOrder("R").at("AUFTRAG");
  const std::string renr = counter("RENR");
  dbf::Session s;
  auto t = dbf::Table::open(s, data_ + "/AKO.DBF");
  ASSERT_TRUE(t.ok()) << t.status().toString();
  dbf::Table& rival = **t;
  ASSERT_TRUE(rival.attachIndex(data_ + "/AKO.CDX").ok());  // as every workstation opens it
  for (rival.goTop(); !rival.eof(); rival.skip(1))
    if (std::to_string(static_cast<uint32_t>(rival.getNumber("AUFTRAG"))) == auftrag) break;
  ASSERT_FALSE(rival.eof());
  ASSERT_TRUE(rival.lock());

  auto r = print(auftrag, {"--final"}, pdf("gesperrt"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "zentorctl: Auftrag kann nicht gesperrt werden\n");
  EXPECT_FALSE(fs::exists(pdf("gesperrt")));
  EXPECT_EQ(counter("RENR"), renr);

  rival.unlock();
  r = print(auftrag, {"--final"}, pdf("frei"));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(pdfPages(pdf("frei")), parsePrinted(r, pdf("frei")).pages);
}

}  // namespace
}  // namespace zentor::cli::test
