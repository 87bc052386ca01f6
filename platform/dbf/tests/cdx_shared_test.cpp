// Several processes and several handles on one CDX file on the real file system: concurrent
// writers, a writer killed at a random instant, readers walking while a writer changes the tree.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>

#include "cdx.h"
#include "cdx_page.h"

namespace zentor::dbf::cdx {
namespace {

std::string numKey(uint32_t n, int width) {
  std::string s = std::to_string(n);
  return std::string(width > static_cast<int>(s.size()) ? width - s.size() : 0, ' ') + s;
}

// The i-th key a writer inserts: scattered over the tag so pages split everywhere.
std::string keyOf(uint32_t writer, uint32_t i) { return numKey((i * 7919u + writer * 104729u) % 1000003u, 8); }

class SharedCdx : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "cdxshared.XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    path_ = dir_ + "/T.CDX";
    auto c = CdxFile::create(fs(), path_);
    ASSERT_TRUE(c.ok()) << c.status().toString();
    std::vector<Entry> base;
    for (uint32_t i = 1; i <= 500; ++i) base.push_back({keyOf(99, i), i});
    ASSERT_TRUE((*c)->addTag("A", "a", 8, base).ok());
    ASSERT_TRUE((*c)->addTag("B", "b", 8, base).ok());
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  static FileSystem& fs() { return FileSystem::defaultFileSystem(); }

  std::unique_ptr<CdxFile> open(bool ro = false) {
    auto c = CdxFile::open(fs(), path_, ro);
    EXPECT_TRUE(c.ok()) << c.status().toString();
    return c.ok() ? std::move(*c) : nullptr;
  }

  std::vector<Entry> scanAll(CdxFile& c, int tag) {
    std::vector<Entry> out;
    Status st = c.scan(tag, [&](const Entry& e) {
      out.push_back(e);
      return true;
    });
    EXPECT_TRUE(st.ok()) << st.toString();
    return out;
  }

  void expectSound(CdxFile& c) {
    std::vector<std::string> probs;
    ASSERT_TRUE(c.check(&probs).ok());
    EXPECT_TRUE(probs.empty()) << probs.size() << " problems, first: " << probs.front();
  }

  // Inserts writer's entries [from, to) into both tags, one record change per call.
  static bool insertRange(CdxFile& c, uint32_t writer, uint32_t from, uint32_t to, int ackFd = -1) {
    for (uint32_t i = from; i < to; ++i) {
      uint32_t rec = writer * 100000 + i;
      std::string k = keyOf(writer, i);
      if (!c.apply({{0, std::nullopt, k, rec}, {1, std::nullopt, k, rec}}).ok()) return false;
      if (ackFd >= 0 && write(ackFd, "x", 1) != 1) return false;
    }
    return true;
  }

  std::string dir_, path_;
};

TEST_F(SharedCdx, ConcurrentWriterProcessesLoseNothing) {
  constexpr int kWriters = 3;
  constexpr uint32_t kEach = 600;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> kids;
  for (int w = 1; w <= kWriters; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(go[1]);
      char b;
      if (read(go[0], &b, 1) != 0) _exit(3);  // wait until the parent closes the pipe
      auto c = CdxFile::open(fs(), path_, false);
      if (!c.ok()) _exit(2);
      _exit(insertRange(**c, w, 0, kEach) ? 0 : 1);
    }
    kids.push_back(pid);
  }
  close(go[0]);
  close(go[1]);  // all writers start together
  for (pid_t p : kids) {
    int status = 0;
    ASSERT_EQ(waitpid(p, &status, 0), p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  auto c = open();
  expectSound(*c);
  for (int tag = 0; tag < 2; ++tag) {
    auto all = scanAll(*c, tag);
    EXPECT_EQ(all.size(), 500 + kWriters * kEach);
    std::set<uint32_t> recs;
    for (const auto& e : all) recs.insert(e.recno);
    for (int w = 1; w <= kWriters; ++w)
      for (uint32_t i = 0; i < kEach; ++i) EXPECT_TRUE(recs.count(w * 100000 + i)) << w << "/" << i;
  }
}

TEST_F(SharedCdx, WriterKilledAtAnyInstantLeavesASoundTree) {
  std::mt19937 rng(20261211);
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    int ack[2];
    ASSERT_EQ(pipe(ack), 0);
    const uint32_t writer = 10 + run;
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(ack[0]);
      auto c = CdxFile::open(fs(), path_, false);
      if (!c.ok()) _exit(2);
      insertRange(**c, writer, 0, 100000, ack[1]);
      _exit(1);
    }
    close(ack[1]);
    // Let it get going, then kill it in the middle of whatever it is writing.
    size_t want = 5 + rng() % 60, got = 0;
    char buf[64];
    while (got < want) {
      ssize_t n = read(ack[0], buf, std::min(sizeof buf, want - got));
      ASSERT_GT(n, 0);
      got += static_cast<size_t>(n);
    }
    usleep(rng() % 3000);  // vary the instant, not a synchronisation
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    close(ack[0]);
    auto c = open();
    expectSound(*c);
    // Every acknowledged insert is there; the writer's inserts form an unbroken run.
    for (int tag = 0; tag < 2; ++tag) {
      std::set<uint32_t> recs;
      for (const auto& e : scanAll(*c, tag))
        if (e.recno / 100000 == writer) recs.insert(e.recno % 100000);
      ASSERT_GE(recs.size(), got);
      EXPECT_EQ(*recs.rbegin() + 1, recs.size()) << "tag " << tag;
    }
    if (HasFailure()) return;
  }
}

