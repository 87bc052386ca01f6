// The table classes, one per table of the catalogue.
//
// Creating an object prepares the table, then opens it through DBSTANDARD:
//  - a missing table file is created with the catalogue's fields, in the data directory or, for
//    KND, KGR and LND, in the customer directory;
//  - a missing index file (looked for beside the table file) is built: the table is opened
//    exclusively without index, its deleted records are removed (APO by copying, see DBAPO), and
//    its tags are created in catalogue order, reporting to `progress` when one is given. When the
//    exclusive open is refused (another handle has the table open) nothing is built and the table
//    is opened without index; the next object tries again.
// Data tables are looked for in the program directory first, then in the data directory; the
// customer tables only in the customer directory.
#pragma once

#include <cstdint>
#include <string>

#include "data/catalogue.h"
#include "data/dbstandard.h"
#include "data/env.h"
#include "data/progress.h"

namespace zentor::data {

// The common preparation of the catalogue's tables.
class CatalogueTable : public DBSTANDARD {
 public:
  const TableDef& def() const { return *def_; }

 protected:
  explicit CatalogueTable(const TableDef& def) : def_(&def) {}
  // Prepares the files of `fileStem` (the file name without extension, "UMS2025") as described
  // above, then opens the table.
  void prepareAndOpen(const Env& env, const std::string& fileStem, bool shared, bool readOnly,
                      Progress* progress, uint32_t total);

 private:
  const TableDef* def_;
};

class DBAGR : public CatalogueTable {
 public:
  explicit DBAGR(const Env& env, bool shared = true, bool readOnly = false,
                 Progress* progress = nullptr, uint32_t total = 0);
};

class DBART : public CatalogueTable {
 public:
  explicit DBART(const Env& env, bool shared = true, bool readOnly = false,
                 Progress* progress = nullptr, uint32_t total = 0);
};

class DBKND : public CatalogueTable {
 public:
  explicit DBKND(const Env& env, bool shared = true, bool readOnly = false,
                 Progress* progress = nullptr, uint32_t total = 0);
};

class DBKGR : public CatalogueTable {
 public:
  explicit DBKGR(const Env& env, bool shared = true, bool readOnly = false,
                 Progress* progress = nullptr, uint32_t total = 0);
};

class DBLND : public CatalogueTable {
 public:
  explicit DBLND(const Env& env, bool shared = true, bool readOnly = false,
                 Progress* progress = nullptr, uint32_t total = 0);
};

class DBMWS : public CatalogueTable {
 public:
  explicit DBMWS(const Env& env, bool shared = true, bool readOnly = false,
                 Progress* progress = nullptr, uint32_t total = 0);
};

class DBTXT : public CatalogueTable {
 public:
  explicit DBTXT(const Env& env, bool shared = true, bool readOnly = false,
                 Progress* progress = nullptr, uint32_t total = 0);
};

class DBAKO : public CatalogueTable {
 public:
  explicit DBAKO(const Env& env, bool shared = true, bool readOnly = false,
                 Progress* progress = nullptr, uint32_t total = 0);
};

// Positions: a missing index also compacts the table by copying its live records (memos
// included) into APOTMP.DBF/.FPT; the copy replaces APO only when it holds as many records as APO
// has live ones, otherwise APO stays as it was, deleted records included.
class DBAPO : public CatalogueTable {
 public:
  explicit DBAPO(const Env& env, bool shared = true, bool readOnly = false,
                 Progress* progress = nullptr, uint32_t total = 0);
};

// The number ranges: created with one record of zero counters when missing; no index.
class DBKRS : public CatalogueTable {
 public:
  explicit DBKRS(const Env& env, bool shared = true, bool readOnly = false,
                 Progress* progress = nullptr, uint32_t total = 0);
};

// The sales postings of one year: UMS + `year` (four digits; empty = the current year). Another
// form of year fails the open with InvalidArgument and creates nothing.
class DBUMS : public CatalogueTable {
 public:
  explicit DBUMS(const Env& env, bool shared = true, bool readOnly = false,
                 Progress* progress = nullptr, uint32_t total = 0, const std::string& year = {});
  const std::string& year() const { return year_; }

 private:
  std::string year_;
};

}  // namespace zentor::data
