// The report object over real DBF tables: relation and lookup, narrowing by the caller, the
// calls of the program's contract, and reports that do not load.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dbf/session.h"
#include "dbf/table.h"
#include "report/recording.h"
#include "report/rpreport.h"
#include "support/tables.h"

namespace zentor::report {
namespace {

using dbf::Value;
using testing::TempDir;
using V = std::vector<std::string>;

std::vector<TableEntry> orderTables(const TempDir& d) {
  return {{"AKO", d.file("AKO.DBF"), d.file("AKO.CDX")},
          {"APO", d.file("APO.DBF"), d.file("APO.CDX")},
          {"ART", d.file("ART.DBF"), d.file("ART.CDX")}};
}

// An order with its positions (in tag AUFTRAG order) and each position's article unit.
const char* kOrder = R"rpt(
variable name=nAuftrag type=number
page format=A4 left=25 right=20 top=10 bottom=10
master alias=AKO order=AUFTRAG
select {AKO.AUFTRAG = nAuftrag}
relation alias=APO parent=AKO key={str(AKO.AUFTRAG,8)} order=AUFTRAG
# A number as key: sought as the tag builds it, right-aligned in its 5 characters.
lookup alias=ART parent=APO key={APO.ARTNR} order=ARTNR
group name=AUF key={AKO.AUFTRAG}
total name=nNetto sum={round(APO.MENGE*APO.VKP,2)} reset=AUF
band groupheader group=AUF height=10
  text x=0 y=0 w=100 value={"Auftrag " + ltrim(str(AKO.AUFTRAG)) + " " + trim(AKO.ZUNAME)}
  text x=100 y=0 w=40 value={AKO.BEDATUM}
end
band detail height=5
  text x=0 y=0 w=10 value={APO.MENGE} decimals=1 align=right
  text x=12 y=0 w=10 value={ART.EINHEIT}
  text x=24 y=0 w=80 value={APO.TXT}
  text x=24 y=5 w=80 h=5 value={APO.ZUSATZ} grow if={!empty(APO.ZUSATZ)}
end
band groupfooter group=AUF height=5
  text x=100 y=0 w=40 value={nNetto} decimals=2 thousands align=right
end
)rpt";

TEST(RpReport, OrderWithPositionsAndArticleLookup) {
  TempDir d;
  testing::createOrderTables(d.path());
  d.write("AUFTRAG.RPT", kOrder);
  PageListOutput out;
  RpReport r(out);
  ASSERT_TRUE(r.Init(nullptr, d.file("AUFTRAG.RPT"), d.path(), orderTables(d))) << r.lastStatus().toString();
  ASSERT_TRUE(r.IsValid());
  r.SetVariableValue("nAuftrag", Value(100));
  ASSERT_TRUE(r.PrintPreview("AUFTRAG", "AUFTRAG.PRN", "Ausdruck Auftrag", "Bericht in Bearbeitung...").ok())
      << r.lastStatus().toString();
  ASSERT_EQ(out.deliveries.size(), 1u);
  const auto& del = out.deliveries[0];
  EXPECT_FALSE(del.printed);
  EXPECT_EQ(del.texts.title, "Ausdruck Auftrag");
  ASSERT_EQ(del.doc.pages.size(), 1u);
  // Positions by SORT, the article of position 0 (none) without unit, the memo under its line.
  EXPECT_EQ(pageTexts(del.doc.pages[0]),
            (V{"Auftrag 100 Müller", "01.03.2025", "2,0", "Stk", "Schraube", "verzinkt", "3,0", "Stk", "Zange",
               "1,0", "Anfahrt", "49,95"}));

  // The same report object prints another order after a new value.
  r.SetVariableValue("nAuftrag", Value(200));
  ASSERT_TRUE(r.PrintPreview("AUFTRAG", "AUFTRAG.PRN", "Ausdruck Auftrag", "").ok());
  EXPECT_EQ(pageTexts(out.deliveries[1].doc.pages[0]),
            (V{"Auftrag 200 Bäckerei Groß", "02.04.2025", "10,0", "Stk", "Schraube", "1,00"}));
  r.Close();
  EXPECT_FALSE(r.IsValid());
}

TEST(RpReport, ReadsWhileAnotherHandleHoldsTheOrderLocked) {
  TempDir d;
  testing::createOrderTables(d.path());
  d.write("AUFTRAG.RPT", kOrder);
  dbf::Session s;
  auto ako = dbf::Table::open(s, d.file("AKO.DBF"));
  ASSERT_TRUE(ako.ok());
  ASSERT_TRUE((*ako)->go(2).ok());
  ASSERT_TRUE((*ako)->lock());
  PageListOutput out;
  RpReport r(out);
  ASSERT_TRUE(r.Init(nullptr, d.file("AUFTRAG.RPT"), d.path(), orderTables(d)));
  r.SetVariableValue("nAuftrag", Value(100));
  auto doc = r.Render();
  ASSERT_TRUE(doc.ok()) << doc.status().toString();
  EXPECT_EQ(pageTexts(doc->pages[0]).front(), "Auftrag 100 Müller");
}

// Another workstation, as a second process: holds AKO open (shared or exclusive) with the first
// order's record locked until the parent writes to `release`.
pid_t rivalHolding(const std::string& akoPath, bool exclusive, int* releaseFd) {
  int ready[2], release[2];
  if (pipe(ready) != 0 || pipe(release) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(ready[0]);
    close(release[1]);
    dbf::Session s;
    auto t = dbf::Table::open(s, akoPath, dbf::OpenOptions{!exclusive, false});
    char ok = t.ok() && (*t)->go(1).ok() && (*t)->lock() ? 'y' : 'n';
    if (write(ready[1], &ok, 1) != 1) _exit(2);
    char c;
    if (read(release[0], &c, 1) < 0) _exit(3);
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  char ok = 'n';
  if (read(ready[0], &ok, 1) != 1) ok = 'n';
  close(ready[0]);
  *releaseFd = release[1];
  return ok == 'y' ? pid : -1;
}

void releaseRival(pid_t pid, int fd) {
  char c = 'x';
  EXPECT_EQ(write(fd, &c, 1), 1);
  close(fd);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(RpReport, AnotherProcessWorkingOnTheTables) {
  TempDir d;
  testing::createOrderTables(d.path());
  d.write("AUFTRAG.RPT", kOrder);
  {
    // Shared with a record lock: the report reads past it.
    int fd = -1;
    const pid_t pid = rivalHolding(d.file("AKO.DBF"), false, &fd);
    ASSERT_GT(pid, 0);
    PageListOutput out;
    RpReport r(out);
    ASSERT_TRUE(r.Init(nullptr, d.file("AUFTRAG.RPT"), d.path(), orderTables(d))) << r.lastStatus().toString();
    r.SetVariableValue("nAuftrag", Value(200));
    auto doc = r.Render();
    ASSERT_TRUE(doc.ok()) << doc.status().toString();
    EXPECT_EQ(pageTexts(doc->pages[0]).front(), "Auftrag 200 Bäckerei Groß");
    releaseRival(pid, fd);
  }
  {
    // Exclusive elsewhere (a reindex, a reset): the master cannot be opened, the report does not load.
    int fd = -1;
    const pid_t pid = rivalHolding(d.file("AKO.DBF"), true, &fd);
    ASSERT_GT(pid, 0);
    PageListOutput out;
    RpReport r(out);
    EXPECT_FALSE(r.Init(nullptr, d.file("AUFTRAG.RPT"), d.path(), orderTables(d)));
    EXPECT_TRUE(r.lastStatus().isLocked()) << r.lastStatus().toString();
    releaseRival(pid, fd);
  }
}

TEST(RpReport, CallerNarrowsByIndexSeekAndWhile) {
  TempDir d;
  testing::createOrderTables(d.path());
  d.write("ARTSTGRP.RPT", R"rpt(
master alias=ART
band detail height=5
  text x=0 y=0 w=10 value={Art.Agrnr}
  text x=12 y=0 w=80 value={trim(Art.Txt)}
end
)rpt");
  struct Case {
    std::string tag, sort, seek, cond;
    V want;
  };
  const Case cases[] = {
      {"AGRNR", "", "' 2'", "Art.Agrnr<=15", {"2", "Zange", "15", "Schraube M4"}},
      {"AGRNR", "", "' 2'", "Art.Agrnr<=5", {"2", "Zange"}},
      {"TXT", "", "'SCHR'", "upper(Art.Txt)<='ZZ'", {"15", "Schraube M4", "2", "Zange"}},
      {"TXT", "", "'A'", "upper(Art.Txt)<='HAMMER'", {"1", "Hammer"}},
      // No tag chosen: the sort order decides, in the German order.
      {"", "Art.Txt", "", "", {"1", "Hammer", "15", "Schraube M4", "2", "Zange"}},
      {"", "", "", "", {"15", "Schraube M4", "2", "Zange", "1", "Hammer"}},  // ART's first tag, ARTNR
  };
  for (const Case& c : cases) {
    PageListOutput out;
    RpReport r(out);
    ASSERT_TRUE(r.Init(nullptr, d.file("ARTSTGRP.RPT"), d.path(), orderTables(d))) << r.lastStatus().toString();
    if (!c.tag.empty()) r.SetIndex("ART", c.tag);
    if (!c.sort.empty()) r.SetSortOrder(c.sort);
    if (!c.seek.empty()) r.SeekExpression(c.seek);
    if (!c.cond.empty()) r.WhileExpression(c.cond);
    ASSERT_TRUE(r.PrintPreview("ARTSTGRP", "ARTSTGRP.PRN", "Artikel nach Gruppen", "Bericht in Bearbeitung...").ok())
        << r.lastStatus().toString();
    ASSERT_EQ(out.deliveries.size(), 1u);
    EXPECT_EQ(pageTexts(out.deliveries[0].doc.pages[0]), c.want) << c.tag << " " << c.seek << " " << c.cond;
  }
}

TEST(RpReport, ReportsThatDoNotLoadAreInvalidAndDoNothing) {
  TempDir d;
  testing::createOrderTables(d.path());
  d.write("BROKEN.RPT", "page format=A4\nband detail height=5\n  text x=0 y=0 w=10 value={APO.NOSUCH}\nend\n");
  d.write("NOTABLE.RPT", "master alias=UMS\n");
  struct Case {
    std::string file;
    dbf::Status::Code code;
    std::string message;  // beginning of lastStatus().message()
  };
  const Case cases[] = {
      {"MISSING.RPT", dbf::Status::Code::kNotFound, "report file "},
      {"BROKEN.RPT", dbf::Status::Code::kSyntax, "BROKEN.RPT:3: APO.NOSUCH"},
      {"NOTABLE.RPT", dbf::Status::Code::kNotFound, "NOTABLE.RPT: the master table UMS"},
  };
  for (const Case& c : cases) {
    PageListOutput out;
    RpReport r(out);
    EXPECT_FALSE(r.Init(nullptr, d.file(c.file), d.path(), orderTables(d)));
    EXPECT_FALSE(r.IsValid());
    EXPECT_EQ(r.lastStatus().code(), c.code);
    EXPECT_EQ(r.lastStatus().message().rfind(c.message, 0), 0u) << r.lastStatus().toString();
    r.SetVariableValue("nAuftrag", Value(1));
    EXPECT_FALSE(r.PrintPreview("X", "X.PRN", "X", "").ok());
    EXPECT_TRUE(out.deliveries.empty());
    r.Close();
  }
}

TEST(RpReport, DirectPrintGoesToTheChosenPrinter) {
  TempDir d;
  testing::createOrderTables(d.path());
  d.write("AUFTRAG.RPT", kOrder);
  PageListOutput out;
  out.printers = {"Kyocera FS-1020D", "PDF"};
  RpReport r(out);
  ASSERT_TRUE(r.Init(nullptr, d.file("AUFTRAG.RPT"), d.path(), orderTables(d)));
  r.SetVariableValue("nAuftrag", Value(100));
  EXPECT_FALSE(r.PrinterDevice().SetPrinterByName("Gibt es nicht"));
  EXPECT_TRUE(r.PrinterDevice().SetPrinterByName("Kyocera FS-1020D"));
  ASSERT_TRUE(r.Print("AUFTRAG", "AUFTRAG.PRN", "Ausdruck Auftrag", "Bericht in Bearbeitung ...").ok());
  ASSERT_EQ(out.deliveries.size(), 1u);
  EXPECT_TRUE(out.deliveries[0].printed);
  EXPECT_EQ(out.deliveries[0].printer, "Kyocera FS-1020D");
  EXPECT_EQ(out.deliveries[0].texts.progress, "Bericht in Bearbeitung ...");
}

TEST(RecordingRpReport, RecordsTheCallsInOrder) {
  RecordingRpReport r;
  ASSERT_TRUE(r.Init(nullptr, "/prog/AUFTRAG.RPT", "/data", {{"AKO", "/data/AKO.DBF", "/data/AKO.CDX"}}));
  if (r.IsValid()) {
    r.SetVariableValue("nMandant", Value(1));
    r.SetVariableValue("lKomplett", Value::logical(true));
    r.SetVariableValue("dDatum", Value(dbf::Date::fromYmd(2025, 5, 6)));
    r.PrinterDevice().SetPrinterByName("Kyocera");
    r.Print("AUFTRAG", "AUFTRAG.PRN", "Ausdruck Auftrag", "Bericht in Bearbeitung ...");
  }
  r.Close();
  EXPECT_EQ(r.callNames(), (V{"Init", "IsValid", "SetVariableValue", "SetVariableValue", "SetVariableValue",
                              "PrinterDevice", "SetPrinterByName", "Print", "Close"}));
  const auto vars = r.variables();
  ASSERT_EQ(vars.size(), 3u);
  EXPECT_EQ(vars[1].first, "lKomplett");
  EXPECT_EQ(vars[1].second, Value::logical(true));
  EXPECT_EQ(r.calls()[0].args, (V{"/prog/AUFTRAG.RPT", "/data", "AKO=/data/AKO.DBF|/data/AKO.CDX"}));

  RecordingRpReport invalid(false);
  EXPECT_FALSE(invalid.Init(nullptr, "/prog/X.RPT", "/data", {}));
  EXPECT_FALSE(invalid.IsValid());
}

TEST(RecordingRpReport, ForwardsToTheEngine) {
  TempDir d;
  testing::createOrderTables(d.path());
  d.write("AUFTRAG.RPT", kOrder);
  PageListOutput out;
  RecordingRpReport r(out);
  ASSERT_TRUE(r.Init(nullptr, d.file("AUFTRAG.RPT"), d.path(), orderTables(d)));
  r.SetVariableValue("nAuftrag", Value(200));
  ASSERT_TRUE(r.PrintPreview("AUFTRAG", "AUFTRAG.PRN", "Ausdruck Auftrag", "").ok());
  ASSERT_EQ(out.deliveries.size(), 1u);
  EXPECT_EQ(pageTexts(out.deliveries[0].doc.pages[0]).front(), "Auftrag 200 Bäckerei Groß");
}

}  // namespace
}  // namespace zentor::report
