// Internal: the state of one table object, shared by the table_*.cpp files.
//
// The current record lives in `rec` (the buffer callers read and change) and `disk` (the same
// record as it was read from the file at the last move or lock). Index maintenance computes the
// old keys from `disk` and the new ones from `rec`; expressions read whichever `evalBuf` points to.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cdx.h"
#include "dbf/table.h"
#include "fpt.h"

namespace zentor::dbf {

namespace dbfmt {
constexpr uint8_t kVersionPlain = 0x03;
constexpr uint8_t kVersionMemo = 0xF5;
constexpr uint8_t kFlagStructuralCdx = 0x01;
constexpr uint8_t kLanguageCp850 = 0x02;
constexpr size_t kFieldDescriptor = 32;
constexpr char kEofMarker = 0x1A;

// Byte-range lock positions: one scheme while the CDX is attached, another without it, as the
// other engines on these files use them.
constexpr uint64_t kCdxHeaderLock = 0x7FFFFFFE;
constexpr uint64_t kCdxFileLockOff = 0x77FFFFFF;
constexpr uint64_t kCdxFileLockLen = 0x07FFFFFF;
constexpr uint64_t kPlainHeaderLock = 0x40000000;
constexpr uint64_t kPlainFileLockOff = 0x40000001;
constexpr uint64_t kPlainFileLockLen = 0x3FFFFFFD;
}  // namespace dbfmt

struct TagState {
  TagInfo info;
  Expression key;
};

struct Relation {
  Table* child = nullptr;
  Expression key;
};

struct HeldLock {
  uint32_t recno;
  uint64_t offset;  // where it was taken, so it is released there even if the index changed since
};

struct Table::Impl {
  Table* self = nullptr;
  Session* session = nullptr;
  std::unique_ptr<File> dbf;
  std::unique_ptr<fpt::MemoFile> memo;
  std::string path, alias, memoPath;
  bool shared = true;
  bool readOnly = false;
  bool open = false;

  // structure
  uint8_t version = dbfmt::kVersionPlain;
  uint32_t headerLen = 0;
  uint32_t recordLen = 0;
  std::vector<FieldDef> fields;
  std::vector<uint32_t> offsets;  // of each field inside the record (the flag byte is at 0)
  bool hasMemo = false;

  // current record
  uint32_t recno = 0;  // 1-based; recCount()+1 at end of file
  bool atEof = true;
  bool atBof = false;
  bool isFound = false;
  bool dirty = false;
  std::vector<char> rec, disk, blank, scratch;  // never resized after open: evalBuf may point into them
  const char* evalBuf = nullptr;  // null: the current buffer
  const char* cur() const { return evalBuf ? evalBuf : rec.data(); }
  std::vector<std::optional<std::string>> pendingMemo;  // per field, UTF-8 text to write on flush
  bool anyPendingMemo = false;

  // index
  std::unique_ptr<cdx::CdxFile> cdx;
  std::string cdxPath;
  std::vector<TagState> tags;
  int curTag = -1;
  cdx::Entry curEntry;
  std::string scopeTop, scopeBottom;  // code page 850

  // filter, relations, locks, observers
  RecordPredicate filter;
  std::string filterText;
  std::vector<Relation> relations;
  std::vector<HeldLock> locks;
  std::vector<TableObserver*> observers;
  int suspended = 0;
  std::unique_ptr<Resolver> resolver;

  // ---- helpers (table.cpp) ----
  uint64_t recordOffset(uint32_t n) const { return uint64_t{headerLen} + uint64_t{n - 1} * recordLen; }
  uint64_t recordLockOffset(uint32_t n) const {
    return cdx ? dbfmt::kCdxHeaderLock - n : dbfmt::kPlainHeaderLock + recordOffset(n);
  }
  uint64_t headerLockOffset() const { return cdx ? dbfmt::kCdxHeaderLock : dbfmt::kPlainHeaderLock; }
  Status physicalCount(uint32_t* out) const;
  // Reads record n into rec and disk; *exists false (and nothing read) when n lies past the end.
  Status readRecord(uint32_t n, bool* exists);
  void positionEof(uint32_t count);
  Status positionEof();
  // Writes a dirty buffer (memos first, then the record, then the index keys).
  Status flush();
  Status writeHeaderCount(bool lockHeader);
  Status requireWritable(const char* what) const;
  Status requireLocked(const char* what) const;
  Value fieldValue(int index, const char* buf) const;
  std::string_view raw(int index, const char* buf) const {
    return std::string_view(buf + offsets[static_cast<size_t>(index)], static_cast<size_t>(fields[static_cast<size_t>(index)].width));
  }
  Status memoText(int index, const char* buf, std::string* utf8) const;
  bool holds(uint32_t n) const;
  Status releaseLocks(uint32_t keep);
  Status setStructuralFlag(bool on);

  // ---- index (table_index.cpp) ----
  Status loadTags();
  // The key of tag t for the record in buf, code page 850, exactly keyLength bytes.
  std::string keyFor(int t, const char* buf);
  std::vector<cdx::Entry> collectEntries(int t, const IndexProgress& progress, Status* st);
  // Applies the key changes of one record. When the index reports a failure, looks at what
  // actually landed (a journalled index may have finished the change after all): *applied tells
  // whether the index now holds the new keys; OK means it does, completely.
  Status applyKeys(const std::vector<cdx::KeyChange>& changes, bool* applied);

  // ---- navigation (table_nav.cpp) ----
  bool visible(const std::string* key);
  bool inScope(std::string_view key) const;
  Status naturalStep(int dir, bool* ok);
  Status tagStep(int dir, bool* ok);
  Status positionOnEntry(const cdx::Entry& e, bool* exists);
  Status afterMove();
  void notifyMoved();
  void notifyChanged();
  void notifyRefreshed();
};

// Big-/little-endian helpers used by the table files.
inline uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t le32(const unsigned char* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline void putLe16(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
inline void putLe32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

// Parses a DBF header (first `n` bytes of the file); fills structure fields of `t`.
Status parseHeader(const std::string& path, const unsigned char* h, size_t n, uint64_t fileSize, Table::Impl& t);
// Numeric field text of `width` with `decimals`, right-aligned; false when it does not fit.
bool formatNumber(double v, int width, int decimals, char* out);
double parseNumber(std::string_view raw);
// The path beside `path` with extension `ext` (".FPT", ".CDX"), trying the case of the
// existing extension, then upper and lower case; the upper-case form when none exists.
std::string siblingPath(FileSystem& fs, const std::string& path, const std::string& ext);

}  // namespace zentor::dbf
