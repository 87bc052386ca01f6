// An in-memory FileSystem for engine tests and fuzzing.
//
// Files are byte vectors shared by every handle opened on the same path, so two handles (two
// "workstations" in one process) see each other's writes at once. Byte-range locks follow the
// semantics of open-file-description locks: they belong to the handle, two handles of the same
// file exclude each other, a shared lock coexists with other shared locks, closing a handle drops
// only its own locks. Waiting locks block on a condition variable, so rival threads work; a single
// attempt returns Status::Locked. Share modes of open() behave like a non-blocking whole-file flock.
//
// Fault injection: failWrite() makes the n-th write from now fail with an I/O error, write short
// (part of the data lands, then an error) or report a full disk; refuseLocks() makes every lock
// attempt fail. All counters are per file system and thread-safe.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dbf/filesystem.h"

namespace zentor::dbf::testing {

class MemFileSystem : public FileSystem {
 public:
  enum class Fault { kIoError, kShortWrite, kNoSpace };

  MemFileSystem() = default;
  ~MemFileSystem() override = default;

  Result<std::unique_ptr<File>> open(const std::string& path, const FileOpenOptions& opts) override;
  bool exists(const std::string& path) override;
  Status remove(const std::string& path) override;
  Status rename(const std::string& from, const std::string& to) override;
  Result<std::vector<std::string>> list(const std::string& dir) override;
  Status makeDirectory(const std::string& path) override;

  // The n-th write (1 = the next one) fails as `kind`. With `sticky` every later write fails the
  // same way too (a disk that stays full), until clearFaults().
  void failWrite(int n, Fault kind, bool sticky = false);
  void clearFaults();
  // While set, every lock attempt (waiting or not) gives Status::Locked.
  void refuseLocks(bool refuse);
  // Writes done so far through this file system (successful or not).
  int writeCount() const;

  // Direct access for fixtures and assertions; contents() of a missing file is empty.
  std::vector<uint8_t> contents(const std::string& path) const;
  void setContents(const std::string& path, std::vector<uint8_t> bytes);

  // Implementation detail, public for the file handles.
  struct Lock {
    const void* owner;
    uint64_t off, len;
    LockType type;
  };
  struct Node {
    std::vector<uint8_t> bytes;
    std::vector<Lock> locks;
    int sharedOpens = 0;
    bool exclusiveOpen = false;
  };
  struct State {
    mutable std::mutex mu;
    std::condition_variable cv;
    std::map<std::string, std::shared_ptr<Node>> files;
    std::vector<std::string> dirs;
    int writes = 0;
    int failAt = 0;  // absolute write number that fails; 0 = none
    Fault failKind = Fault::kIoError;
    bool failSticky = false;
    bool refuseLocks = false;
  };

 private:
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace zentor::dbf::testing
