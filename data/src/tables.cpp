#include "data/tables.h"

#include <cctype>
#include <chrono>
#include <thread>

#include "paths.h"

namespace zentor::data {
namespace {

// Restores the engine's default directory when the preparation ends, however it ends.
class DefaultDirectoryGuard {
 public:
  explicit DefaultDirectoryGuard(dbf::Session& s) : s_(s), saved_(s.defaultDirectory()) {}
  ~DefaultDirectoryGuard() { s_.setDefaultDirectory(saved_); }
  DefaultDirectoryGuard(const DefaultDirectoryGuard&) = delete;
  DefaultDirectoryGuard& operator=(const DefaultDirectoryGuard&) = delete;

 private:
  dbf::Session& s_;
  std::string saved_;
};

void removeIfPresent(dbf::FileSystem& fs, const std::string& path) {
  if (fs.exists(path)) fs.remove(path);
}

dbf::OpenOptions exclusive() { return dbf::OpenOptions{false, false}; }

bool isLive(const dbf::Table& t) { return !t.deleted(); }

// Compacts APO, open exclusively in `apo`, by copying its live records into APOTMP beside it.
// On return `apo` is again APO open exclusively, or empty when reopening the new file failed.
// The old files are replaced only by a copy with as many records as APO has live ones; until the
// new files are in place the old ones are merely renamed, so no failure loses positions.
void compactApo(dbf::Session& s, std::unique_ptr<dbf::Table>& apo) {
  dbf::FileSystem& fs = s.fs();
  const std::string dbfPath = apo->path();
  const std::string dir = detail::directoryOf(dbfPath);
  const std::string tmpDbf = dir + kApoTmpName + ".DBF";
  const std::string tmpFpt = dir + kApoTmpName + ".FPT";
  const std::string oldDbf = dir + "APOOLD.DBF";
  const std::string oldFpt = dir + "APOOLD.FPT";
  std::string fptPath = detail::siblingFile(fs, dbfPath, ".FPT");

  auto discardCopy = [&] {
    removeIfPresent(fs, tmpDbf);
    removeIfPresent(fs, tmpFpt);
  };

  auto live = apo->count(isLive);
  if (!live.ok()) return;
  discardCopy();  // leftovers of an interrupted run
  if (!apo->copyTo(tmpDbf, isLive).ok()) {
    discardCopy();
    return;
  }
  uint32_t copied = 0;
  {
    auto tmp = dbf::Table::open(s, tmpDbf, exclusive());
    if (!tmp.ok()) {
      discardCopy();
      return;
    }
    copied = tmp.value()->recCount();
    tmp.value()->close();
  }
  if (copied != live.value()) {
    discardCopy();
    return;
  }

  apo->close();
  apo.reset();
  const bool hadFpt = !fptPath.empty();
  const bool newFpt = fs.exists(tmpFpt);
  bool moved = fs.rename(dbfPath, oldDbf).ok();
  bool fptMoved = moved && hadFpt && fs.rename(fptPath, oldFpt).ok();
  if (moved && hadFpt && !fptMoved) {
    fs.rename(oldDbf, dbfPath);
    moved = false;
  }
  if (moved) {
    const std::string newFptPath = detail::withoutExtension(dbfPath) + ".FPT";
    bool placed = fs.rename(tmpDbf, dbfPath).ok();
    if (placed && newFpt && !fs.rename(tmpFpt, newFptPath).ok()) {
      fs.rename(dbfPath, tmpDbf);
      placed = false;
    }
    if (placed) {
      removeIfPresent(fs, oldDbf);
      removeIfPresent(fs, oldFpt);
    } else {
      fs.rename(oldDbf, dbfPath);
      if (fptMoved) fs.rename(oldFpt, fptPath);
    }
  }
  discardCopy();

  auto reopened = dbf::Table::open(s, dbfPath, exclusive());
  if (reopened.ok()) apo = std::move(reopened).value();
}

// Step 3 of the opening: with the index file missing, remove the deleted records and build the
// tags. Does nothing when the table cannot be had exclusively.
void buildIndex(dbf::Session& s, const TableDef& def, const std::string& dbfPath,
                Progress* progress, uint32_t total) {
  auto opened = dbf::Table::open(s, dbfPath, exclusive());
  if (!opened.ok()) return;
  std::unique_ptr<dbf::Table> t = std::move(opened).value();

  if (def.name == "APO")
    compactApo(s, t);
  else
    t->pack();
  if (!t) return;

  dbf::IndexProgress perRecord;
  if (progress) {
    progress->UPDATETXT(def.label);
    perRecord = [progress, total](uint32_t recno, uint32_t recCount) {
      progress->UPDATEBAR(total, recCount, recno);
    };
  }

  const std::string dir = detail::directoryOf(t->path());
  const std::string cdxPath = detail::withoutExtension(t->path()) + ".CDX";
  bool built = true;
  {
    DefaultDirectoryGuard guard(s);
    s.setDefaultDirectory(dir);
    for (const TagDef& tag : def.tags) {
      if (!t->createTag(tag.name, tag.expression, perRecord, cdxPath).ok()) {
        built = false;
        break;
      }
    }
  }
  t->close();
  // An index file with only some of the tags would be taken as complete by every later open;
  // without it the next object builds it again.
  if (!built) removeIfPresent(s.fs(), cdxPath);
}

// KRS: the number ranges live in its single record, so it is born with one. The record is
// written under an exclusive open, after checking there that the table is still empty, so of
// several stations creating the table at once exactly one writes it.
bool seedSingleRecord(dbf::Session& s, const std::string& path) {
  auto t = dbf::Table::open(s, path, dbf::OpenOptions{false, false});
  if (!t.ok()) return false;
  dbf::Table& krs = *t.value();
  bool seeded = krs.recCount() > 0;
  if (!seeded) {
    seeded = krs.append().ok();
    for (const dbf::FieldDef& f : krs.fields()) seeded = seeded && krs.put(f.name, dbf::Value(0)).ok();
    seeded = seeded && krs.commit().ok();
  }
  krs.close();
  return seeded;
}

// Until the table holds its record: a rival that is creating it may be writing it right now
// (its exclusive open refuses ours for that moment), or it died before, and then we write it.
bool ensureSingleRecord(dbf::Session& s, const std::string& path) {
  for (int attempt = 0; attempt < 3000; ++attempt) {
    bool empty = false;
    {
      auto t = dbf::Table::open(s, path, dbf::OpenOptions{true, true});
      if (t.ok() && t.value()->recCount() > 0) return true;
      empty = t.ok();  // refused: a rival holds it exclusively, writing the record right now
    }
    if ((empty || attempt >= 2000) && seedSingleRecord(s, path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

bool isFourDigitYear(const std::string& y) {
  if (y.size() != 4) return false;
  for (char c : y)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

void CatalogueTable::prepareAndOpen(const Env& env, const std::string& fileStem, bool shared,
                                    bool readOnly, Progress* progress, uint32_t total) {
  if (!env.session) {
    fail(dbf::Status::InvalidArgument("no table session"));
    return;
  }
  dbf::Session& s = *env.session;
  DefaultDirectoryGuard guard(s);
  const bool customer = def_->directory == DirectoryKind::kCustomer;
  const std::string file = fileStem + ".DBF";
  const std::string home = customer ? env.customerDir : env.dataDir;

  std::string path = customer ? detail::findInDirectory(s.fs(), home, file) : detail::resolveFile(s, file);
  if (path.empty()) {
    path = detail::joinPath(home, file);
    dbf::Status created = dbf::Table::create(s, path, def_->fields);
    if (!created.ok() && !s.fs().exists(path)) {
      fail(created);
      return;
    }
  }
  if (!def_->indexed() && !ensureSingleRecord(s, path)) {
    fail(dbf::Status::IoError("could not write the first record of " + path));
    return;
  }

  if (def_->indexed() && detail::siblingFile(s.fs(), path, ".CDX").empty())
    buildIndex(s, *def_, path, progress, total);

  openTable(s, path, shared, readOnly);
}

#define ZENTOR_DATA_TABLE_CTOR(CLASS, TABLE)                                                   \
  CLASS::CLASS(const Env& env, bool shared, bool readOnly, Progress* progress, uint32_t total) \
      : CatalogueTable(tableDef(TABLE)) {                                                      \
    prepareAndOpen(env, TABLE, shared, readOnly, progress, total);                             \
  }

ZENTOR_DATA_TABLE_CTOR(DBAGR, "AGR")
ZENTOR_DATA_TABLE_CTOR(DBART, "ART")
ZENTOR_DATA_TABLE_CTOR(DBKND, "KND")
ZENTOR_DATA_TABLE_CTOR(DBKGR, "KGR")
ZENTOR_DATA_TABLE_CTOR(DBLND, "LND")
ZENTOR_DATA_TABLE_CTOR(DBMWS, "MWS")
ZENTOR_DATA_TABLE_CTOR(DBTXT, "TXT")
ZENTOR_DATA_TABLE_CTOR(DBAKO, "AKO")
ZENTOR_DATA_TABLE_CTOR(DBAPO, "APO")
ZENTOR_DATA_TABLE_CTOR(DBKRS, "KRS")

#undef ZENTOR_DATA_TABLE_CTOR

DBUMS::DBUMS(const Env& env, bool shared, bool readOnly, Progress* progress, uint32_t total,
             const std::string& year)
    : CatalogueTable(tableDef("UMS")),
      year_(year.empty() ? std::to_string(dbf::Date::today().year()) : year) {
  if (!isFourDigitYear(year_)) {
    fail(dbf::Status::InvalidArgument("sales year must be four digits: '" + year_ + "'"));
    return;
  }
  prepareAndOpen(env, "UMS" + year_, shared, readOnly, progress, total);
}

}  // namespace zentor::data
