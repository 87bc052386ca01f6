// The engine's only way to the operating system: files, byte-range locks, directories.
//
// The POSIX implementation uses open-file-description locks (F_OFD_SETLK/SETLKW) so that two
// handles of the same process exclude each other exactly like two processes, and closing one
// handle never drops the locks of another. Tests swap in a fault-injecting file system that fails
// the n-th write, writes short, reports ENOSPC or refuses locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/status.h"

namespace zentor::dbf {

enum class LockType { kShared, kExclusive };

class File {
 public:
  virtual ~File() = default;
  const std::string& path() const { return path_; }

  // Reads up to n bytes at off; *got receives the count (short only at end of file).
  virtual Status read(uint64_t off, void* buf, size_t n, size_t* got) = 0;
  // Writes all n bytes at off or fails (a short write is reported as an error).
  virtual Status write(uint64_t off, const void* buf, size_t n) = 0;
  virtual Status size(uint64_t* out) = 0;
  virtual Status truncate(uint64_t size) = 0;
  virtual Status sync() = 0;  // data to stable storage

  // Byte-range lock; wait = false is a single attempt that gives Status::Locked when refused.
  virtual Status lock(uint64_t off, uint64_t len, LockType type, bool wait) = 0;
  virtual Status unlock(uint64_t off, uint64_t len) = 0;

 protected:
  explicit File(std::string path) : path_(std::move(path)) {}

 private:
  std::string path_;
};

struct FileOpenOptions {
  bool readOnly = false;
  bool create = false;      // create when missing
  bool truncate = false;    // with create: start empty
  // Whole-file share lock held for the life of the handle (non-blocking):
  // kShared for a shared open, kExclusive for an exclusive open, or none.
  enum class Share { kNone, kShared, kExclusive } share = Share::kNone;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The real file system of this machine.
  static FileSystem& defaultFileSystem();

  // Opening refused by the share lock gives Status::Locked.
  virtual Result<std::unique_ptr<File>> open(const std::string& path, const FileOpenOptions& opts) = 0;
  virtual bool exists(const std::string& path) = 0;
  virtual Status remove(const std::string& path) = 0;           // NotFound when missing
  virtual Status rename(const std::string& from, const std::string& to) = 0;
  // Names (not paths) of the entries of a directory, in the order the system gives them.
  virtual Result<std::vector<std::string>> list(const std::string& dir) = 0;
  virtual Status makeDirectory(const std::string& path) = 0;  // OK when it exists already
};

}  // namespace zentor::dbf
