// The base of every table class: one table object on one DBF file with its index.
#pragma once

#include <memory>
#include <string>

#include "dbf/session.h"
#include "dbf/status.h"
#include "dbf/table.h"

namespace zentor::data {

class DBSTANDARD {
 public:
  // Opens `name` + ".DBF" (a name without directory: program directory first, then data
  // directory, through the session; the exact name first, then the same name in another letter
  // case) with the given modes and attaches the ".CDX" of the same name beside it when one exists.
  // Nothing is ever locked implicitly. A failed open leaves the object without a table: ok() is
  // false and status() says why.
  DBSTANDARD(dbf::Session& session, const std::string& name, bool shared = true, bool readOnly = false);
  virtual ~DBSTANDARD();
  DBSTANDARD(const DBSTANDARD&) = delete;
  DBSTANDARD& operator=(const DBSTANDARD&) = delete;

  bool ok() const { return table_ != nullptr && table_->isOpen(); }
  explicit operator bool() const { return ok(); }
  // Why the object has no table; OK while it has one.
  const dbf::Status& status() const { return status_; }
  // Not OK when an index file exists beside the table but could not be attached; the table is
  // then open without index.
  const dbf::Status& indexStatus() const { return indexStatus_; }

  // REQUIRES: ok().
  dbf::Table& table() { return *table_; }
  const dbf::Table& table() const { return *table_; }
  dbf::Table* operator->() { return table_.get(); }
  const dbf::Table* operator->() const { return table_.get(); }

  // Releases the locks and closes the files; the object is then without table. Idempotent.
  dbf::Status close();

  // Positions on a fresh record to fill: the deleted record with the lowest record number when
  // its lock can be taken and it is still deleted under the lock (it is recalled and keeps its
  // old contents), else a newly appended blank record. Either way the record is left locked (the
  // object's other locks are released). False only when the append fails or there is no table.
  bool APPENDRECYCLE();

 protected:
  // For the table classes, which prepare the files before they open.
  DBSTANDARD() = default;
  // The opening of the public constructor, on a resolved or bare name.
  void openTable(dbf::Session& session, const std::string& name, bool shared, bool readOnly);
  void fail(dbf::Status s) { status_ = std::move(s); }

 private:
  std::unique_ptr<dbf::Table> table_;
  dbf::Status status_ = dbf::Status::NotFound("table object not opened");
  dbf::Status indexStatus_;
};

}  // namespace zentor::data
