// Helpers of the table tests: scratch directories and copies of the peer fixtures.
#pragma once

#include <string>
#include <vector>

namespace zentor::dbf::testing {

// A fresh directory under the system's temp directory, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Directory of the tables written by the independent engine.
std::string peerFixtureDir();
// Copies the files of table `name` (DBF, and FPT/CDX when present) into `dir`.
void copyPeerTable(const std::string& name, const std::string& dir);

std::vector<unsigned char> readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace zentor::dbf::testing
