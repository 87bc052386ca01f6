// Table object: whole-table operations (pack, zap, append from, copy to, eval, count).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "dbf/codepage.h"
#include "dbf/table.h"
#include "table_impl.h"

namespace zentor::dbf {
namespace {

uint32_t memoBlock(std::string_view raw) {
  double b = parseNumber(raw);
  return b > 0 && b <= 0xFFFFFFFFu ? static_cast<uint32_t>(b) : 0;
}

void putBlock(char* field, uint32_t block) {
  char num[16];
  if (block == 0) {
    std::memset(field, ' ', 10);
    return;
  }
  std::snprintf(num, sizeof num, "%10u", block);
  std::memcpy(field, num, 10);
}

}  // namespace

Status Table::pack() {
  Impl& t = *impl_;
  Status st = t.requireWritable("pack");
  if (!st.ok()) return st;
  if (t.shared) return Status::InvalidArgument("pack: " + t.path + " must be open exclusively");
  st = t.flush();
  if (!st.ok()) return st;
  uint32_t count = 0;
  st = t.physicalCount(&count);
  if (!st.ok()) return st;

  // Memo blocks of the live records, checked for overlaps before anything moves: compaction
  // slides memos towards the front, which is only safe when none overlaps the next.
  struct MemoRef {
    uint32_t block, blocks;
  };
  std::vector<MemoRef> memos;
  std::vector<char> buf(t.recordLen);
  if (t.memo) {
    for (uint32_t r = 1; r <= count; ++r) {
      size_t got = 0;
      st = t.dbf->read(t.recordOffset(r), buf.data(), t.recordLen, &got);
      if (!st.ok()) return st;
      if (got < t.recordLen || buf[0] == '*') continue;
      for (size_t f = 0; f < t.fields.size(); ++f) {
        if (t.fields[f].type != 'M') continue;
        uint32_t b = memoBlock(t.raw(static_cast<int>(f), buf.data()));
        if (b == 0) continue;
        uint32_t n = 0;
        st = t.memo->extent(b, &n);
        if (!st.ok()) return st;
        memos.push_back(MemoRef{b, n});
      }
    }
    std::sort(memos.begin(), memos.end(), [](const MemoRef& a, const MemoRef& b) { return a.block < b.block; });
    memos.erase(std::unique(memos.begin(), memos.end(), [](const MemoRef& a, const MemoRef& b) { return a.block == b.block; }),
                memos.end());
    for (size_t i = 1; i < memos.size(); ++i)
      if (memos[i - 1].block + memos[i - 1].blocks > memos[i].block)
        return Status::Corruption(t.memoPath + ": memos at blocks " + std::to_string(memos[i - 1].block) + " and " +
                                  std::to_string(memos[i].block) + " overlap; pack refused");
  }
  std::map<uint32_t, uint32_t> moved;
  if (t.memo) {
    uint32_t next = t.memo->firstBlock();
    const uint32_t bs = t.memo->blockSize();
    std::vector<char> data;
    for (const MemoRef& m : memos) {
      if (m.block != next) {
        data.resize(static_cast<size_t>(m.blocks) * bs);
        size_t got = 0;
        st = t.memo->file().read(uint64_t{m.block} * bs, data.data(), data.size(), &got);
        if (!st.ok()) return st;
        std::fill(data.begin() + static_cast<std::ptrdiff_t>(got), data.end(), '\0');
        st = t.memo->file().write(uint64_t{next} * bs, data.data(), data.size());
        if (!st.ok()) return st;
      }
      moved[m.block] = next;
      next += m.blocks;
    }
    st = t.memo->file().truncate(uint64_t{next} * bs);
    if (st.ok()) st = t.memo->setNextFree(next);
    if (!st.ok()) return st;
  }

  uint32_t live = 0;
  for (uint32_t r = 1; r <= count; ++r) {
    size_t got = 0;
    st = t.dbf->read(t.recordOffset(r), buf.data(), t.recordLen, &got);
    if (!st.ok()) return st;
    if (got < t.recordLen || buf[0] == '*') continue;
    ++live;
    bool changed = live != r;
    for (size_t f = 0; f < t.fields.size() && t.memo; ++f) {
      if (t.fields[f].type != 'M') continue;
      char* field = buf.data() + t.offsets[f];
      uint32_t b = memoBlock(std::string_view(field, 10));
      if (b == 0) continue;
      auto it = moved.find(b);
      uint32_t nb = it == moved.end() ? 0 : it->second;
      if (nb != b) {
        putBlock(field, nb);
        changed = true;
      }
    }
    if (changed) {
      st = t.dbf->write(t.recordOffset(live), buf.data(), t.recordLen);
      if (!st.ok()) return st;
    }
  }
  char eofMark = dbfmt::kEofMarker;
  st = t.dbf->truncate(t.recordOffset(live + 1));
  if (st.ok()) st = t.dbf->write(t.recordOffset(live + 1), &eofMark, 1);
  if (!st.ok()) return st;
  unsigned char h[4];
  putLe32(h, live);
  st = t.dbf->write(4, h, 4);
  if (st.ok()) st = t.writeHeaderCount(false);
  if (!st.ok()) return st;
  for (size_t i = 0; i < t.tags.size(); ++i) {
    std::vector<cdx::Entry> entries = t.collectEntries(static_cast<int>(i), {}, &st);
    if (!st.ok()) return st;
    st = t.cdx->rebuildTag(static_cast<int>(i), std::move(entries));
    if (!st.ok()) return st;
  }
  t.locks.clear();
  suspendNotify();
  st = goTop();
  resumeNotify();
  return st;
}

Status Table::zap() {
  Impl& t = *impl_;
  Status st = t.requireWritable("zap");
  if (!st.ok()) return st;
  if (t.shared) return Status::InvalidArgument("zap: " + t.path + " must be open exclusively");
  t.dirty = false;
  char eofMark = dbfmt::kEofMarker;
  st = t.dbf->truncate(t.headerLen);
  if (st.ok()) st = t.dbf->write(t.headerLen, &eofMark, 1);
  unsigned char h[4];
  putLe32(h, 0);
  if (st.ok()) st = t.dbf->write(4, h, 4);
  if (st.ok()) st = t.writeHeaderCount(false);
  if (!st.ok()) return st;
  if (t.memo) {
    st = t.memo->file().truncate(fpt::kHeaderSize);
    if (st.ok()) st = t.memo->setNextFree(t.memo->firstBlock());
    if (!st.ok()) return st;
  }
  for (size_t i = 0; i < t.tags.size(); ++i) {
    st = t.cdx->rebuildTag(static_cast<int>(i), {});
    if (!st.ok()) return st;
  }
  t.locks.clear();
  suspendNotify();
  st = goTop();
  resumeNotify();
  return st;
}

namespace {

// One field of the source record into the destination buffer, by the rules of appendFrom.
void copyField(Table::Impl& src, int si, Table::Impl& dst, int di) {
  const FieldDef& sf = src.fields[static_cast<size_t>(si)];
  const FieldDef& df = dst.fields[static_cast<size_t>(di)];
  char* out = dst.rec.data() + dst.offsets[static_cast<size_t>(di)];
  std::string_view in = src.raw(si, src.rec.data());
  const size_t w = static_cast<size_t>(df.width);
  auto putText = [&](std::string_view bytes) {
    size_t n = std::min(bytes.size(), w);
    std::memcpy(out, bytes.data(), n);
    std::memset(out + n, ' ', w - n);
  };
  if (df.type == 'M') {
    std::string text;
    if (sf.type == 'M') {
      src.memoText(si, src.rec.data(), &text);
    } else if (sf.type == 'C') {
      text = toUtf8(in, CodePage::kCp850);
      while (!text.empty() && text.back() == ' ') text.pop_back();
    } else {
      return;
    }
    dst.pendingMemo[static_cast<size_t>(di)] = std::move(text);
    dst.anyPendingMemo = true;
    return;
  }
  switch (df.type) {
    case 'C':
      if (sf.type == 'C') {
        putText(in);
      } else if (sf.type == 'M') {
        std::string text;
        src.memoText(si, src.rec.data(), &text);
        putText(fromUtf8(text, CodePage::kCp850));
      }
      break;
    case 'N':
      if (sf.type == 'N') {
        if (in.find_first_not_of(' ') == std::string_view::npos) {
          std::memset(out, ' ', w);
        } else if (!formatNumber(parseNumber(in), df.width, df.decimals, out)) {
          std::memset(out, ' ', w);  // does not fit: left empty rather than wrong
        }
      }
      break;
    case 'D':
    case 'L':
      if (sf.type == df.type) std::memcpy(out, in.data(), w);
      break;
  }
}

}  // namespace

Status Table::appendFrom(const std::string& path) {
  Impl& t = *impl_;
  Status st = t.requireWritable("appendFrom");
  if (!st.ok()) return st;
  st = t.flush();
  if (!st.ok()) return st;
  OpenOptions o;
  o.shared = true;
  o.readOnly = true;
  auto src = Table::open(*t.session, path, o);
  if (!src.ok()) return src.status();
  if ((*src)->path() == t.path) return Status::InvalidArgument("appendFrom: " + t.path + " cannot be appended to itself");
  Impl& s = *(*src)->impl_;
  std::vector<std::pair<int, int>> map;  // source field, destination field
  for (size_t i = 0; i < t.fields.size(); ++i) {
    int j = (*src)->fieldIndex(t.fields[i].name);
    if (j >= 0) map.emplace_back(j, static_cast<int>(i));
  }
  const uint32_t count = (*src)->recCount();
  suspendNotify();
  for (uint32_t r = 1; r <= count; ++r) {
    bool exists = false;
    st = s.readRecord(r, &exists);
    if (!st.ok()) break;
    if (!exists) break;
    if (t.session->deletedHidden() && s.rec[0] == '*') continue;
    st = append();
    if (!st.ok()) break;
    t.rec[0] = s.rec[0];
    for (auto [si, di] : map) copyField(s, si, t, di);
    t.dirty = true;
    st = t.flush();
    if (!st.ok()) break;
  }
  Status c = commit();
  if (st.ok()) st = c;
  unlock();
  resumeNotify();
  return st;
}

Status Table::copyTo(const std::string& path, const RecordPredicate& pred) {
  Impl& t = *impl_;
  if (!t.open) return Status::InvalidArgument("copyTo: table is closed");
  Status st = t.flush();
  if (!st.ok()) return st;
  std::string target = t.session->pathForNewFile(path.find('.', path.find_last_of("/\\") + 1) == std::string::npos
                                                     ? path + ".DBF"
                                                     : path);
  if (target == t.path) return Status::InvalidArgument("copyTo: " + t.path + " cannot be copied onto itself");
  st = Table::create(*t.session, target, t.fields, true);
  if (!st.ok()) return st;
  OpenOptions o;
  o.shared = false;
  auto dst = Table::open(*t.session, target, o);
  if (!dst.ok()) return dst.status();
  Impl& d = *(*dst)->impl_;
  suspendNotify();
  st = goTop();
  while (st.ok() && !t.atEof) {
    if (!pred || pred(*this)) {
      st = (*dst)->append();
      if (!st.ok()) break;
      std::memcpy(d.rec.data(), t.rec.data(), t.recordLen);
      for (size_t f = 0; f < t.fields.size(); ++f) {
        if (t.fields[f].type != 'M') continue;
        char* field = d.rec.data() + d.offsets[f];
        std::memset(field, ' ', 10);
        uint32_t b = memoBlock(t.raw(static_cast<int>(f), t.rec.data()));
        if (b == 0 || !t.memo) continue;
        std::string bytes;
        st = t.memo->read(b, &bytes);
        if (!st.ok()) break;
        uint32_t nb = 0;
        st = d.memo->write(bytes, &nb);
        if (!st.ok()) break;
        putBlock(field, nb);
      }
      if (!st.ok()) break;
      d.dirty = true;
      st = d.flush();
      if (!st.ok()) break;
    }
    st = skip(1);
  }
  Status c = (*dst)->commit();
  if (st.ok()) st = c;
  c = (*dst)->close();
  if (st.ok()) st = c;
  resumeNotify();
  return st;
}

Status Table::eval(const std::function<bool(Table&)>& visit, const RecordPredicate& pred) {
  Status st = goTop();
  while (st.ok() && !impl_->atEof) {
    if (!pred || pred(*this))
      if (!visit(*this)) return Status::OK();
    st = skip(1);
  }
  return st;
}

Result<uint32_t> Table::count(const RecordPredicate& pred) {
  uint32_t n = 0;
  Status st = eval([&n](Table&) { ++n; return true; }, pred);
  if (!st.ok()) return st;
  return n;
}

}  // namespace zentor::dbf
