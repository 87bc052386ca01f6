// The single-instance check `CHKWINLIST` of this platform.
//
// Other programs' window titles cannot be read on every desktop (Wayland hides them), so a running
// instance is recognised by a lock instead: one file per user and desktop, held with an advisory
// lock (flock) from before the company selection until the program ends. The kernel drops the
// lock when its holder dies, so a crashed instance never blocks the next start, and two lock
// objects on the same file conflict even inside one process.
#pragma once

#include <string>

#include "appcore/messages.h"

namespace zentor::start {

class InstanceLock {
 public:
  enum class Result {
    kAcquired,       // this object now holds the lock
    kHeldElsewhere,  // another instance (or another object) holds it
    kUnavailable,    // the lock file cannot be created or locked at all
  };

  // The lock of `desktop` (see desktopKey) for the current user, in `directory`.
  InstanceLock(std::string directory, std::string desktop);
  ~InstanceLock();  // releases the lock if held
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Tries once, never waits. Calling it while holding the lock keeps it and says kAcquired.
  Result acquire();
  void release();
  bool held() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  // Why the last acquire gave kUnavailable.
  const std::string& problem() const { return problem_; }

 private:
  std::string path_;
  std::string problem_;
  int fd_ = -1;
};

// The desktop this process shows its windows on, as a file-name-safe key: the Wayland display when
// there is one, else the X display without its screen number (":0.1" and ":0" are one desktop),
// else the Qt platform's name ("offscreen"), else "console".
std::string desktopKey();
// Builds the key from the given values; empty ones count as absent.
std::string desktopKey(const std::string& waylandDisplay, const std::string& x11Display,
                       const std::string& platform);

// The user's runtime directory (XDG_RUNTIME_DIR, or Qt's per-user fallback); ends with '/'.
// REQUIRES: a QCoreApplication exists when XDG_RUNTIME_DIR is unset.
std::string defaultLockDirectory();

// True, after "Das Programm läuft bereits" (title "Lumo-Zentor", error icon, no owner), when
// another instance holds the lock. When no lock can be had at all the program starts anyway: the
// check guards against confusion, not against damage, and must not lock anyone out.
bool CHKWINLIST(InstanceLock& lock, app::MessageService& messages);

}  // namespace zentor::start
