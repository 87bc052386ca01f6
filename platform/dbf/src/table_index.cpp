// Table object: the attached compound index, its tags and their keys.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "dbf/codepage.h"
#include "dbf/table.h"
#include "table_impl.h"

namespace zentor::dbf {
namespace {

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string baseName(const std::string& p) {
  size_t s = p.find_last_of("/\\");
  s = s == std::string::npos ? 0 : s + 1;
  size_t dot = p.find_last_of('.');
  return p.substr(s, dot == std::string::npos || dot < s ? std::string::npos : dot - s);
}

constexpr int kMaxKeyLength = 240;

// Character keys in the table's code page; dates and numbers as their dtos()/str() text, which
// is what every key expression of ours produces anyway.
std::string keyText(const Value& v) {
  switch (v.type()) {
    case ValueType::kCharacter: return fromUtf8(v.text(), CodePage::kCp850);
    case ValueType::kDate: return v.date().dtos();
    case ValueType::kNumeric: return dbaseStr(v.number(), 10, 0);
    case ValueType::kLogical: return v.boolean() ? "T" : "F";
    case ValueType::kNil: break;
  }
  return {};
}

}  // namespace

std::string Table::Impl::keyFor(int t, const char* buf) {
  const TagState& tag = tags[static_cast<size_t>(t)];
  const char* saved = evalBuf;
  evalBuf = buf;
  std::string k = keyText(tag.key.evaluate());
  evalBuf = saved;
  k.resize(static_cast<size_t>(tag.info.keyLength), ' ');
  return k;
}

Status Table::Impl::loadTags() {
  std::string previous = curTag >= 0 ? tags[static_cast<size_t>(curTag)].info.name : std::string();
  tags.clear();
  curTag = -1;
  if (!cdx) return Status::OK();
  auto infos = cdx->tags();
  if (!infos.ok()) return infos.status();
  for (const TagInfo& info : *infos) {
    auto e = Expression::compile(info.expression, *resolver, session->exprSettings());
    if (!e.ok())
      return Status::NotSupported(cdxPath + ": key expression '" + info.expression + "' of tag " + info.name +
                                  " does not compile here: " + e.status().message());
    if (info.keyLength <= 0 || info.keyLength > kMaxKeyLength)
      return Status::Corruption(cdxPath + ": tag " + info.name + " has key length " + std::to_string(info.keyLength));
    if (info.hasCondition || info.descending || info.unique)
      return Status::NotSupported(cdxPath + ": tag " + info.name + " is unique, descending or conditional");
    tags.push_back(TagState{info, std::move(*e)});
  }
  for (size_t i = 0; i < tags.size(); ++i)
    if (!previous.empty() && tags[i].info.name == previous) curTag = static_cast<int>(i);
  return Status::OK();
}

std::vector<cdx::Entry> Table::Impl::collectEntries(int t, const IndexProgress& progress, Status* st) {
  std::vector<cdx::Entry> entries;
  uint32_t count = 0;
  *st = physicalCount(&count);
  if (!st->ok()) return entries;
  entries.reserve(count);
  // Large sequential reads: building a tag touches every record once.
  const uint32_t perChunk = std::max<uint32_t>(1, (256 * 1024) / recordLen);
  std::vector<char> chunk(static_cast<size_t>(perChunk) * recordLen);
  for (uint32_t first = 1; first <= count; first += perChunk) {
    uint32_t n = std::min(perChunk, count - first + 1);
    size_t got = 0;
    *st = dbf->read(recordOffset(first), chunk.data(), static_cast<size_t>(n) * recordLen, &got);
    if (!st->ok()) return {};
    n = std::min<uint32_t>(n, static_cast<uint32_t>(got / recordLen));
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t r = first + i;
      entries.push_back(cdx::Entry{keyFor(t, chunk.data() + static_cast<size_t>(i) * recordLen), r});
      if (progress) progress(r, count);
    }
    if (n == 0) break;
  }
  return entries;
}

