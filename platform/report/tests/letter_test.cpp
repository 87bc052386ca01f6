// The DIN 5008 letter of tests/data/brief.rpt over DBF tables: the layout a document report
// needs (address window, information block, repeated headings, carried subtotals, totals).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "report/rpreport.h"
#include "support/layout_fixture.h"
#include "support/tables.h"

namespace zentor::report {
namespace {

using dbf::Value;
using testing::findText;
using testing::linesWithY;
using testing::TempDir;
using V = std::vector<std::string>;

const TextRun* run(const Page& p, const std::string& text) {
  for (const Item& it : p.items) {
    if (const auto* t = std::get_if<TextRun>(&it); t && t->text == text) return t;
  }
  return nullptr;
}

class Letter : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::vector<Value>> positions;
    // Order 7 with 60 positions of 1 x i EUR, order 8 with one, to see the page break between.
    for (int i = 1; i <= 60; ++i) {
      positions.push_back({Value(7), Value(1.0), Value("Artikel " + std::to_string(i)), Value(static_cast<double>(i)),
                           Value(i), Value(i == 2 ? "Sonderanfertigung\r\nnach Zeichnung" : "")});
    }
    positions.push_back({Value(8), Value(2.0), Value("Einzelstück"), Value(10.0), Value(1), Value("")});
    testing::createTable(dir.path(), {"AKO", {{"AUFTRAG", 'N', 8, 0}}, {{Value(7)}, {Value(8)}}, {{"AUFTRAG", "str(AUFTRAG,8)"}}});
    testing::createTable(dir.path(), {"APO",
                                      {{"AUFTRAG", 'N', 8, 0},
                                       {"MENGE", 'N', 7, 1},
                                       {"TXT", 'C', 74, 0},
                                       {"VKP", 'N', 9, 2},
                                       {"SORT", 'N', 4, 0},
                                       {"ZUSATZ", 'M', 10, 0}},
                                      positions,
                                      {{"AUFTRAG", "str(AUFTRAG,8)+str(SORT,4)"}}});
  }

  Document print() {
    PageListOutput out;
    RpReport r(out);
    const std::vector<TableEntry> tables = {{"AKO", dir.file("AKO.DBF"), dir.file("AKO.CDX")},
                                            {"APO", dir.file("APO.DBF"), dir.file("APO.CDX")}};
    EXPECT_TRUE(r.Init(nullptr, ZENTOR_SOURCE_DIR "/platform/report/tests/data/brief.rpt", dir.path(), tables))
        << r.lastStatus().toString();
    r.SetVariableValue("cFirma", Value("Lumo Werkzeuge GmbH"));
    r.SetVariableValue("cAbsender", Value("Lumo Werkzeuge GmbH · Hauptstr. 1 · 12345 Musterstadt"));
    r.SetVariableValue("cKndAdresse", Value("Firma\r\nBäckerei Groß\r\nMühlenweg 3\r\n54321 Irgendwo"));
    r.SetVariableValue("nNrKreis", Value(2025017));
    r.SetVariableValue("dDatum", Value(dbf::Date::fromYmd(2025, 6, 30)));
    r.SetVariableValue("nAkoMwst", Value(19));
    auto doc = r.Render();
    EXPECT_TRUE(doc.ok()) << doc.status().toString();
    return doc.ok() ? std::move(doc.value()) : Document();
  }

  TempDir dir;
};

TEST_F(Letter, AddressWindowAndInformationBlockSitWhereTheNormPutsThem) {
  const Document doc = print();
  ASSERT_FALSE(doc.pages.empty());
  const Page& p1 = doc.pages[0];
  const TextRun* name = run(p1, "Bäckerei Groß");
  ASSERT_NE(name, nullptr);
  EXPECT_DOUBLE_EQ(name->x, 25.0);  // inside the window that begins at 20 mm
  EXPECT_NEAR(name->y, 62.7 + 5, 1e-9);  // second line of the address zone at 62.7 mm
  const TextRun* nr = run(p1, "Rechnungs-Nr.");
  ASSERT_NE(nr, nullptr);
  EXPECT_DOUBLE_EQ(nr->x, 125.0);
  EXPECT_DOUBLE_EQ(nr->y, 50.0);
  EXPECT_NE(run(p1, "30.06.2025"), nullptr);
  // The first line of text begins below the address window (which ends at 90 mm).
  const TextRun* heading = run(p1, "Menge");
  ASSERT_NE(heading, nullptr);
  EXPECT_DOUBLE_EQ(heading->y, 103.0);
}

TEST_F(Letter, HeadingsRepeatAndSubtotalsCarryOverThePageBreak) {
  const Document doc = print();
  // Order 7 on pages 1 and 2, order 8 on a page of its own.
  ASSERT_EQ(doc.pages.size(), 3u);
  const Page& p1 = doc.pages[0];
  const Page& p2 = doc.pages[1];
  // Page 1: 110..272 mm holds 32 lines, position 2 has two more for its memo: positions 1..30.
  EXPECT_NE(run(p1, "Artikel 30"), nullptr);
  EXPECT_EQ(run(p1, "Artikel 31"), nullptr);
  EXPECT_NE(run(p1, "nach Zeichnung"), nullptr);
  // 1 + 2 + ... + 30 = 465 at the foot of page 1 and at the head of page 2.
  const V p1Lines = linesWithY(p1);
  EXPECT_NE(std::find(p1Lines.begin(), p1Lines.end(), "272.0|Übertrag"), p1Lines.end());
  EXPECT_NE(std::find(p1Lines.begin(), p1Lines.end(), "272.0|465,00"), p1Lines.end());
  const V p2Lines = linesWithY(p2);
  ASSERT_GE(p2Lines.size(), 8u);
  EXPECT_EQ(V(p2Lines.begin(), p2Lines.begin() + 7),
            (V{"10.0|Lumo Werkzeuge GmbH - Rechnung 2025017", "16.0|Übertrag", "16.0|465,00", "22.0|Menge",
               "22.0|Bezeichnung", "22.0|Preis", "22.0|Betrag"}));
  EXPECT_EQ(p2Lines[7], "29.0|1,0");
  // The totals block: 1830 net, 19 % VAT, no carried total on the order's last page.
  EXPECT_EQ(findText(p2, "MwSt"), "MwSt 19 %");
  EXPECT_NE(run(p2, "1.830,00"), nullptr);
  EXPECT_NE(run(p2, "347,70"), nullptr);
  EXPECT_NE(run(p2, "2.177,70"), nullptr);
  // Order 7 ends on page 2: nothing carried at its foot, nor at the head of order 8.
  EXPECT_EQ(std::count(p2Lines.begin(), p2Lines.end(), "16.0|Übertrag"), 1);
  EXPECT_EQ(std::find(p2Lines.begin(), p2Lines.end(), "272.0|Übertrag"), p2Lines.end());
  EXPECT_EQ(findText(doc.pages[2], "Übertrag"), "");
  EXPECT_EQ(findText(doc.pages[2], "Seite"), "Seite 3 von 3");
  // The next order starts afresh: its own letterhead, headings and total.
  EXPECT_NE(run(doc.pages[2], "Einzelstück"), nullptr);
  EXPECT_NE(run(doc.pages[2], "20,00"), nullptr);
  EXPECT_NE(run(doc.pages[2], "Menge"), nullptr);
}

}  // namespace
}  // namespace zentor::report
