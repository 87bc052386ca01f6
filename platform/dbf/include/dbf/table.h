// A table object: one open handle on a DBF file with its FPT memo file and an attached CDX.
//
// Every table object is its own work area: its own current record, order, filter, scope and
// locks. Two table objects on the same file (in one process or in two) exclude each other's locks
// exactly as two workstations do. Every move reads the record as it stands on disk now, so a change
// made through another handle is seen at the next move; nothing is cached across moves but index
// pages, and those only while the index's change counter says they are current.
//
// Nothing is locked implicitly: callers lock the record before they change it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/expr.h"
#include "dbf/session.h"
#include "dbf/status.h"
#include "dbf/value.h"

namespace zentor::dbf {

struct FieldDef {
  std::string name;  // up to 10 characters, stored upper case
  char type = 'C';   // 'C' text, 'N' numeric, 'D' date, 'L' logical, 'M' memo
  int width = 0;     // D is always 8, L 1, M 10
  int decimals = 0;
  friend bool operator==(const FieldDef&, const FieldDef&) = default;
};

struct TagInfo {
  std::string name;        // upper case
  std::string expression;  // key expression as stored
  int keyLength = 0;
  bool unique = false;
  bool hasCondition = false;
  bool descending = false;
};

struct OpenOptions {
  bool shared = true;
  bool readOnly = false;
};

// Per-record callback of tag creation: (record number being indexed, physical record count).
using IndexProgress = std::function<void(uint32_t recno, uint32_t recCount)>;

class Table;

// Told about moves and changes of a table object (lists and forms bound to it).
class TableObserver {
 public:
  virtual ~TableObserver() = default;
  virtual void tableMoved(Table& t) { (void)t; }          // the current record changed
  virtual void recordChanged(Table& t) { (void)t; }       // the current record's contents changed
  virtual void tableRefreshed(Table& t) { (void)t; }      // everything may have changed (resume, pack, zap, order)
  virtual void tableClosing(Table& t) { (void)t; }
};

// A predicate over the current record.
using RecordPredicate = std::function<bool(const Table&)>;

class Table {
 public:
  // Creates the file (DBF, and FPT when a memo field is listed); the file exists when this
  // returns OK. Fails when it exists already unless `overwrite`. The path follows
  // Session::pathForNewFile.
  static Status create(Session& s, const std::string& path, const std::vector<FieldDef>& fields,
                       bool overwrite = false);
  // Opens an existing table; the name is resolved by Session::findFile (".DBF" is added when the
  // name has no extension). Never attaches an index by itself. An exclusive open fails with
  // Status::Locked while any other handle has the file open; a shared open fails while one holds
  // it exclusively.
  static Result<std::unique_ptr<Table>> open(Session& s, const std::string& path,
                                             const OpenOptions& opts = {});

  ~Table();  // closes, never throws
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // Releases all locks, detaches the index, closes the files. Idempotent.
  Status close();
  bool isOpen() const;

  Session& session() const;
  const std::string& path() const;   // full path of the DBF
  const std::string& alias() const;  // file name without directory and extension, upper case
  bool shared() const;
  bool readOnly() const;

  // ---- structure ----
  const std::vector<FieldDef>& fields() const;
  int fieldCount() const;
  int fieldIndex(std::string_view name) const;  // case-insensitive; -1 when missing
  uint32_t recCount() const;  // physical count, deleted included, from the file size right now
  // File header date of last update.
  Date lastUpdate() const;

  // ---- index ----
  // Attaches a CDX; its first tag controls until another is selected.
  Status attachIndex(const std::string& cdxPath);
  Status detachIndex();
  bool hasIndex() const;
  const std::string& indexPath() const;
  std::vector<TagInfo> tags() const;
  // Selects the controlling tag by name (case-insensitive); an empty name selects natural order.
  Status selectTag(std::string_view name);
  std::string currentTag() const;  // empty in natural order
  // Creates a tag over all records (deleted included) in the attached CDX, creating the CDX file
  // first when none is attached (and attaching it, with the DBF's "structural" flag set when the
  // CDX has the table's name). Needs the table open exclusively or the caller alone on the file.
  Status createTag(std::string_view tagName, std::string_view keyExpression,
                   const IndexProgress& progress = {}, const std::string& cdxPath = {});
  // Rebuilds every tag of the attached index from the records (REINDEX).
  Status reindex(const IndexProgress& progress = {});

