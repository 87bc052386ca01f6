#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "app/company.h"
#include "data/catalogue.h"
#include "data/tables.h"
#include "support/testenv.h"

namespace zentor::app {
namespace {

using data::testing::fileExists;
using data::testing::TempDir;

// An installation below a "winapps" directory (so the exit maintenance applies) with company 1.
struct Installation {
  Installation() {
    programDir = root.path() + "winapps/zentor/";
    dataDir = programDir + "FIRMA01/";
    std::filesystem::create_directories(dataDir);
    g.setProgramDirectory(programDir);
    g.setDataDirectory(dataDir);
  }
  TempDir root;
  std::string programDir, dataDir;
  Globals g;
  RecordingMessageService messages;

  data::Env env() { return companyEnv(g); }
  // Every table file of both directories passes the engine's integrity check.
  void expectSoundFiles() {
    for (const std::string& dir : {programDir, dataDir}) {
      for (const auto& e : std::filesystem::directory_iterator(dir)) {
        if (e.path().extension() != ".DBF") continue;
        EXPECT_EQ(dbf::checkTableFile(g.session(), e.path().string()), std::vector<std::string>{})
            << e.path();
      }
    }
  }
};

// The catalogue's fields of `table` with one field changed (or removed when width is 0).
std::vector<dbf::FieldDef> olderLayout(const char* table, const char* field, int width, int decimals = 0) {
  std::vector<dbf::FieldDef> out;
  for (dbf::FieldDef f : data::tableDef(table).fields) {
    if (f.name == field) {
      if (width == 0) continue;
      f.width = width;
      f.decimals = decimals;
    }
    out.push_back(f);
  }
  return out;
}

void createOld(Installation& in, const std::string& dir, const char* file, const std::vector<dbf::FieldDef>& fields,
               const std::vector<std::vector<std::pair<std::string, dbf::Value>>>& records, int deletedRecord = 0) {
  ASSERT_TRUE(dbf::Table::create(in.g.session(), dir + file, fields).ok());
  auto t = dbf::Table::open(in.g.session(), dir + file);
  ASSERT_TRUE(t.ok());
  int n = 0;
  for (const auto& r : records) {
    ASSERT_TRUE(t.value()->append().ok());
    for (const auto& [name, v] : r) ASSERT_TRUE(t.value()->put(name, v).ok()) << name;
    if (++n == deletedRecord) t.value()->deleteRecord();
    ASSERT_TRUE(t.value()->commit().ok());
  }
  t.value()->close();
}

const dbf::FieldDef* fieldOf(Installation& in, const std::string& path, const char* name) {
  static std::vector<dbf::FieldDef> fields;
  auto t = dbf::Table::open(in.g.session(), path, dbf::OpenOptions{true, true});
  if (!t.ok()) return nullptr;
  fields = t.value()->fields();
  for (const auto& f : fields)
    if (f.name == name) return &f;
  return nullptr;
}

uint32_t records(Installation& in, const std::string& path) {
  auto t = dbf::Table::open(in.g.session(), path, dbf::OpenOptions{true, true});
  return t.ok() ? t.value()->recCount() : 0;
}

TEST(Setglobalsfnr, FreshCompanyGetsSettingsAndAllTables) {
  Installation in;
  SETGLOBALSFNR(in.g);
  std::ifstream ini(in.dataDir + "FDT.INI", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "[ZENTOR]\r\nVersion=1.5\r\n");
  EXPECT_EQ(in.g.gcKndPfad, in.programDir);
  for (const char* t : {"KND", "KGR", "LND"}) {
    EXPECT_TRUE(fileExists(in.programDir + t + ".DBF")) << t;
    EXPECT_TRUE(fileExists(in.programDir + t + ".CDX")) << t;
  }
  for (const char* t : {"ART", "AGR", "MWS", "TXT", "AKO", "APO"}) {
    EXPECT_TRUE(fileExists(in.dataDir + t + ".DBF")) << t;
    EXPECT_TRUE(fileExists(in.dataDir + t + ".CDX")) << t;
  }
  EXPECT_TRUE(fileExists(in.dataDir + "APO.FPT"));
  EXPECT_FALSE(fileExists(in.dataDir + "KRS.DBF"));  // created with the first number
  EXPECT_TRUE(CHKUPGRADE(in.g, in.messages));
  EXPECT_TRUE(in.messages.messages.empty());  // no conversion question for new data
  in.expectSoundFiles();
}

TEST(Setglobalsfnr, CustomerTablesOfTheCompanyDirectory) {
  Installation in;
  ASSERT_TRUE(dbf::Table::create(in.g.session(), in.dataDir + "KND.DBF", data::tableDef("KND").fields).ok());
  SETGLOBALSFNR(in.g);
  EXPECT_EQ(in.g.gcKndPfad, in.dataDir);
  EXPECT_TRUE(fileExists(in.dataDir + "KND.CDX"));
  EXPECT_TRUE(fileExists(in.dataDir + "KGR.DBF"));
  EXPECT_FALSE(fileExists(in.programDir + "KND.DBF"));
}

// Data of an older version: the tables as the steps find them.
struct OldData : Installation {
  explicit OldData(const char* version) {
    if (version) {
      os::INIFILE ini(dataDir + "FDT.INI");
      ini.WRITESTRING("ZENTOR", "Version", version);
    } else {
      os::INIFILE ini(dataDir + "FDT.INI");
      ini.WRITESTRING("SONSTIGES", "BtoNto", "N");
    }
    g.goIni = std::make_unique<os::INIFILE>(dataDir + "FDT.INI");
    g.gcKndPfad = programDir;
  }
};

TEST(Chkupgrade, CurrentDataAskNothing) {
  OldData in("1.5");
  EXPECT_TRUE(CHKUPGRADE(in.g, in.messages));
  EXPECT_TRUE(in.messages.messages.empty());
}

TEST(Chkupgrade, RefusedConversionChangesNothing) {
  OldData in("1.4");
  createOld(in, in.programDir, "KND.DBF", olderLayout("KND", "VORNAME", 20), {{{"KNDNR", 1}}});
  in.messages.answers.push_back(false);
  EXPECT_FALSE(CHKUPGRADE(in.g, in.messages));
  ASSERT_EQ(in.messages.messages.size(), 1u);
  EXPECT_EQ(in.messages.messages[0].text,
            "Neue Programmversion (V1.4/1.50) - sollen die Daten umgestellt werden \r\n"
            "(Dazu darf auf anderen PC's nicht im Programm gearbeitet werden)?");
  EXPECT_EQ(in.messages.messages[0].title, "Lumo-Zentor");
  EXPECT_EQ(in.messages.messages[0].icon, MessageIcon::kQuestion);
  EXPECT_EQ(in.messages.messages[0].owner, nullptr);
  EXPECT_EQ(fieldOf(in, in.programDir + "KND.DBF", "VORNAME")->width, 20);
  EXPECT_EQ(in.g.goIni->GETSTRING("ZENTOR", "Version"), "1.4");
}

TEST(Chkupgrade, FromVersionOnePointFourOnlyTheLastStepRuns) {
  OldData in("1.4");
  createOld(in, in.programDir, "KND.DBF", olderLayout("KND", "VORNAME", 20),
            {{{"KNDNR", 1}, {"VORNAME", "Anna"}}, {{"KNDNR", 2}}, {{"KNDNR", 3}, {"VORNAME", "Berta"}}}, 2);
  // An old ART layout that step 1.1 would rebuild: untouched from 1.4 on.
  createOld(in, in.dataDir, "ART.DBF", olderLayout("ART", "VKMENGE", 8, 0), {{{"ARTNR", 1}}});
  in.messages.answers.push_back(true);
  EXPECT_TRUE(CHKUPGRADE(in.g, in.messages));
  EXPECT_EQ(in.messages.texts().back(), "Datenumstellung durchgeführt");
  EXPECT_EQ(in.messages.messages.back().icon, MessageIcon::kInformation);
  EXPECT_EQ(fieldOf(in, in.programDir + "KND.DBF", "VORNAME")->width, 25);
  EXPECT_EQ(records(in, in.programDir + "KND.DBF"), 2u);  // the deleted customer is gone
  EXPECT_EQ(fieldOf(in, in.dataDir + "ART.DBF", "VKMENGE")->decimals, 0);
  EXPECT_FALSE(fileExists(in.programDir + "TMP.DBF"));
  EXPECT_EQ(in.g.goIni->GETSTRING("ZENTOR", "Version"), "1.5");
  data::DBKND knd(in.env());
  knd->selectTag("KNDNR");
  knd->goBottom();
  EXPECT_EQ(knd->getString("VORNAME"), "Berta" + std::string(20, ' '));
  in.expectSoundFiles();
}

TEST(Chkupgrade, MissingVersionRunsEveryStepAndLeavesCurrentTablesAlone) {
  OldData in(nullptr);
  // Current layouts with their index files and a deleted record each: a rebuild would drop it.
  for (const char* name : {"ART", "AKO"}) {
    std::unique_ptr<data::CatalogueTable> t;
    if (std::string(name) == "ART") t = std::make_unique<data::DBART>(in.env());
    else t = std::make_unique<data::DBAKO>(in.env());
    for (int i = 0; i < 2; ++i) {
      ASSERT_TRUE(t->table().append().ok());
      if (i == 0) t->table().deleteRecord();
      ASSERT_TRUE(t->table().commit().ok());
    }
  }
  in.messages.answers.push_back(true);
  EXPECT_TRUE(CHKUPGRADE(in.g, in.messages));
  EXPECT_EQ(in.messages.messages[0].text.substr(0, 27), "Neue Programmversion (V /1.");
  EXPECT_EQ(records(in, in.dataDir + "ART.DBF"), 2u);
  EXPECT_EQ(records(in, in.dataDir + "AKO.DBF"), 2u);
  EXPECT_EQ(in.g.goIni->GETSTRING("ZENTOR", "Version"), "1.5");
}

TEST(Chkupgrade, BelowOnePointOneRebuildsPositionsWithTheCurrentLayoutAtOnce) {
  OldData in("1.0");
  // Positions of a quotation without SORT and ZUSATZ, quantities without decimals.
  auto old = olderLayout("APO", "MENGE", 7, 0);
  std::erase_if(old, [](const dbf::FieldDef& f) { return f.name == "SORT" || f.name == "ZUSATZ"; });
  createOld(in, in.dataDir, "APO.DBF", old, {{{"AUFTRAG", 1}, {"ARTNR", 7}, {"MENGE", 3}}});
  createOld(in, in.dataDir, "AKO.DBF", data::tableDef("AKO").fields, {{{"AUFTRAG", 1}, {"TYP", "A"}}});
  createOld(in, in.dataDir, "ART.DBF", data::tableDef("ART").fields, {{{"ARTNR", 7}, {"ZUSATZ", "Langtext"}}});
  in.messages.answers.push_back(true);
  EXPECT_TRUE(CHKUPGRADE(in.g, in.messages));
  EXPECT_EQ(fieldOf(in, in.dataDir + "APO.DBF", "MENGE")->decimals, 1);
  ASSERT_NE(fieldOf(in, in.dataDir + "APO.DBF", "ZUSATZ"), nullptr);
  data::DBAPO apo(in.env());
  apo->goTop();
  EXPECT_DOUBLE_EQ(apo->getNumber("MENGE"), 3);
  // Step 1.4 found ZUSATZ already there, so the memo fill did not run.
  EXPECT_EQ(apo->getString("ZUSATZ"), "");
  in.expectSoundFiles();
}

TEST(Chkupgrade, OnePointThreeFillsQuotationTextsFromTheArticles) {
  OldData in("1.3");
  createOld(in, in.dataDir, "APO.DBF", olderLayout("APO", "ZUSATZ", 0),
            {{{"AUFTRAG", 1}, {"ARTNR", 7}, {"SORT", 10}},
             {{"AUFTRAG", 1}, {"ARTNR", 0}, {"SORT", 20}},
             {{"AUFTRAG", 2}, {"ARTNR", 7}, {"SORT", 10}}});
  createOld(in, in.dataDir, "AKO.DBF", data::tableDef("AKO").fields,
            {{{"AUFTRAG", 1}, {"TYP", "A"}}, {{"AUFTRAG", 2}, {"TYP", "R"}}});
  createOld(in, in.dataDir, "ART.DBF", data::tableDef("ART").fields, {{{"ARTNR", 7}, {"ZUSATZ", "Zu Artikel 7"}}});
  in.messages.answers.push_back(true);
  EXPECT_TRUE(CHKUPGRADE(in.g, in.messages));
  data::DBAPO apo(in.env());
  std::vector<std::string> texts;
  apo->eval([&](dbf::Table& t) {
    texts.push_back(t.getString("ZUSATZ"));
    return true;
  });
  // The article's text is taken as the field holds it, blanks to its width included.
  EXPECT_EQ(texts, (std::vector<std::string>{"Zu Artikel 7" + std::string(288, ' '), "", ""}));
  in.expectSoundFiles();
}

TEST(Chkupgrade, VatRatesMoveFromTheSettingsIntoTheirTable) {
  OldData in("1.2");
  in.g.goIni->WRITESTRING("SONSTIGES", "Mwst1", "16");
  in.g.goIni->WRITESTRING("SONSTIGES", "Mwst2", "7");
  in.messages.answers.push_back(true);
  EXPECT_TRUE(CHKUPGRADE(in.g, in.messages));
  data::DBMWS mws(in.env());
  std::vector<std::tuple<double, bool, bool>> rates;
  mws->selectTag("");
  mws->eval([&](dbf::Table& t) {
    rates.emplace_back(t.getNumber("MWST"), t.getLogical("DEFAULT"), t.getLogical("AKTIV"));
    return true;
  });
  EXPECT_EQ(rates, (std::vector<std::tuple<double, bool, bool>>{{16, true, true}, {7, false, true}, {0, false, true}}));
  EXPECT_EQ(in.g.goIni->GETSTRING("SONSTIGES", "Mwst1"), " ");
  EXPECT_EQ(in.g.goIni->GETSTRING("SONSTIGES", "Mwst2"), " ");
}

TEST(Chkupgrade, TableOpenElsewhereMakesTheConversionFail) {
  OldData in("1.4");
  createOld(in, in.programDir, "KND.DBF", olderLayout("KND", "VORNAME", 20), {{{"KNDNR", 1}}});
  data::testing::Pipe opened, done;
  const pid_t rival = data::testing::spawn([&]() -> int {
    dbf::Session s;
    auto t = dbf::Table::open(s, in.programDir + "KND.DBF");
    if (!t.ok()) return 1;
    opened.send('o');
    done.wait();
    return 0;
  });
  ASSERT_EQ(opened.wait(), 'o');
  in.messages.answers.push_back(true);
  EXPECT_FALSE(CHKUPGRADE(in.g, in.messages));
  done.send('d');
  EXPECT_EQ(data::testing::join(rival), 0);
  EXPECT_EQ(in.messages.texts().back(), "Datenumstellung nicht durchführbar");
  EXPECT_EQ(in.messages.messages.back().icon, MessageIcon::kError);
  EXPECT_EQ(in.g.goIni->GETSTRING("ZENTOR", "Version"), "1.4");
  EXPECT_EQ(fieldOf(in, in.programDir + "KND.DBF", "VORNAME")->width, 20);
  EXPECT_EQ(records(in, in.programDir + "KND.DBF"), 1u);
}

void positionsWithDeleted(Installation& in, int deleted) {
  data::DBAPO apo(in.env());
  for (int i = 0; i < 30; ++i) {
    ASSERT_TRUE(apo->append().ok());
    apo->put("AUFTRAG", dbf::Value(1));
    apo->put("SORT", dbf::Value(i));
    apo->put("ZUSATZ", dbf::Value("Text " + std::to_string(i)));
    if (i < deleted) apo->deleteRecord();
    apo->commit();
  }
}

TEST(Chkaporeindex, CompactsFromTwentyDeletedPositions) {
  for (const auto& [deleted, expected] : {std::pair{19, 30u}, std::pair{20, 10u}}) {
    Installation in;
    SETGLOBALSFNR(in.g);
    positionsWithDeleted(in, deleted);
    CHKAPOREINDEX(in.g);
    EXPECT_EQ(records(in, in.dataDir + "APO.DBF"), expected) << deleted;
    EXPECT_TRUE(fileExists(in.dataDir + "APO.CDX"));
    in.expectSoundFiles();
  }
}

TEST(Chkaporeindex, SkippedWhileAnotherProcessHasThePositionsOpen) {
  Installation in;
  SETGLOBALSFNR(in.g);
  positionsWithDeleted(in, 25);
  data::testing::Pipe opened, done;
  const pid_t rival = data::testing::spawn([&]() -> int {
    dbf::Session s;
    auto t = dbf::Table::open(s, in.dataDir + "APO.DBF");
    if (!t.ok()) return 1;
    opened.send('o');
    done.wait();
    return 0;
  });
  ASSERT_EQ(opened.wait(), 'o');
  CHKAPOREINDEX(in.g);
  done.send('d');
  EXPECT_EQ(data::testing::join(rival), 0);
  EXPECT_EQ(records(in, in.dataDir + "APO.DBF"), 30u);
}

TEST(Chkaporeindex, OnlyBelowProgrammeOrWinapps) {
  Installation in;
  in.g.setProgramDirectory(in.root.path() + "elsewhere/");
  std::filesystem::create_directories(in.root.path() + "elsewhere/");
  SETGLOBALSFNR(in.g);
  positionsWithDeleted(in, 25);
  CHKAPOREINDEX(in.g);
  EXPECT_EQ(records(in, in.dataDir + "APO.DBF"), 30u);
}

}  // namespace
}  // namespace zentor::app
