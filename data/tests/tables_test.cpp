// Opening the table classes: creation of missing tables and index files, where they go, the
// rebuild of a missing index with pack or compaction, and the failures that must not lose data.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "data/catalogue.h"
#include "data/tables.h"
#include "support/testenv.h"

namespace zentor::data {
namespace {

using testing::fileExists;
using testing::fileSize;
using testing::Install;

// Opens every class the company preparation opens, with its defaults, and closes it again.
void prepareCompany(const Env& env) {
  DBKND(env).close();
  DBKGR(env).close();
  DBLND(env).close();
  DBART(env).close();
  DBAGR(env).close();
  DBMWS(env).close();
  DBTXT(env).close();
  DBAKO(env).close();
  DBAPO(env).close();
}

std::unique_ptr<dbf::Table> openRaw(dbf::Session& s, const std::string& path) {
  auto t = dbf::Table::open(s, path);
  EXPECT_TRUE(t.ok()) << path << ": " << t.status().toString();
  return t.ok() ? std::move(t).value() : nullptr;
}

// The file's layout and tags must be the catalogue's, read back from the files themselves.
void expectCatalogueLayout(dbf::Session& s, const std::string& dir, const TableDef& def,
                           const std::string& stem) {
  SCOPED_TRACE(stem);
  const std::string dbfPath = dir + stem + ".DBF";
  ASSERT_TRUE(fileExists(dbfPath));
  EXPECT_EQ(dbf::checkTableFile(s, dbfPath), std::vector<std::string>{});
  auto t = openRaw(s, dbfPath);
  ASSERT_TRUE(t);
  ASSERT_EQ(t->fields().size(), def.fields.size());
  for (size_t i = 0; i < def.fields.size(); ++i) EXPECT_EQ(t->fields()[i], def.fields[i]) << "field " << i;
  EXPECT_EQ(fileExists(dir + stem + ".FPT"), def.hasMemo());
  if (!def.indexed()) {
    EXPECT_FALSE(fileExists(dir + stem + ".CDX"));
    return;
  }
  ASSERT_TRUE(t->attachIndex(dir + stem + ".CDX").ok());
  auto tags = t->tags();
  ASSERT_EQ(tags.size(), def.tags.size());
  for (size_t i = 0; i < tags.size(); ++i) {
    EXPECT_EQ(tags[i].name, def.tags[i].name);
    EXPECT_EQ(tags[i].expression, def.tags[i].expression);
    EXPECT_FALSE(tags[i].unique);
    EXPECT_FALSE(tags[i].hasCondition);
    EXPECT_FALSE(tags[i].descending);
  }
  EXPECT_EQ(t->currentTag(), def.tags.front().name) << "the first tag controls after opening";
}

TEST(Tables, FreshCompanyGetsAllNineTablesWithTheCatalogueLayouts) {
  Install in;
  prepareCompany(in.env());
  for (const char* name : {"KND", "KGR", "LND"}) {
    expectCatalogueLayout(in.session, in.programDir, tableDef(name), name);
    EXPECT_FALSE(fileExists(in.dataDir + name + ".DBF"));
  }
  for (const char* name : {"ART", "AGR", "MWS", "TXT", "AKO", "APO"}) {
    expectCatalogueLayout(in.session, in.dataDir, tableDef(name), name);
    EXPECT_FALSE(fileExists(in.programDir + name + ".DBF"));
  }
  EXPECT_FALSE(fileExists(in.dataDir + "KRS.DBF")) << "created when first used";
  EXPECT_EQ(in.session.defaultDirectory(), in.programDir) << "default directory restored";
}

TEST(Tables, CustomerTablesFollowTheCustomerDirectory) {
  struct Case {
    const char* what;
    bool kndPlacedInCompany;
  };
  for (Case c : {Case{"shared customers", false}, Case{"own customers", true}}) {
    SCOPED_TRACE(c.what);
    Install in;
    if (c.kndPlacedInCompany) {
      ASSERT_TRUE(dbf::Table::create(in.session, in.dataDir + "KND.DBF", tableDef("KND").fields).ok());
      auto t = openRaw(in.session, in.dataDir + "KND.DBF");
      ASSERT_TRUE(t->append().ok());
      ASSERT_TRUE(t->put("ZUNAME", "Vorhanden").ok());
      ASSERT_TRUE(t->commit().ok());
    }
    // The caller's choice of gcKndPfad: the company directory when it holds KND.DBF.
    const std::string customerDir = c.kndPlacedInCompany ? in.dataDir : in.programDir;
    const std::string otherDir = c.kndPlacedInCompany ? in.programDir : in.dataDir;
    {
      DBKND knd(in.env(customerDir));
      ASSERT_TRUE(knd.ok()) << knd.status().toString();
      EXPECT_EQ(knd->path(), customerDir + "KND.DBF");
      EXPECT_EQ(knd->recCount(), c.kndPlacedInCompany ? 1u : 0u);
      EXPECT_TRUE(knd->hasIndex());
    }
    DBKGR(in.env(customerDir)).close();
    DBLND(in.env(customerDir)).close();
    for (const char* name : {"KND", "KGR", "LND"}) {
      EXPECT_TRUE(fileExists(customerDir + name + ".DBF")) << name;
      EXPECT_TRUE(fileExists(customerDir + name + ".CDX")) << name;
      EXPECT_FALSE(fileExists(otherDir + name + ".DBF")) << name;
    }
  }
}

TEST(Tables, DataTablesAreLookedForInTheProgramDirectoryFirstInAnyLetterCase) {
  Install in;
  ASSERT_TRUE(dbf::Table::create(in.session, in.programDir + "AGR.DBF", tableDef("AGR").fields).ok());
  ASSERT_TRUE(dbf::Table::create(in.session, in.dataDir + "txt.dbf", tableDef("TXT").fields).ok());
  {
    DBAGR agr(in.env());
    ASSERT_TRUE(agr.ok());
    EXPECT_EQ(agr->path(), in.programDir + "AGR.DBF");
    EXPECT_TRUE(agr->hasIndex());
    DBTXT txt(in.env());
    ASSERT_TRUE(txt.ok());
    EXPECT_EQ(txt->path(), in.dataDir + "txt.dbf");
    EXPECT_TRUE(txt->hasIndex());
  }
  EXPECT_TRUE(fileExists(in.programDir + "AGR.CDX")) << "the index goes beside its table";
  EXPECT_FALSE(fileExists(in.dataDir + "AGR.DBF"));
  EXPECT_FALSE(fileExists(in.dataDir + "TXT.DBF"));
}

TEST(Tables, NumberRangesAreBornWithOneZeroRecordAndNoIndex) {
  Install in;
  for (int round = 0; round < 2; ++round) {
    DBKRS krs(in.env());
    ASSERT_TRUE(krs.ok()) << krs.status().toString();
    EXPECT_FALSE(krs->hasIndex());
    ASSERT_EQ(krs->recCount(), 1u) << "round " << round;
    ASSERT_TRUE(krs->goTop().ok());
    for (const char* counter : {"AUNR", "ANNR", "LSNR", "RENR", "GUNR"}) {
      EXPECT_EQ(krs->getNumber(counter), 0.0) << counter;
      EXPECT_EQ(krs->getString(counter), "       0") << counter;
    }
  }
  expectCatalogueLayout(in.session, in.dataDir, tableDef("KRS"), "KRS");
}

TEST(Tables, SalesTableOfAYear) {
  Install in;
  {
    DBUMS ums(in.env(), true, false, nullptr, 0, "2025");
    ASSERT_TRUE(ums.ok()) << ums.status().toString();
    EXPECT_EQ(ums.year(), "2025");
  }
  expectCatalogueLayout(in.session, in.dataDir, tableDef("UMS"), "UMS2025");

  const std::string thisYear = std::to_string(dbf::Date::today().year());
  DBUMS current(in.env());
  ASSERT_TRUE(current.ok());
  EXPECT_EQ(current->path(), in.dataDir + "UMS" + thisYear + ".DBF");

  for (const char* bad : {"25", "20x5", "202501"}) {
    DBUMS ums(in.env(), true, false, nullptr, 0, bad);
    EXPECT_FALSE(ums.ok()) << bad;
    EXPECT_EQ(ums.status().code(), dbf::Status::Code::kInvalidArgument) << bad;
    EXPECT_FALSE(fileExists(in.dataDir + "UMS" + bad + ".DBF")) << bad;
  }
}

class RecordingProgress : public Progress {
 public:
  void UPDATETXT(const std::string& label) override { labels.push_back(label); }
  void UPDATEBAR(uint32_t total, uint32_t recCount, uint32_t recno) override {
    bars.push_back({total, recCount, recno});
  }
  struct Bar {
    uint32_t total, recCount, recno;
  };
  std::vector<std::string> labels;
  std::vector<Bar> bars;
};

// Ten articles 40..49, of which 41, 44 and 47 are deleted.
void fillArticles(const Env& env) {
  DBART art(env);
  ASSERT_TRUE(art.ok());
  for (int nr = 40; nr < 50; ++nr) {
    ASSERT_TRUE(art->append().ok());
    ASSERT_TRUE(art->put("ARTNR", nr).ok());
    ASSERT_TRUE(art->put("TXT", "Artikel " + std::to_string(nr)).ok());
    if (nr % 3 == 2) {
      ASSERT_TRUE(art->deleteRecord().ok());
    }
    ASSERT_TRUE(art->commit().ok());
  }
}

TEST(Tables, MissingArticleIndexIsRebuiltAndDeletedArticlesRemoved) {
  Install in;
  fillArticles(in.env());
  ASSERT_TRUE(std::filesystem::remove(in.dataDir + "ART.CDX"));

  RecordingProgress progress;
  DBART art(in.env(), true, false, &progress, 1234);
  ASSERT_TRUE(art.ok());
  ASSERT_TRUE(art->hasIndex());
  EXPECT_EQ(art->recCount(), 7u);
  EXPECT_EQ(art->tags().size(), 3u);
  EXPECT_EQ(art->check(), std::vector<std::string>{});

  ASSERT_TRUE(art->seek("   42", false).ok());
  EXPECT_TRUE(art->found()) << "ARTNR is keyed as str(ARTNR,5)";
  EXPECT_EQ(art->getNumber("ARTNR"), 42.0);
  ASSERT_TRUE(art->seek("   41", false).ok());
  EXPECT_FALSE(art->found()) << "deleted article packed away";

  EXPECT_EQ(progress.labels, std::vector<std::string>{"Artikel"});
  ASSERT_EQ(progress.bars.size(), 3u * 7u) << "one call per record per tag";
  for (const auto& b : progress.bars) {
    EXPECT_EQ(b.total, 1234u);
    EXPECT_EQ(b.recCount, 7u);
    EXPECT_GE(b.recno, 1u);
    EXPECT_LE(b.recno, 7u);
  }
}

TEST(Tables, PresentIndexIsNeitherRebuiltNorReported) {
  Install in;
  fillArticles(in.env());
  RecordingProgress progress;
  DBART art(in.env(), true, false, &progress, 10);
  ASSERT_TRUE(art.ok());
  EXPECT_EQ(art->recCount(), 10u) << "no pack while the index file exists";
  EXPECT_TRUE(progress.labels.empty());
  EXPECT_TRUE(progress.bars.empty());
}

TEST(Tables, IndexIsNotBuiltWhileAnotherHandleHasTheTableOpen) {
  for (bool rivalProcess : {false, true}) {
    SCOPED_TRACE(rivalProcess ? "rival workstation" : "second handle in this program");
    Install in;
    fillArticles(in.env());
    ASSERT_TRUE(std::filesystem::remove(in.dataDir + "ART.CDX"));
    {
      testing::Pipe opened, done;
      pid_t child = -1;
      std::unique_ptr<dbf::Table> sameProcessRival;
      if (rivalProcess) {
        child = testing::spawn([&] {
          dbf::Session s;
          testing::setUpSession(s, in.programDir, in.dataDir);
          auto t = dbf::Table::open(s, in.dataDir + "ART.DBF");
          if (!t.ok()) return 1;
          opened.send('O');
          done.wait();
          return 0;
        });
        ASSERT_EQ(opened.wait(), 'O');
      } else {
        sameProcessRival = openRaw(in.session, in.dataDir + "ART.DBF");
        ASSERT_TRUE(sameProcessRival);
      }
      DBART art(in.env());
      ASSERT_TRUE(art.ok()) << "opened without its index";
      EXPECT_FALSE(art->hasIndex());
      EXPECT_EQ(art->recCount(), 10u);
      EXPECT_FALSE(fileExists(in.dataDir + "ART.CDX"));
      if (rivalProcess) {
        done.send('D');
        EXPECT_EQ(testing::join(child), 0);
      }
    }
    DBART again(in.env());
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(again->hasIndex()) << "the next object tries again";
    EXPECT_EQ(again->recCount(), 7u);
  }
}

// Two workstations drawing their first number at once both create the number-range table.
TEST(Tables, RivalsCreatingTheNumberRangesLeaveOneRecord) {
  constexpr int kRivals = 3;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    Install in;
    testing::Pipe go;
    std::vector<pid_t> rivals;
    for (int i = 0; i < kRivals; ++i) {
      rivals.push_back(testing::spawn([&] {
        dbf::Session s;
        testing::setUpSession(s, in.programDir, in.dataDir);
        if (go.wait() != 'G') return 2;
        DBKRS krs(Env{&s, in.programDir, in.dataDir, in.programDir});
        return krs.ok() ? 0 : 1;
      }));
    }
    for (int i = 0; i < kRivals; ++i) go.send('G');
    for (pid_t p : rivals) EXPECT_EQ(testing::join(p), 0);
    DBKRS krs(in.env());
    ASSERT_TRUE(krs.ok());
    EXPECT_EQ(krs->recCount(), 1u);
  }
}

TEST(Tables, ExclusiveAndReadOnlyModesReachTheTable) {
  Install in;
  {
    DBMWS mine(in.env(), false);
    ASSERT_TRUE(mine.ok());
    EXPECT_FALSE(mine->shared());
    DBMWS rival(in.env());
    EXPECT_FALSE(rival.ok()) << "an exclusive object keeps others out";
    EXPECT_TRUE(rival.status().isLocked()) << rival.status().toString();
  }
  DBMWS ro(in.env(), true, true);
  ASSERT_TRUE(ro.ok());
  EXPECT_TRUE(ro->readOnly());
  EXPECT_FALSE(ro->append().ok());
}

TEST(Tables, FailedOpenLeavesAnObjectWithoutTable) {
  Install in;
  testing::writeFile(in.dataDir + "AKO.DBF", "not a table at all");
  DBAKO damaged(in.env());
  EXPECT_FALSE(damaged.ok());
  EXPECT_FALSE(damaged.status().ok());
  EXPECT_TRUE(damaged.close().ok());

  Env nowhere = in.env();
  nowhere.dataDir = in.programDir + "MISSING/";
  nowhere.session->setSearchPath({nowhere.dataDir});
  DBTXT txt(nowhere);
  EXPECT_FALSE(txt.ok());
  EXPECT_FALSE(txt.APPENDRECYCLE());
}

TEST(Tables, DamagedIndexFileLeavesTheTableOpenWithoutIndex) {
  Install in;
  fillArticles(in.env());
  testing::writeFile(in.dataDir + "ART.CDX", std::string(1024, 'x'));
  DBART art(in.env());
  ASSERT_TRUE(art.ok()) << art.status().toString();
  EXPECT_FALSE(art->hasIndex());
  EXPECT_FALSE(art.indexStatus().ok());
  EXPECT_EQ(art->recCount(), 10u) << "a present index file is not rebuilt by opening";
}

// 100 positions with a memo each, every position p with p % 10 < 3 deleted (30 in all).
void fillPositions(const Env& env) {
  DBAPO apo(env);
  ASSERT_TRUE(apo.ok());
  for (int p = 1; p <= 100; ++p) {
    ASSERT_TRUE(apo->append().ok());
    ASSERT_TRUE(apo->put("AUFTRAG", p / 10 + 1).ok());
    ASSERT_TRUE(apo->put("SORT", p).ok());
    ASSERT_TRUE(apo->put("TXT", "Position " + std::to_string(p)).ok());
    ASSERT_TRUE(apo->put("ZUSATZ", std::string(200, 'a' + p % 26) + " Nr. " + std::to_string(p)).ok());
    if (p % 10 < 3) {
      ASSERT_TRUE(apo->deleteRecord().ok());
    }
    ASSERT_TRUE(apo->commit().ok());
  }
}

// The positions and memos that should be in APO: (SORT, memo) of every live record.
std::vector<std::pair<int, std::string>> livePositions(dbf::Table& t) {
  std::vector<std::pair<int, std::string>> out;
  for (uint32_t r = 1; r <= t.recCount(); ++r) {
    EXPECT_TRUE(t.go(r).ok());
    if (!t.deleted())
      out.emplace_back(static_cast<int>(t.getNumber("SORT")), t.get("ZUSATZ").text());
  }
  return out;
}

TEST(Tables, MissingPositionIndexCompactsPositionsAndTheirMemos) {
  Install in;
  fillPositions(in.env());
  std::vector<std::pair<int, std::string>> before;
  {
    auto raw = openRaw(in.session, in.dataDir + "APO.DBF");
    before = livePositions(*raw);
  }
  ASSERT_EQ(before.size(), 70u);
  const uint64_t fptBefore = fileSize(in.dataDir + "APO.FPT");
  ASSERT_TRUE(std::filesystem::remove(in.dataDir + "APO.CDX"));

  {
    DBAPO apo(in.env());
    ASSERT_TRUE(apo.ok());
    EXPECT_TRUE(apo->hasIndex());
    EXPECT_EQ(apo->recCount(), 70u);
    EXPECT_EQ(livePositions(apo.table()), before) << "every live position keeps its own memo";
    EXPECT_EQ(apo->check(), std::vector<std::string>{});
  }
  EXPECT_LT(fileSize(in.dataDir + "APO.FPT"), fptBefore) << "memos of deleted positions are gone";
  EXPECT_LE(fileSize(in.dataDir + "APO.FPT"), 512u + 70u * 256u);
  for (const char* f : {"APOTMP.DBF", "APOTMP.FPT", "APOOLD.DBF", "APOOLD.FPT"})
    EXPECT_FALSE(fileExists(in.dataDir + f)) << f;
  EXPECT_EQ(dbf::checkTableFile(in.session, in.dataDir + "APO.DBF"), std::vector<std::string>{});
}

// After a failed compaction APO is as it was: 100 records, 30 deleted, every memo; and it still
// gets its index.
void expectPositionsUntouched(Install& in, uint64_t dbfSize, uint64_t fptSize) {
  EXPECT_EQ(fileSize(in.dataDir + "APO.DBF"), dbfSize);
  EXPECT_EQ(fileSize(in.dataDir + "APO.FPT"), fptSize);
  auto raw = openRaw(in.session, in.dataDir + "APO.DBF");
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->recCount(), 100u);
  EXPECT_EQ(livePositions(*raw).size(), 70u);
  ASSERT_TRUE(raw->go(55).ok());
  EXPECT_EQ(raw->get("ZUSATZ").text(), std::string(200, 'a' + 55 % 26) + " Nr. 55");
  raw->close();
  EXPECT_EQ(dbf::checkTableFile(in.session, in.dataDir + "APO.DBF"), std::vector<std::string>{});
}

