// Layout over small in-memory tables with the fixed test metrics: 10 pt text is 2 mm a character
// and 5 mm a line, so every position below can be worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>

#include "report/layout.h"
#include "report/textmetrics.h"
#include "support/layout_fixture.h"

namespace zentor::report {
namespace {

using dbf::Value;
using testing::allTexts;
using testing::findText;
using testing::layout;
using testing::linesWithY;
using V = std::vector<std::string>;

MemoryRowSource articles() {
  return MemoryRowSource({"ART.AGRNR", "ART.TXT", "ART.VKP"},
                         {{Value(1), Value("Schraube"), Value(1.5)},
                          {Value(1), Value("Mutter"), Value(0.5)},
                          {Value(2), Value("Hammer"), Value(12.0)},
                          {Value(3), Value("Zange"), Value(8.25)},
                          {Value(3), Value("Feile"), Value(4.0)}});
}

TEST(Layout, GroupFootersShowTheirGroupAndItsTotals) {
  const std::string rpt = R"rpt(
page width=100 height=100 left=10 right=10 top=10 bottom=10
group name=GRP key={ART.AGRNR}
total name=nGrp sum={ART.VKP} reset=GRP
total name=nCnt count reset=GRP
total name=nAll sum={ART.VKP}
band groupheader group=GRP height=5
  text x=0 y=0 w=80 value={"Gruppe " + ltrim(str(ART.AGRNR))}
end
band detail height=5
  text x=0 y=0 w=40 value={ART.TXT}
  text x=40 y=0 w=40 value={ART.VKP} decimals=2 align=right
end
band groupfooter group=GRP height=5
  text x=0 y=0 w=40 value={"Summe " + ltrim(str(ART.AGRNR)) + " (" + ltrim(str(nCnt)) + ")"}
  text x=40 y=0 w=40 value={nGrp} decimals=2 align=right
end
band summary height=5
  static x=0 y=0 w=40 text="Gesamt"
  text x=40 y=0 w=40 value={nAll} decimals=2 align=right
end
)rpt";
  MemoryRowSource rows = articles();
  const Document doc = layout(rpt, rows);
  ASSERT_EQ(doc.pages.size(), 1u);
  EXPECT_EQ(allTexts(doc), (V{"Gruppe 1", "Schraube", "1,50", "Mutter", "0,50", "Summe 1 (2)", "2,00",
                              "Gruppe 2", "Hammer", "12,00", "Summe 2 (1)", "12,00",
                              "Gruppe 3", "Zange", "8,25", "Feile", "4,00", "Summe 3 (2)", "12,25",
                              "Gesamt", "26,25"}));
  const V lines = linesWithY(doc.pages[0]);
  EXPECT_EQ(lines[0], "10.0|Gruppe 1");
  EXPECT_EQ(lines[1], "15.0|Schraube");
  EXPECT_EQ(lines.back(), "65.0|26,25");  // twelve bands of 5 mm
  EXPECT_EQ(dumpPage(doc.pages[0]).substr(0, 64), "T 10.0 10.0 80.0 5.0 \"Gruppe 1\"\nT 10.0 15.0 40.0 5.0 \"Schraube\"\n");
}

// Body of 35 mm on page 1 (7 rows of 5 mm) and 30 mm after the 5 mm header of later pages.
const char* kCarried = R"rpt(
page width=100 height=60 left=10 right=10 top=10 bottom=10
total name=nSum sum={POS.BETRAG}
total name=nSeite sum={POS.BETRAG} reset=page
band pageheader height=5 if={nPage > 1}
  static x=0 y=0 w=40 text="Übertrag"
  text x=40 y=0 w=40 value={nSum} decimals=2 align=right
end
band detail height=5
  text x=0 y=0 w=40 value={"Pos " + ltrim(str(POS.NR))}
  text x=40 y=0 w=40 value={POS.BETRAG} decimals=2 align=right
end
band pagefooter height=5 if={!lLastPage}
  static x=0 y=0 w=20 text="Übertrag"
  text x=20 y=0 w=30 value={nSum} decimals=2 align=right
  text x=50 y=0 w=30 value={"Seite: " + ltrim(str(nSeite))}
end
band summary height=5
  static x=0 y=0 w=40 text="Summe"
  text x=40 y=0 w=40 value={nSum} decimals=2 align=right
end
)rpt";

