#include "dbf/session.h"

#include <algorithm>
#include <cctype>

#include "dbf/table.h"

namespace zentor::dbf {
namespace {

size_t nameStart(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string joinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  char last = dir.back();
  if (last == '/' || last == '\\') return dir + name;
  return dir + "/" + name;
}

// Files copied from Windows arrive in any case; the name as given wins, then the upper-case and
// the lower-case spelling of the file name part.
std::string findVariant(FileSystem& fs, const std::string& path) {
  if (fs.exists(path)) return path;
  size_t start = nameStart(path);
  std::string upper = path, lower = path;
  for (size_t i = start; i < path.size(); ++i) {
    upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[i])));
    lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(path[i])));
  }
  if (upper != path && fs.exists(upper)) return upper;
  if (lower != path && fs.exists(lower)) return lower;
  return {};
}

}  // namespace

Session::Session(FileSystem& fs) : fs_(&fs) {}

Session::~Session() { closeAll(); }

std::string Session::findFile(const std::string& name) const {
  if (name.empty()) return {};
  if (nameStart(name) != 0) return findVariant(*fs_, name);
  std::string found = findVariant(*fs_, joinPath(defaultDir_, name));
  if (!found.empty()) return found;
  for (const std::string& dir : searchPath_) {
    found = findVariant(*fs_, joinPath(dir, name));
    if (!found.empty()) return found;
  }
  return {};
}

std::string Session::pathForNewFile(const std::string& name) const {
  if (nameStart(name) != 0) return name;
  return joinPath(defaultDir_, name);
}

void Session::closeAll() {
  // close() unregisters, so work on a copy.
  std::vector<Table*> tables = open_;
  for (Table* t : tables) t->close();
  open_.clear();
}

void Session::registerTable(Table* t) {
  if (std::find(open_.begin(), open_.end(), t) == open_.end()) open_.push_back(t);
}

void Session::unregisterTable(Table* t) { open_.erase(std::remove(open_.begin(), open_.end(), t), open_.end()); }

}  // namespace zentor::dbf
