#include "os/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cerrno>
#include <cstring>

namespace zentor::os {
namespace {

std::string errnoText(int err) { return std::strerror(err); }

dbf::Status failure(const std::string& what, const std::string& path, int err) {
  std::string msg = what + " " + path + ": " + errnoText(err);
  if (err == ENOSPC || err == EDQUOT) return dbf::Status::NoSpace(msg);
  return dbf::Status::IoError(msg);
}

std::string directoryOf(const std::string& path) {
  const auto slash = path.find_last_of(kPathSeparator);
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool writeAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string withTrailingSeparator(std::string_view dir) {
  std::string out(dir);
  if (out.empty()) return out;
  while (out.size() > 1 && out.back() == kPathSeparator && out[out.size() - 2] == kPathSeparator) {
    out.pop_back();
  }
  if (out.back() != kPathSeparator) out.push_back(kPathSeparator);
  return out;
}

dbf::Result<std::string> readWholeFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) return dbf::Status::NotFound(path + " does not exist");
    return failure("cannot open", path, err);
  }
  std::string out;
  char buf[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      return failure("cannot read", path, err);
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return out;
}

dbf::Status replaceFileAtomically(const std::string& path, std::string_view bytes) {
  static std::atomic<unsigned> counter{0};
  const std::string dir = directoryOf(path);
  const std::string base = path.substr(path.find_last_of(kPathSeparator) == std::string::npos
                                           ? 0
                                           : path.find_last_of(kPathSeparator) + 1);
  // Hidden, and unique per process and call, so concurrent writers never share a temporary file.
  const std::string tmp = dir + "/." + base + ".tmp" + std::to_string(::getpid()) + "_" +
                          std::to_string(counter.fetch_add(1));
  mode_t mode = 0666;
  struct stat st {};
  const bool existed = ::stat(path.c_str(), &st) == 0;
  if (existed) mode = st.st_mode & 07777;

  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return failure("cannot create", tmp, errno);
  int err = 0;
  if (!writeAll(fd, bytes)) err = errno;
  if (err == 0 && existed && ::fchmod(fd, mode) != 0) err = errno;
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(tmp.c_str());
    return failure("cannot write", path, err);
  }
  return dbf::Status::OK();
}

DirectoryLock::DirectoryLock(const std::string& dir) {
  fd_ = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  int rc;
  do {
    rc = ::flock(fd_, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases the flock
}

std::vector<std::string> listDirectory(const std::string& dir) {
  std::vector<std::string> out;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return out;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    out.emplace_back(name);
  }
  ::closedir(d);
  return out;
}

bool looksLikeUtf8(std::string_view bytes) {
  bool multibyte = false;
  size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    size_t len = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > bytes.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      const auto cc = static_cast<unsigned char>(bytes[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    multibyte = true;
    i += len;
  }
  return multibyte;
}

std::string asciiUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::optional<std::string> findIgnoringCase(const std::string& dir, std::string_view name) {
  std::optional<std::string> found;
  const std::string wanted = asciiUpper(name);
  for (auto& entry : listDirectory(dir)) {
    if (entry == name) return entry;
    if (!found && asciiUpper(entry) == wanted) found = std::move(entry);
  }
  return found;
}

}  // namespace zentor::os