MemoryRowSource positions(int n) {
  std::vector<std::vector<Value>> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({Value(i), Value(static_cast<double>(i))});
  return MemoryRowSource({"POS.NR", "POS.BETRAG"}, std::move(rows));
}

TEST(Layout, PageBreaksCarryTheRunningTotalToFooterAndNextHeader) {
  MemoryRowSource rows = positions(15);
  const Document doc = layout(kCarried, rows);
  ASSERT_EQ(doc.pages.size(), 3u);
  // Page 1: rows 1-7 (28); page 2: rows 8-13 (63, carried 91); page 3: rows 14, 15.
  EXPECT_EQ(linesWithY(doc.pages[0]), (V{"10.0|Pos 1", "10.0|1,00", "15.0|Pos 2", "15.0|2,00", "20.0|Pos 3",
                                         "20.0|3,00", "25.0|Pos 4", "25.0|4,00", "30.0|Pos 5", "30.0|5,00",
                                         "35.0|Pos 6", "35.0|6,00", "40.0|Pos 7", "40.0|7,00",
                                         "45.0|Übertrag", "45.0|28,00", "45.0|Seite: 28"}));
  const V p2 = linesWithY(doc.pages[1]);
  EXPECT_EQ(V(p2.begin(), p2.begin() + 3), (V{"10.0|Übertrag", "10.0|28,00", "15.0|Pos 8"}));
  EXPECT_EQ(V(p2.end() - 3, p2.end()), (V{"45.0|Übertrag", "45.0|91,00", "45.0|Seite: 63"}));
  EXPECT_EQ(linesWithY(doc.pages[2]), (V{"10.0|Übertrag", "10.0|91,00", "15.0|Pos 14", "15.0|14,00",
                                         "20.0|Pos 15", "20.0|15,00", "25.0|Summe", "25.0|120,00"}));
}

TEST(Layout, RowThatJustFitsStaysAndTheNextOneMoves) {
  // Exactly 7 rows fill page 1; the summary is what moves to page 2.
  MemoryRowSource rows = positions(7);
  const Document doc = layout(kCarried, rows);
  ASSERT_EQ(doc.pages.size(), 2u);
  EXPECT_EQ(findText(doc.pages[0], "Pos 7"), "Pos 7");
  EXPECT_EQ(linesWithY(doc.pages[1]), (V{"10.0|Übertrag", "10.0|28,00", "15.0|Summe", "15.0|28,00"}));
}

TEST(Layout, EmptySourceGivesOnePageWithHeaderAndSummary) {
  MemoryRowSource rows = positions(0);
  const Document doc = layout(kCarried, rows);
  ASSERT_EQ(doc.pages.size(), 1u);
  EXPECT_EQ(allTexts(doc), (V{"Summe", "0,00"}));
}

std::string words(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) {
    if (!s.empty()) s += ' ';
    s += (i < 10 ? "w0" : "w") + std::to_string(i);
  }
  return s;
}

