// The POSIX file system: byte-range locks per handle, share locks, errors that name the file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "dbf/filesystem.h"
#include "support/tabletest.h"

namespace zentor::dbf {
namespace {

using testing::TempDir;

FileSystem& fs() { return FileSystem::defaultFileSystem(); }

std::unique_ptr<File> openFile(const std::string& path, FileOpenOptions o = {}) {
  o.create = true;
  auto f = fs().open(path, o);
  EXPECT_TRUE(f.ok()) << f.status().toString();
  return f.ok() ? std::move(*f) : nullptr;
}

TEST(PosixFileSystem, ReadsWritesAndReportsShortReadsOnlyAtTheEnd) {
  TempDir dir;
  auto f = openFile(dir.file("a"));
  ASSERT_TRUE(f->write(0, "hello world", 11).ok());
  char buf[32];
  size_t got = 0;
  ASSERT_TRUE(f->read(6, buf, 20, &got).ok());
  EXPECT_EQ(std::string(buf, got), "world");
  ASSERT_TRUE(f->write(20, "x", 1).ok());  // a hole reads as zeros
  uint64_t size = 0;
  ASSERT_TRUE(f->size(&size).ok());
  EXPECT_EQ(size, 21u);
  ASSERT_TRUE(f->truncate(5).ok());
  ASSERT_TRUE(f->size(&size).ok());
  EXPECT_EQ(size, 5u);
  EXPECT_TRUE(f->sync().ok());
}

TEST(PosixFileSystem, ByteRangeLocksBelongToTheHandle) {
  TempDir dir;
  auto a = openFile(dir.file("t"));
  auto b = openFile(dir.file("t"));
  auto c = openFile(dir.file("t"));
  ASSERT_TRUE(a->lock(0x7FFFFFFE - 5, 1, LockType::kExclusive, false).ok());
  EXPECT_TRUE(b->lock(0x7FFFFFFE - 5, 1, LockType::kExclusive, false).isLocked());
  EXPECT_TRUE(b->lock(0x7FFFFFFE - 6, 1, LockType::kExclusive, false).ok());
  // Shared locks coexist; an exclusive one is refused beside them.
  ASSERT_TRUE(a->lock(100, 1, LockType::kShared, false).ok());
  ASSERT_TRUE(b->lock(100, 1, LockType::kShared, false).ok());
  EXPECT_TRUE(c->lock(100, 1, LockType::kExclusive, false).isLocked());
  // Closing one handle leaves the other handles' locks alone (classic POSIX locks would not).
  c.reset();
  EXPECT_TRUE(openFile(dir.file("t"))->lock(0x7FFFFFFE - 5, 1, LockType::kExclusive, false).isLocked());
  ASSERT_TRUE(a->unlock(0x7FFFFFFE - 5, 1).ok());
  EXPECT_TRUE(b->lock(0x7FFFFFFE - 5, 1, LockType::kExclusive, false).ok());
  // The lock excludes another process, and a waiting lock is granted when the holder lets go.
  int ready[2], go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  pid_t child = ::fork();
  if (child == 0) {
    auto f = fs().open(dir.file("t"), {});
    if (!f.ok()) ::_exit(1);
    int rc = (*f)->lock(0x7FFFFFFE - 6, 1, LockType::kExclusive, false).isLocked() ? 0 : 2;
    char ch = 1;
    if (::write(ready[1], &ch, 1) != 1) ::_exit(3);
    if (rc == 0 && !(*f)->lock(0x7FFFFFFE - 6, 1, LockType::kExclusive, true).ok()) rc = 4;
    ::_exit(rc);
  }
  char ch;
  ASSERT_EQ(::read(ready[0], &ch, 1), 1);
  ASSERT_TRUE(b->unlock(0x7FFFFFFE - 6, 1).ok());
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (int fd : {ready[0], ready[1], go[0], go[1]}) ::close(fd);
}

TEST(PosixFileSystem, ShareLocksOfOpenExcludeLikeExclusiveUse) {
  TempDir dir;
  FileOpenOptions shared, exclusive;
  shared.share = FileOpenOptions::Share::kShared;
  exclusive.share = FileOpenOptions::Share::kExclusive;
  auto s1 = openFile(dir.file("t"), shared);
  auto s2 = openFile(dir.file("t"), shared);
  auto x = fs().open(dir.file("t"), exclusive);
  EXPECT_TRUE(x.status().isLocked());
  EXPECT_NE(x.status().message().find(dir.file("t")), std::string::npos);
  s1.reset();
  s2.reset();
  auto x2 = openFile(dir.file("t"), exclusive);
  ASSERT_TRUE(x2);
  EXPECT_TRUE(fs().open(dir.file("t"), shared).status().isLocked());
}

TEST(PosixFileSystem, ErrorsNameThePathAndTheReason) {
  TempDir dir;
  auto missing = fs().open(dir.file("nope"), {});
  ASSERT_TRUE(missing.status().isNotFound());
  EXPECT_NE(missing.status().message().find(dir.file("nope")), std::string::npos);
  EXPECT_NE(missing.status().message().find("No such file"), std::string::npos);
  EXPECT_TRUE(fs().remove(dir.file("nope")).isNotFound());
  EXPECT_TRUE(fs().rename(dir.file("nope"), dir.file("b")).isNotFound());
  FileOpenOptions ro;
  ro.readOnly = true;
  openFile(dir.file("r"));
  auto r = fs().open(dir.file("r"), ro);
  ASSERT_TRUE(r.ok());
  Status st = (*r)->write(0, "x", 1);
  EXPECT_FALSE(st.ok());
  EXPECT_NE(st.message().find(dir.file("r")), std::string::npos);
}

TEST(PosixFileSystem, DirectoriesListRenameAndRemove) {
  TempDir dir;
  ASSERT_TRUE(fs().makeDirectory(dir.file("sub")).ok());
  EXPECT_TRUE(fs().makeDirectory(dir.file("sub")).ok());
  openFile(dir.file("sub/A.DBF"));
  openFile(dir.file("sub/b.cdx"));
  ASSERT_TRUE(fs().rename(dir.file("sub/b.cdx"), dir.file("sub/B.CDX")).ok());
  auto names = fs().list(dir.file("sub"));
  ASSERT_TRUE(names.ok());
  std::sort(names->begin(), names->end());
  EXPECT_EQ(*names, (std::vector<std::string>{"A.DBF", "B.CDX"}));
  EXPECT_TRUE(fs().exists(dir.file("sub/A.DBF")));
  ASSERT_TRUE(fs().remove(dir.file("sub/A.DBF")).ok());
  EXPECT_FALSE(fs().exists(dir.file("sub/A.DBF")));
  EXPECT_TRUE(fs().list(dir.file("none")).status().isNotFound());
}

}  // namespace
}  // namespace zentor::dbf
