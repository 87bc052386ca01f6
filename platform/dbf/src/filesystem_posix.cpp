// The POSIX file system behind FileSystem::defaultFileSystem().
//
// Byte-range locks are open-file-description locks: they belong to the open file, not to the
// process, so two handles of one process exclude each other and closing one handle leaves the
// other's locks alone. The whole-file share lock taken at open is an flock, which is per open file
// description as well and independent of the byte-range locks.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dbf/filesystem.h"

namespace zentor::dbf {
namespace {

std::string describe(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::strerror(err);
}

Status errnoStatus(const std::string& what, const std::string& path, int err) {
  if (err == ENOSPC || err == EDQUOT) return Status::NoSpace(describe(what, path, err));
  if (err == ENOENT) return Status::NotFound(describe(what, path, err));
  if (err == EAGAIN || err == EACCES || err == EWOULDBLOCK) return Status::Locked(describe(what, path, err));
  return Status::IoError(describe(what, path, err));
}

class PosixFile final : public File {
 public:
  PosixFile(std::string path, int fd) : File(std::move(path)), fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  Status read(uint64_t off, void* buf, size_t n, size_t* got) override {
    auto* p = static_cast<char*>(buf);
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(off + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        *got = done;
        return Status::IoError(describe("cannot read", path(), errno));
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    *got = done;
    return Status::OK();
  }

  Status write(uint64_t off, const void* buf, size_t n) override {
    const auto* p = static_cast<const char*>(buf);
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pwrite(fd_, p + done, n - done, static_cast<off_t>(off + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        int err = errno;
        if (err == ENOSPC || err == EDQUOT) return Status::NoSpace(describe("cannot write", path(), err));
        return Status::IoError(describe("cannot write", path(), err));
      }
      if (r == 0) return Status::IoError("cannot write " + path() + ": short write");
      done += static_cast<size_t>(r);
    }
    return Status::OK();
  }

  Status size(uint64_t* out) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Status::IoError(describe("cannot stat", path(), errno));
    *out = static_cast<uint64_t>(st.st_size);
    return Status::OK();
  }

  Status truncate(uint64_t size) override {
    while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno == EINTR) continue;
      return errnoStatus("cannot truncate", path(), errno);
    }
    return Status::OK();
  }

  Status sync() override {
    while (::fdatasync(fd_) != 0) {
      if (errno == EINTR) continue;
      return errnoStatus("cannot sync", path(), errno);
    }
    return Status::OK();
  }

  Status lock(uint64_t off, uint64_t len, LockType type, bool wait) override {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type == LockType::kShared ? F_RDLCK : F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(off);
    fl.l_len = static_cast<off_t>(len);
    for (;;) {
      if (::fcntl(fd_, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return Status::OK();
      int err = errno;
      if (err == EINTR) continue;
      if (err == EAGAIN || err == EACCES)
        return Status::Locked("range " + std::to_string(off) + "+" + std::to_string(len) + " of " + path() +
                              " is locked by another handle");
      return Status::IoError(describe("cannot lock", path(), err));
    }
  }

  Status unlock(uint64_t off, uint64_t len) override {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(off);
    fl.l_len = static_cast<off_t>(len);
    while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
      if (errno == EINTR) continue;
      return Status::IoError(describe("cannot unlock", path(), errno));
    }
    return Status::OK();
  }

 private:
  int fd_;
};

class PosixFileSystem final : public FileSystem {
 public:
  Result<std::unique_ptr<File>> open(const std::string& path, const FileOpenOptions& opts) override {
    int flags = opts.readOnly ? O_RDONLY : O_RDWR;
    if (opts.create && !opts.readOnly) flags |= O_CREAT;
    if (opts.create && opts.truncate && !opts.readOnly) flags |= O_TRUNC;
    flags |= O_CLOEXEC;
    int fd;
    do {
      fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      int err = errno;
      if (err == ENOENT) return Status::NotFound(describe("cannot open", path, err));
      return errnoStatus("cannot open", path, err);
    }
    if (opts.share != FileOpenOptions::Share::kNone) {
      int op = (opts.share == FileOpenOptions::Share::kShared ? LOCK_SH : LOCK_EX) | LOCK_NB;
      int rc;
      do {
        rc = ::flock(fd, op);
      } while (rc != 0 && errno == EINTR);
      if (rc != 0) {
        int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK)
          return Status::Locked(path + (opts.share == FileOpenOptions::Share::kShared
                                            ? " is open exclusively by another handle"
                                            : " is open by another handle"));
        return Status::IoError(describe("cannot lock", path, err));
      }
    }
    return std::unique_ptr<File>(new PosixFile(path, fd));
  }

  bool exists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }

  Status remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) return errnoStatus("cannot remove", path, errno);
    return Status::OK();
  }

  Status rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) {
      int err = errno;
      if (err == ENOENT) return Status::NotFound(describe("cannot rename", from, err));
      return Status::IoError(describe("cannot rename " + from + " to", to, err));
    }
    return Status::OK();
  }

  Result<std::vector<std::string>> list(const std::string& dir) override {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return errnoStatus("cannot list", dir, errno);
    std::vector<std::string> names;
    while (struct dirent* e = ::readdir(d)) {
      if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
      names.emplace_back(e->d_name);
    }
    ::closedir(d);
    return names;
  }

  Status makeDirectory(const std::string& path) override {
    if (::mkdir(path.c_str(), 0777) == 0) return Status::OK();
    int err = errno;
    struct stat st;
    if (err == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Status::OK();
    return errnoStatus("cannot create directory", path, err);
  }
};

}  // namespace

FileSystem& FileSystem::defaultFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace zentor::dbf