TEST(Layout, GrowingMemoPushesLaterElementsAndBandsAndContinuesOnNextPages) {
  // 40 mm wide memo: five 3-letter words a line. Body 10..70 mm, "Kopf" on every page.
  const std::string rpt = R"rpt(
page width=100 height=80 left=10 right=10 top=10 bottom=10
band pageheader height=5
  static x=0 y=0 w=40 text="Kopf"
end
band detail height=15
  text x=0 y=0 w=40 value={APO.TXT}
  text x=0 y=5 w=40 h=5 value={APO.ZUSATZ} grow
  static x=50 y=5 w=20 text="rechts"
  static x=0 y=10 w=40 text="Ende"
end
band summary height=5
  static x=0 y=0 w=40 text="Schluss"
end
)rpt";
  MemoryRowSource rows({"APO.TXT", "APO.ZUSATZ"},
                       {{Value("Erste"), Value(words(1, 15))}, {Value("Zweite"), Value(words(1, 100))}});
  const Document doc = layout(rpt, rows);
  ASSERT_EQ(doc.pages.size(), 3u);
  // Row 1: three memo lines; "rechts" beside the memo stays, "Ende" moves down by 10 mm.
  const V p1 = linesWithY(doc.pages[0]);
  ASSERT_GE(p1.size(), 7u);
  EXPECT_EQ(V(p1.begin(), p1.begin() + 7),
            (V{"10.0|Kopf", "15.0|Erste", "20.0|w01 w02 w03 w04 w05", "25.0|w06 w07 w08 w09 w10",
               "30.0|w11 w12 w13 w14 w15", "20.0|rechts", "35.0|Ende"}));
  // Row 2 starts at 40: its first five memo lines fill page 1 ...
  EXPECT_EQ(findText(doc.pages[0], "Zweite"), "Zweite");
  EXPECT_NE(std::find(p1.begin(), p1.end(), "65.0|w21 w22 w23 w24 w25"), p1.end());
  EXPECT_EQ(p1.back(), "45.0|rechts");
  // ... eleven more fill page 2 under the page header ...
  const V p2 = linesWithY(doc.pages[1]);
  ASSERT_EQ(p2.size(), 12u) << ::testing::PrintToString(p2);
  EXPECT_EQ(p2[0], "10.0|Kopf");
  EXPECT_EQ(p2[1], "15.0|w26 w27 w28 w29 w30");
  EXPECT_EQ(p2[11], "65.0|w76 w77 w78 w79 w80");
  // ... and the rest, the pushed "Ende" and the summary follow on page 3.
  EXPECT_EQ(linesWithY(doc.pages[2]), (V{"10.0|Kopf", "15.0|w81 w82 w83 w84 w85", "20.0|w86 w87 w88 w89 w90",
                                         "25.0|w91 w92 w93 w94 w95", "30.0|w96 w97 w98 w99 w100",
                                         "35.0|Ende", "40.0|Schluss"}));
}

TEST(Layout, KeepTogetherMovesTheWholeBand) {
  const std::string rpt = R"rpt(
page width=100 height=80 left=10 right=10 top=10 bottom=10
band detail height=5 keep
  text x=0 y=0 w=40 value={APO.ZUSATZ} grow
end
)rpt";
  MemoryRowSource rows({"APO.ZUSATZ"}, {{Value(words(1, 50))}, {Value(words(51, 70))}});
  const Document doc = layout(rpt, rows);
  ASSERT_EQ(doc.pages.size(), 2u);
  // Row 1 takes 50 of 60 mm; row 2 (20 mm) goes whole to page 2.
  EXPECT_EQ(linesWithY(doc.pages[0]).back(), "55.0|w46 w47 w48 w49 w50");
  EXPECT_EQ(linesWithY(doc.pages[1]).front(), "10.0|w51 w52 w53 w54 w55");
}

TEST(Layout, PrintConditionsOnBandsAndElements) {
  const std::string rpt = R"rpt(
variable name=lRabatt type=logical
variable name=cArt type=text
page width=100 height=100 left=10 right=10 top=10 bottom=10
band reportheader height=5 if={cArt = "L"}
  static x=0 y=0 w=40 text="Lieferschein"
end
band reportheader height=5 if={cArt <> "L"}
  static x=0 y=0 w=40 text="Rechnung"
end
band detail height=5
  text x=0 y=0 w=40 value={APO.TXT}
  text x=40 y=0 w=20 value={APO.RABATT} if={lRabatt} align=right
end
band detail height=5 if={!empty(APO.ZUSATZ)}
  text x=5 y=0 w=40 value={APO.ZUSATZ}
end
)rpt";
  struct Case {
    bool rabatt;
    const char* art;
    V want;
  };
  const Case cases[] = {
      {false, "R", {"Rechnung", "Brot", "Milch", "frisch"}},
      {true, "R", {"Rechnung", "Brot", "0", "Milch", "5", "frisch"}},
      {false, "L", {"Lieferschein", "Brot", "Milch", "frisch"}},
  };
  for (const Case& c : cases) {
    MemoryRowSource rows({"APO.TXT", "APO.RABATT", "APO.ZUSATZ"},
                         {{Value("Brot"), Value(0), Value("")}, {Value("Milch"), Value(5), Value("frisch")}});
    VariableStore vars;
    vars.set("LRABATT", Value::logical(c.rabatt));
    vars.set("cArt", Value(c.art));
    const Document doc = layout(rpt, rows, &vars);
    ASSERT_EQ(doc.pages.size(), 1u);
    EXPECT_EQ(allTexts(doc), c.want) << c.rabatt << c.art;
  }
}