TEST_F(SharedCdx, ReaderWalkingWhileAnotherProcessWritesSeesOrderedKeys) {
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(go[0]);
    auto c = CdxFile::open(fs(), path_, false);
    if (!c.ok()) _exit(2);
    if (write(go[1], "g", 1) != 1) _exit(3);
    bool ok = insertRange(**c, 3, 0, 1500);
    // Remove half again so the walker also meets freed and merged pages.
    for (uint32_t i = 0; ok && i < 1500; i += 2)
      ok = (*c)->apply({{0, keyOf(3, i), std::nullopt, 300000 + i}}).ok();
    _exit(ok ? 0 : 1);
  }
  close(go[1]);
  char b;
  ASSERT_EQ(read(go[0], &b, 1), 1);
  auto c = open(true);
  int walks = 0;
  bool childDone = false;
  int status = 0;
  while (!childDone || walks < 2) {
    // Walk by value, one call per step, so the writer changes the tree between any two steps.
    auto e = c->first(0);
    ASSERT_TRUE(e.ok()) << e.status().toString();
    std::optional<Entry> prev;
    size_t steps = 0;
    while (e.ok() && e->has_value()) {
      if (prev) {
        ASSERT_LT(detail::compareEntry(prev->key, prev->recno, (*e)->key, (*e)->recno), 0) << "step " << steps;
      }
      prev = **e;
      ++steps;
      e = c->next(0, *prev);
      ASSERT_TRUE(e.ok()) << e.status().toString();
    }
    ASSERT_GE(steps, 500u);
    std::vector<Entry> all = scanAll(*c, 0);
    for (size_t i = 1; i < all.size(); ++i)
      ASSERT_LT(detail::compareEntry(all[i - 1].key, all[i - 1].recno, all[i].key, all[i].recno), 0);
    ++walks;
    if (!childDone && waitpid(pid, &status, WNOHANG) == pid) childDone = true;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(go[0]);
  expectSound(*c);
  EXPECT_EQ(scanAll(*c, 0).size(), 500u + 750u);
}

TEST_F(SharedCdx, TwoHandlesInOneProcessSeeEachOthersChanges) {
  auto a = open(), b = open();
  for (uint32_t i = 0; i < 300; ++i) {
    CdxFile& w = i % 2 ? *a : *b;
    CdxFile& r = i % 2 ? *b : *a;
    ASSERT_TRUE(insertRange(w, 5, i, i + 1));
    auto found = r.lowerBound(0, keyOf(5, i), 500000 + i);
    ASSERT_TRUE(found.ok() && found->has_value());
    ASSERT_EQ((*found)->recno, 500000 + i);
  }
  expectSound(*a);
  EXPECT_EQ(scanAll(*b, 1).size(), 800u);
}

}  // namespace
}  // namespace zentor::dbf::cdx
