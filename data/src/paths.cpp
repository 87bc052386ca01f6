#include "paths.h"

#include <algorithm>
#include <cctype>

namespace zentor::data::detail {
namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

bool hasDirectory(const std::string& name) { return name.find('/') != std::string::npos; }

}  // namespace

std::string joinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + '/' + name;
}

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string withoutExtension(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
  return path.substr(0, dot);
}

std::string findInDirectory(dbf::FileSystem& fs, const std::string& dir, const std::string& name) {
  std::string exact = joinPath(dir, name);
  if (fs.exists(exact)) return exact;
  auto entries = fs.list(dir.empty() ? std::string(".") : dir);
  if (!entries.ok()) return {};
  for (const std::string& e : entries.value())
    if (sameIgnoringCase(e, name)) return joinPath(dir, e);
  return {};
}

std::string resolveFile(dbf::Session& s, const std::string& name) {
  if (hasDirectory(name)) {
    size_t slash = name.rfind('/');
    return findInDirectory(s.fs(), name.substr(0, slash + 1), name.substr(slash + 1));
  }
  std::string hit = findInDirectory(s.fs(), s.defaultDirectory(), name);
  for (size_t i = 0; hit.empty() && i < s.searchPath().size(); ++i)
    hit = findInDirectory(s.fs(), s.searchPath()[i], name);
  return hit;
}

std::string siblingFile(dbf::FileSystem& fs, const std::string& path, const std::string& ext) {
  std::string stem = withoutExtension(path);
  size_t slash = stem.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : stem.substr(0, slash + 1);
  return findInDirectory(fs, dir, stem.substr(dir.size()) + ext);
}

std::string withDbfExtension(const std::string& name) {
  size_t slash = name.rfind('/');
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return name;
  return name + ".DBF";
}

}  // namespace zentor::data::detail
