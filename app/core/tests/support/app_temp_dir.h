// A fresh directory per test (with a trailing '/'), removed afterwards, and raw file helpers.
#pragma once

#include <string>
#include <string_view>

namespace zentor::app::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + std::string(name); }

 private:
  std::string path_;
};

void writeBytes(const std::string& path, std::string_view bytes);
std::string readBytes(const std::string& path);  // "" when missing

}  // namespace zentor::app::testing
