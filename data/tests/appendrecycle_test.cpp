// Record recycling: which record APPENDRECYCLE takes, what it leaves behind, and that rival
// workstations never get the same record.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "data/tables.h"
#include "support/testenv.h"

namespace zentor::data {
namespace {

using testing::Install;
using testing::Pipe;

// Articles 1..n (ARTNR = record number, TXT "Artikel <n>"), the listed ones deleted.
void fillArticles(const Env& env, int n, const std::set<int>& deleted) {
  DBART art(env);
  ASSERT_TRUE(art.ok()) << art.status().toString();
  for (int nr = 1; nr <= n; ++nr) {
    ASSERT_TRUE(art->append().ok());
    ASSERT_TRUE(art->put("ARTNR", nr).ok());
    ASSERT_TRUE(art->put("TXT", "Artikel " + std::to_string(nr)).ok());
    ASSERT_TRUE(art->put("VKMENGE", 1.5 * nr).ok());
    ASSERT_TRUE(art->put("VKUMSNTO", 10.0 * nr).ok());
    if (deleted.count(nr)) {
      ASSERT_TRUE(art->deleteRecord().ok());
    }
    ASSERT_TRUE(art->commit().ok());
  }
}

bool deletedOnDisk(Install& in, uint32_t recno) {
  auto t = dbf::Table::open(in.session, in.dataDir + "ART.DBF", dbf::OpenOptions{true, true});
  return t.ok() && t.value()->go(recno).ok() && t.value()->deleted();
}

TEST(AppendRecycle, AppendsAtTheEndWhenNothingIsDeleted) {
  Install in;
  fillArticles(in.env(), 4, {});
  DBART art(in.env());
  ASSERT_TRUE(art.APPENDRECYCLE());
  EXPECT_EQ(art->recno(), 5u);
  EXPECT_EQ(art->recCount(), 5u);
  EXPECT_TRUE(art->isLocked(5));
  EXPECT_EQ(art->getNumber("ARTNR"), 0.0);
}

TEST(AppendRecycle, TakesTheLowestDeletedRecordWithItsOldContents) {
  for (bool hidden : {true, false}) {
    SCOPED_TRACE(hidden ? "deleted hidden" : "deleted visible");
    Install in;
    fillArticles(in.env(), 6, {5, 3});
    in.session.setDeletedHidden(hidden);
    DBART art(in.env());
    ASSERT_TRUE(art.APPENDRECYCLE());
    EXPECT_EQ(art->recno(), 3u);
    EXPECT_EQ(art->recCount(), 6u) << "nothing appended";
    EXPECT_FALSE(art->deleted());
    EXPECT_TRUE(art->isLocked(3));
    EXPECT_EQ(art->lockedRecords(), std::vector<uint32_t>{3});
    // The fields the caller does not set keep the deleted article's statistics.
    EXPECT_EQ(art->getNumber("ARTNR"), 3.0);
    EXPECT_EQ(art->getNumber("VKMENGE"), 4.5);
    EXPECT_EQ(art->getNumber("VKUMSNTO"), 30.0);
    EXPECT_EQ(in.session.deletedHidden(), hidden) << "setting restored";
    EXPECT_FALSE(deletedOnDisk(in, 3)) << "the recall is on disk before the lock is given up";
    EXPECT_TRUE(deletedOnDisk(in, 5));

    ASSERT_TRUE(art.APPENDRECYCLE());
    EXPECT_EQ(art->recno(), 5u) << "then the next deleted one";
    EXPECT_EQ(art->lockedRecords(), std::vector<uint32_t>{5});
    ASSERT_TRUE(art.APPENDRECYCLE());
    EXPECT_EQ(art->recno(), 7u) << "then the end";
  }
}

TEST(AppendRecycle, NotifiesAttachedWindowsOnceAfterwards) {
  struct Counter : dbf::TableObserver {
    int moved = 0, changed = 0, refreshed = 0;
    void tableMoved(dbf::Table&) override { ++moved; }
    void recordChanged(dbf::Table&) override { ++changed; }
    void tableRefreshed(dbf::Table&) override { ++refreshed; }
  } counter;
  Install in;
  fillArticles(in.env(), 3, {2});
  DBART art(in.env());
  art->addObserver(&counter);
  ASSERT_TRUE(art.APPENDRECYCLE());
  art->removeObserver(&counter);
  EXPECT_EQ(counter.moved, 0);
  EXPECT_EQ(counter.changed, 0);
  EXPECT_EQ(counter.refreshed, 1);
}

TEST(AppendRecycle, LowestDeletedRecordLockedElsewhereMeansAppend) {
  for (bool rivalProcess : {false, true}) {
    SCOPED_TRACE(rivalProcess ? "rival workstation" : "second object in this program");
    Install in;
    fillArticles(in.env(), 5, {2, 4});
    Pipe locked, done;
    pid_t child = -1;
    std::unique_ptr<DBART> sameProcessRival;
    if (rivalProcess) {
      child = testing::spawn([&] {
        dbf::Session s;
        testing::setUpSession(s, in.programDir, in.dataDir);
        DBART art(Env{&s, in.programDir, in.dataDir, in.programDir});
        if (!art.ok() || !art->go(2).ok() || !art->lock()) return 1;
        locked.send('L');
        done.wait();
        return 0;
      });
      ASSERT_EQ(locked.wait(), 'L');
    } else {
      sameProcessRival = std::make_unique<DBART>(in.env());
      ASSERT_TRUE((*sameProcessRival)->go(2).ok());
      ASSERT_TRUE((*sameProcessRival)->lock());
    }

    DBART art(in.env());
    ASSERT_TRUE(art.APPENDRECYCLE());
    EXPECT_EQ(art->recno(), 6u) << "appended although record 4 is free";
    EXPECT_TRUE(deletedOnDisk(in, 2));
    EXPECT_TRUE(deletedOnDisk(in, 4));

    if (rivalProcess) {
      done.send('D');
      EXPECT_EQ(testing::join(child), 0);
    }
  }
}

// Two workstations recycle at the same time; every record each of them writes must survive,
// which it would not if both had taken the same record.
TEST(AppendRecycle, RivalsNeverTakeTheSameRecord) {
  constexpr int kRecords = 40, kPerRival = 15, kRivals = 2;
  Install in;
  std::set<int> deleted;
  for (int r = 1; r <= kRecords; r += 2) deleted.insert(r);
  fillArticles(in.env(), kRecords, deleted);

  Pipe go;
  std::vector<pid_t> rivals;
  for (int id = 1; id <= kRivals; ++id) {
    rivals.push_back(testing::spawn([&, id] {
      dbf::Session s;
      testing::setUpSession(s, in.programDir, in.dataDir);
      DBART art(Env{&s, in.programDir, in.dataDir, in.programDir});
      if (!art.ok()) return 1;
      if (go.wait() != 'G') return 2;
      for (int i = 0; i < kPerRival; ++i) {
        if (!art.APPENDRECYCLE()) return 3;
        if (!art->put("TXT", "Rivale " + std::to_string(id) + " Nr. " + std::to_string(i)).ok()) return 4;
        if (!art->put("ARTNR", 1000 * id + i).ok()) return 4;
        if (!art->commit().ok() || !art->unlock().ok()) return 5;
      }
      return 0;
    }));
  }
  for (int i = 0; i < kRivals; ++i) go.send('G');
  for (pid_t p : rivals) EXPECT_EQ(testing::join(p), 0);

  auto t = dbf::Table::open(in.session, in.dataDir + "ART.DBF");
  ASSERT_TRUE(t.ok());
  std::map<int, int> seen;  // ARTNR of every live record -> how often
  for (uint32_t r = 1; r <= t.value()->recCount(); ++r) {
    ASSERT_TRUE(t.value()->go(r).ok());
    if (!t.value()->deleted()) ++seen[static_cast<int>(t.value()->getNumber("ARTNR"))];
  }
  for (int r = 2; r <= kRecords; r += 2) EXPECT_EQ(seen[r], 1) << "live article " << r << " untouched";
  for (int id = 1; id <= kRivals; ++id)
    for (int i = 0; i < kPerRival; ++i) EXPECT_EQ(seen[1000 * id + i], 1) << "rival " << id << " record " << i;
  EXPECT_EQ(seen.size(), static_cast<size_t>(kRecords / 2 + kRivals * kPerRival));
  t.value()->close();
  EXPECT_EQ(dbf::checkTableFile(in.session, in.dataDir + "ART.DBF"), std::vector<std::string>{});
}

}  // namespace
}  // namespace zentor::data