TEST(Tables, FailedCompactionKeepsThePositions) {
  struct Case {
    const char* what;
    const char* writesFail;  // file name part whose writes fail
    int writesBefore;
    const char* renameFails;
    bool tmpIsDirectory;
    const char* writesLost = "";  // file name part whose records beyond the 50th vanish
  };
  const Case cases[] = {
      {"temporary name taken by a directory", "", 0, "", true},
      {"disk full while the memos are copied", "APOTMP.FPT", 3, "", false},
      {"disk full at the first write of the copy", "APOTMP.DBF", 0, "", false},
      {"new table cannot be moved into place", "", 0, "APOTMP.DBF", false},
      {"old table cannot be moved aside", "", 0, "FIRMA01/APO.DBF", false},
      {"copy silently short of records", "", 0, "", false, "APOTMP.DBF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::FaultyFileSystem fs;
    Install in(fs);
    fillPositions(in.env());
    const uint64_t dbfSize = fileSize(in.dataDir + "APO.DBF");
    const uint64_t fptSize = fileSize(in.dataDir + "APO.FPT");
    ASSERT_TRUE(std::filesystem::remove(in.dataDir + "APO.CDX"));
    if (c.tmpIsDirectory) std::filesystem::create_directory(in.dataDir + "APOTMP.DBF");
    fs.failWritesTo = c.writesFail;
    fs.writesBeforeFailure = c.writesBefore;
    fs.failRenamesOf = c.renameFails;
    fs.loseWritesTo = c.writesLost;
    fs.loseFrom = tableDef("APO").fields.size() * 32 + 34 + 50 * 123;  // header + 50 records
    {
      DBAPO apo(in.env());
      ASSERT_TRUE(apo.ok()) << apo.status().toString();
      EXPECT_TRUE(apo->hasIndex()) << "the index is built on the uncompacted table";
      EXPECT_EQ(apo->recCount(), 100u);
    }
    fs.failWritesTo.clear();
    fs.failRenamesOf.clear();
    fs.loseWritesTo.clear();
    expectPositionsUntouched(in, dbfSize, fptSize);
    EXPECT_FALSE(fileExists(in.dataDir + "APOTMP.FPT"));
    EXPECT_FALSE(fileExists(in.dataDir + "APOOLD.DBF"));
    if (!c.tmpIsDirectory) {
      EXPECT_FALSE(fileExists(in.dataDir + "APOTMP.DBF"));
    }
  }
}

}  // namespace
}  // namespace zentor::data
