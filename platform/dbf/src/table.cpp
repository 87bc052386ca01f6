// Table object: files, structure, the record buffer, field access, locks, observers.
#include "dbf/table.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "dbf/codepage.h"
#include "table_impl.h"

namespace zentor::dbf {
namespace {

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

size_t nameStart(const std::string& p) {
  size_t s = p.find_last_of("/\\");
  return s == std::string::npos ? 0 : s + 1;
}

bool hasExtension(const std::string& p) { return p.find('.', nameStart(p)) != std::string::npos; }

std::string upperAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
std::string lowerAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

ValueType valueTypeOf(char t) {
  switch (t) {
    case 'C':
    case 'M': return ValueType::kCharacter;
    case 'N': return ValueType::kNumeric;
    case 'D': return ValueType::kDate;
    case 'L': return ValueType::kLogical;
  }
  return ValueType::kNil;
}

class FieldSource final : public ValueSource {
 public:
  FieldSource(const Table::Impl* t, int idx) : t_(t), idx_(idx) {}
  Value get() const override {
    if (!t_->open) return Value();
    return t_->fieldValue(idx_, t_->cur());
  }
  ValueType type() const override { return valueTypeOf(t_->fields[static_cast<size_t>(idx_)].type); }

 private:
  const Table::Impl* t_;
  int idx_;
};

class RecordFunctionSource final : public ValueSource {
 public:
  RecordFunctionSource(const Table::Impl* t, RecordFunction fn) : t_(t), fn_(fn) {}
  Value get() const override {
    switch (fn_) {
      case RecordFunction::kRecno: return Value(t_->recno);
      case RecordFunction::kDeleted: return Value::logical(t_->cur()[0] == '*');
      case RecordFunction::kEof: return Value::logical(t_->atEof);
      case RecordFunction::kBof: return Value::logical(t_->atBof);
      case RecordFunction::kFound: return Value::logical(t_->isFound);
      case RecordFunction::kRecCount: {
        uint32_t n = 0;
        if (t_->open) t_->physicalCount(&n);
        return Value(n);
      }
    }
    return Value();
  }
  ValueType type() const override {
    return fn_ == RecordFunction::kRecno || fn_ == RecordFunction::kRecCount ? ValueType::kNumeric
                                                                               : ValueType::kLogical;
  }

 private:
  const Table::Impl* t_;
  RecordFunction fn_;
};

// Names resolve to this table's fields; an alias of another table open in the same session
// resolves to that table's fields, so report and relation expressions can reach both.
class TableResolver final : public Resolver {
 public:
  explicit TableResolver(Table::Impl* t) : t_(t) {}
  std::shared_ptr<const ValueSource> resolve(std::string_view alias, std::string_view name) override {
    if (!alias.empty() && !iequals(alias, t_->alias)) {
      Table* other = find(alias);
      return other ? other->resolver().resolve({}, name) : nullptr;
    }
    int idx = t_->self->fieldIndex(name);
    if (idx < 0) return nullptr;
    return std::make_shared<FieldSource>(t_, idx);
  }
  std::shared_ptr<const ValueSource> recordFunction(std::string_view alias, RecordFunction fn) override {
    if (!alias.empty() && !iequals(alias, t_->alias)) {
      Table* other = find(alias);
      return other ? other->resolver().recordFunction({}, fn) : nullptr;
    }
    return std::make_shared<RecordFunctionSource>(t_, fn);
  }