TEST(Layout, PageNumbersOfTheWholeReport) {
  const std::string rpt = R"rpt(
page width=100 height=40 left=10 right=10 top=10 bottom=10
band detail height=5
  text x=0 y=0 w=40 value={ltrim(str(POS.NR))}
end
band pagefooter height=5
  text x=0 y=0 w=80 value={"Seite " + ltrim(str(nPage)) + " von " + ltrim(str(nPageCount))} align=right
end
)rpt";
  // Three rows a page.
  MemoryRowSource rows = positions(7);
  const Document doc = layout(rpt, rows);
  ASSERT_EQ(doc.pages.size(), 3u);
  for (int p = 0; p < 3; ++p) {
    EXPECT_EQ(linesWithY(doc.pages[p]).back(), "25.0|Seite " + std::to_string(p + 1) + " von 3");
  }
}

TEST(Layout, RepeatedColumnHeadingsAndGroupsOnNewPages) {
  const std::string rpt = R"rpt(
page width=100 height=50 left=10 right=10 top=10 bottom=10
group name=AUF key={APO.AUFTRAG} newpage
group name=KOPF key={APO.AUFTRAG}
band groupheader group=AUF height=5
  text x=0 y=0 w=80 value={"Auftrag " + ltrim(str(APO.AUFTRAG))}
end
band groupheader group=KOPF height=5 repeat
  static x=0 y=0 w=40 text="Menge Text"
end
band detail height=5
  text x=0 y=0 w=40 value={APO.TXT}
end
)rpt";
  std::vector<std::vector<Value>> data;
  for (int i = 1; i <= 6; ++i) data.push_back({Value(100), Value("A" + std::to_string(i))});
  data.push_back({Value(101), Value("B1")});
  MemoryRowSource rows({"APO.AUFTRAG", "APO.TXT"}, std::move(data));
  const Document doc = layout(rpt, rows);
  ASSERT_EQ(doc.pages.size(), 3u);
  EXPECT_EQ(pageTexts(doc.pages[0]), (V{"Auftrag 100", "Menge Text", "A1", "A2", "A3", "A4"}));
  // The column headings come back on the next page; the order heading does not.
  EXPECT_EQ(pageTexts(doc.pages[1]), (V{"Menge Text", "A5", "A6"}));
  EXPECT_EQ(pageTexts(doc.pages[2]), (V{"Auftrag 101", "Menge Text", "B1"}));
}

TEST(Layout, GroupHeaderDoesNotStayBehindAtTheFootOfAPage) {
  const std::string rpt = R"rpt(
page width=100 height=55 left=10 right=10 top=10 bottom=10
group name=G key={POS.GRP}
band groupheader group=G height=5
  text x=0 y=0 w=40 value={"Gruppe " + POS.GRP}
end
band detail height=5
  text x=0 y=0 w=40 value={ltrim(str(POS.NR))}
end
)rpt";
  // Body 10..45 mm: group A takes 30 mm; B's header would fit, its first row would not.
  std::vector<std::vector<Value>> data;
  for (int i = 1; i <= 5; ++i) data.push_back({Value("A"), Value(i)});
  data.push_back({Value("B"), Value(6)});
  MemoryRowSource rows({"POS.GRP", "POS.NR"}, std::move(data));
  const Document doc = layout(rpt, rows);
  ASSERT_EQ(doc.pages.size(), 2u);
  EXPECT_EQ(pageTexts(doc.pages[0]), (V{"Gruppe A", "1", "2", "3", "4", "5"}));
  EXPECT_EQ(linesWithY(doc.pages[1]), (V{"10.0|Gruppe B", "15.0|6"}));
}

