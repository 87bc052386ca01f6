#include "main/instance_lock.h"

#include <QStandardPaths>
#include <QString>
#include <QGuiApplication>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zentor::start {

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string safeForFileName(const std::string& s) {
  std::string out;
  for (char c : s) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-';
    out += plain ? c : '_';
  }
  return out;
}

// ":0.1" -> ":0", "host:10.0" -> "host:10"; the dot of a host name stays.
std::string withoutScreen(std::string display) {
  const auto colon = display.rfind(':');
  if (colon == std::string::npos) return display;
  const auto dot = display.find('.', colon);
  if (dot != std::string::npos) display.erase(dot);
  return display;
}

}  // namespace

InstanceLock::InstanceLock(std::string directory, std::string desktop) {
  if (!directory.empty() && directory.back() != '/') directory += '/';
  path_ = directory + "zentor-" + std::to_string(::getuid()) + "-" + safeForFileName(desktop) + ".lock";
}

InstanceLock::~InstanceLock() { release(); }

InstanceLock::Result InstanceLock::acquire() {
  if (fd_ >= 0) return Result::kAcquired;
  problem_.clear();
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    problem_ = path_ + ": " + std::strerror(errno);
    return Result::kUnavailable;
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK) return Result::kHeldElsewhere;
    problem_ = path_ + ": " + std::strerror(err);
    return Result::kUnavailable;
  }
  fd_ = fd;
  return Result::kAcquired;
}

void InstanceLock::release() {
  if (fd_ < 0) return;
  // The file stays: removing it could let a third instance lock a fresh file while a second one
  // still holds the old, unlinked one.
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

std::string desktopKey(const std::string& waylandDisplay, const std::string& x11Display,
                       const std::string& platform) {
  if (!waylandDisplay.empty()) return "wayland-" + safeForFileName(waylandDisplay);
  if (!x11Display.empty()) return "x11-" + safeForFileName(withoutScreen(x11Display));
  if (!platform.empty()) return safeForFileName(platform);
  return "console";
}

std::string desktopKey() {
  std::string platform = env("QT_QPA_PLATFORM");
  if (qGuiApp) platform = QGuiApplication::platformName().toStdString();
  // A platform that draws nowhere visible is its own desktop, whatever the environment says.
  if (platform == "offscreen" || platform == "minimal") return desktopKey({}, {}, platform);
  return desktopKey(env("WAYLAND_DISPLAY"), env("DISPLAY"), platform);
}

std::string defaultLockDirectory() {
  std::string dir = env("XDG_RUNTIME_DIR");
  if (dir.empty()) {
    dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).toStdString();
  }
  if (dir.empty()) dir = "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

bool CHKWINLIST(InstanceLock& lock, app::MessageService& messages) {
  if (lock.acquire() != InstanceLock::Result::kHeldElsewhere) return false;
  messages.error("Das Programm läuft bereits", "Lumo-Zentor");
  return true;
}

}  // namespace zentor::start
