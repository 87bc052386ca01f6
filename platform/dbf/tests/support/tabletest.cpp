#include "support/tabletest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zentor::dbf::testing {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "zentor-table-XXXXXX").string();
  char* p = ::mkdtemp(tmpl.data());
  if (!p) ADD_FAILURE() << "mkdtemp failed";
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string peerFixtureDir() { return std::string(ZENTOR_FIXTURES_DIR) + "/peer-cdx"; }

void copyPeerTable(const std::string& name, const std::string& dir) {
  for (const char* ext : {".DBF", ".FPT", ".CDX"}) {
    std::filesystem::path from = peerFixtureDir() + "/" + name + ext;
    if (!std::filesystem::exists(from)) continue;
    std::filesystem::path to = dir + "/" + name + ext;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
  }
}

std::vector<unsigned char> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zentor::dbf::testing