 private:
  Table* find(std::string_view alias) {
    for (Table* o : t_->session->openTables())
      if (o != t_->self && iequals(o->alias(), alias)) return o;
    return nullptr;
  }
  Table::Impl* t_;
};

Status validateFields(const std::vector<FieldDef>& in, std::vector<FieldDef>* out) {
  if (in.empty()) return Status::InvalidArgument("a table needs at least one field");
  if (in.size() > 2046) return Status::InvalidArgument("too many fields");
  uint32_t recLen = 1;
  for (const FieldDef& f0 : in) {
    FieldDef f = f0;
    f.name = upperAscii(f.name);
    f.type = static_cast<char>(std::toupper(static_cast<unsigned char>(f.type)));
    if (f.name.empty() || f.name.size() > 10 || !std::isalpha(static_cast<unsigned char>(f.name[0])))
      return Status::InvalidArgument("bad field name '" + f0.name + "'");
    for (char c : f.name)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
        return Status::InvalidArgument("bad field name '" + f0.name + "'");
    for (const FieldDef& g : *out)
      if (g.name == f.name) return Status::InvalidArgument("field " + f.name + " is listed twice");
    switch (f.type) {
      case 'C':
        if (f.width < 1 || f.width > 65000) return Status::InvalidArgument("bad width of field " + f.name);
        f.decimals = 0;
        break;
      case 'N':
        if (f.width < 1 || f.width > 20) return Status::InvalidArgument("bad width of field " + f.name);
        if (f.decimals < 0 || (f.decimals > 0 && f.decimals > f.width - 2) || f.decimals > 15)
          return Status::InvalidArgument("bad decimals of field " + f.name);
        break;
      case 'D': f.width = 8; f.decimals = 0; break;
      case 'L': f.width = 1; f.decimals = 0; break;
      case 'M': f.width = 10; f.decimals = 0; break;
      default: return Status::InvalidArgument("field " + f.name + " has unknown type '" + std::string(1, f.type) + "'");
    }
    recLen += static_cast<uint32_t>(f.width);
    if (recLen > 65535) return Status::InvalidArgument("record longer than 65535 bytes");
    out->push_back(f);
  }
  return Status::OK();
}

void writeDate(unsigned char* p, Date d) {
  if (d.empty()) d = Date::fromYmd(2000, 1, 1);
  p[0] = static_cast<unsigned char>(std::clamp(d.year() - 1900, 0, 255));
  p[1] = static_cast<unsigned char>(d.month());
  p[2] = static_cast<unsigned char>(d.day());
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Free helpers of table_impl.h

bool formatNumber(double v, int width, int decimals, char* out) {
  if (!std::isfinite(v)) return false;
  char tmp[400];
  int len;
  double p = std::pow(10.0, decimals);
  double x = v * p;
  if (std::fabs(x) < 9e15) {
    double ax = std::fabs(x);
    double r = std::floor(ax);
    // Halves round away from zero, also when the binary value lies a hair below the half.
    if (ax - r >= 0.5 - std::max(1.0, ax) * 1e-14) r += 1;
    uint64_t digits = static_cast<uint64_t>(r);
    char d[32];
    int n = std::snprintf(d, sizeof d, "%0*llu", decimals + 1, static_cast<unsigned long long>(digits));
    len = 0;
    if (v < 0 && digits != 0) tmp[len++] = '-';
    std::memcpy(tmp + len, d, static_cast<size_t>(n - decimals));
    len += n - decimals;
    if (decimals > 0) {
      tmp[len++] = '.';
      std::memcpy(tmp + len, d + n - decimals, static_cast<size_t>(decimals));
      len += decimals;
    }
  } else {
    len = std::snprintf(tmp, sizeof tmp, "%.*f", decimals, v);
    if (len < 0 || len >= static_cast<int>(sizeof tmp)) return false;
  }
  if (len > width) return false;
  std::memset(out, ' ', static_cast<size_t>(width - len));
  std::memcpy(out + (width - len), tmp, static_cast<size_t>(len));
  return true;
}

double parseNumber(std::string_view raw) {
  size_t i = 0;
  while (i < raw.size() && raw[i] == ' ') ++i;
  size_t j = raw.size();
  while (j > i && raw[j - 1] == ' ') --j;
  if (i == j) return 0;
  const char* b = raw.data() + i;
  const char* e = raw.data() + j;
  if (*b == '+') ++b;
  double v = 0;
  auto res = std::from_chars(b, e, v);
  if (res.ec != std::errc()) return 0;
  return v;
}

std::string siblingPath(FileSystem& fs, const std::string& path, const std::string& ext) {
  size_t start = nameStart(path);
  size_t dot = path.find_last_of('.');
  std::string base = (dot == std::string::npos || dot < start) ? path : path.substr(0, dot);
  std::string oldExt = (dot == std::string::npos || dot < start) ? std::string() : path.substr(dot);
  bool lowerCase = !oldExt.empty() && oldExt == lowerAscii(oldExt) && oldExt != upperAscii(oldExt);
  std::string preferred = base + (lowerCase ? lowerAscii(ext) : upperAscii(ext));
  std::string dir = path.substr(0, start);
  std::string name = base.substr(start);
  const std::string candidates[] = {preferred, base + upperAscii(ext), base + lowerAscii(ext),
                                    dir + upperAscii(name) + upperAscii(ext), dir + lowerAscii(name) + lowerAscii(ext)};
  for (const std::string& c : candidates)
    if (fs.exists(c)) return c;
  return preferred;
}

Status parseHeader(const std::string& path, const unsigned char* h, size_t n, uint64_t fileSize, Table::Impl& t) {
  if (n < 32 || fileSize < 32) return Status::Corruption(path + ": file too short for a table header");
  t.version = h[0];
  t.headerLen = le16(h + 8);
  t.recordLen = le16(h + 10);
  if (t.headerLen < 32 + 32 + 1) return Status::Corruption(path + ": header length " + std::to_string(t.headerLen) + " too small");
  if (t.headerLen > fileSize)
    return Status::Corruption(path + ": header length " + std::to_string(t.headerLen) + " exceeds the file size");
  if (n < t.headerLen) return Status::Corruption(path + ": header truncated");
  if (t.recordLen < 2) return Status::Corruption(path + ": record length " + std::to_string(t.recordLen) + " too small");
  t.fields.clear();
  t.offsets.clear();
  t.hasMemo = false;
  uint32_t pos = 32;
  uint32_t off = 1;
  while (pos < t.headerLen && h[pos] != 0x0D) {
    if (pos + 32 > t.headerLen) return Status::Corruption(path + ": field descriptors run past the header");
    const unsigned char* d = h + pos;
    FieldDef f;
    size_t len = 0;
    while (len < 11 && d[len] != 0) ++len;
    f.name.assign(reinterpret_cast<const char*>(d), len);
    while (!f.name.empty() && f.name.back() == ' ') f.name.pop_back();
    f.name = upperAscii(f.name);
    f.type = static_cast<char>(std::toupper(d[11]));
    f.width = d[16];
    f.decimals = d[17];
    if (f.name.empty()) return Status::Corruption(path + ": field " + std::to_string(t.fields.size() + 1) + " has no name");
    switch (f.type) {
      case 'C': f.width = d[16] | (d[17] << 8); f.decimals = 0; break;
      case 'F': f.type = 'N'; [[fallthrough]];
      case 'N':
        if (f.width > 20 + 235) return Status::Corruption(path + ": field " + f.name + " too wide");
        break;
      case 'D':
        if (f.width != 8) return Status::Corruption(path + ": date field " + f.name + " is not 8 wide");
        break;
      case 'L':
        if (f.width != 1) return Status::Corruption(path + ": logical field " + f.name + " is not 1 wide");
        break;
      case 'M':
        if (f.width != 10)
          return Status::NotSupported(path + ": memo field " + f.name + " of width " + std::to_string(f.width));
        t.hasMemo = true;
        break;
      default:
        return Status::NotSupported(path + ": field " + f.name + " has type '" + std::string(1, f.type) + "'");
    }
    if (f.width < 1) return Status::Corruption(path + ": field " + f.name + " has width 0");
    t.offsets.push_back(off);
    off += static_cast<uint32_t>(f.width);
    t.fields.push_back(std::move(f));
    pos += 32;
  }
  if (pos >= t.headerLen) return Status::Corruption(path + ": field descriptors lack their terminator");
  if (t.fields.empty()) return Status::Corruption(path + ": table has no fields");
  if (off != t.recordLen)
    return Status::Corruption(path + ": record length " + std::to_string(t.recordLen) + " does not match the fields (" +
                              std::to_string(off) + ")");
  return Status::OK();
}

// ---------------------------------------------------------------------------------------------
// Impl helpers

Status Table::Impl::physicalCount(uint32_t* out) const {
  uint64_t size = 0;
  Status st = dbf->size(&size);
  if (!st.ok()) return st;
  *out = size <= headerLen ? 0 : static_cast<uint32_t>(std::min<uint64_t>((size - headerLen) / recordLen, 0xFFFFFFFEu));
  return Status::OK();
}

Status Table::Impl::readRecord(uint32_t n, bool* exists) {
  *exists = false;
  if (n == 0) return Status::OK();
  size_t got = 0;
  // Into the scratch buffer first: a record that is not there must not clobber the current one.
  Status st = dbf->read(recordOffset(n), scratch.data(), recordLen, &got);
  if (!st.ok()) return st;
  if (got < recordLen) return Status::OK();
  std::memcpy(disk.data(), scratch.data(), recordLen);
  std::memcpy(rec.data(), scratch.data(), recordLen);
  recno = n;
  atEof = false;
  dirty = false;
  if (anyPendingMemo) {
    for (auto& p : pendingMemo) p.reset();
    anyPendingMemo = false;
  }
  *exists = true;
  return Status::OK();
}

void Table::Impl::positionEof(uint32_t count) {
  recno = count + 1;
  atEof = true;
  dirty = false;
  std::memcpy(rec.data(), blank.data(), recordLen);
  std::memcpy(disk.data(), blank.data(), recordLen);
  if (anyPendingMemo) {
    for (auto& p : pendingMemo) p.reset();
    anyPendingMemo = false;
  }
}

Status Table::Impl::positionEof() {
  uint32_t n = 0;
  Status st = physicalCount(&n);
  positionEof(n);
  return st;
}

Status Table::Impl::requireWritable(const char* what) const {
  if (!open) return Status::InvalidArgument(std::string(what) + ": table is closed");
  if (readOnly) return Status::ReadOnly(std::string(what) + ": " + path + " is open read-only");
  return Status::OK();
}

Status Table::Impl::requireLocked(const char* what) const {
  if (atEof) return Status::InvalidArgument(std::string(what) + ": " + path + " is at end of file");
  if (!shared || holds(recno)) return Status::OK();
  return Status::Locked(std::string(what) + ": record " + std::to_string(recno) + " of " + path + " is not locked");
}

bool Table::Impl::holds(uint32_t n) const {
  for (const HeldLock& l : locks)
    if (l.recno == n) return true;
  return false;
}

Status Table::Impl::releaseLocks(uint32_t keep) {
  Status result;
  auto it = locks.begin();
  while (it != locks.end()) {
    if (it->recno == keep) {
      ++it;
      continue;
    }
    if (shared && !readOnly) {
      Status st = dbf->unlock(it->offset, 1);
      if (!st.ok() && result.ok()) result = st;
    }
    it = locks.erase(it);
  }
  return result;
}

Value Table::Impl::fieldValue(int index, const char* buf) const {
  const FieldDef& f = fields[static_cast<size_t>(index)];
  std::string_view r = raw(index, buf);
  switch (f.type) {
    case 'C': return Value(toUtf8(r, CodePage::kCp850));
    case 'N': return Value(parseNumber(r));
    case 'D': return Value(Date::parseDtos(r));
    case 'L': return Value::logical(r[0] == 'T' || r[0] == 't' || r[0] == 'Y' || r[0] == 'y');
    case 'M': {
      std::string text;
      memoText(index, buf, &text);
      return Value(std::move(text));
    }
  }
  return Value();
}

Status Table::Impl::memoText(int index, const char* buf, std::string* utf8) const {
  utf8->clear();
  if (buf == rec.data() && pendingMemo[static_cast<size_t>(index)]) {
    *utf8 = *pendingMemo[static_cast<size_t>(index)];
    return Status::OK();
  }
  double b = parseNumber(raw(index, buf));
  if (b <= 0 || !memo) return Status::OK();
  if (b > 0xFFFFFFFFu) return Status::Corruption(path + ": memo block number out of range");
  std::string bytes;
  Status st = memo->read(static_cast<uint32_t>(b), &bytes);
  if (!st.ok()) return st;
  *utf8 = toUtf8(bytes, CodePage::kCp850);
  return Status::OK();
}

Status Table::Impl::flush() {
  if (!dirty || atEof) {
    dirty = false;
    return Status::OK();
  }
  Status st;
  if (anyPendingMemo) {
    for (size_t i = 0; i < fields.size(); ++i) {
      if (!pendingMemo[i]) continue;
      char* field = rec.data() + offsets[i];
      if (pendingMemo[i]->empty()) {
        std::memset(field, ' ', 10);
      } else {
        if (!memo) return Status::Corruption(path + ": memo field without memo file");
        uint32_t block = 0;
        st = memo->write(fromUtf8(*pendingMemo[i], CodePage::kCp850), &block);
        if (!st.ok()) return st;
        char num[16];
        std::snprintf(num, sizeof num, "%10u", block);
        std::memcpy(field, num, 10);
      }
      pendingMemo[i].reset();
    }
    anyPendingMemo = false;
  }
  std::vector<cdx::KeyChange> changes;
  std::string newCurKey;
  for (size_t t = 0; t < tags.size(); ++t) {
    std::string oldKey = keyFor(static_cast<int>(t), disk.data());
    std::string newKey = keyFor(static_cast<int>(t), rec.data());
    if (static_cast<int>(t) == curTag) newCurKey = newKey;
    if (oldKey != newKey) changes.push_back(cdx::KeyChange{static_cast<int>(t), std::move(oldKey), std::move(newKey), recno});
  }
  st = dbf->write(recordOffset(recno), rec.data(), recordLen);
  if (!st.ok()) {
    dbf->write(recordOffset(recno), disk.data(), recordLen);  // undo a torn write if we can
    return st;
  }
  if (!changes.empty()) {
    bool applied = false;
    st = applyKeys(changes, &applied);
    if (!st.ok()) {
      // Keep table and index in step: the record goes back to what the index still describes.
      if (!applied) dbf->write(recordOffset(recno), disk.data(), recordLen);
      return st;
    }
  }
  if (curTag >= 0) curEntry = cdx::Entry{newCurKey, recno};
  std::memcpy(disk.data(), rec.data(), recordLen);
  dirty = false;
  return Status::OK();
}

Status Table::Impl::writeHeaderCount(bool lockHeader) {
  bool locked = false;
  if (lockHeader && shared) {
    Status st = dbf->lock(headerLockOffset(), 1, LockType::kExclusive, true);
    if (!st.ok()) return st;
    locked = true;
  }
  unsigned char h[8];
  size_t got = 0;
  Status st = dbf->read(0, h, 8, &got);
  if (st.ok() && got < 8) st = Status::Corruption(path + ": header truncated");
  uint32_t count = 0;
  if (st.ok()) st = physicalCount(&count);
  if (st.ok()) {
    count = std::max(count, le32(h + 4));
    writeDate(h + 1, Date::today());
    putLe32(h + 4, count);
    st = dbf->write(1, h + 1, 7);
  }
  if (locked) dbf->unlock(headerLockOffset(), 1);
  return st;
}

Status Table::Impl::setStructuralFlag(bool on) {
  unsigned char b = 0;
  size_t got = 0;
  Status st = dbf->read(28, &b, 1, &got);
  if (!st.ok()) return st;
  unsigned char nb = on ? (b | dbfmt::kFlagStructuralCdx) : (b & ~dbfmt::kFlagStructuralCdx);
  if (nb == b) return Status::OK();
  return dbf->write(28, &nb, 1);
}

void Table::Impl::notifyMoved() {
  if (suspended) return;
  // By index: an observer may remove itself while being told, and moves must not allocate.
  for (size_t i = 0; i < observers.size(); ++i) observers[i]->tableMoved(*self);
}
void Table::Impl::notifyChanged() {
  if (suspended) return;
  // By index: an observer may remove itself while being told, and moves must not allocate.
  for (size_t i = 0; i < observers.size(); ++i) observers[i]->recordChanged(*self);
}
void Table::Impl::notifyRefreshed() {
  if (suspended) return;
  // By index: an observer may remove itself while being told, and moves must not allocate.
  for (size_t i = 0; i < observers.size(); ++i) observers[i]->tableRefreshed(*self);
}

// ---------------------------------------------------------------------------------------------
// Creation, opening, closing

Status Table::create(Session& s, const std::string& path0, const std::vector<FieldDef>& fieldsIn, bool overwrite) {
  std::vector<FieldDef> fields;
  Status st = validateFields(fieldsIn, &fields);
  if (!st.ok()) return st;
  std::string path = s.pathForNewFile(hasExtension(path0) ? path0 : path0 + ".DBF");
  FileSystem& fs = s.fs();
  if (!overwrite && fs.exists(path)) return Status::InvalidArgument(path + " exists already");
  bool hasMemo = std::any_of(fields.begin(), fields.end(), [](const FieldDef& f) { return f.type == 'M'; });

  FileOpenOptions o;
  o.create = true;
  o.share = FileOpenOptions::Share::kExclusive;  // never truncate a table someone has open
  auto f = fs.open(path, o);
  if (!f.ok()) return f.status();
  st = (*f)->truncate(0);
  if (!st.ok()) return st;

  uint32_t headerLen = static_cast<uint32_t>(32 + 32 * fields.size() + 2);
  uint32_t recordLen = 1;
  for (const FieldDef& fd : fields) recordLen += static_cast<uint32_t>(fd.width);
  std::vector<unsigned char> h(headerLen + 1, 0);
  h[0] = hasMemo ? dbfmt::kVersionMemo : dbfmt::kVersionPlain;
  writeDate(h.data() + 1, Date::today());
  putLe32(h.data() + 4, 0);
  putLe16(h.data() + 8, headerLen);
  putLe16(h.data() + 10, recordLen);
  h[29] = dbfmt::kLanguageCp850;
  uint32_t off = 1;
  for (size_t i = 0; i < fields.size(); ++i) {
    unsigned char* d = h.data() + 32 + 32 * i;
    std::memcpy(d, fields[i].name.data(), fields[i].name.size());
    d[11] = static_cast<unsigned char>(fields[i].type);
    putLe32(d + 12, off);  // displacement in the record, as FoxPro writes it
    d[16] = static_cast<unsigned char>(fields[i].width & 0xFF);
    d[17] = static_cast<unsigned char>(fields[i].type == 'C' ? (fields[i].width >> 8) : fields[i].decimals);
    off += static_cast<uint32_t>(fields[i].width);
  }
  h[headerLen - 2] = 0x0D;
  h[headerLen - 1] = 0x00;
  h[headerLen] = dbfmt::kEofMarker;
  st = (*f)->write(0, h.data(), h.size());
  if (!st.ok()) {
    f->reset();
    fs.remove(path);
    return st;
  }
  if (hasMemo) {
    st = fpt::MemoFile::create(fs, siblingPath(fs, path, ".FPT"));
    if (!st.ok()) {
      f->reset();
      fs.remove(path);
      return st;
    }
  }
  if (overwrite) {
    // An index left from the table we replaced would describe records that no longer exist.
    std::string cdxPath = siblingPath(fs, path, ".CDX");
    if (fs.exists(cdxPath)) fs.remove(cdxPath);
    std::string journal = cdx::CdxFile::journalPath(cdxPath);
    if (fs.exists(journal)) fs.remove(journal);
  }
  return Status::OK();
}

Result<std::unique_ptr<Table>> Table::open(Session& s, const std::string& name, const OpenOptions& opts) {
  std::string wanted = hasExtension(name) ? name : name + ".DBF";
  std::string path = s.findFile(wanted);
  if (path.empty()) return Status::NotFound("table " + wanted + " not found");
  FileSystem& fs = s.fs();
  FileOpenOptions o;
  o.readOnly = opts.readOnly;
  o.share = opts.shared ? FileOpenOptions::Share::kShared : FileOpenOptions::Share::kExclusive;
  auto f = fs.open(path, o);
  if (!f.ok()) return f.status();

  auto impl = std::make_unique<Impl>();
  impl->session = &s;
  impl->path = path;
  impl->shared = opts.shared;
  impl->readOnly = opts.readOnly;
  impl->dbf = std::move(*f);
  {
    size_t start = nameStart(path);
    size_t dot = path.find_last_of('.');
    impl->alias = upperAscii(path.substr(start, dot == std::string::npos || dot < start ? std::string::npos : dot - start));
  }
  uint64_t size = 0;
  Status st = impl->dbf->size(&size);
  if (!st.ok()) return st;
  unsigned char h32[32];
  size_t got = 0;
  st = impl->dbf->read(0, h32, 32, &got);
  if (!st.ok()) return st;
  if (got < 32) return Status::Corruption(path + ": file too short for a table header");
  uint32_t headerLen = le16(h32 + 8);
  std::vector<unsigned char> h(std::max<uint32_t>(headerLen, 32));
  st = impl->dbf->read(0, h.data(), h.size(), &got);
  if (!st.ok()) return st;
  st = parseHeader(path, h.data(), got, size, *impl);
  if (!st.ok()) return st;

  if (impl->hasMemo) {
    impl->memoPath = siblingPath(fs, path, ".FPT");
    auto m = fpt::MemoFile::open(fs, impl->memoPath, opts.readOnly);
    if (!m.ok()) return m.status();
    impl->memo = std::move(*m);
  }
  impl->rec.assign(impl->recordLen, ' ');
  impl->disk.assign(impl->recordLen, ' ');
  impl->blank.assign(impl->recordLen, ' ');
  impl->scratch.assign(impl->recordLen + 1, ' ');
  impl->pendingMemo.resize(impl->fields.size());

  std::unique_ptr<Table> t(new Table(std::move(impl)));
  t->impl_->self = t.get();
  t->impl_->resolver = std::make_unique<TableResolver>(t->impl_.get());
  t->impl_->open = true;
  s.registerTable(t.get());
  st = t->goTop();
  if (!st.ok()) return st;
  return t;
}

Table::Table(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Table::~Table() { close(); }

Status Table::close() {
  Impl& t = *impl_;
  if (!t.open) return Status::OK();
  Status result = t.flush();
  for (TableObserver* o : std::vector<TableObserver*>(t.observers)) o->tableClosing(*this);
  Status st = t.releaseLocks(0);
  if (result.ok() && !st.ok()) result = st;
  t.relations.clear();
  for (Table* other : t.session->openTables()) {
    if (other == this) continue;
    auto& rel = other->impl_->relations;
    rel.erase(std::remove_if(rel.begin(), rel.end(), [this](const Relation& r) { return r.child == this; }), rel.end());
  }
  t.tags.clear();
  t.curTag = -1;
  t.cdx.reset();
  t.memo.reset();
  t.dbf.reset();
  t.open = false;
  t.atEof = true;
  t.session->unregisterTable(this);
  return result;
}

bool Table::isOpen() const { return impl_->open; }
Session& Table::session() const { return *impl_->session; }
const std::string& Table::path() const { return impl_->path; }
const std::string& Table::alias() const { return impl_->alias; }
bool Table::shared() const { return impl_->shared; }
bool Table::readOnly() const { return impl_->readOnly; }

const std::vector<FieldDef>& Table::fields() const { return impl_->fields; }
int Table::fieldCount() const { return static_cast<int>(impl_->fields.size()); }

int Table::fieldIndex(std::string_view name) const {
  const auto& f = impl_->fields;
  for (size_t i = 0; i < f.size(); ++i)
    if (iequals(f[i].name, name)) return static_cast<int>(i);
  return -1;
}

uint32_t Table::recCount() const {
  if (!impl_->open) return 0;
  uint32_t n = 0;
  impl_->physicalCount(&n);
  return n;
}

Date Table::lastUpdate() const {
  if (!impl_->open) return Date();
  unsigned char h[4];
  size_t got = 0;
  if (!impl_->dbf->read(0, h, 4, &got).ok() || got < 4) return Date();
  return Date::fromYmd(1900 + h[1], h[2], h[3]);
}

// ---------------------------------------------------------------------------------------------
// Record

bool Table::deleted() const { return impl_->open && !impl_->atEof && impl_->rec[0] == '*'; }

Status Table::deleteRecord() {
  Impl& t = *impl_;
  Status st = t.requireWritable("delete");
  if (st.ok()) st = t.requireLocked("delete");
  if (!st.ok()) return st;
  t.rec[0] = '*';
  t.dirty = true;
  st = t.flush();
  if (!st.ok()) return st;
  t.notifyChanged();
  return Status::OK();
}

Status Table::recall() {
  Impl& t = *impl_;
  Status st = t.requireWritable("recall");
  if (st.ok()) st = t.requireLocked("recall");
  if (!st.ok()) return st;
  t.rec[0] = ' ';
  t.dirty = true;
  st = t.flush();
  if (!st.ok()) return st;
  t.notifyChanged();
  return Status::OK();
}

Status Table::commit() {
  Impl& t = *impl_;
  if (!t.open) return Status::InvalidArgument("commit: table is closed");
  if (t.readOnly) return Status::OK();
  // The header goes first: when it cannot be written, nothing of the record has been either.
  Status st = t.writeHeaderCount(true);
  if (!st.ok()) return st;
  st = t.flush();
  if (!st.ok()) return st;
  if (t.session->syncOnCommit()) {
    st = t.dbf->sync();
    if (st.ok() && t.memo) st = t.memo->file().sync();
  }
  return st;
}

Status Table::append() {
  Impl& t = *impl_;
  Status st = t.requireWritable("append");
  if (!st.ok()) return st;
  st = t.flush();
  if (!st.ok()) return st;
  t.releaseLocks(0);
  const bool lockOs = t.shared;
  if (lockOs) {
    st = t.dbf->lock(t.headerLockOffset(), 1, LockType::kExclusive, true);
    if (!st.ok()) return st;
  }
  auto unlockHeader = [&] {
    if (lockOs) t.dbf->unlock(t.headerLockOffset(), 1);
  };
  uint64_t size = 0;
  st = t.dbf->size(&size);
  if (!st.ok()) {
    unlockHeader();
    return st;
  }
  uint32_t n = size <= t.headerLen ? 0 : static_cast<uint32_t>((size - t.headerLen) / t.recordLen);
  if (n >= 0xFFFFFFF0u) {
    unlockHeader();
    return Status::NoSpace(t.path + ": table is full");
  }
  uint32_t newRec = n + 1;
  uint64_t lockOff = t.recordLockOffset(newRec);
  if (lockOs) {
    st = t.dbf->lock(lockOff, 1, LockType::kExclusive, false);
    if (!st.ok()) {
      unlockHeader();
      return st;
    }
  }
  auto undo = [&](const Status& why) {
    t.dbf->truncate(size);
    if (lockOs) t.dbf->unlock(lockOff, 1);
    unlockHeader();
    return why;
  };
  // The blank record and the end-of-file marker in one write.
  std::memcpy(t.scratch.data(), t.blank.data(), t.recordLen);
  t.scratch[t.recordLen] = dbfmt::kEofMarker;
  st = t.dbf->write(t.recordOffset(newRec), t.scratch.data(), t.recordLen + 1);
  if (!st.ok()) return undo(st);
  unsigned char h[8];
  size_t got = 0;
  st = t.dbf->read(0, h, 8, &got);
  if (st.ok() && got < 8) st = Status::Corruption(t.path + ": header truncated");
  if (!st.ok()) return undo(st);
  unsigned char orig[8];
  std::memcpy(orig, h, 8);
  writeDate(h + 1, Date::today());
  putLe32(h + 4, newRec);
  st = t.dbf->write(1, h + 1, 7);
  if (!st.ok()) {
    t.dbf->write(1, orig + 1, 7);
    return undo(st);
  }
  // The keys go in while the header lock still keeps other appenders out, so a failure can be
  // undone by cutting the record off again.
  std::string curKey;
  if (!t.tags.empty()) {
    std::vector<cdx::KeyChange> changes;
    for (size_t i = 0; i < t.tags.size(); ++i) {
      std::string k = t.keyFor(static_cast<int>(i), t.blank.data());
      if (static_cast<int>(i) == t.curTag) curKey = k;
      changes.push_back(cdx::KeyChange{static_cast<int>(i), std::nullopt, std::move(k), newRec});
    }
    bool applied = false;
    st = t.applyKeys(changes, &applied);
    if (!st.ok()) {
      t.dbf->write(1, orig + 1, 7);
      return undo(st);
    }
  }
  unlockHeader();
  t.locks.push_back(HeldLock{newRec, lockOff});
  std::memcpy(t.rec.data(), t.blank.data(), t.recordLen);
  std::memcpy(t.disk.data(), t.blank.data(), t.recordLen);
  t.recno = newRec;
  t.atEof = false;
  t.atBof = false;
  t.dirty = false;
  t.curEntry = cdx::Entry{curKey, newRec};
  t.notifyMoved();
  return Status::OK();
}

Value Table::get(int index) const {
  const Impl& t = *impl_;
  if (!t.open || index < 0 || index >= static_cast<int>(t.fields.size())) return Value();
  return t.fieldValue(index, t.rec.data());
}

Value Table::get(std::string_view name) const { return get(fieldIndex(name)); }

std::string Table::getString(std::string_view name) const {
  int i = fieldIndex(name);
  if (i < 0 || !impl_->open) return {};
  const FieldDef& f = impl_->fields[static_cast<size_t>(i)];
  if (f.type == 'M') return get(i).text();
  return toUtf8(impl_->raw(i, impl_->rec.data()), CodePage::kCp850);
}

double Table::getNumber(std::string_view name) const { return get(name).number(); }
Date Table::getDate(std::string_view name) const { return get(name).date(); }
bool Table::getLogical(std::string_view name) const { return get(name).boolean(); }

std::string_view Table::rawField(int index) const {
  if (!impl_->open || index < 0 || index >= fieldCount()) return {};
  return impl_->raw(index, impl_->rec.data());
}

Status Table::put(int index, const Value& v) {
  Impl& t = *impl_;
  Status st = t.requireWritable("put");
  if (!st.ok()) return st;
  if (index < 0 || index >= static_cast<int>(t.fields.size()))
    return Status::InvalidArgument("put: no field " + std::to_string(index + 1) + " in " + t.path);
  st = t.requireLocked("put");
  if (!st.ok()) return st;
  const FieldDef& f = t.fields[static_cast<size_t>(index)];
  char* p = t.rec.data() + t.offsets[static_cast<size_t>(index)];
  auto mismatch = [&] {
    return Status::InvalidArgument("put: value of type " + std::string(1, typeLetter(v.type())) + " for field " + f.name +
                                   " of type " + std::string(1, f.type));
  };
  switch (f.type) {
    case 'C': {
      if (!v.isCharacter() && !v.isNil()) return mismatch();
      std::string bytes = fromUtf8(v.text(), CodePage::kCp850);
      size_t n = std::min(bytes.size(), static_cast<size_t>(f.width));
      std::memcpy(p, bytes.data(), n);
      std::memset(p + n, ' ', static_cast<size_t>(f.width) - n);
      break;
    }
    case 'N': {
      if (v.isNil()) {
        std::memset(p, ' ', static_cast<size_t>(f.width));
        break;
      }
      if (!v.isNumeric()) return mismatch();
      char buf[300];
      if (!formatNumber(v.number(), f.width, f.decimals, buf))
        return Status::InvalidArgument("put: " + std::to_string(v.number()) + " does not fit field " + f.name + " (" +
                                       std::to_string(f.width) + "," + std::to_string(f.decimals) + ")");
      std::memcpy(p, buf, static_cast<size_t>(f.width));
      break;
    }
    case 'D': {
      if (!v.isDate() && !v.isNil()) return mismatch();
      std::string s = v.date().dtos();
      std::memcpy(p, s.data(), 8);
      break;
    }
    case 'L':
      if (!v.isLogical() && !v.isNil()) return mismatch();
      *p = v.isNil() ? ' ' : (v.boolean() ? 'T' : 'F');
      break;
    case 'M':
      if (!v.isCharacter() && !v.isNil()) return mismatch();
      t.pendingMemo[static_cast<size_t>(index)] = v.text();
      t.anyPendingMemo = true;
      break;
  }
  t.dirty = true;
  t.notifyChanged();
  return Status::OK();
}

Status Table::put(std::string_view name, const Value& v) {
  int i = fieldIndex(name);
  if (i < 0) return Status::InvalidArgument("put: no field " + std::string(name) + " in " + impl_->path);
  return put(i, v);
}

// ---------------------------------------------------------------------------------------------
// Locks

bool Table::lock() {
  if (!impl_->open || impl_->atEof) return false;
  return lockRecord(impl_->recno);
}

bool Table::lockRecord(uint32_t n) {
  Impl& t = *impl_;
  if (!t.open || t.readOnly || n == 0) return false;
  if (!t.flush().ok()) return false;
  t.releaseLocks(n);
  if ((n != t.recno || t.atEof) && n > recCount()) return false;
  if (!t.holds(n)) {
    uint64_t off = t.recordLockOffset(n);
    if (t.shared && !t.dbf->lock(off, 1, LockType::kExclusive, false).ok()) return false;
    t.locks.push_back(HeldLock{n, off});
  }
  // Another station may have changed the record between our read and the lock.
  if (n == t.recno && !t.atEof) {
    bool exists = false;
    if (!t.readRecord(n, &exists).ok() || !exists) return true;
    t.notifyChanged();
  }
  return true;
}

Status Table::unlock() {
  Impl& t = *impl_;
  if (!t.open) return Status::OK();
  Status st = t.flush();
  Status r = t.releaseLocks(0);
  return st.ok() ? r : st;
}

Status Table::unlock(uint32_t n) {
  Impl& t = *impl_;
  if (!t.open) return Status::OK();
  Status st;
  if (n == t.recno) st = t.flush();
  auto it = std::find_if(t.locks.begin(), t.locks.end(), [n](const HeldLock& l) { return l.recno == n; });
  if (it == t.locks.end()) return st;
  Status r;
  if (t.shared && !t.readOnly) r = t.dbf->unlock(it->offset, 1);
  t.locks.erase(it);
  return st.ok() ? r : st;
}

bool Table::isLocked(uint32_t n) const { return impl_->holds(n); }

std::vector<uint32_t> Table::lockedRecords() const {
  std::vector<uint32_t> out;
  for (const HeldLock& l : impl_->locks) out.push_back(l.recno);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Expressions and observers

Resolver& Table::resolver() { return *impl_->resolver; }

void Table::addObserver(TableObserver* o) {
  if (std::find(impl_->observers.begin(), impl_->observers.end(), o) == impl_->observers.end())
    impl_->observers.push_back(o);
}

void Table::removeObserver(TableObserver* o) {
  auto& v = impl_->observers;
  v.erase(std::remove(v.begin(), v.end(), o), v.end());
}

void Table::suspendNotify() { ++impl_->suspended; }

void Table::resumeNotify() {
  if (impl_->suspended == 0) return;
  if (--impl_->suspended == 0) impl_->notifyRefreshed();
}

}  // namespace zentor::dbf
