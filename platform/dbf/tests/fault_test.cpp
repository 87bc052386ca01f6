// Crashes, failing writes and damaged files: the engine fails cleanly and leaves sound files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <set>

#include "cdx.h"
#include "dbf/table.h"
#include "support/faultfs.h"
#include "support/tabletest.h"

namespace zentor::dbf {
namespace {

using testing::FaultFileSystem;
using testing::TempDir;

const std::vector<FieldDef> kFields = {{"NR", 'N', 8, 0}, {"NAME", 'C', 20, 0}, {"NOTIZ", 'M', 10, 0}};

std::unique_ptr<Table> openWithIndex(Session& s, const std::string& dbf, const std::string& cdx) {
  auto t = Table::open(s, dbf);
  if (!t.ok()) return nullptr;
  if (!cdx.empty() && !(*t)->attachIndex(cdx).ok()) return nullptr;
  return std::move(*t);
}

TEST(CrashTest, AKilledAppenderLeavesAtMostTheRecordInFlightOutOfStep) {
  for (int run = 0; run < 6; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    TempDir dir;
    Session s;
    s.setDefaultDirectory(dir.path());
    ASSERT_TRUE(Table::create(s, "T", kFields).ok());
    {
      auto t = Table::open(s, "T", OpenOptions{false, false});
      ASSERT_TRUE(t.ok());
      ASSERT_TRUE((*t)->createTag("NR", "str(NR,8)").ok());
      ASSERT_TRUE((*t)->createTag("NAME", "upper(NAME)").ok());
    }
    int fd[2];
    ASSERT_EQ(::pipe(fd), 0);
    pid_t child = ::fork();
    if (child == 0) {
      ::close(fd[0]);
      Session cs;
      cs.setSyncOnCommit(false);
      auto t = openWithIndex(cs, dir.file("T.DBF"), dir.file("T.CDX"));
      if (!t) ::_exit(1);
      for (int i = 0;; ++i) {
        if (!t->append().ok() || !t->put("NR", i).ok() || !t->put("NAME", "Satz " + std::to_string(i)).ok() ||
            !t->put("NOTIZ", "Notiz " + std::to_string(i)).ok() || !t->commit().ok())
          ::_exit(2);
        char c = 1;
        if (::write(fd[1], &c, 1) != 1) ::_exit(3);
      }
    }
    ::close(fd[1]);
    const int minimum = 25 + run * 17;
    for (int got = 0; got < minimum;) {
      char c;
      ssize_t r = ::read(fd[0], &c, 1);
      ASSERT_EQ(r, 1);
      ++got;
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    // Every byte in the pipe stands for a commit that returned.
    int committed = 0;
    for (char c; ::read(fd[0], &c, 1) == 1;) ++committed;
    committed += minimum;
    ::close(fd[0]);

    auto t = openWithIndex(s, dir.file("T.DBF"), dir.file("T.CDX"));
    ASSERT_TRUE(t);
    std::set<int> nrs;
    s.setDeletedHidden(false);
    ASSERT_TRUE(t->selectTag("").ok());
    for (t->goTop(); !t->eof(); t->skip()) {
      if (t->recno() > uint32_t(committed)) continue;
      nrs.insert(static_cast<int>(t->getNumber("NR")));
      EXPECT_EQ(t->get("NOTIZ").text(), "Notiz " + std::to_string(t->recno() - 1));
    }
    EXPECT_EQ(nrs.size(), size_t(committed));
    EXPECT_LE(t->recCount(), uint32_t(committed + 1));

    auto c = cdx::CdxFile::open(s.fs(), dir.file("T.CDX"), true);
    ASSERT_TRUE(c.ok());
    std::vector<std::string> tree;
    ASSERT_TRUE((*c)->check(&tree).ok());
    EXPECT_EQ(tree, std::vector<std::string>{});

    // The record in flight: its keys, or the header's count that did not yet include it.
    const std::string inFlight = "record " + std::to_string(t->recCount()) + " ";
    const std::string uncounted = "the file holds " + std::to_string(t->recCount());
    for (const std::string& p : t->check()) {
      EXPECT_TRUE(p.find(inFlight) != std::string::npos || p.find(uncounted) != std::string::npos) << p;
    }
    t->close();
    auto x = Table::open(s, "T", OpenOptions{false, false});
    ASSERT_TRUE(x.ok());
    ASSERT_TRUE((*x)->attachIndex(dir.file("T.CDX")).ok());
    ASSERT_TRUE((*x)->reindex().ok());
    EXPECT_EQ((*x)->check(), std::vector<std::string>{});
  }
}

// Every write of an operation in turn fails (error, short write, full disk); the operation
// reports the failure and the files stay as sound as they were.
class WriteFaultTest : public ::testing::TestWithParam<FaultFileSystem::Fault> {
 protected:
  struct Snapshot {
    uint32_t count;
    std::vector<std::string> rows;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
  };
  void prepare() {
    session_ = std::make_unique<Session>(fs_);
    session_->setDefaultDirectory(dir_.path());
    ASSERT_TRUE(Table::create(*session_, "T", kFields, true).ok());
    auto t = Table::open(*session_, "T", OpenOptions{false, false});
    ASSERT_TRUE(t.ok());
    for (int i = 1; i <= 3; ++i) {
      ASSERT_TRUE((*t)->append().ok());
      (*t)->put("NR", i);
      (*t)->put("NAME", "Name " + std::to_string(i));
      (*t)->put("NOTIZ", "Notiz " + std::to_string(i));
    }
    ASSERT_TRUE((*t)->createTag("NR", "str(NR,8)").ok());
    ASSERT_TRUE((*t)->createTag("NAME", "upper(NAME)").ok());
  }
  Snapshot snapshot(Table& t) {
    Snapshot s{t.recCount(), {}};
    session_->setDeletedHidden(false);
    for (uint32_t r = 1; r <= s.count; ++r) {
      t.go(r);
      s.rows.push_back(std::to_string(t.getNumber("NR")) + "|" + t.getString("NAME") + "|" + t.get("NOTIZ").text() +
                       (t.deleted() ? "|*" : ""));
    }
    return s;
  }
  FaultFileSystem fs_;
  TempDir dir_;
  std::unique_ptr<Session> session_;
};

std::string faultName(const ::testing::TestParamInfo<FaultFileSystem::Fault>& i) {
  switch (i.param) {
    case FaultFileSystem::Fault::kIoError: return "IoError";
    case FaultFileSystem::Fault::kShortWrite: return "ShortWrite";
    case FaultFileSystem::Fault::kNoSpace: return "NoSpace";
  }
  return "?";
}

TEST_P(WriteFaultTest, UpdateAndAppendFailWholeOrNotAtAll) {
  const FaultFileSystem::Fault kind = GetParam();
  const bool sticky = kind == FaultFileSystem::Fault::kNoSpace;
  for (int op = 0; op < 2; ++op) {
    for (int n = 1; n <= 14; ++n) {
      SCOPED_TRACE("operation " + std::to_string(op) + ", failing write " + std::to_string(n));
      prepare();
      auto t = openWithIndex(*session_, dir_.file("T.DBF"), dir_.file("T.CDX"));
      ASSERT_TRUE(t);
      Snapshot before = snapshot(*t);
      fs_.armWrite(n, kind, sticky);
      Status st;
      if (op == 0) {
        st = t->go(2);
        if (st.ok() && !t->lock()) st = Status::Locked("lock");
        if (st.ok()) st = t->put("NAME", "Geändert");
        if (st.ok()) st = t->put("NOTIZ", "Neue Notiz");
        if (st.ok()) st = t->commit();
      } else {
        st = t->append();
        if (st.ok()) st = t->put("NR", 4);
        if (st.ok()) st = t->put("NAME", "Neu");
        if (st.ok()) st = t->commit();
      }
      fs_.disarm();
      // What is on disk now, through a second handle: a failed commit keeps its changes in the
      // first handle's buffer (to be tried again), but none of them half on disk.
      auto u = openWithIndex(*session_, dir_.file("T.DBF"), dir_.file("T.CDX"));
      ASSERT_TRUE(u);
      Snapshot after = snapshot(*u);
      if (!st.ok()) {
        if (kind == FaultFileSystem::Fault::kNoSpace) {
          EXPECT_TRUE(st.isNoSpace()) << st.toString();
        }
        if (op == 0) {
          EXPECT_EQ(after.rows, before.rows);
        } else {
          // The append itself either happened (a blank record) or not at all.
          EXPECT_TRUE(after.count == before.count || after.count == before.count + 1);
        }
      }
      EXPECT_EQ(u->check(), std::vector<std::string>{}) << st.toString();
      u->close();
      t->close();
      EXPECT_EQ(checkTableFile(*session_, "T"), std::vector<std::string>{});
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, WriteFaultTest,
                         ::testing::Values(FaultFileSystem::Fault::kIoError, FaultFileSystem::Fault::kShortWrite,
                                           FaultFileSystem::Fault::kNoSpace),
                         faultName);

TEST(FaultTest, RefusedLocksFailAppendAndLock) {
  TempDir dir;
  FaultFileSystem fs;
  Session s(fs);
  s.setDefaultDirectory(dir.path());
  ASSERT_TRUE(Table::create(s, "T", kFields).ok());
  auto t = Table::open(s, "T");
  ASSERT_TRUE(t.ok());
  ASSERT_TRUE((*t)->append().ok());
  (*t)->unlock();
  fs.refuseLocks(true);
  EXPECT_TRUE((*t)->append().isLocked());
  EXPECT_FALSE((*t)->lock());
  EXPECT_EQ((*t)->recCount(), 1u);
  fs.refuseLocks(false);
  EXPECT_TRUE((*t)->lock());
}

// ---- damaged files ----

class DamagedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s_.setDefaultDirectory(dir_.path());
    ASSERT_TRUE(Table::create(s_, "T", kFields).ok());
    auto t = Table::open(s_, "T");
    ASSERT_TRUE(t.ok());
    for (int i = 1; i <= 3; ++i) {
      ASSERT_TRUE((*t)->append().ok());
      (*t)->put("NR", i);
      (*t)->put("NOTIZ", "Notiz " + std::to_string(i));
    }
    ASSERT_TRUE((*t)->commit().ok());
    good_ = testing::readFileBytes(dir_.file("T.DBF"));
    memo_ = testing::readFileBytes(dir_.file("T.FPT"));
  }
  TempDir dir_;
  Session s_;
  std::vector<unsigned char> good_, memo_;
};

TEST_F(DamagedFileTest, BrokenHeadersAreRefusedWithAReason) {
  const size_t headerLen = 32 + 32 * kFields.size() + 2;
  struct Case {
    const char* what;
    std::function<void(std::vector<unsigned char>&)> damage;
    Status::Code code;
  } cases[] = {
      {"truncated", [](auto& b) { b.resize(20); }, Status::Code::kCorruption},
      {"header longer than file", [](auto& b) { b[8] = 0xFF; b[9] = 0xFF; }, Status::Code::kCorruption},
      {"header too short", [](auto& b) { b[8] = 40; b[9] = 0; }, Status::Code::kCorruption},
      {"record length lies", [](auto& b) { b[10] += 1; }, Status::Code::kCorruption},
      {"record length zero", [](auto& b) { b[10] = 0; b[11] = 0; }, Status::Code::kCorruption},
      {"unknown field type", [](auto& b) { b[32 + 11] = 'X'; }, Status::Code::kNotSupported},
      {"no terminator", [=](auto& b) { b[headerLen - 2] = 'A'; }, Status::Code::kCorruption},
      {"zero width", [](auto& b) { b[64 + 16] = 0; }, Status::Code::kCorruption},
      {"date of width 7", [](auto& b) { b[32 + 16] = 9; b[64 + 11] = 'D'; }, Status::Code::kCorruption},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto bytes = good_;
    c.damage(bytes);
    testing::writeFileBytes(dir_.file("T.DBF"), bytes);
    auto t = Table::open(s_, "T");
    ASSERT_FALSE(t.ok());
    EXPECT_EQ(t.status().code(), c.code) << t.status().toString();
    EXPECT_NE(t.status().message().find("T.DBF"), std::string::npos);
    EXPECT_EQ(checkTableFile(s_, "T").size(), 1u);
  }
}

TEST_F(DamagedFileTest, BadMemoReferencesGiveCorruptionNotCrashes) {
  auto memoAt = [&](uint32_t recno) { return 32 + 32 * kFields.size() + 2 + (recno - 1) * 39 + 1 + 8 + 20; };
  // Record 1: a length far beyond the file; record 2: a block past the end; record 3: inside the header.
  auto memo = memo_;
  memo[8 * 64 + 4] = 0x7F;
  testing::writeFileBytes(dir_.file("T.FPT"), memo);
  auto bytes = good_;
  std::memcpy(&bytes[memoAt(2)], "    999999", 10);
  std::memcpy(&bytes[memoAt(3)], "         1", 10);
  testing::writeFileBytes(dir_.file("T.DBF"), bytes);
  auto t = Table::open(s_, "T");
  ASSERT_TRUE(t.ok()) << t.status().toString();
  for (uint32_t r = 1; r <= 3; ++r) {
    ASSERT_TRUE((*t)->go(r).ok());
    EXPECT_EQ((*t)->get("NOTIZ").text(), "");
    EXPECT_EQ((*t)->getNumber("NR"), double(r));
  }
  auto problems = (*t)->check();
  ASSERT_EQ(problems.size(), 3u);
  for (uint32_t r = 1; r <= 3; ++r) EXPECT_NE(problems[r - 1].find("record " + std::to_string(r)), std::string::npos);
  // Overlapping memos are found too.
  bytes = good_;
  std::memcpy(&bytes[memoAt(2)], "         8", 10);
  testing::writeFileBytes(dir_.file("T.DBF"), bytes);
  testing::writeFileBytes(dir_.file("T.FPT"), memo_);
  problems = checkTableFile(s_, "T");
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("overlaps"), std::string::npos);
}

TEST_F(DamagedFileTest, HeaderCountAndPartialRecordsAreReported) {
  auto bytes = good_;
  bytes[4] = 7;
  bytes.push_back(' ');
  bytes.push_back(' ');
  testing::writeFileBytes(dir_.file("T.DBF"), bytes);
  auto problems = checkTableFile(s_, "T");
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[0].find("header says 7 records, the file holds 3"), std::string::npos);
  EXPECT_NE(problems[1].find("partial record"), std::string::npos);
}

}  // namespace
}  // namespace zentor::dbf
