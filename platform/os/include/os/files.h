// Small file-system helpers shared by the settings file, the company registry and the start-up
// code: whole-file reads, atomic replacement, and name look-ups that ignore case.
//
// Directories in this program are written with a trailing separator ('/' here, '\' on Windows),
// so a file path is simply directory + name.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/status.h"

namespace zentor::os {

// The separator of this platform's paths.
inline constexpr char kPathSeparator = '/';

// `dir` with exactly one trailing separator; an empty `dir` stays empty.
std::string withTrailingSeparator(std::string_view dir);

// The whole content of `path`. NotFound when it does not exist, IoError when it cannot be read.
dbf::Result<std::string> readWholeFile(const std::string& path);

// Replaces `path` with `bytes` so that a reader sees either the old or the new content, never a
// mix: the bytes go to a temporary file in the same directory, are flushed to disk and renamed
// over `path`. The permission bits of an existing file are kept. On failure the temporary file is
// removed and `path` is unchanged (NoSpace for a full disk, IoError otherwise).
dbf::Status replaceFileAtomically(const std::string& path, std::string_view bytes);

// Serialises read-modify-write cycles on the files of one directory between cooperating handles
// and processes (an exclusive flock on the directory itself, waited for). Where the file system
// refuses such locks (some network mounts) the lock is silently not held: the writes themselves
// stay atomic, only concurrent edits of different keys may then overwrite each other.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::string& dir);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Names of the entries of `dir` (no "." and ".."), in the order the system lists them; empty when
// the directory cannot be read.
std::vector<std::string> listDirectory(const std::string& dir);

// The name of the entry of `dir` that equals `name` ignoring ASCII case; the exact spelling wins
// when several entries match. Empty when there is none. Lets "AGR.DBF" find "agr.dbf" on systems
// with case-sensitive names.
std::optional<std::string> findIgnoringCase(const std::string& dir, std::string_view name);

// True when `dir` + a name found by findIgnoringCase exists.
inline bool existsIgnoringCase(const std::string& dir, std::string_view name) {
  return findIgnoringCase(dir, name).has_value();
}

// The byte-order mark some editors put at the start of UTF-8 files.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// True when `bytes` is well-formed UTF-8 and holds at least one character beyond ASCII: text that
// an editor saved as UTF-8 where Windows-1252 was expected (German text in Windows-1252 is never
// well-formed UTF-8, since a lone umlaut byte cannot start a sequence followed by its partner).
bool looksLikeUtf8(std::string_view bytes);

// ASCII upper case (file names, command lines).
std::string asciiUpper(std::string_view s);

}  // namespace zentor::os
