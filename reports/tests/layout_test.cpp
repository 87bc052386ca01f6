// AUFTRAG.RPT laid out by the report engine with the fixed test metrics (9 pt: 1.8 mm a
// character, 4.5 mm a line), filled by DOAUFTRAGPRINT from scratch orders. Positions are in mm
// from the paper's top left corner.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <variant>

#include "support/testenv.h"
#include "logic/valuation.h"
#include "support/orders.h"

namespace zentor::reports {
namespace {

using logic::testing::Company;
using report::Page;
using report::TextRun;
using testing::addOrder;
using testing::amount;
using testing::findRun;
using testing::Order;
using testing::Position;
using testing::prepareCompany;
using testing::printOrder;
using testing::region;
using V = std::vector<std::string>;

bool hasText(const Page& p, const std::string& t) { return findRun(p, t) != nullptr; }

bool anyPageHas(const report::Document& d, const std::string& t) {
  return std::any_of(d.pages.begin(), d.pages.end(), [&](const Page& p) { return hasText(p, t); });
}

// The text of the value column (x from 164 mm) on the line of `label`, "" when there is none.
std::string valueBeside(const Page& p, const std::string& label) {
  const TextRun* l = findRun(p, label);
  if (!l) return "";
  for (const auto& it : p.items) {
    const auto* t = std::get_if<TextRun>(&it);
    if (t && t != l && t->x >= 163.9 && std::abs(t->y - l->y) < 0.05) return t->text;
  }
  return "";
}

Order smallInvoice() {
  Order o;
  o.lsadr1 = "Halle 2";
  o.bedurch = "Herr Maier";
  o.versand = "KW 12/2025";
  o.bedatum = dbf::Date::fromYmd(2025, 3, 10);
  o.positions = {{2, "Schraube", 10.00},
                 {1.5, "Leimholzplatte Buche", 5.55, 5, "m2"},
                 {0, "Montage", 0, 0, "", "Lieferung frei Haus\r\nMontage inklusive"}};
  return o;
}

class AuftragLayout : public ::testing::Test {
 protected:
  void SetUp() override { prepareCompany(c); }
  report::Document print(const Order& o, bool final = true, bool deliveryNote = false) {
    addOrder(c, o);
    return printOrder(c, out, o.auftrag, final, deliveryNote).doc;
  }
  Company c;
  report::PageListOutput out;
};

TEST_F(AuftragLayout, SmallInvoiceAsADin5008Letter) {
  const report::Document doc = print(smallInvoice());
  ASSERT_EQ(doc.pages.size(), 1u);
  const Page& p = doc.pages[0];

  // Sender line and address inside the window (20..105 mm wide, 45..90 mm high), the address
  // zone starting at 62.7 mm, its text at 25 mm.
  EXPECT_EQ(region(p, 45, 90, 20, 105), (V{
      "25.0 57.5 85.0 3.5 Tischlerei Gruber GmbH · Hauptplatz 4 · 4020 Linz",
      "25.0 62.7 80.0 4.5 Firma",
      "25.0 67.2 80.0 4.5 Bäckerei Huber",
      "25.0 71.7 80.0 4.5 z. H. Frau Maria Huber",
      "25.0 76.2 80.0 4.5 Mühlgasse 12",
      "25.0 80.7 80.0 4.5 4600  Wels",
  }));
  // The information block from 50 mm at 125 mm, values flush with the right margin.
  EXPECT_EQ(region(p, 50, 90, 125), (V{
      "125.0 50.0 27.0 4.0 Rechnungs-Nr.",
      "152.0 50.0 38.0 4.0 1",
      "125.0 54.0 27.0 4.0 Datum",
      "152.0 54.0 38.0 4.0 15.03.2025",
      "125.0 58.0 27.0 4.0 Kunden-Nr.",
      "152.0 58.0 38.0 4.0 5",
      "125.0 62.0 27.0 4.0 Auftrags-Nr.",
      "152.0 62.0 38.0 4.0 1",
      "125.0 66.0 27.0 4.0 Bestelldatum",
      "152.0 66.0 38.0 4.0 10.03.2025",
      "125.0 70.0 27.0 4.0 Ihre Bestellung",
      "152.0 70.0 38.0 4.0 Herr Maier",
      "125.0 80.0 65.0 4.0 Lieferadresse",
      "125.0 84.0 65.0 4.0 Halle 2",
  }));
  EXPECT_EQ(findRun(p, "1")->align, report::Align::kRight);
  EXPECT_TRUE(hasText(p, "UID-Nr.: ATU12345678"));

  // Title, subject lines, positions with the discount column, totals and terms.
  EXPECT_EQ(region(p, 100, 180), (V{
      "25.0 103.0 165.0 6.5 Rechnung Nr. 1",
      "25.0 110.0 165.0 4.5 Lieferzeitraum: KW 12/2025",
      "25.0 115.0 165.0 4.5 Vielen Dank für Ihren Auftrag. Wir verrechnen Ihnen:",
      "25.0 122.5 9.0 4.5 Pos.",
      "34.0 122.5 16.0 4.5 Menge",
      "52.0 122.5 11.0 4.5 Einh.",
      "64.0 122.5 60.0 4.5 Bezeichnung",
      "124.0 122.5 24.0 4.5 Einzelpreis",
      "148.0 122.5 15.0 4.5 Rabatt",
      "164.0 122.5 26.0 4.5 Betrag",
      "25.0 129.0 9.0 4.5 1",
      "34.0 129.0 16.0 4.5 2",
      "52.0 129.0 11.0 4.5 Stk",
      "64.0 129.0 60.0 4.5 Schraube",
      "124.0 129.0 24.0 4.5 10,00",
      "164.0 129.0 26.0 4.5 20,00",
      "25.0 134.0 9.0 4.5 2",
      "34.0 134.0 16.0 4.5 1,5",
      "52.0 134.0 11.0 4.5 m2",
      "64.0 134.0 60.0 4.5 Leimholzplatte Buche",
      "124.0 134.0 24.0 4.5 5,55",
      "148.0 134.0 15.0 4.5 5 %",
      "164.0 134.0 26.0 4.5 7,91",
      "25.0 139.0 9.0 4.5 3",
      "64.0 139.0 60.0 4.5 Montage",
      "64.0 143.5 60.0 4.0 Lieferung frei Haus",
      "64.0 147.5 60.0 4.0 Montage inklusive",
      "100.0 154.0 64.0 4.5 Nettobetrag",
      "164.0 154.0 26.0 4.5 27,91",
      "100.0 158.5 64.0 4.5 + 20 % MwSt",
      "164.0 158.5 26.0 4.5 5,58",
      "100.0 164.5 64.0 5.0 Gesamtbetrag EUR",
      "164.0 164.5 26.0 5.0 33,49",
      "25.0 173.5 165.0 4.5 Zahlbar innerhalb von 14 Tagen mit 2% Skonto oder 30 Tage netto.",
  }));
  // The footer: bank and register lines, page numbers; no carried subtotal on a single page.
  EXPECT_EQ(region(p, 270, 297), (V{
      "25.0 275.0 120.0 3.5 Raiffeisenbank Linz · IBAN AT12 3456 7890 1234 5678 · BIC RZOOAT2L",
      "145.0 275.0 45.0 3.5 Seite 1 von 1",
      "25.0 278.5 120.0 3.5 Tel. 0732 123456 · office@gruber-linz.at · UID-Nr. ATU87654321",
      "25.0 282.0 165.0 3.5 Firmenbuch FN 123456a · Landesgericht Linz · Gerichtsstand Linz",
  }));
  EXPECT_FALSE(hasText(p, "Übertrag"));
  EXPECT_FALSE(hasText(p, "ENTWURF"));
  EXPECT_EQ(region(p, 10, 20), (V{"25.0 10.0 115.0 8.0 Tischlerei Gruber GmbH",
                                  "25.0 18.0 115.0 4.5 Möbel nach Maß · Innenausbau · Reparaturen"}));
}

TEST_F(AuftragLayout, PositionValuesAndTotalsAgreeWithTheProgramToTheCent) {
  // Products whose binary value lies just beside a half cent.
  const std::vector<Position> tricky = {
      {3, "a", 9.99, 10}, {0.5, "b", 0.25}, {-0.5, "c", 0.25}, {0.5, "d", 2.01},    {1.5, "e", 0.33},
      {2.5, "f", 1.01, 10}, {7, "g", 19.99, 15}, {0.3, "h", 0.15}, {1.1, "i", 1.15}, {12.5, "j", 4.37, 3},
      {99999.9, "k", 1.01}, {3.3, "l", 333.35, 7}};
  for (const char* mode : {"N", "B"}) {
    SCOPED_TRACE(mode);
    Company co;
    prepareCompany(co);
    Order o;
    o.ntobto = mode;
    o.positions = tricky;
    addOrder(co, o);
    report::PageListOutput lo;
    const report::Document doc = printOrder(co, lo, 1, true).doc;
    ASSERT_FALSE(doc.pages.empty());
    const Page& p = doc.pages.back();
    std::vector<logic::PositionAmounts> amounts;
    for (size_t i = 0; i < tricky.size(); ++i) {
      const Position& t = tricky[i];
      amounts.push_back({t.menge, t.vkp, static_cast<double>(t.rabatt)});
      const TextRun* label = findRun(doc.pages[0], t.txt);
      ASSERT_NE(label, nullptr) << t.txt;
      std::string shown;
      for (const auto& it : doc.pages[0].items) {
        const auto* r = std::get_if<TextRun>(&it);
        if (r && r->x >= 163.9 && std::abs(r->y - label->y) < 0.05) shown = r->text;
      }
      EXPECT_EQ(shown, amount(logic::GETAPOWERT(t.menge, t.vkp, t.rabatt))) << t.txt;
    }
    const logic::OrderTotals tot = logic::orderTotals(amounts, mode, 20);
    if (std::string(mode) == "N") {
      EXPECT_EQ(valueBeside(p, "Nettobetrag"), amount(tot.net));
      EXPECT_EQ(valueBeside(p, "+ 20 % MwSt"), amount(tot.vat));
      EXPECT_EQ(valueBeside(p, "Gesamtbetrag EUR"), amount(tot.gross));
    } else {
      EXPECT_EQ(valueBeside(p, "Gesamtbetrag brutto EUR"), amount(tot.gross));
      EXPECT_EQ(valueBeside(p, "darin enthaltene MwSt 20 %"), amount(tot.vat));
      EXPECT_EQ(valueBeside(p, "Nettobetrag"), amount(tot.net));
    }
  }
}

TEST_F(AuftragLayout, GrossOrderShowsTheIncludedVat) {
  Order o;
  o.ntobto = "B";
  o.positions = {{1, "Tisch", 10.00}, {1, "Sessel", 5.55}};
  const report::Document doc = print(o);
  ASSERT_EQ(doc.pages.size(), 1u);
  const Page& p = doc.pages[0];
  EXPECT_EQ(valueBeside(p, "Gesamtbetrag brutto EUR"), "15,55");
  EXPECT_EQ(valueBeside(p, "darin enthaltene MwSt 20 %"), "2,59");
  EXPECT_EQ(valueBeside(p, "Nettobetrag"), "12,96");
  EXPECT_FALSE(hasText(p, "+ 20 % MwSt"));
  EXPECT_FALSE(hasText(p, "Rabatt"));  // no position has a discount: no column
}

TEST_F(AuftragLayout, LongOrderRepeatsHeadingsAndCarriesSubtotals) {
  Order o;
  o.positions = testing::numberedPositions(75);
  const report::Document doc = print(o);
  ASSERT_EQ(doc.pages.size(), 3u);
  double sum = 0;  // of the values printed on the pages so far
  for (size_t i = 0; i < doc.pages.size(); ++i) {
    SCOPED_TRACE("page " + std::to_string(i + 1));
    const Page& p = doc.pages[i];
    EXPECT_TRUE(hasText(p, "Bezeichnung"));
    EXPECT_TRUE(hasText(p, "Seite " + std::to_string(i + 1) + " von 3"));
    // Carried in: just below the headings of every following page.
    const TextRun* in = findRun(p, "Übertrag");
    if (i == 0) {
      EXPECT_FALSE(in && in->y < 200);
    } else {
      ASSERT_NE(in, nullptr);
      EXPECT_LT(in->y, 40);
      EXPECT_GT(in->y, findRun(p, "Bezeichnung")->y);
      EXPECT_EQ(valueBeside(p, "Übertrag"), amount(sum));
    }
    for (int n = 1; n <= 75; ++n) {
      if (hasText(p, "Artikel " + std::to_string(n))) sum += n;
    }
    // Carried out: at the foot of every page but the last.
    const TextRun* outRun = nullptr;
    for (const auto& it : p.items) {
      const auto* t = std::get_if<TextRun>(&it);
      if (t && t->text == "Übertrag" && t->y > 250) outRun = t;
    }
    if (i + 1 < doc.pages.size()) {
      ASSERT_NE(outRun, nullptr);
      std::string shown;
      for (const auto& it : p.items) {
        const auto* t = std::get_if<TextRun>(&it);
        if (t && t->x >= 163.9 && std::abs(t->y - outRun->y) < 0.05) shown = t->text;
      }
      EXPECT_EQ(shown, amount(sum));
    } else {
      EXPECT_EQ(outRun, nullptr);
    }
  }
  EXPECT_DOUBLE_EQ(sum, 75 * 76 / 2);
  EXPECT_EQ(valueBeside(doc.pages.back(), "Nettobetrag"), "2.850,00");
  EXPECT_EQ(valueBeside(doc.pages.back(), "Gesamtbetrag EUR"), "3.420,00");
  // Later pages name the document in their first line.
  EXPECT_TRUE(hasText(doc.pages[1], "Rechnung Nr. 1 vom 15.03.2025, Kunden-Nr. 5"));
}

TEST_F(AuftragLayout, DeliveryNoteShowsNoPrices) {
  Order o = smallInvoice();
  addOrder(c, o);
  printOrder(c, out, 1, true);  // the invoice is numbered first
  const report::Document doc = printOrder(c, out, 1, true, true).doc;
  ASSERT_EQ(doc.pages.size(), 1u);
  const Page& p = doc.pages[0];
  EXPECT_TRUE(hasText(p, "Lieferschein Nr. 1"));
  EXPECT_TRUE(hasText(p, "Lieferschein-Nr."));
  EXPECT_TRUE(hasText(p, "Rechnungs-Nr."));  // the invoice it belongs to
  EXPECT_TRUE(hasText(p, "Schraube"));
  EXPECT_TRUE(hasText(p, "Lieferung frei Haus"));
  EXPECT_TRUE(hasText(p, "Ware in einwandfreiem Zustand erhalten:"));
  for (const char* gone : {"Einzelpreis", "Betrag", "Rabatt", "10,00", "20,00", "5,55", "7,91", "Nettobetrag",
                           "Gesamtbetrag EUR", "33,49", "Übertrag"}) {
    EXPECT_FALSE(hasText(p, gone)) << gone;
  }
  EXPECT_FALSE(hasText(p, "Zahlbar innerhalb von 14 Tagen mit 2% Skonto oder 30 Tage netto."));
}

TEST_F(AuftragLayout, DraftIsMarked) {
  const report::Document doc = print(smallInvoice(), /*final=*/false);
  ASSERT_EQ(doc.pages.size(), 1u);
  const Page& p = doc.pages[0];
  EXPECT_TRUE(hasText(p, "Rechnung (Entwurf)"));
  EXPECT_TRUE(hasText(p, "ENTWURF"));
  EXPECT_EQ(findRun(p, "Entwurf")->x, 152.0);  // in the information block instead of a number
  EXPECT_FALSE(hasText(p, "Rechnung Nr. 0"));
}

TEST_F(AuftragLayout, TitlesAndClosingTextsByKind) {
  struct Case {
    const char* typ;
    V present, absent;
  };
  const Case cases[] = {
      {"G",
       {"Gutschrift Nr. 1", "Gutschrift-Nr.", "Gutschriftsbetrag EUR", "Der Betrag wird Ihnen gutgeschrieben."},
       {"Zahlbar innerhalb von 14 Tagen mit 2% Skonto oder 30 Tage netto."}},
      {"A",
       {"Angebot Nr. 1", "Angebots-Nr.", "Dieses Angebot gilt vier Wochen ab Ausstellung.", "Mit freundlichen Grüßen",
        "Franz Gruber"},
       {"Zahlbar innerhalb von 14 Tagen mit 2% Skonto oder 30 Tage netto."}},
      {"R", {"Rechnung Nr. 1", "Zahlbar innerhalb von 14 Tagen mit 2% Skonto oder 30 Tage netto."},
       {"Dieses Angebot gilt vier Wochen ab Ausstellung.", "Der Betrag wird Ihnen gutgeschrieben."}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.typ);
    Company co;
    prepareCompany(co);
    Order o = smallInvoice();
    o.typ = k.typ;
    addOrder(co, o);
    report::PageListOutput lo;
    const report::Document doc = printOrder(co, lo, 1, true).doc;
    for (const auto& t : k.present) EXPECT_TRUE(anyPageHas(doc, t)) << t;
    for (const auto& t : k.absent) EXPECT_FALSE(anyPageHas(doc, t)) << t;
  }
}

TEST_F(AuftragLayout, LogoWhenTheCompanyHasOne) {
  Order o = smallInvoice();
  addOrder(c, o);
  auto images = [](const Page& p) {
    V paths;
    for (const auto& it : p.items) {
      if (const auto* i = std::get_if<report::ImageItem>(&it)) paths.push_back(i->path);
    }
    return paths;
  };
  EXPECT_TRUE(images(printOrder(c, out, 1, false).doc.pages.at(0)).empty());
  data::testing::writeFile(c.install.programDir + "Firma07.jpg", "not looked into by the layout");
  const report::Document doc = printOrder(c, out, 1, false).doc;
  EXPECT_EQ(images(doc.pages.at(0)), V{c.install.programDir + "Firma07.jpg"});
}

TEST_F(AuftragLayout, OrderWithoutPositionsStillPrints) {
  Order o;
  const report::Document doc = print(o);
  ASSERT_EQ(doc.pages.size(), 1u);
  EXPECT_TRUE(hasText(doc.pages[0], "Rechnung Nr. 1"));
  EXPECT_EQ(valueBeside(doc.pages[0], "Gesamtbetrag EUR"), "0,00");
}

}  // namespace
}  // namespace zentor::reports
