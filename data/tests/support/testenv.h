// Scratch installations for the data-layer tests: a program directory with one company
// directory below it, a session set up as the program sets it up, and helpers for rival
// processes.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/env.h"
#include "dbf/filesystem.h"
#include "dbf/session.h"
#include "dbf/table.h"

namespace zentor::data::testing {

// A fresh directory tree, removed again with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }  // ends with '/'

 private:
  std::string path_;
};

// <tmp>/ as the program directory and <tmp>/FIRMA01/ as the data directory.
struct Install {
  explicit Install(dbf::FileSystem& fs = dbf::FileSystem::defaultFileSystem());
  TempDir root;
  std::string programDir;
  std::string dataDir;
  dbf::Session session;
  // customerDir is the program directory unless a test says otherwise.
  Env env() { return env(programDir); }
  Env env(const std::string& customerDir);
};

// A session like the program's for another "workstation" (a forked child).
void setUpSession(dbf::Session& s, const std::string& programDir, const std::string& dataDir);

bool fileExists(const std::string& path);
uint64_t fileSize(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// A one-byte channel between a test and its forked rival: send() a tag, wait() for it.
class Pipe {
 public:
  Pipe();
  ~Pipe();
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  void send(char c);
  char wait();  // blocks; 0 when the other end closed

 private:
  int fd_[2];
};

// Runs `body` in a forked child; its return value is the exit status. The child never returns
// into the test framework.
pid_t spawn(const std::function<int()>& body);
// The exit status of the child, or -1 when it did not exit normally.
int join(pid_t pid);

// A file system that passes everything to the real one except what a test tells it to refuse:
// writes to files whose name contains `failWritesTo` (after `writesBeforeFailure` successful
// writes to them) report a full disk, and renames whose source name contains `failRenamesOf`
// fail. Writes to files whose name contains `loseWritesTo` at or beyond offset `loseFrom` are
// reported as done but never happen (a disk that lies).
class FaultyFileSystem : public dbf::FileSystem {
 public:
  std::string failWritesTo;
  int writesBeforeFailure = 0;
  std::string failRenamesOf;
  std::string loseWritesTo;
  uint64_t loseFrom = 0;

  dbf::Result<std::unique_ptr<dbf::File>> open(const std::string& path, const dbf::FileOpenOptions& opts) override;
  bool exists(const std::string& path) override;
  dbf::Status remove(const std::string& path) override;
  dbf::Status rename(const std::string& from, const std::string& to) override;
  dbf::Result<std::vector<std::string>> list(const std::string& dir) override;
  dbf::Status makeDirectory(const std::string& path) override;

  int writesSeen = 0;
};

}  // namespace zentor::data::testing
