// The catalogue as data: lookups and the facts other modules take from it.
#include <gtest/gtest.h>

#include <algorithm>

#include "data/catalogue.h"

namespace zentor::data {
namespace {

TEST(Catalogue, TablesDirectoriesAndLabels) {
  struct Case {
    const char* name;
    DirectoryKind dir;
    const char* label;
    size_t fields;
    size_t tags;
  };
  const Case cases[] = {
      {"KND", DirectoryKind::kCustomer, "Kunden", 23, 5},
      {"KGR", DirectoryKind::kCustomer, "Kundengruppen", 2, 1},
      {"LND", DirectoryKind::kCustomer, "Länder", 2, 1},
      {"ART", DirectoryKind::kData, "Artikel", 13, 3},
      {"AGR", DirectoryKind::kData, "Artikelgruppen", 2, 1},
      {"MWS", DirectoryKind::kData, "Steuersätze", 4, 1},
      {"TXT", DirectoryKind::kData, "Texte", 3, 1},
      {"AKO", DirectoryKind::kData, "Aufträge", 19, 3},
      {"APO", DirectoryKind::kData, "Positionen", 9, 1},
      {"KRS", DirectoryKind::kData, "", 5, 0},
      {"UMS", DirectoryKind::kData, "Umsätze", 8, 3},
  };
  ASSERT_EQ(catalogue().size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const TableDef& t = catalogue()[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(t.name, c.name);
    EXPECT_EQ(t.className, std::string("DB") + c.name);
    EXPECT_EQ(t.directory, c.dir);
    EXPECT_EQ(t.label, c.label);
    EXPECT_EQ(t.fields.size(), c.fields);
    EXPECT_EQ(t.tags.size(), c.tags);
    EXPECT_EQ(t.yearly, t.name == "UMS");
    EXPECT_EQ(t.hasMemo(), t.name == "APO");
  }
}

TEST(Catalogue, Lookup) {
  EXPECT_EQ(findTableDef("knd"), &catalogue()[0]);
  EXPECT_EQ(findTableDef("UMS2025"), findTableDef("UMS"));
  EXPECT_EQ(findTableDef("ums1999"), findTableDef("UMS"));
  for (const char* unknown : {"", "XYZ", "UMS25", "UMS20x5", "KNDX", "APOTMP"})
    EXPECT_EQ(findTableDef(unknown), nullptr) << unknown;
}

TEST(Catalogue, FieldsThatOtherModulesRelyOn) {
  struct Case {
    const char* table;
    const char* field;
    dbf::FieldDef def;
  };
  const Case cases[] = {
      {"ART", "ZUSATZ", {"ZUSATZ", 'C', 300, 0}}, {"ART", "VKMENGE", {"VKMENGE", 'N', 8, 1}},
      {"KND", "UMSBTO", {"UMSBTO", 'N', 10, 2}},  {"AKO", "LSADR1", {"LSADR1", 'C', 28, 0}},
      {"AKO", "FIBU_DONE", {"FIBU_DONE", 'L', 1, 0}}, {"APO", "ZUSATZ", {"ZUSATZ", 'M', 10, 0}},
      {"UMS", "DATUM", {"DATUM", 'D', 8, 0}},     {"MWS", "DEFAULT", {"DEFAULT", 'L', 1, 0}},
  };
  for (const Case& c : cases) {
    const auto& fields = tableDef(c.table).fields;
    auto it = std::find_if(fields.begin(), fields.end(), [&](const dbf::FieldDef& f) { return f.name == c.field; });
    ASSERT_NE(it, fields.end()) << c.table << "." << c.field;
    EXPECT_EQ(*it, c.def) << c.table << "." << c.field;
  }
  EXPECT_EQ(tableDef("APO").tags.at(0).expression, "str(AUFTRAG,8)+str(SORT,4)");
  EXPECT_EQ(tableDef("KND").tags.at(1).expression, "Upper(ZUNAME)");
}

}  // namespace
}  // namespace zentor::data