Status Table::Impl::applyKeys(const std::vector<cdx::KeyChange>& changes, bool* applied) {
  *applied = false;
  Status st = cdx->apply(changes);
  if (st.ok()) {
    *applied = true;
    return st;
  }
  auto has = [&](int tag, const std::string& key, uint32_t r, bool* out) {
    auto e = cdx->lowerBound(tag, key, r);
    if (!e.ok()) return e.status();
    *out = *e && (*e)->key == key && (*e)->recno == r;
    return Status::OK();
  };
  std::vector<cdx::KeyChange> rest;
  size_t newCount = 0, oldCount = 0;
  for (const cdx::KeyChange& c : changes) {
    bool hasOld = false, hasNew = false;
    if (c.oldKey && !has(c.tag, *c.oldKey, c.recno, &hasOld).ok()) return st;
    if (c.newKey && !has(c.tag, *c.newKey, c.recno, &hasNew).ok()) return st;
    bool isNew = (!c.oldKey || !hasOld) && (!c.newKey || hasNew);
    bool isOld = (!c.oldKey || hasOld) && (!c.newKey || !hasNew);
    if (isNew) ++newCount;
    if (isOld) ++oldCount;
    if (!isNew) {
      cdx::KeyChange r = c;
      if (!hasOld) r.oldKey.reset();
      if (hasNew) r.newKey.reset();
      rest.push_back(std::move(r));
    }
  }
  if (newCount == changes.size()) {
    *applied = true;
    return Status::OK();
  }
  if (oldCount == changes.size()) return st;
  // Half done: finish it rather than leave the tags disagreeing with each other.
  Status again = cdx->apply(rest);
  if (again.ok()) {
    *applied = true;
    return Status::OK();
  }
  return st;
}

Status Table::attachIndex(const std::string& cdxPath) {
  Impl& t = *impl_;
  if (!t.open) return Status::InvalidArgument("attachIndex: table is closed");
  Status st = t.flush();
  if (!st.ok()) return st;
  std::string p = t.session->fs().exists(cdxPath) ? cdxPath : t.session->findFile(cdxPath);
  if (p.empty()) return Status::NotFound("index " + cdxPath + " not found");
  auto c = cdx::CdxFile::open(t.session->fs(), p, t.readOnly);
  if (!c.ok()) return c.status();
  auto oldCdx = std::move(t.cdx);
  std::string oldPath = t.cdxPath;
  t.cdx = std::move(*c);
  t.cdxPath = p;
  t.curTag = -1;
  st = t.loadTags();
  if (!st.ok()) {
    t.cdx = std::move(oldCdx);
    t.cdxPath = oldPath;
    t.loadTags();
    return st;
  }
  t.curTag = t.tags.empty() ? -1 : 0;
  t.scopeTop.clear();
  t.scopeBottom.clear();
  return goTop();
}

Status Table::detachIndex() {
  Impl& t = *impl_;
  if (!t.open) return Status::OK();
  Status st = t.flush();
  t.tags.clear();
  t.curTag = -1;
  t.cdx.reset();
  t.cdxPath.clear();
  t.scopeTop.clear();
  t.scopeBottom.clear();
  return st;
}

bool Table::hasIndex() const { return impl_->cdx != nullptr; }
const std::string& Table::indexPath() const { return impl_->cdxPath; }

std::vector<TagInfo> Table::tags() const {
  std::vector<TagInfo> out;
  for (const TagState& s : impl_->tags) out.push_back(s.info);
  return out;
}

Status Table::selectTag(std::string_view name) {
  Impl& t = *impl_;
  if (!t.open) return Status::InvalidArgument("selectTag: table is closed");
  Status st = t.flush();
  if (!st.ok()) return st;
  int found = -1;
  if (!name.empty()) {
    for (size_t i = 0; i < t.tags.size(); ++i)
      if (iequals(t.tags[i].info.name, name)) found = static_cast<int>(i);
    if (found < 0) return Status::NotFound("tag " + std::string(name) + " not in " + (t.cdxPath.empty() ? t.path : t.cdxPath));
  }
  t.curTag = found;
  t.scopeTop.clear();
  t.scopeBottom.clear();
  if (found >= 0 && !t.atEof) t.curEntry = cdx::Entry{t.keyFor(found, t.rec.data()), t.recno};
  t.notifyRefreshed();
  return Status::OK();
}

