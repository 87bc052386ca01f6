// Several processes on the same files: locks, exclusive opens, concurrent appends and updates.
#include <gtest/gtest.h>

#include "dbf/collation.h"
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <filesystem>
#include <set>

#include "dbf/table.h"
#include "support/tabletest.h"

namespace zentor::dbf {
namespace {

using testing::TempDir;

// Children start together: each blocks reading the pipe until the parent closes it.
class Barrier {
 public:
  Barrier() { EXPECT_EQ(::pipe(fd_), 0); }
  ~Barrier() {
    closeWrite();
    if (fd_[0] >= 0) ::close(fd_[0]);
  }
  void waitInChild() {
    ::close(fd_[1]);
    char c;
    while (::read(fd_[0], &c, 1) > 0) {
    }
  }
  void release() { closeWrite(); }

 private:
  void closeWrite() {
    if (fd_[1] >= 0) ::close(fd_[1]);
    fd_[1] = -1;
  }
  int fd_[2] = {-1, -1};
};

// Forks n children running body(i); the child's exit code is body's result.
std::vector<pid_t> spawn(int n, const std::function<int(int)>& body) {
  std::vector<pid_t> pids;
  for (int i = 0; i < n; ++i) {
    pid_t p = ::fork();
    if (p == 0) {
      int rc = 99;
      try {
        rc = body(i);
      } catch (...) {
      }
      ::_exit(rc);
    }
    pids.push_back(p);
  }
  return pids;
}

std::vector<int> waitAll(const std::vector<pid_t>& pids) {
  std::vector<int> codes;
  for (pid_t p : pids) {
    int status = 0;
    ::waitpid(p, &status, 0);
    codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  }
  return codes;
}

class MultiProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_.setDefaultDirectory(dir_.path());
    session_.setSyncOnCommit(false);  // the page cache is shared by all processes anyway
    ASSERT_TRUE(Table::create(session_, "T", {{"NR", 'N', 8, 0}, {"NAME", 'C', 30, 0}, {"NOTIZ", 'M', 10, 0}}).ok());
  }
  // Opens T shared with its index, in whichever process calls it.
  std::unique_ptr<Table> openT(Session& s) {
    auto t = Table::open(s, dir_.file("T.DBF"));
    if (!t.ok()) return nullptr;
    if (std::filesystem::exists(dir_.file("T.CDX")) && !(*t)->attachIndex(dir_.file("T.CDX")).ok()) return nullptr;
    return std::move(*t);
  }
  void addTags() {
    OpenOptions o;
    o.shared = false;
    auto t = Table::open(session_, "T", o);
    ASSERT_TRUE(t.ok());
    ASSERT_TRUE((*t)->createTag("NR", "str(NR,8)").ok());
    ASSERT_TRUE((*t)->createTag("NAME", "upper(NAME)").ok());
  }
  TempDir dir_;
  Session session_;
};

TEST_F(MultiProcessTest, ALockedRecordIsRefusedToAnotherProcess) {
  addTags();
  auto t = openT(session_);
  ASSERT_TRUE(t);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(t->append().ok());
  ASSERT_TRUE(t->lockRecord(1));
  auto codes = waitAll(spawn(1, [&](int) {
    Session s;
    auto c = openT(s);
    if (!c) return 1;
    if (c->lockRecord(1)) return 2;
    if (!c->lockRecord(2)) return 3;
    return 0;
  }));
  EXPECT_EQ(codes, std::vector<int>{0});
  // Without the index the lock lives elsewhere: a handle that has the index attached must match.
  EXPECT_TRUE(t->lockRecord(2));
}

TEST_F(MultiProcessTest, ExclusiveAndSharedOpensExcludeAcrossProcesses) {
  auto shared = openT(session_);
  ASSERT_TRUE(shared);
  auto tryOpen = [&](bool sharedOpen) {
    return waitAll(spawn(1, [&](int) {
      Session s;
      OpenOptions o;
      o.shared = sharedOpen;
      auto t = Table::open(s, dir_.file("T.DBF"), o);
      return t.ok() ? 0 : t.status().isLocked() ? 1 : 2;
    }))[0];
  };
  EXPECT_EQ(tryOpen(false), 1);
  EXPECT_EQ(tryOpen(true), 0);
  shared->close();
  OpenOptions o;
  o.shared = false;
  auto excl = Table::open(session_, "T", o);
  ASSERT_TRUE(excl.ok());
  EXPECT_EQ(tryOpen(true), 1);
  EXPECT_EQ(tryOpen(false), 1);
}

