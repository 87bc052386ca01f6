#include <gtest/gtest.h>

#include "report/definition.h"

namespace zentor::report {
namespace {

TEST(ParseReport, ReadsEveryStatement) {
  const char* text =
      "# Rechnung\r\n"
      "report name=\"AUFTRAG\" title=\"Rechnung\"\r\n"
      "page format=A4 orientation=landscape left=25 right=20 top=10 bottom=12.5\n"
      "font family=Serif size=9\n"
      "variable name=nAuftrag type=number\n"
      "variable name=cFirma type=text\n"
      "master alias=ako order=auftrag\n"
      "select {AKO.AUFTRAG = nAuftrag}\n"
      "range seek={str(nAuftrag,8)} while={AKO.AUFTRAG = nAuftrag}\n"
      "relation alias=APO parent=AKO key={str(AKO.AUFTRAG,8)} order=AUFTRAG outer\n"
      "lookup alias=ART parent=APO key={str(APO.ARTNR,5)} order=ARTNR\n"
      "group name=auf key={AKO.AUFTRAG} newpage\n"
      "total name=nNetto sum={APO.MENGE*APO.VKP} reset=AUF when={APO.ARTNR > 0}\n"
      "total name=nPos count reset=page\n"
      "band groupheader group=AUF height=20 repeat if={nPage > 1}\n"
      "  text x=0 y=0 w=80 h=20 value={cFirma + \"}\"} grow bold size=12 align=right decimals=2 thousands\n"
      "  static x=0 y=5 text=\"Menge \\\"netto\\\"\" italic\n"
      "  line x=0 y=19 x2=165 y2=19 width=0.3\n"
      "  box x=0 y=0 w=10 h=10 fill=230 \\\n"
      "      if={.T.}\n"
      "  image x=120 y=0 w=40 h=20 file={cFirma}\n"
      "end\n"
      "band detail height=5 keep columns=3 pitch=70\n"
      "end\n";
  auto r = parseReport(text, "AUFTRAG.RPT");
  ASSERT_TRUE(r.ok()) << r.status().toString();
  const ReportDefinition& d = r.value();
  EXPECT_EQ(d.name, "AUFTRAG");
  EXPECT_EQ(d.page.width, 297);
  EXPECT_EQ(d.page.bottom, 12.5);
  EXPECT_EQ(d.font.family, "Serif");
  ASSERT_EQ(d.variables.size(), 2u);
  EXPECT_TRUE(d.variables[0].initial.isNumeric());
  EXPECT_EQ(d.data.master, "AKO");
  EXPECT_EQ(d.data.masterOrder, "AUFTRAG");
  EXPECT_EQ(d.data.select.text, "AKO.AUFTRAG = nAuftrag");
  EXPECT_EQ(d.data.select.line, 8);
  EXPECT_EQ(d.data.seek.text, "str(nAuftrag,8)");
  ASSERT_EQ(d.data.relations.size(), 2u);
  EXPECT_TRUE(d.data.relations[0].many && d.data.relations[0].outer);
  EXPECT_FALSE(d.data.relations[1].many);
  ASSERT_EQ(d.groups.size(), 1u);
  EXPECT_TRUE(d.groups[0].newPage);
  ASSERT_EQ(d.totals.size(), 2u);
  EXPECT_EQ(d.totals[0].group, "AUF");
  EXPECT_EQ(d.totals[1].kind, TotalKind::kCount);
  EXPECT_EQ(d.totals[1].reset, TotalReset::kPage);
  ASSERT_EQ(d.bands.size(), 2u);
  const Band& b = d.bands[0];
  EXPECT_TRUE(b.repeat);
  EXPECT_EQ(b.condition.text, "nPage > 1");
  ASSERT_EQ(b.elements.size(), 5u);
  EXPECT_EQ(b.elements[0].value.text, "cFirma + \"}\"");  // a brace inside a quoted text
  EXPECT_TRUE(b.elements[0].grow && b.elements[0].font.bold);
  EXPECT_EQ(b.elements[0].font.size, 12);
  EXPECT_EQ(b.elements[0].font.family, "Serif");
  EXPECT_EQ(b.elements[0].align, Align::kRight);
  EXPECT_EQ(b.elements[1].text, "Menge \"netto\"");
  EXPECT_EQ(b.elements[1].w, 297 - 25 - 20);  // to the right margin
  EXPECT_EQ(b.elements[2].x2, 165);
  EXPECT_EQ(b.elements[3].fillGray, 230);
  EXPECT_EQ(b.elements[3].condition.line, 19);  // a continued statement keeps its first line
  EXPECT_EQ(b.elements[4].line, 21);
  EXPECT_EQ(d.bands[1].columns, 3);
  EXPECT_TRUE(d.bands[1].keep);
}

TEST(ParseReport, ErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* message;  // expected beginning of the message
  };
  const Case cases[] = {
      {"page format=B5\n", "R.RPT:1: unknown page format"},
      {"\n\nfoo x=1\n", "R.RPT:3: unknown statement 'foo'"},
      {"band detail height=5\n  circle x=1\nend\n", "R.RPT:2: unknown element 'circle'"},
      {"band detail height=5\n  text x=0 y=0 w=10\nend\n", "R.RPT:2: text: 'value={...}' is missing"},
      {"band detail height=5\n  text x=0 y=0 w=10 value=APO.TXT\nend\n", "R.RPT:2: 'value' needs an expression"},
      {"band detail height=5\n  text x=a value={1}\nend\n", "R.RPT:2: 'x' needs a number"},
      {"band detail height=5\n  text x=0 value={1} colour=red\nend\n", "R.RPT:2: unknown attribute 'colour'"},
      {"band detail height=5\n  text x=0 value={left(\"a\"\nend\n", "R.RPT:2: expression not closed"},
      {"band detail height=5\n  static x=0 text=\"offen\nend\n", "R.RPT:2: text not closed"},
      {"\nband detail height=5\n  static x=0 text=\"a\"\n", "R.RPT:2: band not closed by 'end'"},
      {"end\n", "R.RPT:1: 'end' without a band"},
      {"band detail height=5\nband detail height=5\n", "R.RPT:2: band inside a band"},
      {"band sidebar height=5\nend\n", "R.RPT:1: unknown band kind"},
      {"band groupheader group=X height=5\nend\n", "R.RPT:1: band names no group"},
      {"band detail\nend\n", "R.RPT:1: band: 'height=' is missing"},
      {"group name=G key={1}\ngroup name=g key={2}\n", "R.RPT:2: group 'G' declared twice"},
      {"total name=n\n", "R.RPT:1: total needs"},
      {"total name=n count reset=NOGROUP\n", "R.RPT:1: reset names no group"},
      {"variable name=x type=money\n", "R.RPT:1: variable type"},
      {"master alias=AKO\nrelation alias=APO parent=XYZ key={1}\n", "R.RPT:2: parent 'XYZ'"},
      {"master alias=AKO\nlookup alias=KND parent=AKO key={1}\nrelation alias=APO parent=KND key={1}\n",
       "R.RPT:3: a relation with many rows needs"},
      {"master alias=AKO\nrelation alias=APO parent=AKO key={1}\nrelation alias=UMS parent=AKO key={1}\n",
       "R.RPT:3: 'AKO' already has a relation"},
      {"master alias=AKO\nmaster alias=APO\n", "R.RPT:2: a second master"},
      {"page format=A4 left=150 right=60\n", "R.RPT:1: margins leave no room"},
      {"select AKO.AUFTRAG = 1\n", "R.RPT:1: unexpected character '='"},
      {"band detail height=5 columns=3\nend\n", "R.RPT:1: columns need a pitch"},
      {"band detail height=5\n  text x=0 value={ }\nend\n", "R.RPT:2: empty expression"},
  };
  for (const Case& c : cases) {
    auto r = parseReport(c.text, "R.RPT");
    ASSERT_FALSE(r.ok()) << c.text;
    EXPECT_EQ(r.status().code(), dbf::Status::Code::kSyntax);
    EXPECT_EQ(r.status().message().rfind(c.message, 0), 0u) << r.status().message() << "\n  for: " << c.text;
  }
}

TEST(LoadReportFile, MissingFileIsNotFound) {
  auto r = loadReportFile("/nonexistent/dir/AUFTRAG.RPT");
  ASSERT_FALSE(r.ok());
  EXPECT_TRUE(r.status().isNotFound());
}

}  // namespace
}  // namespace zentor::report
