// Tables written by an independent engine (the fixtures of peer-cdx): the table classes take
// them as they are, with their index files, and their layouts are the catalogue's.
#include <gtest/gtest.h>

#include <filesystem>

#include "data/tables.h"
#include "support/testenv.h"

namespace zentor::data {
namespace {

namespace fs = std::filesystem;
using testing::Install;

void copyFixture(const std::string& stem, const std::string& toDir) {
  for (const char* ext : {".DBF", ".CDX", ".FPT"}) {
    fs::path from = fs::path(ZENTOR_FIXTURES_DIR) / "peer-cdx" / (stem + ext);
    if (!fs::exists(from)) continue;
    fs::path to = fs::path(toDir) / (stem + ext);
    fs::copy_file(from, to);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
  }
}

template <class T>
void expectTakenAsTheyAre(const Env& env, const TableDef& def, uint32_t records, T&& open) {
  SCOPED_TRACE(def.name);
  auto table = open(env);
  ASSERT_TRUE(table.ok()) << table.status().toString();
  ASSERT_TRUE(table->hasIndex()) << table.indexStatus().toString();
  EXPECT_EQ(table->recCount(), records) << "nothing packed or rebuilt";
  EXPECT_EQ(table->fields(), def.fields);
  auto tags = table->tags();
  ASSERT_EQ(tags.size(), def.tags.size());
  for (size_t i = 0; i < tags.size(); ++i) {
    EXPECT_EQ(tags[i].name, def.tags[i].name);
    EXPECT_EQ(tags[i].expression, def.tags[i].expression);
  }
}

TEST(PeerTables, AreOpenedWithTheirIndexAndMatchTheCatalogue) {
  if (!fs::exists(fs::path(ZENTOR_FIXTURES_DIR) / "peer-cdx" / "MANIFEST.txt")) GTEST_SKIP() << "no fixtures";
  Install in;
  copyFixture("KND", in.programDir);
  for (const char* t : {"ART", "APO", "UMS2025"}) copyFixture(t, in.dataDir);
  const Env env = in.env();
  expectTakenAsTheyAre(env, tableDef("KND"), 2000, [](const Env& e) { return DBKND(e); });
  expectTakenAsTheyAre(env, tableDef("ART"), 500, [](const Env& e) { return DBART(e); });
  expectTakenAsTheyAre(env, tableDef("APO"), 3000, [](const Env& e) { return DBAPO(e); });
  expectTakenAsTheyAre(env, tableDef("UMS"), 5000,
                       [](const Env& e) { return DBUMS(e, true, false, nullptr, 0, "2025"); });
}

TEST(PeerTables, RecyclingTakesThePeersLowestDeletedRecord) {
  if (!fs::exists(fs::path(ZENTOR_FIXTURES_DIR) / "peer-cdx" / "MANIFEST.txt")) GTEST_SKIP() << "no fixtures";
  Install in;
  copyFixture("ART", in.dataDir);
  {
    DBART art(in.env());
    ASSERT_TRUE(art.ok());
    ASSERT_TRUE(art.APPENDRECYCLE());
    EXPECT_EQ(art->recno(), 38u) << "record 38 is the first deleted one of the fixture";
    EXPECT_EQ(art->getNumber("ARTNR"), 4469.0);
    ASSERT_TRUE(art->put("TXT", "Wiederverwendet").ok());
    ASSERT_TRUE(art->commit().ok());
  }
  EXPECT_EQ(dbf::checkTableFile(in.session, in.dataDir + "ART.DBF"), std::vector<std::string>{});
}

}  // namespace
}  // namespace zentor::data