std::string Table::currentTag() const {
  return impl_->curTag < 0 ? std::string() : impl_->tags[static_cast<size_t>(impl_->curTag)].info.name;
}

Status Table::createTag(std::string_view tagName, std::string_view keyExpression, const IndexProgress& progress,
                        const std::string& cdxPathIn) {
  Impl& t = *impl_;
  Status st = t.requireWritable("createTag");
  if (!st.ok()) return st;
  st = t.flush();
  if (!st.ok()) return st;
  std::string name(tagName);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name.empty() || name.size() > 10) return Status::InvalidArgument("bad tag name '" + std::string(tagName) + "'");
  auto e = Expression::compile(keyExpression, *t.resolver, t.session->exprSettings());
  if (!e.ok()) return e.status();
  t.evalBuf = t.blank.data();
  Value probe = e->evaluate();
  t.evalBuf = nullptr;
  if (!probe.isCharacter() && !probe.isDate())
    return Status::NotSupported("key expression '" + std::string(keyExpression) + "' does not give text");
  int keyLength = static_cast<int>(keyText(probe).size());
  if (keyLength <= 0 || keyLength > kMaxKeyLength)
    return Status::InvalidArgument("key expression '" + std::string(keyExpression) + "' gives keys of length " +
                                   std::to_string(keyLength));

  FileSystem& fs = t.session->fs();
  if (!t.cdx) {
    std::string p = cdxPathIn.empty() ? siblingPath(fs, t.path, ".CDX") : t.session->pathForNewFile(cdxPathIn);
    Result<std::unique_ptr<cdx::CdxFile>> c =
        fs.exists(p) ? cdx::CdxFile::open(fs, p, false) : cdx::CdxFile::create(fs, p);
    if (!c.ok()) return c.status();
    t.cdx = std::move(*c);
    t.cdxPath = p;
    st = t.loadTags();
    if (!st.ok()) {
      t.cdx.reset();
      t.cdxPath.clear();
      t.tags.clear();
      return st;
    }
    if (iequals(baseName(p), baseName(t.path))) {
      st = t.setStructuralFlag(true);
      if (!st.ok()) return st;
    }
  } else if (!cdxPathIn.empty() && !iequals(baseName(cdxPathIn), baseName(t.cdxPath))) {
    return Status::InvalidArgument("createTag: " + t.cdxPath + " is attached, not " + cdxPathIn);
  }

  // A temporary tag state lets keyFor evaluate the new expression like any other.
  TagInfo info;
  info.name = name;
  info.expression = std::string(keyExpression);
  info.keyLength = keyLength;
  t.tags.push_back(TagState{info, std::move(*e)});
  std::vector<cdx::Entry> entries = t.collectEntries(static_cast<int>(t.tags.size()) - 1, progress, &st);
  t.tags.pop_back();
  if (!st.ok()) return st;
  st = t.cdx->addTag(name, info.expression, keyLength, std::move(entries));
  if (!st.ok()) return st;
  st = t.loadTags();
  if (!st.ok()) return st;
  for (size_t i = 0; i < t.tags.size(); ++i)
    if (t.tags[i].info.name == name) t.curTag = static_cast<int>(i);
  t.scopeTop.clear();
  t.scopeBottom.clear();
  return goTop();
}

Status Table::reindex(const IndexProgress& progress) {
  Impl& t = *impl_;
  Status st = t.requireWritable("reindex");
  if (!st.ok()) return st;
  if (!t.cdx) return Status::InvalidArgument("reindex: " + t.path + " has no index attached");
  st = t.flush();
  if (!st.ok()) return st;
  // A station killed in the middle of an append can leave the header one record behind the file;
  // the repair of the index repairs that count too.
  st = t.writeHeaderCount(true);
  if (!st.ok()) return st;
  for (size_t i = 0; i < t.tags.size(); ++i) {
    std::vector<cdx::Entry> entries = t.collectEntries(static_cast<int>(i), progress, &st);
    if (!st.ok()) return st;
    st = t.cdx->rebuildTag(static_cast<int>(i), std::move(entries));
    if (!st.ok()) return st;
  }
  return goTop();
}

}  // namespace zentor::dbf
