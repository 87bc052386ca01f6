// A FileSystem wrapper that injects faults into another file system (usually the real one).
//
// Writes are counted across every file opened through the wrapper. armWrite(n, kind) makes the
// n-th write from now fail: with an I/O error and nothing written, short (the first half of the
// bytes land, then an I/O error), or with a full disk (ENOSPC, nothing written). With `sticky`
// every later write fails the same way until disarm(); a sticky full disk still accepts writes
// that stay within the file's current size, as a real one does. refuseLocks(true) makes every byte-range
// lock attempt give Status::Locked.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "dbf/filesystem.h"

namespace zentor::dbf::testing {

class FaultFileSystem : public FileSystem {
 public:
  enum class Fault { kIoError, kShortWrite, kNoSpace };

  explicit FaultFileSystem(FileSystem& base = FileSystem::defaultFileSystem()) : base_(base) {}

  Result<std::unique_ptr<File>> open(const std::string& path, const FileOpenOptions& opts) override;
  bool exists(const std::string& path) override { return base_.exists(path); }
  Status remove(const std::string& path) override { return base_.remove(path); }
  Status rename(const std::string& from, const std::string& to) override { return base_.rename(from, to); }
  Result<std::vector<std::string>> list(const std::string& dir) override { return base_.list(dir); }
  Status makeDirectory(const std::string& path) override { return base_.makeDirectory(path); }

  void armWrite(int n, Fault kind, bool sticky = false);
  void disarm();
  void refuseLocks(bool on) { state_->refuseLocks = on; }
  // Writes attempted so far through the wrapper.
  int writes() const { return state_->writes; }

  struct State {
    std::atomic<int> writes{0};
    std::atomic<int> failAt{0};
    std::atomic<bool> sticky{false};
    std::atomic<int> kind{0};
    std::atomic<bool> refuseLocks{false};
  };

 private:
  FileSystem& base_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace zentor::dbf::testing
