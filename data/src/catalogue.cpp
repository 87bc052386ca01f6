#include "data/catalogue.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace zentor::data {
namespace {

dbf::FieldDef C(const char* n, int w) { return {n, 'C', w, 0}; }
dbf::FieldDef N(const char* n, int w, int d = 0) { return {n, 'N', w, d}; }
dbf::FieldDef D(const char* n) { return {n, 'D', 8, 0}; }
dbf::FieldDef L(const char* n) { return {n, 'L', 1, 0}; }
dbf::FieldDef M(const char* n) { return {n, 'M', 10, 0}; }

std::vector<TableDef> build() {
  using K = DirectoryKind;
  std::vector<TableDef> t;
  t.push_back({"KND", "DBKND", K::kCustomer, "Kunden", false,
               {N("KNDNR", 5), N("KGRNR", 2), C("ANREDE", 25), C("TITEL", 10), C("ZUNAME", 25),
                C("VORNAME", 25), C("ZUSATZ", 25), C("STRASSE", 25), C("LAND", 3), C("PLZ", 5),
                C("ORT", 20), C("TEL_BUERO", 15), C("TEL_PRIVAT", 15), C("FAX", 15), D("GEBURT"),
                C("BEMERK", 120), N("RABATT", 2), C("UIDNR", 12), N("FIBU", 5), C("ZIEL", 8),
                D("ANLDAT"), D("LBWDAT"), N("UMSBTO", 10, 2)},
               {{"KNDNR", "str(KNDNR,5)"},
                {"ZUNAME", "Upper(ZUNAME)"},
                {"KGRNR", "str(KGRNR,2)"},
                {"PLZ", "PLZ"},
                {"FIBU", "Str(FIBU,5)"}}});
  t.push_back({"KGR", "DBKGR", K::kCustomer, "Kundengruppen", false,
               {N("KGRNR", 2), C("TXT", 20)},
               {{"KGRNR", "str(KGRNR,2)"}}});
  t.push_back({"LND", "DBLND", K::kCustomer, "Länder", false,
               {C("LAND", 3), C("TXT", 25)},
               {{"LAND", "LAND"}}});
  t.push_back({"ART", "DBART", K::kData, "Artikel", false,
               {N("ARTNR", 5), N("AGRNR", 2), C("EINHEIT", 3), N("EKP", 9, 2), N("VKP", 9, 2),
                N("RABATT", 2), N("MWST", 2), C("TXT", 74), C("ZUSATZ", 300), D("ANLDAT"),
                D("LBWDAT"), N("VKMENGE", 8, 1), N("VKUMSNTO", 10, 2)},
               {{"ARTNR", "str(ARTNR,5)"},
                {"TXT", "upper(left(TXT,20))"},
                {"AGRNR", "str(AGRNR,2)"}}});
  t.push_back({"AGR", "DBAGR", K::kData, "Artikelgruppen", false,
               {N("AGRNR", 2), C("TXT", 20)},
               {{"AGRNR", "str(AGRNR,2)"}}});
  t.push_back({"MWS", "DBMWS", K::kData, "Steuersätze", false,
               {N("MWST", 2), N("FIBU", 5), L("DEFAULT"), L("AKTIV")},
               {{"MWST", "str(MWST,2)"}}});
  t.push_back({"TXT", "DBTXT", K::kData, "Texte", false,
               {C("TXTNR", 5), C("TXT", 74), C("ZUSATZ", 300)},
               {{"TXTNR", "TXTNR"}}});
  t.push_back({"AKO", "DBAKO", K::kData, "Aufträge", false,
               {N("AUFTRAG", 8), N("KNDNR", 5), C("LSADR1", 28), C("LSADR2", 28), C("LSADR3", 28),
                C("LSADR4", 28), C("TYP", 1), C("VERSAND", 25), D("BEDATUM"), C("BEDURCH", 25),
                N("RABATT", 2), C("ZUNAME", 20), N("MWST", 2), C("NTOBTO", 1), N("LSNR", 8),
                N("TYPNR", 8), D("LSDATUM"), D("TYPDATUM"), L("FIBU_DONE")},
               {{"AUFTRAG", "str(AUFTRAG,8)"},
                {"ZUNAME", "upper(ZUNAME)"},
                {"TYPNR", "str(TYPNR,8)"}}});
  t.push_back({"APO", "DBAPO", K::kData, "Positionen", false,
               {N("AUFTRAG", 8), N("ARTNR", 5), N("MENGE", 7, 1), C("EINHEIT", 3), C("TXT", 74),
                N("VKP", 9, 2), N("RABATT", 2), N("SORT", 4), M("ZUSATZ")},
               {{"AUFTRAG", "str(AUFTRAG,8)+str(SORT,4)"}}});
  t.push_back({"KRS", "DBKRS", K::kData, "", false,
               {N("AUNR", 8), N("ANNR", 8), N("LSNR", 8), N("RENR", 8), N("GUNR", 8)},
               {}});
  t.push_back({"UMS", "DBUMS", K::kData, "Umsätze", true,
               {D("DATUM"), N("ARTNR", 5), N("KNDNR", 5), N("MENGE", 7, 1), N("UMSNTO", 10, 2),
                N("MWST", 2), N("AUFTRAG", 8), N("TYPNR", 8)},
               {{"DATUM", "dtos(DATUM)"},
                {"AUFTRAG", "str(AUFTRAG,8)"},
                {"KNDNR", "str(KNDNR,5)"}}});
  return t;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool TableDef::hasMemo() const {
  return std::any_of(fields.begin(), fields.end(), [](const dbf::FieldDef& f) { return f.type == 'M'; });
}

const std::vector<TableDef>& catalogue() {
  static const std::vector<TableDef> tables = build();
  return tables;
}

const TableDef* findTableDef(std::string_view name) {
  for (const TableDef& t : catalogue()) {
    if (equalsIgnoreCase(name, t.name)) return &t;
    if (t.yearly && name.size() == t.name.size() + 4 &&
        equalsIgnoreCase(name.substr(0, t.name.size()), t.name) &&
        std::all_of(name.begin() + static_cast<std::ptrdiff_t>(t.name.size()), name.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }))
      return &t;
  }
  return nullptr;
}

const TableDef& tableDef(std::string_view name) {
  const TableDef* t = findTableDef(name);
  if (!t) std::abort();  // a misspelt table name in code, not a run-time condition
  return *t;
}

}  // namespace zentor::data
