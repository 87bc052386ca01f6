// Small DBF tables for report tests, written through the table engine into a fresh directory.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dbf/table.h"
#include "dbf/value.h"

namespace zentor::report::testing {

// A directory under the system's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& text) const;

 private:
  std::string path_;
};

struct TableSpec {
  std::string name;  // file name without extension, e.g. "AKO"
  std::vector<dbf::FieldDef> fields;
  std::vector<std::vector<dbf::Value>> rows;  // values in field order
  std::vector<std::pair<std::string, std::string>> tags;  // tag name, key expression
};

// Creates <dir>/<name>.DBF with its rows and, when tags are given, <dir>/<name>.CDX.
// Fails the calling test (ADD_FAILURE) on any engine error.
void createTable(const std::string& dir, const TableSpec& def);

// AKO (orders 100 and 200), APO (positions of both, out of order), ART (articles 1, 2, 3) as the
// program lays them out, with their tags AUFTRAG / AUFTRAG / ARTNR and ART's AGRNR.
void createOrderTables(const std::string& dir);

}  // namespace zentor::report::testing
