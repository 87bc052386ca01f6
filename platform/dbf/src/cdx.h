// Internal: one compound index file (.CDX) with its tags, as the table object uses it.
//
// Keys are code-page-850 byte strings of exactly the tag's key length (character keys padded with
// blanks); entries are ordered by key through collateCompare() and, for equal keys, by record
// number ascending. Every public operation takes the CDX file lock itself (shared for reads,
// exclusive for writes, both waiting), re-validates the page cache against the change counter,
// and releases the lock before it returns, so no lock is held between calls and another process
// may change the index between any two calls. Positions are therefore carried by value (key and
// record number), never as page pointers.
//
// Beside the index lives its write-ahead journal (journalPath(): same name, extension ".CDJ"), a
// private file other engines ignore. It lets the next opener finish or discard a change that a
// killed writer left half-written. Whoever deletes or renames an index file should treat the
// journal alike; create() resets it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/filesystem.h"
#include "dbf/status.h"
#include "dbf/table.h"

namespace zentor::dbf::cdx {

struct Entry {
  std::string key;  // keyLength bytes, code page 850
  uint32_t recno = 0;
  friend bool operator==(const Entry&, const Entry&) = default;
};

// One change of one tag caused by one record change.
struct KeyChange {
  int tag = 0;                        // index into tags()
  std::optional<std::string> oldKey;  // remove (oldKey, recno) when set
  std::optional<std::string> newKey;  // insert (newKey, recno) when set
  uint32_t recno = 0;
};

class CdxFile {
 public:
  virtual ~CdxFile() = default;

  // Opens an existing CDX. Fails with Corruption on a header or directory that does not make sense.
  static Result<std::unique_ptr<CdxFile>> open(FileSystem& fs, const std::string& path, bool readOnly);
  // Creates an empty CDX (tag directory only), replacing any file of that name.
  static Result<std::unique_ptr<CdxFile>> create(FileSystem& fs, const std::string& path);

  virtual const std::string& path() const = 0;
  // The journal file that belongs to an index path ("X.CDX" -> "X.CDJ", "x.cdx" -> "x.cdj").
  static std::string journalPath(const std::string& cdxPath);

  // Tags in creation order (re-read when the file changed).
  virtual Result<std::vector<TagInfo>> tags() = 0;

  // Adds a tag built from `entries` (any order; sorted here) and writes it to the file. An
  // existing tag of that name is replaced.
  virtual Status addTag(const std::string& name, const std::string& expression, int keyLength,
                        std::vector<Entry> entries) = 0;
  // Replaces the contents of an existing tag (reindex, pack, zap).
  virtual Status rebuildTag(int tag, std::vector<Entry> entries) = 0;

  // Applies all changes of one record under one exclusive lock and one change-counter bump.
  // Removing an entry that is not there is not an error (another engine may have fixed it).
  virtual Status apply(const std::vector<KeyChange>& changes) = 0;

  // First entry whose key, cut to prefix.size() bytes, is not less than `prefix` (and, when the
  // cut key equals the prefix, whose record number is >= minRecno). nullopt at end.
  virtual Result<std::optional<Entry>> lowerBound(int tag, std::string_view prefix, uint32_t minRecno = 0) = 0;
  // Neighbours of a position given by value; the position itself need not exist any more.
  virtual Result<std::optional<Entry>> next(int tag, const Entry& after) = 0;
  virtual Result<std::optional<Entry>> prev(int tag, const Entry& before) = 0;
  virtual Result<std::optional<Entry>> first(int tag) = 0;
  virtual Result<std::optional<Entry>> last(int tag) = 0;

  // Walks every entry of a tag in order under one shared lock (checks, dumps, bulk reads).
  // REQUIRES: `visit` does not call this object (the lock is held while it runs).
  virtual Status scan(int tag, const std::function<bool(const Entry&)>& visit) = 0;

  // Structural check of every tag: page types and bounds, sorted keys, interior entries equal to
  // their children's last entries, sibling chains, no cycles, free list sane. Appends readable
  // problems naming the file and tag.
  virtual Status check(std::vector<std::string>* problems) = 0;
};

}  // namespace zentor::dbf::cdx
