// Table object: navigation in natural or tag order, seek, filter, scope and relations.
//
// Positions in tag order are carried by value (key and record number), so the index may change
// under us between two moves; every move reads the record it lands on from disk.
#include <algorithm>
#include <array>
#include <memory>

#include "dbf/codepage.h"
#include "dbf/collation.h"
#include "dbf/table.h"
#include "table_impl.h"

namespace zentor::dbf {
namespace {

// Byte whose German weight is w: the inverse of collationWeight.
const std::array<uint8_t, 256>& byteOfWeight() {
  static const std::array<uint8_t, 256> inv = [] {
    std::array<uint8_t, 256> a{};
    for (int b = 0; b < 256; ++b) a[collationWeight(static_cast<uint8_t>(b))] = static_cast<uint8_t>(b);
    return a;
  }();
  return inv;
}

// The smallest prefix that sorts after every key beginning with `p`; empty when there is none.
std::string successor(std::string p) {
  while (!p.empty()) {
    uint8_t w = collationWeight(static_cast<uint8_t>(p.back()));
    if (w < 255) {
      p.back() = static_cast<char>(byteOfWeight()[w + 1]);
      return p;
    }
    p.pop_back();
  }
  return p;
}

int comparePrefix(std::string_view key, std::string_view bound) {
  return collateCompare(key.substr(0, std::min(key.size(), bound.size())), bound);
}

}  // namespace

bool Table::Impl::inScope(std::string_view key) const {
  if (!scopeTop.empty() && comparePrefix(key, scopeTop) < 0) return false;
  if (!scopeBottom.empty() && comparePrefix(key, scopeBottom) > 0) return false;
  return true;
}

bool Table::Impl::visible(const std::string*) {
  if (session->deletedHidden() && rec[0] == '*') return false;
  if (filter && !filter(*self)) return false;
  return true;
}

Status Table::Impl::positionOnEntry(const cdx::Entry& e, bool* exists) {
  Status st = readRecord(e.recno, exists);
  if (st.ok() && *exists) curEntry = e;
  return st;
}

// Natural order: from the current position, the next visible record in direction dir.
Status Table::Impl::naturalStep(int dir, bool* ok) {
  *ok = false;
  int64_t cand;
  if (atEof && dir < 0) {
    uint32_t n = 0;
    Status st = physicalCount(&n);
    if (!st.ok()) return st;
    cand = n;
  } else {
    cand = static_cast<int64_t>(recno) + dir;
  }
  for (; cand >= 1; cand += dir) {
    bool exists = false;
    Status st = readRecord(static_cast<uint32_t>(cand), &exists);
    if (!st.ok()) return st;
    if (!exists) return Status::OK();
    if (visible(nullptr)) {
      *ok = true;
      return Status::OK();
    }
  }
  return Status::OK();
}

// Tag order: from the current entry, the next visible entry inside the scope in direction dir.
Status Table::Impl::tagStep(int dir, bool* ok) {
  *ok = false;
  const int tag = curTag;
  Result<std::optional<cdx::Entry>> e = std::optional<cdx::Entry>();
  auto lastInScope = [&]() -> Result<std::optional<cdx::Entry>> {
    if (scopeBottom.empty()) return cdx->last(tag);
    std::string succ = successor(scopeBottom);
    if (succ.empty()) return cdx->last(tag);
    auto after = cdx->lowerBound(tag, succ);
    if (!after.ok()) return after.status();
    if (!*after) return cdx->last(tag);
    return cdx->prev(tag, **after);
  };
  auto firstInScope = [&]() -> Result<std::optional<cdx::Entry>> {
    return scopeTop.empty() ? cdx->first(tag) : cdx->lowerBound(tag, scopeTop);
  };
  if (atEof) {
    e = dir < 0 ? lastInScope() : Result<std::optional<cdx::Entry>>(std::optional<cdx::Entry>());
  } else if (dir > 0) {
    e = (!scopeTop.empty() && comparePrefix(curEntry.key, scopeTop) < 0) ? firstInScope() : cdx->next(tag, curEntry);
  } else {
    e = (!scopeBottom.empty() && comparePrefix(curEntry.key, scopeBottom) > 0) ? lastInScope() : cdx->prev(tag, curEntry);
  }
  for (;;) {
    if (!e.ok()) return e.status();
    if (!*e) return Status::OK();
    const cdx::Entry& entry = **e;
    if (!inScope(entry.key)) return Status::OK();
    bool exists = false;
    Status st = positionOnEntry(entry, &exists);
    if (!st.ok()) return st;
    if (exists && visible(&entry.key)) {
      *ok = true;
      return Status::OK();
    }
    cdx::Entry from = entry;
    e = dir > 0 ? cdx->next(tag, from) : cdx->prev(tag, from);
  }
}

Status Table::Impl::afterMove() {
  notifyMoved();
  for (Relation& r : relations) {
    Table& child = *r.child;
    Impl& c = *child.impl_;
    if (!c.open || c.curTag < 0) continue;
    if (atEof) {
      c.flush();
      c.scopeTop = c.scopeBottom = std::string(1, '\xFF');
      c.positionEof();
      c.isFound = false;
      c.afterMove();
      continue;
    }
    std::string key;
    Value v = r.key.evaluate();
    switch (v.type()) {
      case ValueType::kCharacter: key = fromUtf8(v.text(), CodePage::kCp850); break;
      case ValueType::kDate: key = v.date().dtos(); break;
      case ValueType::kNumeric: key = dbaseStr(v.number(), 10, 0); break;
      default: break;
    }
    key.resize(std::min<size_t>(key.size(), static_cast<size_t>(c.tags[static_cast<size_t>(c.curTag)].info.keyLength)));
    c.scopeTop = c.scopeBottom = key;
    Status st = child.goTop();
    if (!st.ok()) return st;
    c.isFound = !c.atEof;
  }
  return Status::OK();
}

// ---------------------------------------------------------------------------------------------

Status Table::goTop() {
  Impl& t = *impl_;
  if (!t.open) return Status::InvalidArgument("goTop: table is closed");
  Status st = t.flush();
  if (!st.ok()) return st;
  t.atBof = false;
  t.isFound = false;
  bool ok = false;
  // Stepping forward from end of file is not defined, so start from "before the first".
  if (t.curTag < 0) {
    t.atEof = false;
    t.recno = 0;
    st = t.naturalStep(+1, &ok);
  } else {
    const int tag = t.curTag;
    auto e = t.scopeTop.empty() ? t.cdx->first(tag) : t.cdx->lowerBound(tag, t.scopeTop);
    if (!e.ok()) return e.status();
    if (*e) {
      bool exists = false;
      if (t.inScope((*e)->key)) {
        st = t.positionOnEntry(**e, &exists);
        if (!st.ok()) return st;
        if (exists && t.visible(nullptr)) {
          ok = true;
        } else {
          t.atEof = false;
          t.curEntry = **e;
          st = t.tagStep(+1, &ok);
        }
      }
    }
  }
  if (!st.ok()) return st;
  if (!ok) {
    st = t.positionEof();
    t.atBof = true;
    if (!st.ok()) return st;
  }
  return t.afterMove();
}

Status Table::goBottom() {
  Impl& t = *impl_;
  if (!t.open) return Status::InvalidArgument("goBottom: table is closed");
  Status st = t.flush();
  if (!st.ok()) return st;
  t.atBof = false;
  t.isFound = false;
  bool ok = false;
  t.atEof = true;  // a backward step from end of file lands on the last candidate
  st = t.curTag < 0 ? t.naturalStep(-1, &ok) : t.tagStep(-1, &ok);
  if (!st.ok()) return st;
  if (!ok) {
    st = t.positionEof();
    t.atBof = true;
    if (!st.ok()) return st;
  }
  return t.afterMove();
}

Status Table::skip(int64_t n) {
  Impl& t = *impl_;
  if (!t.open) return Status::InvalidArgument("skip: table is closed");
  Status st = t.flush();
  if (!st.ok()) return st;
  t.isFound = false;
  if (n == 0) {
    if (t.atEof) {
      st = t.positionEof();
    } else {
      bool exists = false;
      uint32_t r = t.recno;
      st = t.readRecord(r, &exists);
      if (st.ok() && !exists) st = t.positionEof();
    }
    if (!st.ok()) return st;
    return t.afterMove();
  }
  t.atBof = false;
  const int dir = n > 0 ? 1 : -1;
  for (int64_t i = 0; i < (n > 0 ? n : -n); ++i) {
    if (dir > 0 && t.atEof) break;
    uint32_t fromRec = t.recno;
    cdx::Entry fromEntry = t.curEntry;
    bool wasEof = t.atEof;
    bool ok = false;
    st = t.curTag < 0 ? t.naturalStep(dir, &ok) : t.tagStep(dir, &ok);
    if (!st.ok()) return st;
    if (ok) continue;
    if (dir > 0) {
      st = t.positionEof();
      if (!st.ok()) return st;
      break;
    }
    // Ran off the top: stay on the first record and say so.
    t.atBof = true;
    bool exists = false;
    if (wasEof) {
      st = t.positionEof();
    } else {
      st = t.readRecord(fromRec, &exists);
      if (st.ok() && !exists) st = t.positionEof();
      t.curEntry = fromEntry;
    }
    if (!st.ok()) return st;
    break;
  }
  return t.afterMove();
}

Status Table::go(uint32_t n) {
  Impl& t = *impl_;
  if (!t.open) return Status::InvalidArgument("go: table is closed");
  Status st = t.flush();
  if (!st.ok()) return st;
  t.atBof = false;
  t.isFound = false;
  bool exists = false;
  st = t.readRecord(n, &exists);
  if (!st.ok()) return st;
  if (!exists) {
    st = t.positionEof();
    if (!st.ok()) return st;
  } else if (t.curTag >= 0) {
    t.curEntry = cdx::Entry{t.keyFor(t.curTag, t.rec.data()), n};
  }
  return t.afterMove();
}

bool Table::eof() const { return impl_->atEof; }
bool Table::bof() const { return impl_->atBof; }
uint32_t Table::recno() const { return impl_->recno; }
bool Table::found() const { return impl_->isFound; }

Status Table::seek(std::string_view key) { return seek(key, impl_->session->softSeek()); }

Status Table::seek(std::string_view key, bool soft) {
  Impl& t = *impl_;
  if (!t.open) return Status::InvalidArgument("seek: table is closed");
  if (t.curTag < 0) return Status::InvalidArgument("seek: " + t.path + " has no controlling tag");
  Status st = t.flush();
  if (!st.ok()) return st;
  t.atBof = false;
  t.isFound = false;
  std::string prefix = fromUtf8(key, CodePage::kCp850);
  const size_t keyLen = static_cast<size_t>(t.tags[static_cast<size_t>(t.curTag)].info.keyLength);
  if (prefix.size() > keyLen) prefix.resize(keyLen);
  std::string start = prefix;
  if (!t.scopeTop.empty() && comparePrefix(start, t.scopeTop) < 0) start = t.scopeTop;
  auto e = t.cdx->lowerBound(t.curTag, start);
  if (!e.ok()) return e.status();
  bool ok = false;
  if (*e && t.inScope((*e)->key)) {
    bool exists = false;
    st = t.positionOnEntry(**e, &exists);
    if (!st.ok()) return st;
    if (exists && t.visible(nullptr)) {
      ok = true;
    } else {
      t.atEof = false;
      t.curEntry = **e;
      st = t.tagStep(+1, &ok);
      if (!st.ok()) return st;
    }
  }
  if (ok) t.isFound = t.curEntry.key.compare(0, prefix.size(), prefix) == 0;
  if (!ok || (!t.isFound && !soft)) {
    st = t.positionEof();
    if (!st.ok()) return st;
  }
  return t.afterMove();
}

Status Table::setFilter(std::string_view expression) {
  Impl& t = *impl_;
  if (expression.find_first_not_of(' ') == std::string_view::npos) {
    clearFilter();
    return Status::OK();
  }
  auto e = Expression::compile(expression, *t.resolver, t.session->exprSettings());
  if (!e.ok()) return e.status();
  if (e->resultType() != ValueType::kLogical && e->resultType() != ValueType::kNil)
    return Status::InvalidArgument("filter '" + std::string(expression) + "' is not a condition");
  auto shared = std::make_shared<Expression>(std::move(*e));
  t.filter = [shared](const Table&) { return shared->test(); };
  t.filterText = std::string(expression);
  return Status::OK();
}

void Table::setFilter(RecordPredicate pred, std::string text) {
  impl_->filter = std::move(pred);
  impl_->filterText = std::move(text);
}

void Table::clearFilter() {
  impl_->filter = nullptr;
  impl_->filterText.clear();
}

const std::string& Table::filterText() const { return impl_->filterText; }

Status Table::setScope(std::string_view top, std::string_view bottom) {
  Impl& t = *impl_;
  if (t.curTag < 0) return Status::InvalidArgument("setScope: " + t.path + " has no controlling tag");
  const size_t keyLen = static_cast<size_t>(t.tags[static_cast<size_t>(t.curTag)].info.keyLength);
  t.scopeTop = fromUtf8(top, CodePage::kCp850);
  t.scopeBottom = fromUtf8(bottom, CodePage::kCp850);
  if (t.scopeTop.size() > keyLen) t.scopeTop.resize(keyLen);
  if (t.scopeBottom.size() > keyLen) t.scopeBottom.resize(keyLen);
  return Status::OK();
}

void Table::clearScope() {
  impl_->scopeTop.clear();
  impl_->scopeBottom.clear();
}

Status Table::setRelation(Table& child, std::string_view keyExpression) {
  Impl& t = *impl_;
  if (&child == this) return Status::InvalidArgument("setRelation: a table cannot be its own child");
  if (!child.impl_->open || child.impl_->curTag < 0)
    return Status::InvalidArgument("setRelation: " + child.path() + " has no controlling tag");
  auto e = Expression::compile(keyExpression, *t.resolver, t.session->exprSettings());
  if (!e.ok()) return e.status();
  t.relations.push_back(Relation{&child, std::move(*e)});
  return t.afterMove();
}

void Table::clearRelations() {
  for (Relation& r : impl_->relations)
    if (r.child->impl_->open) r.child->clearScope();
  impl_->relations.clear();
}

std::string_view Table::currentKey() const {
  const Impl& t = *impl_;
  if (!t.open || t.curTag < 0 || t.atEof) return {};
  return t.curEntry.key;
}

}  // namespace zentor::dbf