TEST_F(MultiProcessTest, ConcurrentAppendsLoseNothing) {
  addTags();
  const int n = 4, k = 120;
  Barrier barrier;
  auto pids = spawn(n, [&](int child) {
    barrier.waitInChild();
    Session s;
    s.setSyncOnCommit(false);
    auto t = openT(s);
    if (!t) return 1;
    for (int i = 0; i < k; ++i) {
      if (!t->append().ok()) return 2;
      if (!t->put("NR", child * 10000 + i).ok()) return 3;
      if (!t->put("NAME", "Prozess " + std::to_string(child) + " Satz " + std::to_string(i)).ok()) return 4;
      if (i % 10 == 0 && !t->put("NOTIZ", "Notiz " + std::to_string(child * 10000 + i)).ok()) return 5;
      if (!t->commit().ok()) return 6;
    }
    return 0;
  });
  barrier.release();
  EXPECT_EQ(waitAll(pids), std::vector<int>(n, 0));

  auto t = openT(session_);
  ASSERT_TRUE(t);
  ASSERT_EQ(t->recCount(), uint32_t(n * k));
  auto h = testing::readFileBytes(dir_.file("T.DBF"));
  EXPECT_EQ(uint32_t(h[4] | h[5] << 8 | h[6] << 16 | h[7] << 24), uint32_t(n * k));
  std::set<int> seen;
  ASSERT_TRUE(t->selectTag("").ok());
  for (t->goTop(); !t->eof(); t->skip()) {
    int nr = static_cast<int>(t->getNumber("NR"));
    EXPECT_TRUE(seen.insert(nr).second) << nr;
    if (nr % 10000 % 10 == 0) {
      EXPECT_EQ(t->get("NOTIZ").text(), "Notiz " + std::to_string(nr));
    }
  }
  EXPECT_EQ(seen.size(), size_t(n * k));
  EXPECT_EQ(t->check(), std::vector<std::string>{});
}

TEST_F(MultiProcessTest, ConcurrentUpdatesOfIndexedFieldsKeepEveryTagConsistent) {
  addTags();
  {
    auto t = openT(session_);
    ASSERT_TRUE(t);
    for (int i = 1; i <= 100; ++i) {
      ASSERT_TRUE(t->append().ok());
      t->put("NR", i);
      t->put("NAME", "Start " + std::to_string(i));
    }
    ASSERT_TRUE(t->commit().ok());
  }
  const int n = 3, rounds = 150;
  Barrier barrier;
  auto pids = spawn(n, [&](int child) {
    barrier.waitInChild();
    Session s;
    s.setSyncOnCommit(false);
    auto t = openT(s);
    if (!t) return 1;
    uint32_t x = 12345u + static_cast<uint32_t>(child) * 7919u;
    for (int i = 0; i < rounds; ++i) {
      x = x * 1103515245u + 12345u;
      uint32_t r = 1 + (x >> 8) % 100;
      if (!t->go(r).ok()) return 2;
      while (!t->lock()) ::sched_yield();  // another process holds it: try again
      if (!t->put("NR", static_cast<int>((x >> 4) % 100000)).ok()) return 3;
      if (!t->put("NAME", "P" + std::to_string(child) + " " + std::to_string(i)).ok()) return 4;
      if (!t->commit().ok()) return 5;
      if (!t->unlock().ok()) return 6;
    }
    return 0;
  });
  barrier.release();
  EXPECT_EQ(waitAll(pids), std::vector<int>(n, 0));
  auto t = openT(session_);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->recCount(), 100u);
  EXPECT_EQ(t->check(), std::vector<std::string>{});
}

TEST_F(MultiProcessTest, AReaderWalkingATagWhileOthersAppendSeesKeysInOrder) {
  addTags();
  Barrier barrier;
  auto appenders = spawn(2, [&](int child) {
    barrier.waitInChild();
    Session s;
    s.setSyncOnCommit(false);
    auto t = openT(s);
    if (!t) return 1;
    for (int i = 0; i < 150; ++i) {
      if (!t->append().ok()) return 2;
      t->put("NR", (i * 37 + child * 11) % 997);
      t->put("NAME", "A" + std::to_string(i));
      if (!t->commit().ok()) return 3;
    }
    return 0;
  });
  auto reader = spawn(1, [&](int) {
    barrier.waitInChild();
    Session s;
    auto t = openT(s);
    if (!t) return 1;
    if (!t->selectTag("NR").ok()) return 2;
    for (int pass = 0; pass < 15; ++pass) {
      std::string prev;
      Status st = t->goTop();
      while (st.ok() && !t->eof()) {
        // The record's data may already be newer than the index entry that led here (a commit
        // writes the record before its keys), so the order is judged on the keys.
        std::string key(t->currentKey());
        if (key.empty() || collateCompare(prev, key) > 0) return 3;
        prev = key;
        st = t->skip();
      }
      if (!st.ok()) return 4;
    }
    return 0;
  });
  barrier.release();
  EXPECT_EQ(waitAll(appenders), (std::vector<int>{0, 0}));
  EXPECT_EQ(waitAll(reader), std::vector<int>{0});
  auto t = openT(session_);
  EXPECT_EQ(t->recCount(), 300u);
  EXPECT_EQ(t->check(), std::vector<std::string>{});
}

TEST_F(MultiProcessTest, TwoObjectsInOneProcessBehaveLikeTwoStations) {
  addTags();
  auto a = openT(session_);
  auto b = openT(session_);
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(a->append().ok());
  EXPECT_FALSE(b->lockRecord(1));  // append left it locked in a
  ASSERT_TRUE(b->append().ok());
  EXPECT_EQ(b->recno(), 2u);
  EXPECT_FALSE(a->lockRecord(2));
  auto c = openT(session_);
  ASSERT_TRUE(c->lockRecord(3) == false);  // no such record
  c->close();                               // closing a third handle drops none of the others' locks
  EXPECT_FALSE(a->lockRecord(2));  // still b's; a's attempt released a's own lock on record 1
  EXPECT_TRUE(b->isLocked(2));
  EXPECT_TRUE(b->lockRecord(1));
}

}  // namespace
}  // namespace zentor::dbf
