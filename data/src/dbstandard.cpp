#include "data/dbstandard.h"

#include "paths.h"

namespace zentor::data {

DBSTANDARD::DBSTANDARD(dbf::Session& session, const std::string& name, bool shared, bool readOnly) {
  openTable(session, name, shared, readOnly);
}

DBSTANDARD::~DBSTANDARD() { close(); }

void DBSTANDARD::openTable(dbf::Session& session, const std::string& name, bool shared, bool readOnly) {
  table_.reset();
  indexStatus_ = dbf::Status::OK();
  std::string file = detail::withDbfExtension(name);
  std::string path = detail::resolveFile(session, file);
  if (path.empty()) {
    status_ = dbf::Status::NotFound("table file " + file + " not found");
    return;
  }
  auto opened = dbf::Table::open(session, path, dbf::OpenOptions{shared, readOnly});
  if (!opened.ok()) {
    status_ = opened.status();
    return;
  }
  table_ = std::move(opened).value();
  status_ = dbf::Status::OK();
  std::string cdx = detail::siblingFile(session.fs(), table_->path(), ".CDX");
  if (!cdx.empty()) indexStatus_ = table_->attachIndex(cdx);
}

dbf::Status DBSTANDARD::close() {
  if (!table_) return dbf::Status::OK();
  dbf::Status s = table_->close();
  table_.reset();
  status_ = dbf::Status::NotFound("table object closed");
  return s;
}

bool DBSTANDARD::APPENDRECYCLE() {
  if (!ok()) return false;
  dbf::Table& t = *table_;
  dbf::Session& session = t.session();
  const bool wasHidden = session.deletedHidden();
  session.setDeletedHidden(false);

  // The search runs on a handle of its own so that it neither moves this object nor disturbs its
  // order, filter or locks. It fails when this object holds the table exclusively; then nobody
  // else appends either and a plain append is right.
  uint32_t candidate = 0;
  {
    auto probe = dbf::Table::open(session, t.path(), dbf::OpenOptions{true, true});
    if (probe.ok()) {
      dbf::Table& p = *probe.value();
      p.setFilter([](const dbf::Table& r) { return r.deleted(); }, "deleted()");
      if (p.goTop().ok() && !p.eof() && p.deleted()) candidate = p.recno();
      p.close();
    }
  }

  t.suspendNotify();
  bool success = false;
  if (candidate > 0 && t.go(candidate).ok() && t.deleted() && t.lock()) {
    // Another workstation may have reused the record between the search and the lock: only the
    // state read under the lock counts.
    if (t.skip(0).ok() && t.deleted()) {
      // Written at once, so that a rival that locks the record after us sees it taken.
      success = t.recall().ok() && t.commit().ok();
    }
  }
  if (!success) success = t.append().ok();
  session.setDeletedHidden(wasHidden);
  t.resumeNotify();
  return success;
}

}  // namespace zentor::data
