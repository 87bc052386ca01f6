// The program's tables: file names, directories, fields in stored order and index tags in
// creation order. Every other module names tables and fields as they stand here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dbf/table.h"

namespace zentor::data {

enum class DirectoryKind {
  kData,      // the current company's data directory
  kCustomer,  // the customer directory (gcKndPfad): KND, KGR, LND
};

struct TagDef {
  std::string name;
  std::string expression;
};

struct TableDef {
  std::string name;       // "KND"; "UMS" stands for every yearly table UMSyyyy
  std::string className;  // "DBKND"
  DirectoryKind directory = DirectoryKind::kData;
  std::string label;      // shown by the reindex dialog (UPDATETXT); empty for KRS
  bool yearly = false;    // the file name is name + four-digit year
  std::vector<dbf::FieldDef> fields;
  std::vector<TagDef> tags;  // empty: the table has no index file

  bool indexed() const { return !tags.empty(); }
  bool hasMemo() const;
};

// All tables, in the order KND, KGR, LND, ART, AGR, MWS, TXT, AKO, APO, KRS, UMS.
const std::vector<TableDef>& catalogue();

// The entry of a table by name, case-insensitive; "UMS2025" (UMS and four digits) finds the
// yearly entry. nullptr for an unknown name.
const TableDef* findTableDef(std::string_view name);

// The entry for a name that must exist (a name of this catalogue spelled in code).
const TableDef& tableDef(std::string_view name);

// File names of the temporaries used beside the tables.
inline constexpr const char* kApoTmpName = "APOTMP";  // compaction of APO
inline constexpr const char* kConvTmpName = "TMP";    // rebuilding a table on conversion

}  // namespace zentor::data
