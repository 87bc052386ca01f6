// A fresh directory per test, removed with everything in it afterwards; plus raw file helpers
// for files "written by another program".
#pragma once

#include <string>
#include <string_view>

namespace zentor::os::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The directory, with a trailing '/'.
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + std::string(name); }

 private:
  std::string path_;
};

void writeBytes(const std::string& path, std::string_view bytes);
std::string readBytes(const std::string& path);  // "" when missing
bool fileExists(const std::string& path);

}  // namespace zentor::os::testing