  // ---- navigation (in the order of the selected tag, or natural order) ----
  // Each honours deletedHidden, the filter and the scope. At end of file the record number is
  // recCount()+1 and the fields read blank.
  Status goTop();
  Status goBottom();
  Status skip(int64_t n = 1);  // skip(0) re-reads the current record from disk
  Status go(uint32_t recno);   // any record, whatever filter, scope or deleted flag say
  bool eof() const;
  bool bof() const;
  uint32_t recno() const;
  // Seek in the controlling tag. `key` is UTF-8 text; found when an index key begins with it.
  // Soft (default from the session): a miss positions on the next greater key, else end of file.
  // Not soft: a miss goes to end of file.
  Status seek(std::string_view key);
  Status seek(std::string_view key, bool soft);
  bool found() const;
  // The key of the controlling tag at the current position, as the index holds it (code page 850,
  // the tag's key length); empty in natural order or at end of file. A reader walking a tag sees
  // these in order even while another station changes a record between its index and its data.
  std::string_view currentKey() const;
  // The record numbers of the current order within the scope, read from the index keys alone
  // (natural order: 1..recCount()); no record is read, so neither the deleted flag nor the filter
  // is applied: a caller showing them tests each record when it reads it. The current record
  // does not move.
  Status orderRecnos(std::vector<uint32_t>* out) const;

  // Filter: records for which the predicate is false are skipped by navigation.
  Status setFilter(std::string_view expression);  // compiled against this table's fields
  void setFilter(RecordPredicate pred, std::string text);
  void clearFilter();
  const std::string& filterText() const;

  // Scope on the controlling tag: keys whose first bytes lie between top and bottom (inclusive,
  // compared on the length of the bound). Empty bound = open. Cleared by selecting another tag.
  Status setScope(std::string_view top, std::string_view bottom);
  void clearScope();

  // Selective relation: after every move of this table, `child` is restricted (scope top = bottom)
  // to the value of `keyExpression` evaluated on this table's record, and goes to its first match.
  Status setRelation(Table& child, std::string_view keyExpression);
  void clearRelations();

  // ---- record ----
  bool deleted() const;
  Status deleteRecord();  // marks the current record; REQUIRES: the record is locked (or exclusive)
  Status recall();
  // Writes a changed record buffer, the header's record count and date, and flushes.
  Status commit();
  // Appends a blank record and leaves it locked (releasing this object's other locks), following
  // the shared-append protocol: header lock, count from the file size, lock the new record, write
  // record and header, release the header lock.
  Status append();

  // Field access; text is UTF-8. get of a memo gives its text. put marks the buffer dirty; commit
  // (or any move) writes it. Putting text longer than the field cuts it; a number that does not
  // fit its width is refused with InvalidArgument.
  Value get(int index) const;
  Value get(std::string_view name) const;
  std::string getString(std::string_view name) const;       // as stored, trailing blanks kept
  double getNumber(std::string_view name) const;
  Date getDate(std::string_view name) const;
  bool getLogical(std::string_view name) const;
  // The raw bytes of a field as stored in the record (code page 850), for key building.
  std::string_view rawField(int index) const;
  Status put(int index, const Value& v);
  Status put(std::string_view name, const Value& v);

  // ---- locks ----
  // One attempt at the current record; releases this object's other record locks first.
  bool lock();
  bool lockRecord(uint32_t recno);  // same, for any record
  Status unlock();                   // releases every record lock of this object
  Status unlock(uint32_t recno);
  bool isLocked(uint32_t recno) const;  // held by this object
  std::vector<uint32_t> lockedRecords() const;

  // ---- whole-table operations ----
  Status pack();  // REQUIRES exclusive; removes deleted records, compacts memos, rebuilds tags
  Status zap();   // REQUIRES exclusive; removes every record, empties tags
  // Appends every record of another table file (deleted ones hidden per session setting); fields
  // matched by name, text cut or padded to the new width, numbers re-formatted; memos along.
  Status appendFrom(const std::string& path);
  // Writes the records meeting `pred` (all when empty) into a new table of the same structure,
  // memo texts along, in the current order. Honours deletedHidden and the filter.
  Status copyTo(const std::string& path, const RecordPredicate& pred = {});
  // Visits every record from the top in the current order (filter, scope and deletedHidden
  // honoured); the visitor returns false to stop. Leaves the table at end of file or where stopped.
  Status eval(const std::function<bool(Table&)>& visit, const RecordPredicate& pred = {});
  Result<uint32_t> count(const RecordPredicate& pred = {});

  // ---- expressions over this table ----
  // A resolver for this table's fields (also ALIAS.FIELD / ALIAS->FIELD), recno(), deleted().
  Resolver& resolver();

  // ---- observers ----
  void addObserver(TableObserver* o);
  void removeObserver(TableObserver* o);
  // Nested; while suspended nothing is told; the last resume tells tableRefreshed.
  void suspendNotify();
  void resumeNotify();

  // ---- integrity ----
  // Checks header against file size, memo blocks in bounds and not overlapping, and for every
  // tag of the attached index: sorted, interior keys equal their children's last keys, sibling
  // chains, one key per record, each key equal to its expression on its record.
  std::vector<std::string> check();

  struct Impl;

 private:
  explicit Table(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Checks a DBF file (with its FPT and the CDX of the same name when present) without the caller
// opening it; the list of problems is empty for a sound file. A file that cannot be read at all
// gives one problem naming why.
std::vector<std::string> checkTableFile(Session& s, const std::string& path);

}  // namespace zentor::dbf