TEST(Layout, PageDumpListsEveryPrimitiveInDrawingOrder) {
  const std::string rpt = R"rpt(
page width=100 height=100 left=10 right=10 top=10 bottom=10
band summary height=12
  box x=0 y=0 w=80 h=12 width=0.3 fill=230
  line x=0 y=6 x2=80 y2=6
  static x=2 y=1 w=60 text="Gesamt" bold
  text x=50 y=7 w=28 value={1234.5} decimals=2 thousands align=right
end
)rpt";
  MemoryRowSource rows = positions(0);
  const Document doc = layout(rpt, rows);
  ASSERT_EQ(doc.pages.size(), 1u);
  EXPECT_EQ(dumpPage(doc.pages[0], false),
            "R 10.0 10.0 80.0 12.0\n"
            "L 10.0 16.0 90.0 16.0\n"
            "T 12.0 11.0 60.0 5.0 \"Gesamt\"\n"
            "T 60.0 17.0 28.0 5.0 \"1.234,50\"\n");
  EXPECT_EQ(dumpPage(doc.pages[0]), "T 12.0 11.0 60.0 5.0 \"Gesamt\"\nT 60.0 17.0 28.0 5.0 \"1.234,50\"\n");
}

TEST(Layout, LabelsFillColumnsRowByRow) {
  const std::string rpt = R"rpt(
page format=A4 left=0 right=0 top=0 bottom=0
band detail height=37 columns=3 pitch=70
  text x=5 y=5 w=60 value={KND.ZUNAME}
end
)rpt";
  // Two empty records first: printing begins at label 3.
  std::vector<std::vector<Value>> data = {{Value("")}, {Value("")}};
  for (int i = 1; i <= 23; ++i) data.push_back({Value("Kunde " + std::to_string(i))});
  MemoryRowSource rows({"KND.ZUNAME"}, std::move(data));
  const Document doc = layout(rpt, rows);
  ASSERT_EQ(doc.pages.size(), 2u);  // 8 rows of 3 labels a sheet
  std::vector<std::string> placed;
  for (const Item& it : doc.pages[0].items) {
    const auto& t = std::get<TextRun>(it);
    if (!t.text.empty()) placed.push_back(t.text + "@" + std::to_string(static_cast<int>(t.x)) + "," +
                                          std::to_string(static_cast<int>(t.y)));
  }
  ASSERT_EQ(placed.size(), 22u);
  EXPECT_EQ(placed[0], "Kunde 1@145,5");
  EXPECT_EQ(placed[1], "Kunde 2@5,42");
  EXPECT_EQ(placed[21], "Kunde 22@145,264");
  EXPECT_EQ(pageTexts(doc.pages[1]), (V{"Kunde 23"}));
}

TEST(Layout, ImagesOnlyWhenTheFileExists) {
  const std::string rpt = R"rpt(
variable name=cLogo type=text
band reportheader height=30
  image x=120 y=0 w=50 h=25 file={cLogo}
end
)rpt";
  for (const std::string& path : {std::string(ZENTOR_SOURCE_DIR "/CMakeLists.txt"), std::string("/nonexistent/Firma03.jpg"), std::string()}) {
    MemoryRowSource rows = positions(0);
    VariableStore vars;
    vars.set("cLogo", Value(path));
    const Document doc = layout(rpt, rows, &vars);
    ASSERT_EQ(doc.pages.size(), 1u);
    const bool drawn = !doc.pages[0].items.empty();
    EXPECT_EQ(drawn, path.find("CMakeLists") != std::string::npos) << path;
  }
}

TEST(Layout, ExpressionErrorsNameTheirLine) {
  struct Case {
    const char* rpt;
    const char* where;
  };
  const Case cases[] = {
      {"band detail height=5\n  text x=0 y=0 w=10 value={POS.NOSUCH}\nend\n", "report:2: POS.NOSUCH"},
      {"\ntotal name=n sum={POS.NR +}\n", "report:2:"},
      {"group name=G key={nUnbekannt}\n", "report:1:"},
      {"band detail height=5 if={POS.NR >}\nend\n", "report:1:"},
  };
  for (const Case& c : cases) {
    MemoryRowSource rows = positions(1);
    VariableStore vars;
    FixedTextMetrics m;
    auto doc = layoutReport(c.rpt, rows, vars, m);
    ASSERT_FALSE(doc.ok()) << c.rpt;
    EXPECT_EQ(doc.status().code(), dbf::Status::Code::kSyntax);
    EXPECT_EQ(doc.status().message().rfind(c.where, 0), 0u) << doc.status().message();
  }
}

}  // namespace
}  // namespace zentor::report
