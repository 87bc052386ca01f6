#include "support/orders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <variant>

#include "data/tables.h"
#include "os/inifile.h"

namespace zentor::reports::testing {

using logic::testing::addRecord;
using logic::testing::Company;

void prepareCompany(Company& c) {
  os::INIFILE& ini = *c.ini;
  ini.WRITESTRING("BELEG", "Werbetext1", "Tischlerei Gruber GmbH");
  ini.WRITESTRING("BELEG", "Werbetext2", "Möbel nach Maß · Innenausbau · Reparaturen");
  ini.WRITESTRING("BELEG", "Adresse", "Tischlerei Gruber GmbH · Hauptplatz 4 · 4020 Linz");
  ini.WRITESTRING("BELEG", "Bank1", "Raiffeisenbank Linz · IBAN AT12 3456 7890 1234 5678 · BIC RZOOAT2L");
  ini.WRITESTRING("BELEG", "Bank2", "Tel. 0732 123456 · office@gruber-linz.at · UID-Nr. ATU87654321");
  ini.WRITESTRING("BELEG", "Gericht", "Firmenbuch FN 123456a · Landesgericht Linz · Gerichtsstand Linz");
  ini.WRITESTRING("BELEG", "Angebotstext", "Dieses Angebot gilt vier Wochen ab Ausstellung.");
  ini.WRITESTRING("BELEG", "Grussformel", "Mit freundlichen Grüßen");
  ini.WRITESTRING("BELEG", "Unterschrift", "Franz Gruber");
  {
    data::DBKND knd(c.ctx.env);
    addRecord(knd.table(), {{"KNDNR", 5},
                            {"ANREDE", "Firma"},
                            {"ZUNAME", "Bäckerei Huber"},
                            {"ZUSATZ", "z. H. Frau Maria Huber"},
                            {"STRASSE", "Mühlgasse 12"},
                            {"PLZ", "4600"},
                            {"ORT", "Wels"},
                            {"UIDNR", "ATU12345678"},
                            {"ZIEL", "14/2/30"}});
  }
  std::filesystem::copy_file(ZENTOR_BINARY_DIR "/reports/AUFTRAG.RPT", c.install.programDir + "AUFTRAG.RPT",
                             std::filesystem::copy_options::overwrite_existing);
}

void addOrder(Company& c, const Order& o) {
  {
    data::DBAKO ako(c.ctx.env);
    std::vector<std::pair<std::string, dbf::Value>> f = {
        {"AUFTRAG", o.auftrag}, {"KNDNR", 5},           {"TYP", o.typ},         {"NTOBTO", o.ntobto},
        {"MWST", o.mwst},       {"LSADR1", o.lsadr1},   {"LSADR2", o.lsadr2},   {"LSADR3", o.lsadr3},
        {"LSADR4", o.lsadr4},   {"BEDURCH", o.bedurch}, {"VERSAND", o.versand}, {"ZUNAME", "Huber"}};
    if (!o.bedatum.empty()) f.push_back({"BEDATUM", o.bedatum});
    addRecord(ako.table(), f);
  }
  data::DBAPO apo(c.ctx.env);
  int sort = 1;
  for (const Position& p : o.positions) {
    addRecord(apo.table(), {{"AUFTRAG", o.auftrag},
                            {"ARTNR", p.artnr},
                            {"MENGE", p.menge},
                            {"EINHEIT", p.einheit},
                            {"TXT", p.txt},
                            {"VKP", p.vkp},
                            {"RABATT", p.rabatt},
                            {"SORT", sort++},
                            {"ZUSATZ", p.zusatz}});
  }
}

std::vector<Position> numberedPositions(int n) {
  std::vector<Position> out;
  for (int i = 1; i <= n; ++i) out.push_back({1, "Artikel " + std::to_string(i), static_cast<double>(i)});
  return out;
}

Printed printOrder(Company& c, report::Output& out, uint32_t auftrag, bool final, bool deliveryNote) {
  Printed p;
  data::DBAKO ako(c.ctx.env);
  EXPECT_TRUE(ako->selectTag("AUFTRAG").ok());
  EXPECT_TRUE(ako->seek(dbf::dbaseStr(auftrag, 8), false).ok());
  EXPECT_TRUE(ako->found());
  report::RpReport r(out);
  auto* list = dynamic_cast<report::PageListOutput*>(&out);
  const size_t before = list ? list->deliveries.size() : 0;
  p.result = logic::DOAUFTRAGPRINT(r, c.ctx, {1, 7}, nullptr, ako.table(), final, false, "", deliveryNote);
  EXPECT_TRUE(p.result.status.ok()) << p.result.status.toString();
  if (list && list->deliveries.size() > before) p.doc = list->deliveries.back().doc;
  return p;
}

std::vector<std::string> texts(const report::Page& p) { return report::pageTexts(p); }

const report::TextRun* findRun(const report::Page& p, const std::string& text) {
  for (const report::Item& it : p.items) {
    if (const auto* t = std::get_if<report::TextRun>(&it); t && t->text == text) return t;
  }
  return nullptr;
}

std::vector<std::string> region(const report::Page& p, double y0, double y1, double x0, double x1) {
  std::vector<const report::TextRun*> runs;
  for (const report::Item& it : p.items) {
    if (const auto* t = std::get_if<report::TextRun>(&it); t && t->y >= y0 - 1e-6 && t->y < y1 - 1e-6 && t->x >= x0 - 1e-6 &&
        t->x < x1 - 1e-6) runs.push_back(t);
  }
  std::stable_sort(runs.begin(), runs.end(), [](const report::TextRun* a, const report::TextRun* b) {
    return std::round(a->y * 10) != std::round(b->y * 10) ? a->y < b->y : a->x < b->x;
  });
  std::vector<std::string> out;
  for (const report::TextRun* t : runs) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f %.1f %.1f %.1f ", t->x, t->y, t->w, t->h);
    out.push_back(buf + t->text);
  }
  return out;
}

std::string amount(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", std::fabs(v));
  std::string s(buf);
  const size_t dot = s.find('.');
  std::string ints = s.substr(0, dot), grouped;
  for (size_t i = 0; i < ints.size(); ++i) {
    if (i > 0 && (ints.size() - i) % 3 == 0) grouped += '.';
    grouped += ints[i];
  }
  return (v < 0 ? "-" : "") + grouped + "," + s.substr(dot + 1);
}

}  // namespace zentor::reports::testing
