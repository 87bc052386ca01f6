// The CDX compound index: tag directory, B+ trees of 512-byte pages, locking, page cache and the
// write-ahead journal that keeps the tree sound when a writer dies.
//
// Crash safety. Every change is collected in memory first (a Txn). Pages beyond the old end of
// file are written at once: nothing reachable points at them yet. The images of every other page
// the change touches (always including the file header with the bumped change counter and the
// free-list head) then go into the journal "<name>.CDJ" as one write, protected by a checksum and
// a magic number; then the header, then the pages are written into the CDX; then the magic number
// is cleared. Whoever takes the CDX lock and sees the change counter move looks at the journal;
// a valid journal whose counters match the file is replayed under the exclusive lock (a read-only
// handle overlays it instead). The journal records the counter before and after the change, so a
// journal left behind is never replayed over changes another engine made since.
//
// The journal also keeps the header page as it was and, per page, the hash of its old contents.
// It is replayed when the header already holds its new contents (the header is written before any
// other page, so later pages may be torn), or when the header is its old contents or a mix of old
// and new while every other page still holds its old or new contents. So it never lands on a file
// that another engine changed meanwhile or that was deleted and created anew.
//
// Journal layout: 0 magic (u32), 4 page count n (u32), 8 counter before, 12 counter after (u32),
// 16 FNV-1a 64 of bytes 4..15 and of everything from 24 on, 24 the header page before the change
// (512 bytes), 536 n records in offset order (the first is the header page) of offset (u32),
// FNV-1a 64 of the page before the change (u64), the 512 bytes after it.
#include "cdx.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <numeric>
#include <set>
#include <unordered_map>

#include "cdx_page.h"
#include "dbf/collation.h"

namespace zentor::dbf::cdx {

using namespace detail;

namespace {

constexpr uint64_t kLockOffset = 0x7FFFFFFE;
constexpr uint32_t kJournalMagic = 0x314A435Au;  // "ZCJ1"
constexpr size_t kJournalHead = 24;
constexpr size_t kJournalRecord = 4 + 8 + kPageSize;
constexpr size_t kMaxCachedNodes = 16384;
constexpr int kMaxDepth = 40;
constexpr size_t kMaxProblemsPerTree = 50;
constexpr int kDirKeyLen = 10;

std::string hex(uint64_t v) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  do {
    s.insert(s.begin(), d[v & 15]);
    v >>= 4;
  } while (v);
  return "0x" + s;
}

uint64_t fnv1a(const uint8_t* p, size_t n, uint64_t h = 0xcbf29ce484222325ULL) {
  for (size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 0x100000001b3ULL;
  }
  return h;
}

}  // namespace

std::string CdxFile::journalPath(const std::string& p) {
  auto sep = p.find_last_of("/\\");
  auto dot = p.find_last_of('.');
  if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) {
    bool lower = dot + 1 < p.size() && p[dot + 1] >= 'a' && p[dot + 1] <= 'z';
    return p.substr(0, dot + 1) + (lower ? "cdj" : "CDJ");
  }
  return p + ".CDJ";
}

namespace {

std::string normKey(std::string_view k, int keyLen) {
  std::string s(k.substr(0, static_cast<size_t>(keyLen)));
  s.resize(static_cast<size_t>(keyLen), ' ');
  return s;
}

std::string trimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

enum class Mode { kKeyGE, kEntryGE, kEntryGT };
struct Target {
  std::string_view key;
  uint32_t rec = 0;
  Mode mode = Mode::kEntryGE;
};

// True when the entry sorts before the target.
bool before(std::string_view ek, uint32_t er, const Target& t) {
  int c = collateCompare(ek.substr(0, std::min(ek.size(), t.key.size())), t.key);
  if (c == 0 && ek.size() < t.key.size()) c = -1;
  if (c != 0) return c < 0;
  switch (t.mode) {
    case Mode::kKeyGE: return false;
    case Mode::kEntryGE: return er < t.rec;
    case Mode::kEntryGT: return er <= t.rec;
  }
  return false;
}

size_t lowerIndex(const Node& n, const Target& t) {
  size_t lo = 0, hi = n.count();
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (before(n.key(mid), n.recs[mid], t)) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

struct Tree {
  uint32_t hdr = 0;  // offset of the 1024-byte header that holds the root
  int keyLen = 0;
  std::string name;  // for messages
};

struct TagRec {
  TagInfo info;
  uint32_t hdr = 0;
};

using PagePtr = std::shared_ptr<const Node>;

struct Txn {
  std::map<uint32_t, std::shared_ptr<Node>> dirty;
  std::map<uint32_t, std::vector<uint8_t>> hdrs;  // 1024-byte headers as they will be
  std::set<uint32_t> newHdrs;
  std::map<uint32_t, uint32_t> freed;  // page -> next pointer it will hold
  uint32_t freeHead = 0;
  uint64_t eof = 0, oldEof = 0;
  bool tagsChanged = false;
};

class CdxImpl final : public CdxFile {
 public:
  CdxImpl(FileSystem& fs, std::string path, std::unique_ptr<File> f, bool ro)
      : fs_(fs), path_(std::move(path)), jpath_(journalPath(path_)), file_(std::move(f)), ro_(ro) {}

  const std::string& path() const override { return path_; }

  Status validateOnOpen() {
    Held h(this);
    if (auto st = h.acquire(LockType::kShared); !st.ok()) return st;
    if (fileSize_ < kHeaderSize + kPageSize) return Status::Corruption(path_ + ": too short for a CDX file");
    auto tg = loadTags();
    if (!tg.ok()) return tg.status();
    return Status::OK();
  }

  Status writeEmpty() {
    std::vector<uint8_t> buf(kHeaderSize + kPageSize, 0);
    initHeader(buf.data(), kHeaderSize, kDirKeyLen, 0xE0, "");
    putLE32(buf.data(), kHeaderSize);
    Node root;
    root.type = kTypeRoot | kTypeLeaf;
    root.keyLen = kDirKeyLen;
    encodePage(root, buf.data() + kHeaderSize);
    if (auto st = file_->lock(kLockOffset, 1, LockType::kExclusive, true); !st.ok()) return st;
    // Continue the old file's change counter so that handles still open on it drop their caches.
    uint8_t old[12];
    size_t got = 0;
    if (file_->read(0, old, sizeof old, &got).ok() && got == sizeof old) putBE32(buf.data() + 8, getBE32(old + 8) + 1);
    Status st = file_->truncate(0);
    if (st.ok()) st = file_->write(0, buf.data(), buf.size());
    if (st.ok() && fs_.exists(jpath_)) {
      auto j = fs_.open(jpath_, FileOpenOptions{});
      if (j.ok()) {
        uint8_t z[4] = {0, 0, 0, 0};
        st = (*j)->write(0, z, 4);
      }
    }
    file_->unlock(kLockOffset, 1);
    return st;
  }

  // ---- reading ----

  Result<std::vector<TagInfo>> tags() override {
    Held h(this);
    if (auto st = h.acquire(LockType::kShared); !st.ok()) return st;
    auto tg = loadTags();
    if (!tg.ok()) return tg.status();
    std::vector<TagInfo> out;
    for (const auto& t : *tags_) out.push_back(t.info);
    return out;
  }

  Result<std::optional<Entry>> lowerBound(int tag, std::string_view prefix, uint32_t minRecno) override {
    Held h(this);
    if (auto st = h.acquire(LockType::kShared); !st.ok()) return st;
    auto tr = treeOf(tag);
    if (!tr.ok()) return tr.status();
    const Tree& t = *tr;
    bool full = prefix.size() == static_cast<size_t>(t.keyLen);
    Target tg{prefix, minRecno, full ? Mode::kEntryGE : Mode::kKeyGE};
    auto pos = seek(t, tg);
    if (!pos.ok()) return pos.status();
    if (full || minRecno == 0) return entryAt(t, *pos);
    // Within one prefix the record numbers are not ordered: walk the equal-prefix run.
    Pos p = *pos;
    for (uint64_t guard = 0; guard <= pageBound() * 512; ++guard) {
      auto e = entryAt(t, p);
      if (!e.ok() || !e->has_value()) return e;
      const Entry& en = **e;
      if (collateCompare(std::string_view(en.key).substr(0, prefix.size()), prefix) != 0 || en.recno >= minRecno)
        return e;
      ++p.idx;
    }
    return Status::Corruption(path_ + ": tag " + t.name + ": endless sibling chain");
  }

  Result<std::optional<Entry>> next(int tag, const Entry& after) override {
    Held h(this);
    if (auto st = h.acquire(LockType::kShared); !st.ok()) return st;
    auto tr = treeOf(tag);
    if (!tr.ok()) return tr.status();
    std::string k = normKey(after.key, tr->keyLen);
    auto pos = seek(*tr, Target{k, after.recno, Mode::kEntryGT});
    if (!pos.ok()) return pos.status();
    return entryAt(*tr, *pos);
  }

  Result<std::optional<Entry>> prev(int tag, const Entry& before) override {
    Held h(this);
    if (auto st = h.acquire(LockType::kShared); !st.ok()) return st;
    auto tr = treeOf(tag);
    if (!tr.ok()) return tr.status();
    std::string k = normKey(before.key, tr->keyLen);
    auto pos = seek(*tr, Target{k, before.recno, Mode::kEntryGE});
    if (!pos.ok()) return pos.status();
    return entryBefore(*tr, *pos);
  }

  Result<std::optional<Entry>> first(int tag) override {
    Held h(this);
    if (auto st = h.acquire(LockType::kShared); !st.ok()) return st;
    auto tr = treeOf(tag);
    if (!tr.ok()) return tr.status();
    auto leaf = edgeLeaf(*tr, false);
    if (!leaf.ok()) return leaf.status();
    return entryAt(*tr, Pos{*leaf, 0});
  }

  Result<std::optional<Entry>> last(int tag) override {
    Held h(this);
    if (auto st = h.acquire(LockType::kShared); !st.ok()) return st;
    auto tr = treeOf(tag);
    if (!tr.ok()) return tr.status();
    auto leaf = edgeLeaf(*tr, true);
    if (!leaf.ok()) return leaf.status();
    return entryBefore(*tr, Pos{*leaf, (*leaf)->count()});
  }

  Status scan(int tag, const std::function<bool(const Entry&)>& visit) override {
    Held h(this);
    if (auto st = h.acquire(LockType::kShared); !st.ok()) return st;
    auto tr = treeOf(tag);
    if (!tr.ok()) return tr.status();
    auto leaf = edgeLeaf(*tr, false);
    if (!leaf.ok()) return leaf.status();
    PagePtr n = *leaf;
    Entry e;
    for (uint64_t steps = 0;; ++steps) {
      if (steps > pageBound()) return Status::Corruption(path_ + ": tag " + tr->name + ": sibling chain loops");
      for (size_t i = 0; i < n->count(); ++i) {
        e.key.assign(n->key(i));
        e.recno = n->recs[i];
        if (!visit(e)) return Status::OK();
      }
      if (n->right == kNoPage) return Status::OK();
      auto r = node(n->right, tr->keyLen, tr->name);
      if (!r.ok()) return r.status();
      if (!(*r)->leaf()) return Status::Corruption(path_ + ": tag " + tr->name + ": leaf sibling is no leaf");
      n = *r;
    }
  }

  // ---- writing ----

  Status addTag(const std::string& name, const std::string& expression, int keyLength,
                std::vector<Entry> entries) override {
    std::string nm = upperCp850(name);
    if (nm.empty() || nm.size() > 10 || nm.find(' ') != std::string::npos)
      return Status::InvalidArgument(path_ + ": invalid tag name \"" + name + "\"");
    if (keyLength < 1 || keyLength > kMaxKeyLength)
      return Status::InvalidArgument(path_ + ": tag " + nm + ": key length " + std::to_string(keyLength) +
                                     " out of range 1.." + std::to_string(kMaxKeyLength));
    if (expression.size() + 2 > kPageSize || expression.find('\0') != std::string::npos)
      return Status::InvalidArgument(path_ + ": tag " + nm + ": key expression too long");
    sortEntries(entries, keyLength);
    return writeOp([&](Txn& tx) -> Status {
      auto tg = loadTags();
      if (!tg.ok()) return tg.status();
      const TagRec* old = nullptr;
      for (const auto& t : *tags_)
        if (t.info.name == nm) old = &t;
      uint32_t hdr;
      Tree oldTree;
      bool hasOld = old != nullptr;
      if (hasOld) {
        hdr = old->hdr;
        oldTree = Tree{hdr, old->info.keyLength, nm};
      } else {
        hdr = static_cast<uint32_t>(tx.eof);
        tx.eof += kHeaderSize;
        tx.hdrs[hdr] = std::vector<uint8_t>(kHeaderSize, 0);
        tx.newHdrs.insert(hdr);
        auto dir = dirTree();
        if (!dir.ok()) return dir.status();
        if (auto st = insertEntry(tx, *dir, normKey(nm, dir->keyLen), hdr); !st.ok()) return st;
      }
      // Free the old tree while the header still describes it.
      if (hasOld) freeTree(tx, oldTree);
      auto& h = txHeader(tx, hdr);
      if (h.empty()) return Status::Corruption(path_ + ": tag " + nm + ": header unreadable");
      initHeader(h.data(), h.size(), keyLength, 0x60, expression);
      tx.tagsChanged = true;
      return buildTree(tx, Tree{hdr, keyLength, nm}, entries);
    });
  }

  Status rebuildTag(int tag, std::vector<Entry> entries) override {
    int kl;
    {
      auto info = tags();
      if (!info.ok()) return info.status();
      if (tag < 0 || static_cast<size_t>(tag) >= info->size())
        return Status::InvalidArgument(path_ + ": no tag number " + std::to_string(tag));
      kl = (*info)[tag].keyLength;
    }
    sortEntries(entries, kl);
    return writeOp([&](Txn& tx) -> Status {
      auto tr = treeOf(tag);
      if (!tr.ok()) return tr.status();
      if (tr->keyLen != kl) return Status::Corruption(path_ + ": tag " + tr->name + " changed while rebuilding");
      freeTree(tx, *tr);
      return buildTree(tx, *tr, entries);
    });
  }

  Status apply(const std::vector<KeyChange>& changes) override {
    return writeOp([&](Txn& tx) -> Status {
      for (const auto& c : changes) {
        auto tr = treeOf(c.tag);
        if (!tr.ok()) return tr.status();
        if (c.oldKey && c.newKey && normKey(*c.oldKey, tr->keyLen) == normKey(*c.newKey, tr->keyLen)) continue;
        if (c.oldKey)
          if (auto st = removeEntry(tx, *tr, normKey(*c.oldKey, tr->keyLen), c.recno); !st.ok()) return st;
        if (c.newKey)
          if (auto st = insertEntry(tx, *tr, normKey(*c.newKey, tr->keyLen), c.recno); !st.ok()) return st;
      }
      return Status::OK();
    });
  }

  Status check(std::vector<std::string>* problems) override {
    Held h(this);
    if (auto st = h.acquire(LockType::kShared); !st.ok()) return st;
    Checker ck(this, problems);
    ck.run();
    return Status::OK();
  }

 private:
  struct Pos {
    PagePtr leaf;
    size_t idx = 0;
  };

  // Holds the CDX lock for one public call.
  class Held {
   public:
    explicit Held(CdxImpl* c) : c_(c) {}
    ~Held() {
      if (locked_) c_->file_->unlock(kLockOffset, 1);
    }
    Status acquire(LockType t) {
      if (auto st = c_->file_->lock(kLockOffset, 1, t, true); !st.ok()) return st;
      locked_ = true;
      c_->held_ = t;
      return c_->refresh();
    }

   private:
    CdxImpl* c_;
    bool locked_ = false;
  };

  uint64_t pageBound() const { return fileSize_ / kPageSize + 1; }

  Status readExact(File& f, uint64_t off, void* buf, size_t n, const std::string& what) {
    size_t got = 0;
    if (auto st = f.read(off, buf, n, &got); !st.ok()) return st;
    if (got != n) return Status::Corruption(f.path() + ": " + what + " at " + hex(off) + " lies beyond the end of the file");
    return Status::OK();
  }

  void dropCache() {
    valid_ = false;
    nodes_.clear();
    diskHash_.clear();
    hdrs_.clear();
    tags_.reset();
    overlay_.clear();
  }

  // Re-validates the cache against the file header; replays a journal a dead writer left.
  Status refresh() {
    for (int round = 0; round < 3; ++round) {
      uint8_t b[8];
      if (auto st = readExact(*file_, 4, b, 8, "header"); !st.ok()) return st;
      uint32_t fr = getLE32(b), cnt = getBE32(b + 4);
      if (valid_ && fr == free_ && cnt == counter_) return Status::OK();
      dropCache();
      if (auto st = file_->size(&fileSize_); !st.ok()) return st;
      std::vector<std::pair<uint32_t, std::array<uint8_t, kPageSize>>> pages;
      if (auto st = readJournal(cnt, &pages); !st.ok()) return st;
      if (pages.empty()) {
        free_ = fr;
        counter_ = cnt;
        valid_ = true;
        return Status::OK();
      }
      if (ro_) {
        for (auto& [off, img] : pages) overlay_[off] = img;
        free_ = fr;
        counter_ = cnt;
        // Header fields as the finished change leaves them.
        if (overlay_.count(0)) {
          free_ = getLE32(overlay_[0].data() + 4);
          counter_ = getBE32(overlay_[0].data() + 8);
        }
        valid_ = false;  // re-check the journal at every call until a writer finishes it
        return Status::OK();
      }
      if (held_ != LockType::kExclusive) {
        file_->unlock(kLockOffset, 1);
        if (auto st = file_->lock(kLockOffset, 1, LockType::kExclusive, true); !st.ok()) {
          // Keep the Held guard's promise of a held lock: take the shared one back.
          file_->lock(kLockOffset, 1, LockType::kShared, true);
          return st;
        }
        held_ = LockType::kExclusive;
        continue;  // someone may have finished the journal meanwhile
      }
      for (auto& [off, img] : pages)
        if (auto st = file_->write(off, img.data(), kPageSize); !st.ok()) return st;
      uint8_t z[4] = {0, 0, 0, 0};
      if (auto st = jfile_->write(0, z, 4); !st.ok()) return st;
    }
    return Status::Corruption(path_ + ": journal could not be settled");
  }

  // Fills *pages with the journal's images when it holds a finished record that belongs to the
  // file as it stands (change counter before or after that change).
  Status readJournal(uint32_t counter, std::vector<std::pair<uint32_t, std::array<uint8_t, kPageSize>>>* pages) {
    pages->clear();
    if (!jfile_) {
      if (!fs_.exists(jpath_)) return Status::OK();
      FileOpenOptions o;
      o.readOnly = ro_;
      auto j = fs_.open(jpath_, o);
      if (!j.ok()) return j.status().isNotFound() ? Status::OK() : j.status();
      jfile_ = std::move(*j);
    }
    uint8_t head[kJournalHead];
    size_t got = 0;
    if (auto st = jfile_->read(0, head, kJournalHead, &got); !st.ok()) return st;
    if (got < kJournalHead || getLE32(head) != kJournalMagic) return Status::OK();
    uint32_t n = getLE32(head + 4), cBefore = getLE32(head + 8), cAfter = getLE32(head + 12);
    uint64_t sum = 0;
    std::memcpy(&sum, head + 16, 8);
    uint64_t jsize = 0;
    if (auto st = jfile_->size(&jsize); !st.ok()) return st;
    if (n == 0 || jsize < kJournalHead + kPageSize || n > (jsize - kJournalHead - kPageSize) / kJournalRecord)
      return Status::OK();
    if (counter != cBefore && counter != cAfter) return Status::OK();
    std::vector<uint8_t> body(kPageSize + n * kJournalRecord);
    if (auto st = jfile_->read(kJournalHead, body.data(), body.size(), &got); !st.ok()) return st;
    if (got != body.size()) return Status::OK();
    if (fnv1a(body.data(), body.size(), fnv1a(head + 4, 12)) != sum) return Status::OK();
    const uint8_t* before0 = body.data();
    const uint8_t* recs = body.data() + kPageSize;
    if (getLE32(recs) != 0) return Status::OK();
    const uint8_t* after0 = recs + 12;
    uint8_t now0[kPageSize];
    if (auto st = readExact(*file_, 0, now0, kPageSize, "header"); !st.ok()) return st;
    bool headerDone = std::memcmp(now0, after0, kPageSize) == 0;
    if (!headerDone)
      for (size_t i = 0; i < kPageSize; ++i)
        if (now0[i] != before0[i] && now0[i] != after0[i]) return Status::OK();
    std::vector<std::pair<uint32_t, std::array<uint8_t, kPageSize>>> out;
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* r = recs + i * kJournalRecord;
      uint32_t off = getLE32(r);
      if (off % kPageSize != 0) return Status::OK();
      if (!headerDone && off != 0) {
        uint64_t beforeHash;
        std::memcpy(&beforeHash, r + 4, 8);
        uint8_t now[kPageSize];
        if (!file_->read(off, now, kPageSize, &got).ok() || got != kPageSize) return Status::OK();
        if (std::memcmp(now, r + 12, kPageSize) != 0 && fnv1a(now, kPageSize) != beforeHash) return Status::OK();
      }
      std::array<uint8_t, kPageSize> img;
      std::memcpy(img.data(), r + 12, kPageSize);
      out.emplace_back(off, img);
    }
    *pages = std::move(out);
    return Status::OK();
  }

  Status readPage(uint32_t off, uint8_t* buf, const std::string& tree) {
    if (off % kPageSize != 0 || off < kHeaderSize || off + uint64_t(kPageSize) > fileSize_) {
      if (auto it = overlay_.find(off); it != overlay_.end() && off % kPageSize == 0 && off >= kHeaderSize) {
        std::memcpy(buf, it->second.data(), kPageSize);
        return Status::OK();
      }
      return Status::Corruption(path_ + ": tag " + tree + ": page pointer " + hex(off) + " is not a page of the file");
    }
    if (auto it = overlay_.find(off); it != overlay_.end()) {
      std::memcpy(buf, it->second.data(), kPageSize);
      return Status::OK();
    }
    return readExact(*file_, off, buf, kPageSize, "page");
  }

  // A tree page as it stands in the current transaction, the cache or the file.
  Result<PagePtr> node(uint32_t off, int keyLen, const std::string& tree) {
    if (txn_) {
      auto it = txn_->dirty.find(off);
      if (it != txn_->dirty.end()) return PagePtr(it->second);
      if (txn_->freed.count(off))
        return Status::Corruption(path_ + ": tag " + tree + ": page " + hex(off) + " is referenced after being freed");
    }
    auto it = nodes_.find(off);
    if (it != nodes_.end() && it->second->keyLen == keyLen) return it->second;
    uint8_t buf[kPageSize];
    if (auto st = readPage(off, buf, tree); !st.ok()) return st;
    auto n = std::make_shared<Node>();
    std::string why;
    diskHash_[off] = fnv1a(buf, kPageSize);
    if (!decodePage(buf, off, keyLen, n.get(), &why))
      return Status::Corruption(path_ + ": tag " + tree + ": page " + hex(off) + ": " + why);
    if (nodes_.size() >= kMaxCachedNodes) nodes_.clear();
    nodes_[off] = n;
    return PagePtr(n);
  }

  Result<const std::vector<uint8_t>*> header(uint32_t off) {
    if (txn_) {
      auto it = txn_->hdrs.find(off);
      if (it != txn_->hdrs.end()) return &it->second;
    }
    auto it = hdrs_.find(off);
    if (it != hdrs_.end()) return &it->second;
    if (off % kPageSize != 0 || off + uint64_t(kHeaderSize) > std::max<uint64_t>(fileSize_, overlayEnd()))
      return Status::Corruption(path_ + ": tag header " + hex(off) + " is not inside the file");
    std::vector<uint8_t> h(kHeaderSize);
    for (uint32_t half = 0; half < 2; ++half) {
      uint32_t p = off + half * kPageSize;
      if (auto ov = overlay_.find(p); ov != overlay_.end()) {
        std::memcpy(h.data() + half * kPageSize, ov->second.data(), kPageSize);
      } else if (auto st = readExact(*file_, p, h.data() + half * kPageSize, kPageSize, "header"); !st.ok()) {
        return st;
      }
    }
    return &(hdrs_[off] = std::move(h));
  }

  uint64_t overlayEnd() const { return overlay_.empty() ? 0 : overlay_.rbegin()->first + uint64_t(kPageSize); }

  Result<uint32_t> rootOf(const Tree& t) {
    auto h = header(t.hdr);
    if (!h.ok()) return h.status();
    return getLE32((*h)->data());
  }

  Result<Tree> dirTree() {
    auto h = header(0);
    if (!h.ok()) return h.status();
    int kl = getLE16((*h)->data() + 12);
    if (kl < 1 || kl > kMaxKeyLength)
      return Status::Corruption(path_ + ": tag directory key length " + std::to_string(kl));
    return Tree{0, kl, "(directory)"};
  }

  Result<Tree> treeOf(int tag) {
    auto tg = loadTags();
    if (!tg.ok()) return tg.status();
    if (tag < 0 || static_cast<size_t>(tag) >= tags_->size())
      return Status::InvalidArgument(path_ + ": no tag number " + std::to_string(tag));
    const TagRec& r = (*tags_)[tag];
    return Tree{r.hdr, r.info.keyLength, r.info.name};
  }

  static void initHeader(uint8_t* h, size_t size, int keyLen, uint8_t options, const std::string& expr) {
    std::memset(h, 0, size);
    putLE16(h + 12, static_cast<uint16_t>(keyLen));
    h[14] = options;
    h[15] = 0x01;
    uint16_t len = static_cast<uint16_t>(expr.size() + 1);
    putLE16(h + 504, len);      // FOR expression: empty, right after the key expression
    putLE16(h + 506, 1);
    putLE16(h + 508, 0);
    putLE16(h + 510, len);
    std::memcpy(h + 512, expr.data(), expr.size());
  }

  Result<bool> loadTags() {
    if (tags_) return true;
    auto dir = dirTree();
    if (!dir.ok()) return dir.status();
    std::vector<TagRec> out;
    std::set<uint32_t> seen;
    Status bad;
    auto st = walkEntries(*dir, [&](std::string_view k, uint32_t rec) {
      TagRec r;
      r.info.name = trimRight(std::string(k));
      r.hdr = rec;
      if (rec < kHeaderSize || !seen.insert(rec).second) {
        bad = Status::Corruption(path_ + ": tag " + r.info.name + ": header offset " + hex(rec) + " is impossible");
        return false;
      }
      auto h = header(rec);
      if (!h.ok()) {
        bad = h.status();
        return false;
      }
      const uint8_t* p = (*h)->data();
      r.info.keyLength = getLE16(p + 12);
      if (r.info.keyLength < 1 || r.info.keyLength > kMaxKeyLength) {
        bad = Status::Corruption(path_ + ": tag " + r.info.name + ": key length " + std::to_string(r.info.keyLength));
        return false;
      }
      r.info.unique = (p[14] & 0x01) != 0;
      r.info.hasCondition = (p[14] & 0x08) != 0;
      r.info.descending = getLE16(p + 502) != 0;
      size_t pos = getLE16(p + 508), len = getLE16(p + 510);
      if (pos + len > kPageSize) {
        bad = Status::Corruption(path_ + ": tag " + r.info.name + ": key expression outside the pool");
        return false;
      }
      const char* e = reinterpret_cast<const char*>(p + kPageSize + pos);
      r.info.expression.assign(e, strnlen(e, len));
      out.push_back(std::move(r));
      return true;
    });
    if (!st.ok()) return st;
    if (!bad.ok()) return bad;
    std::sort(out.begin(), out.end(), [](const TagRec& a, const TagRec& b) { return a.hdr < b.hdr; });
    tags_ = std::move(out);
    return true;
  }

  // Visits every entry of a tree in order (bounded against loops).
  Status walkEntries(const Tree& t, const std::function<bool(std::string_view, uint32_t)>& visit) {
    auto leaf = edgeLeaf(t, false);
    if (!leaf.ok()) return leaf.status();
    PagePtr n = *leaf;
    for (uint64_t steps = 0;; ++steps) {
      if (steps > pageBound()) return Status::Corruption(path_ + ": tag " + t.name + ": sibling chain loops");
      for (size_t i = 0; i < n->count(); ++i)
        if (!visit(n->key(i), n->recs[i])) return Status::OK();
      if (n->right == kNoPage) return Status::OK();
      auto r = node(n->right, t.keyLen, t.name);
      if (!r.ok()) return r.status();
      n = *r;
    }
  }

  Result<PagePtr> edgeLeaf(const Tree& t, bool rightmost) {
    auto root = rootOf(t);
    if (!root.ok()) return root.status();
    uint32_t off = *root;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
      auto n = node(off, t.keyLen, t.name);
      if (!n.ok()) return n.status();
      if ((*n)->leaf()) return *n;
      if ((*n)->count() == 0) return Status::Corruption(path_ + ": tag " + t.name + ": empty interior page " + hex(off));
      off = rightmost ? (*n)->kids.back() : (*n)->kids.front();
    }
    return Status::Corruption(path_ + ": tag " + t.name + ": tree deeper than " + std::to_string(kMaxDepth) + " levels");
  }

  // Leaf and index of the first entry not before the target; idx == count only at the end.
  Result<Pos> seek(const Tree& t, const Target& tg) {
    auto root = rootOf(t);
    if (!root.ok()) return root.status();
    uint32_t off = *root;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
      // Interior pages are only looked at, so a cached one is used in place; the raw pointer is
      // dropped before the next lookup can evict anything.
      const Node* cached = nullptr;
      if (!txn_) {
        auto it = nodes_.find(off);
        if (it != nodes_.end() && it->second->keyLen == t.keyLen && !it->second->leaf()) cached = it->second.get();
      }
      PagePtr held;
      if (!cached) {
        auto n = node(off, t.keyLen, t.name);
        if (!n.ok()) return n.status();
        held = std::move(*n);
        cached = held.get();
      }
      const Node& nd = *cached;
      size_t i = lowerIndex(nd, tg);
      if (nd.leaf()) return Pos{held, i};
      if (nd.count() == 0) return Status::Corruption(path_ + ": tag " + t.name + ": empty interior page " + hex(off));
      off = nd.kids[std::min(i, nd.count() - 1)];
    }
    return Status::Corruption(path_ + ": tag " + t.name + ": tree deeper than " + std::to_string(kMaxDepth) + " levels");
  }

  Result<std::optional<Entry>> entryAt(const Tree& t, Pos p) {
    for (uint64_t steps = 0; steps <= pageBound(); ++steps) {
      if (p.idx < p.leaf->count()) return std::optional<Entry>(Entry{std::string(p.leaf->key(p.idx)), p.leaf->recs[p.idx]});
      if (p.leaf->right == kNoPage) return std::optional<Entry>();
      auto r = node(p.leaf->right, t.keyLen, t.name);
      if (!r.ok()) return r.status();
      p = Pos{*r, p.idx - p.leaf->count()};
    }
    return Status::Corruption(path_ + ": tag " + t.name + ": sibling chain loops");
  }

  Result<std::optional<Entry>> entryBefore(const Tree& t, Pos p) {
    for (uint64_t steps = 0; steps <= pageBound(); ++steps) {
      if (p.idx > 0 && p.idx <= p.leaf->count())
        return std::optional<Entry>(Entry{std::string(p.leaf->key(p.idx - 1)), p.leaf->recs[p.idx - 1]});
      if (p.leaf->left == kNoPage) return std::optional<Entry>();
      auto l = node(p.leaf->left, t.keyLen, t.name);
      if (!l.ok()) return l.status();
      p = Pos{*l, (*l)->count()};
    }
    return Status::Corruption(path_ + ": tag " + t.name + ": sibling chain loops");
  }

  // ---- transactions ----

  Status writeOp(const std::function<Status(Txn&)>& body) {
    if (ro_) return Status::ReadOnly(path_ + ": index opened read-only");
    Held h(this);
    if (auto st = h.acquire(LockType::kExclusive); !st.ok()) return st;
    Txn tx;
    tx.freeHead = free_;
    tx.oldEof = tx.eof = (fileSize_ + kPageSize - 1) / kPageSize * kPageSize;
    txn_ = &tx;
    Status st = body(tx);
    if (st.ok() && (!tx.dirty.empty() || !tx.freed.empty() || !tx.hdrs.empty())) st = commit(tx);
    txn_ = nullptr;
    return st;
  }

  std::vector<uint8_t>& txHeader(Txn& tx, uint32_t off) {
    auto it = tx.hdrs.find(off);
    if (it != tx.hdrs.end()) return it->second;
    auto h = header(off);
    static std::vector<uint8_t> empty;
    if (!h.ok()) return empty;
    return tx.hdrs[off] = **h;
  }

  Status setRoot(Txn& tx, const Tree& t, uint32_t root) {
    auto& h = txHeader(tx, t.hdr);
    if (h.empty()) return Status::Corruption(path_ + ": tag " + t.name + ": header unreadable");
    putLE32(h.data(), root);
    return Status::OK();
  }

  Result<Node*> edit(Txn& tx, uint32_t off, const Tree& t) {
    auto it = tx.dirty.find(off);
    if (it != tx.dirty.end()) return it->second.get();
    auto n = node(off, t.keyLen, t.name);
    if (!n.ok()) return n.status();
    auto copy = std::make_shared<Node>(**n);
    Node* p = copy.get();
    tx.dirty[off] = std::move(copy);
    return p;
  }

  Result<uint32_t> alloc(Txn& tx, const Tree& t) {
    uint32_t off;
    if (tx.freeHead != 0) {
      off = tx.freeHead;
      if (off % kPageSize != 0 || off < kHeaderSize || off >= tx.eof || tx.dirty.count(off) || tx.hdrs.count(off))
        return Status::Corruption(path_ + ": free list points to " + hex(off));
      if (auto it = tx.freed.find(off); it != tx.freed.end()) {
        tx.freeHead = it->second;
        tx.freed.erase(it);
      } else {
        uint8_t buf[kPageSize];
        if (auto st = readPage(off, buf, t.name); !st.ok()) return st;
        diskHash_[off] = fnv1a(buf, kPageSize);
        tx.freeHead = getLE32(buf);
      }
    } else {
      off = static_cast<uint32_t>(tx.eof);
      if (tx.eof + kPageSize > 0xFFFFFE00u) return Status::NoSpace(path_ + ": index file reached its size limit");
      tx.eof += kPageSize;
    }
    auto n = std::make_shared<Node>();
    n->off = off;
    n->keyLen = t.keyLen;
    tx.dirty[off] = std::move(n);
    return off;
  }

  void freePage(Txn& tx, uint32_t off) {
    tx.dirty.erase(off);
    tx.freed[off] = tx.freeHead;
    tx.freeHead = off;
  }

  // Frees every page of a tree that can still be read; unreadable parts are left where they are
  // (a rebuild must succeed on a damaged tag).
  void freeTree(Txn& tx, const Tree& t) {
    auto root = rootOf(t);
    if (!root.ok()) return;
    std::vector<uint32_t> todo{*root}, pages;
    std::set<uint32_t> seen;
    while (!todo.empty() && seen.size() <= pageBound()) {
      uint32_t off = todo.back();
      todo.pop_back();
      if (!seen.insert(off).second || tx.freed.count(off)) continue;
      auto n = node(off, t.keyLen, t.name);
      if (!n.ok()) continue;
      pages.push_back(off);
      if (!(*n)->leaf()) todo.insert(todo.end(), (*n)->kids.begin(), (*n)->kids.end());
    }
    for (uint32_t off : pages) freePage(tx, off);
  }

  Status insertEntry(Txn& tx, const Tree& t, const std::string& key, uint32_t rec) {
    std::vector<std::pair<uint32_t, size_t>> path;
    auto root = rootOf(t);
    if (!root.ok()) return root.status();
    uint32_t off = *root;
    Target tg{key, rec, Mode::kEntryGE};
    for (int depth = 0;; ++depth) {
      if (depth >= kMaxDepth) return Status::Corruption(path_ + ": tag " + t.name + ": tree too deep");
      auto n = node(off, t.keyLen, t.name);
      if (!n.ok()) return n.status();
      const Node& nd = **n;
      size_t i = lowerIndex(nd, tg);
      if (nd.leaf()) {
        if (i < nd.count() && nd.recs[i] == rec && nd.key(i) == key) return Status::OK();
        auto e = edit(tx, off, t);
        if (!e.ok()) return e.status();
        (*e)->insert(i, key, rec, 0);
        bool append = i + 1 == (*e)->count() && (*e)->right == kNoPage;
        return settle(tx, t, path, off, append);
      }
      if (nd.count() == 0) return Status::Corruption(path_ + ": tag " + t.name + ": empty interior page " + hex(off));
      i = std::min(i, nd.count() - 1);
      path.emplace_back(off, i);
      off = nd.kids[i];
    }
  }

  Status removeEntry(Txn& tx, const Tree& t, const std::string& key, uint32_t rec) {
    std::vector<std::pair<uint32_t, size_t>> path;
    auto root = rootOf(t);
    if (!root.ok()) return root.status();
    uint32_t off = *root;
    Target tg{key, rec, Mode::kEntryGE};
    for (int depth = 0;; ++depth) {
      if (depth >= kMaxDepth) return Status::Corruption(path_ + ": tag " + t.name + ": tree too deep");
      auto n = node(off, t.keyLen, t.name);
      if (!n.ok()) return n.status();
      const Node& nd = **n;
      size_t i = lowerIndex(nd, tg);
      if (nd.leaf()) {
        if (i >= nd.count() || nd.recs[i] != rec || nd.key(i) != key) return Status::OK();
        auto e = edit(tx, off, t);
        if (!e.ok()) return e.status();
        (*e)->erase(i);
        return settle(tx, t, path, off, false);
      }
      if (i >= nd.count()) return Status::OK();
      path.emplace_back(off, i);
      off = nd.kids[i];
    }
  }

  static size_t chooseSplit(const Node& x, bool append) {
    size_t n = x.count();
    if (!x.leaf()) return append ? n - 1 : n / 2;
    if (append && leafSize(x, 0, n - 1) <= kPageSize && leafSize(x, n - 1, n) <= kPageSize) return n - 1;
    for (size_t d = 0; d < n; ++d) {
      for (size_t k : {n / 2 + d, n / 2 - std::min(d, n / 2)}) {
        if (k == 0 || k >= n) continue;
        if (leafSize(x, 0, k) <= kPageSize && leafSize(x, k, n) <= kPageSize) return k;
      }
    }
    return n / 2;
  }

  // Restores the tree's invariants upwards from a changed page: splits what overflows, unlinks
  // and frees what became empty, and keeps every parent entry equal to its child's last entry.
  Status settle(Txn& tx, const Tree& t, std::vector<std::pair<uint32_t, size_t>>& path, uint32_t off, bool append) {
    for (;;) {
      auto xe = edit(tx, off, t);
      if (!xe.ok()) return xe.status();
      Node* x = *xe;
      if (x->count() == 0 && !path.empty()) {
        uint32_t l = x->left, r = x->right;
        if (l != kNoPage) {
          auto ln = edit(tx, l, t);
          if (!ln.ok()) return ln.status();
          (*ln)->right = r;
        }
        if (r != kNoPage) {
          auto rn = edit(tx, r, t);
          if (!rn.ok()) return rn.status();
          (*rn)->left = l;
        }
        freePage(tx, off);
        auto [p, idx] = path.back();
        path.pop_back();
        auto pe = edit(tx, p, t);
        if (!pe.ok()) return pe.status();
        (*pe)->erase(idx);
        off = p;
        append = false;
        continue;
      }
      if (!nodeFits(*x)) {
        size_t k = chooseSplit(*x, append);
        auto no = alloc(tx, t);
        if (!no.ok()) return no.status();
        Node* nn = tx.dirty[*no].get();
        nn->type = static_cast<uint16_t>(x->type & ~kTypeRoot);
        x->moveTail(k, *nn);
        nn->left = off;
        nn->right = x->right;
        if (x->right != kNoPage) {
          auto rn = edit(tx, x->right, t);
          if (!rn.ok()) return rn.status();
          (*rn)->left = *no;
        }
        x->right = *no;
        if (path.empty()) {
          auto ro = alloc(tx, t);
          if (!ro.ok()) return ro.status();
          Node* r = tx.dirty[*ro].get();
          r->type = kTypeRoot;
          x->type = static_cast<uint16_t>(x->type & ~kTypeRoot);
          r->insert(0, x->key(x->count() - 1), x->recs.back(), off);
          r->insert(1, nn->key(nn->count() - 1), nn->recs.back(), *no);
          return setRoot(tx, t, *ro);
        }
        auto [p, idx] = path.back();
        path.pop_back();
        auto pe = edit(tx, p, t);
        if (!pe.ok()) return pe.status();
        Node* pn = *pe;
        pn->setEntry(idx, x->key(x->count() - 1), x->recs.back());
        pn->insert(idx + 1, nn->key(nn->count() - 1), nn->recs.back(), *no);
        append = idx + 2 == pn->count() && pn->right == kNoPage;
        off = p;
        continue;
      }
      if (path.empty()) return collapseRoot(tx, t, off);
      auto [p, idx] = path.back();
      auto pn = node(p, t.keyLen, t.name);
      if (!pn.ok()) return pn.status();
      if (x->count() == 0) return Status::OK();
      if ((*pn)->key(idx) == x->key(x->count() - 1) && (*pn)->recs[idx] == x->recs.back()) return Status::OK();
      path.pop_back();
      auto pe = edit(tx, p, t);
      if (!pe.ok()) return pe.status();
      (*pe)->setEntry(idx, x->key(x->count() - 1), x->recs.back());
      off = p;
      append = false;
    }
  }

  // A root with a single child hands the root role down; an interior root left without entries
  // becomes an empty leaf.
  Status collapseRoot(Txn& tx, const Tree& t, uint32_t off) {
    for (int depth = 0; depth < kMaxDepth; ++depth) {
      auto xe = edit(tx, off, t);
      if (!xe.ok()) return xe.status();
      Node* x = *xe;
      if (x->leaf()) return Status::OK();
      if (x->count() == 0) {
        x->type = kTypeRoot | kTypeLeaf;
        x->left = x->right = kNoPage;
        x->kids.clear();
        return Status::OK();
      }
      if (x->count() > 1) return Status::OK();
      uint32_t child = x->kids[0];
      auto ce = edit(tx, child, t);
      if (!ce.ok()) return ce.status();
      (*ce)->type |= kTypeRoot;
      (*ce)->left = (*ce)->right = kNoPage;
      freePage(tx, off);
      if (auto st = setRoot(tx, t, child); !st.ok()) return st;
      off = child;
    }
    return Status::OK();
  }

  // Sorts by (collation, record number), drops exact duplicates, pads keys to the key length.
  static void sortEntries(std::vector<Entry>& entries, int keyLen) {
    const size_t n = entries.size();
    const size_t kl = static_cast<size_t>(keyLen);
    std::string w(n * kl, '\0');
    for (size_t i = 0; i < n; ++i) {
      std::string& k = entries[i].key;
      if (k.size() != kl) k = normKey(k, keyLen);
      for (size_t j = 0; j < kl; ++j) w[i * kl + j] = static_cast<char>(collationWeight(static_cast<uint8_t>(k[j])));
    }
    std::vector<uint32_t> idx(n);
    std::iota(idx.begin(), idx.end(), 0u);
    std::sort(idx.begin(), idx.end(), [&](uint32_t a, uint32_t b) {
      int c = std::memcmp(w.data() + a * kl, w.data() + b * kl, kl);
      if (c != 0) return c < 0;
      return entries[a].recno < entries[b].recno;
    });
    std::vector<Entry> out;
    out.reserve(n);
    for (uint32_t i : idx) {
      if (!out.empty() && out.back().recno == entries[i].recno && out.back().key == entries[i].key) continue;
      out.push_back(std::move(entries[i]));
    }
    entries = std::move(out);
  }

  // Writes sorted entries as a packed tree, bottom-up, and makes it the tree's root.
  Status buildTree(Txn& tx, const Tree& t, const std::vector<Entry>& entries) {
    const int kl = t.keyLen;
    std::vector<uint32_t> level;  // pages of the level being built
    auto flush = [&](Node&& n) -> Status {
      auto off = alloc(tx, t);
      if (!off.ok()) return off.status();
      n.off = *off;
      n.keyLen = kl;
      *tx.dirty[*off] = std::move(n);
      level.push_back(*off);
      return Status::OK();
    };
    Node cur;
    cur.type = kTypeLeaf;
    cur.keyLen = kl;
    size_t stored = 0;
    uint32_t maxRec = 0;
    for (const Entry& e : entries) {
      int trail = trailingBlanks(e.key);
      int dup = cur.count() ? sharedPrefix(cur.key(cur.count() - 1), e.key, trail) : 0;
      size_t s = kl - dup - trail;
      uint32_t mr = std::max(maxRec, e.recno);
      size_t size = kLeafHeader + (cur.count() + 1) * leafLayout(kl, mr).bytes + stored + s;
      if (cur.count() && size > kPageSize) {
        if (auto st = flush(std::move(cur)); !st.ok()) return st;
        cur = Node();
        cur.type = kTypeLeaf;
        cur.keyLen = kl;
        stored = 0;
        maxRec = 0;
        s = kl - trail;
        mr = e.recno;
      }
      cur.keys += e.key;
      cur.recs.push_back(e.recno);
      stored += s;
      maxRec = mr;
    }
    if (cur.count() || level.empty())
      if (auto st = flush(std::move(cur)); !st.ok()) return st;
    const size_t cap = interiorCapacity(kl);
    for (;;) {
      for (size_t i = 0; i < level.size(); ++i) {
        Node& n = *tx.dirty[level[i]];
        n.left = i ? level[i - 1] : kNoPage;
        n.right = i + 1 < level.size() ? level[i + 1] : kNoPage;
      }
      if (level.size() == 1) {
        tx.dirty[level[0]]->type |= kTypeRoot;
        return setRoot(tx, t, level[0]);
      }
      std::vector<uint32_t> lower = std::move(level);
      level.clear();
      Node in;
      in.keyLen = kl;
      for (uint32_t c : lower) {
        const Node& ch = *tx.dirty[c];
        if (in.count() == cap) {
          if (auto st = flush(std::move(in)); !st.ok()) return st;
          in = Node();
          in.keyLen = kl;
        }
        in.insert(in.count(), ch.key(ch.count() - 1), ch.recs.back(), c);
      }
      if (auto st = flush(std::move(in)); !st.ok()) return st;
    }
  }

  // Hash of a page as the file holds it now (before the change being committed).
  Result<uint64_t> beforeHash(uint32_t off) {
    if (auto it = diskHash_.find(off); it != diskHash_.end()) return it->second;
    if (off < kHeaderSize) {
      auto h = hdrs_.find(0);
      if (h != hdrs_.end()) return diskHash_[off] = fnv1a(h->second.data() + off, kPageSize);
    }
    for (const auto& [hoff, bytes] : hdrs_)
      if (off == hoff || off == hoff + kPageSize) return diskHash_[off] = fnv1a(bytes.data() + (off - hoff), kPageSize);
    uint8_t buf[kPageSize];
    if (auto st = readExact(*file_, off, buf, kPageSize, "page"); !st.ok()) return st;
    return diskHash_[off] = fnv1a(buf, kPageSize);
  }

  Status writeRuns(const std::map<uint32_t, std::array<uint8_t, kPageSize>>& imgs, bool fresh, uint64_t oldEof) {
    std::vector<uint8_t> buf;
    uint64_t start = 0;
    auto out = [&]() -> Status {
      if (buf.empty()) return Status::OK();
      Status st = file_->write(start, buf.data(), buf.size());
      buf.clear();
      return st;
    };
    for (const auto& [off, img] : imgs) {
      if (off == 0 || (off >= oldEof) != fresh) continue;
      if (buf.empty() || start + buf.size() != off) {
        if (auto st = out(); !st.ok()) return st;
        start = off;
      }
      buf.insert(buf.end(), img.begin(), img.end());
    }
    return out();
  }

  Status commit(Txn& tx) {
    auto& h0 = txHeader(tx, 0);
    if (h0.empty()) return Status::Corruption(path_ + ": header unreadable");
    putLE32(h0.data() + 4, tx.freeHead);
    uint32_t newCounter = counter_ + 1;
    putBE32(h0.data() + 8, newCounter);

    std::map<uint32_t, std::array<uint8_t, kPageSize>> imgs;
    for (auto& [off, n] : tx.dirty) {
      n->off = off;
      if (!nodeFits(*n)) return Status::Corruption(path_ + ": internal error: page " + hex(off) + " overflows");
      encodePage(*n, imgs[off].data());
    }
    for (auto& [off, next] : tx.freed) {
      auto& img = imgs[off];
      img.fill(0);
      putLE32(img.data(), next);
    }
    for (auto& [off, h] : tx.hdrs) {
      auto orig = hdrs_.find(off);
      for (uint32_t half = 0; half < 2; ++half) {
        const uint8_t* now = h.data() + half * kPageSize;
        if (!tx.newHdrs.count(off) && orig != hdrs_.end() &&
            std::memcmp(orig->second.data() + half * kPageSize, now, kPageSize) == 0 && !(off == 0 && half == 0))
          continue;
        std::memcpy(imgs[off + half * kPageSize].data(), now, kPageSize);
      }
    }

    // Any failure from here on leaves the cache unusable and the journal to be looked at.
    valid_ = false;
    if (auto st = writeRuns(imgs, true, tx.oldEof); !st.ok()) return st;

    auto orig0 = hdrs_.find(0);
    if (orig0 == hdrs_.end()) return Status::Corruption(path_ + ": internal error: header page not loaded");
    std::vector<uint8_t> j(kJournalHead);
    j.insert(j.end(), orig0->second.begin(), orig0->second.begin() + kPageSize);
    uint32_t n = 0;
    for (const auto& [off, img] : imgs) {
      if (off >= tx.oldEof) continue;
      auto bh = beforeHash(off);
      if (!bh.ok()) return bh.status();
      uint8_t o[12];
      putLE32(o, off);
      std::memcpy(o + 4, &*bh, 8);
      j.insert(j.end(), o, o + 12);
      j.insert(j.end(), img.begin(), img.end());
      ++n;
    }
    putLE32(j.data() + 4, n);
    putLE32(j.data() + 8, counter_);
    putLE32(j.data() + 12, newCounter);
    uint64_t sum = fnv1a(j.data() + kJournalHead, j.size() - kJournalHead, fnv1a(j.data() + 4, 12));
    std::memcpy(j.data() + 16, &sum, 8);
    putLE32(j.data(), kJournalMagic);
    if (!jfile_) {
      FileOpenOptions o;
      o.create = true;
      auto jf = fs_.open(jpath_, o);
      if (!jf.ok()) return jf.status();
      jfile_ = std::move(*jf);
    }
    if (auto st = jfile_->write(0, j.data(), j.size()); !st.ok()) return st;

    if (auto st = file_->write(0, imgs[0].data(), kPageSize); !st.ok()) return st;
    if (auto st = writeRuns(imgs, false, tx.oldEof); !st.ok()) return st;
    uint8_t z[4] = {0, 0, 0, 0};
    if (auto st = jfile_->write(0, z, 4); !st.ok()) return st;

    for (const auto& [off, img] : imgs) diskHash_[off] = fnv1a(img.data(), kPageSize);
    for (auto& [off, nd] : tx.dirty) {
      if (nodes_.size() >= kMaxCachedNodes) nodes_.clear();
      nodes_[off] = nd;
    }
    for (auto& [off, next] : tx.freed) nodes_.erase(off);
    for (auto& [off, h] : tx.hdrs) hdrs_[off] = std::move(h);
    if (tx.tagsChanged) tags_.reset();
    free_ = tx.freeHead;
    counter_ = newCounter;
    fileSize_ = std::max<uint64_t>(fileSize_, tx.eof);
    valid_ = true;
    return Status::OK();
  }

  // ---- structural check ----

  class Checker {
   public:
    Checker(CdxImpl* c, std::vector<std::string>* out) : c_(c), out_(out) {}

    void run() {
      used_.assign(c_->fileSize_ / kPageSize + 2, false);
      if (c_->fileSize_ < kHeaderSize + kPageSize) {
        problem("", "file too short for a CDX file (" + std::to_string(c_->fileSize_) + " bytes)");
        return;
      }
      used_[0] = used_[1] = true;
      auto h = c_->header(0);
      if (!h.ok()) {
        problem("", h.status().message());
        return;
      }
      int dkl = getLE16((*h)->data() + 12);
      if (dkl < 1 || dkl > kMaxKeyLength) {
        problem("", "tag directory key length " + std::to_string(dkl));
        return;
      }
      std::vector<std::pair<std::string, uint32_t>> tagList;
      checkTree(Tree{0, dkl, "(directory)"}, getLE32((*h)->data()), &tagList);
      for (const auto& [name, hdr] : tagList) {
        if (hdr % kPageSize != 0 || hdr < kHeaderSize || uint64_t(hdr) + kHeaderSize > c_->fileSize_) {
          problem(name, "header offset " + hex(hdr) + " is not inside the file");
          continue;
        }
        if (!claim(name, hdr, "tag header") || !claim(name, hdr + kPageSize, "tag header")) continue;
        auto th = c_->header(hdr);
        if (!th.ok()) {
          problem(name, th.status().message());
          continue;
        }
        int kl = getLE16((*th)->data() + 12);
        if (kl < 1 || kl > kMaxKeyLength) {
          problem(name, "key length " + std::to_string(kl));
          continue;
        }
        checkTree(Tree{hdr, kl, name}, getLE32((*th)->data()), nullptr);
      }
      checkFreeList();
    }

   private:
    void problem(const std::string& tag, const std::string& what) {
      if (perTree_++ >= kMaxProblemsPerTree) return;
      out_->push_back(c_->path_ + (tag.empty() ? "" : ": tag " + tag) + ": " + what);
    }

    bool claim(const std::string& tag, uint32_t off, const char* what) {
      size_t i = off / kPageSize;
      if (off % kPageSize != 0 || i >= used_.size() || uint64_t(off) + kPageSize > c_->fileSize_) {
        problem(tag, std::string(what) + " " + hex(off) + " is not a page of the file");
        return false;
      }
      if (used_[i]) {
        problem(tag, std::string(what) + " " + hex(off) + " is used twice");
        return false;
      }
      used_[i] = true;
      return true;
    }

    void checkTree(const Tree& t, uint32_t root, std::vector<std::pair<std::string, uint32_t>>* dirEntries) {
      perTree_ = 0;
      std::vector<uint32_t> level{root};
      std::vector<std::optional<std::pair<std::string, uint32_t>>> expect(1);
      std::optional<std::pair<std::string, uint32_t>> prevLeaf;
      for (int depth = 0; depth < kMaxDepth; ++depth) {
        std::vector<uint32_t> next;
        std::vector<std::optional<std::pair<std::string, uint32_t>>> nextExpect;
        int leaves = 0;
        for (size_t i = 0; i < level.size(); ++i) {
          uint32_t off = level[i];
          if (!claim(t.name, off, "page")) return;
          uint8_t raw[kPageSize];
          if (auto st = c_->readPage(off, raw, t.name); !st.ok()) {
            problem(t.name, st.message());
            return;
          }
          Node n;
          std::string why;
          if (!decodePage(raw, off, t.keyLen, &n, &why)) {
            problem(t.name, "page " + hex(off) + ": " + why);
            return;
          }
          std::string at = "page " + hex(off) + ": ";
          if (n.root() != (depth == 0)) problem(t.name, at + (depth == 0 ? "root page lacks the root flag" : "root flag below the root"));
          uint32_t wantL = i ? level[i - 1] : kNoPage, wantR = i + 1 < level.size() ? level[i + 1] : kNoPage;
          if (n.left != wantL) problem(t.name, at + "left sibling " + hex(n.left) + ", expected " + hex(wantL));
          if (n.right != wantR) problem(t.name, at + "right sibling " + hex(n.right) + ", expected " + hex(wantR));
          if (n.count() == 0 && (depth > 0 || !n.leaf())) problem(t.name, at + "page without keys");
          for (size_t k = 1; k < n.count(); ++k)
            if (compareEntry(n.key(k - 1), n.recs[k - 1], n.key(k), n.recs[k]) >= 0)
              problem(t.name, at + "entries " + std::to_string(k - 1) + " and " + std::to_string(k) + " out of order");
          if (expect[i] && n.count() &&
              (expect[i]->first != n.key(n.count() - 1) || expect[i]->second != n.recs.back()))
            problem(t.name, at + "parent entry differs from the page's last entry");
          if (n.leaf()) {
            ++leaves;
            uint16_t stored = getLE16(raw + 12);
            size_t entryBytes = raw[23];
            size_t used = kLeafHeader + n.count() * entryBytes + storedKeyBytes(n, raw);
            if (used > kPageSize || stored != kPageSize - used)
              problem(t.name, at + "free space field " + std::to_string(stored) + " does not match the contents");
            for (size_t k = 0; k < n.count(); ++k) {
              if (prevLeaf && k == 0 &&
                  compareEntry(prevLeaf->first, prevLeaf->second, n.key(0), n.recs[0]) >= 0)
                problem(t.name, at + "first entry not above the previous page's last entry");
              if (dirEntries) dirEntries->emplace_back(trimRight(std::string(n.key(k))), n.recs[k]);
            }
            if (n.count()) prevLeaf.emplace(std::string(n.key(n.count() - 1)), n.recs.back());
          } else {
            for (size_t k = 0; k < n.count(); ++k) {
              next.push_back(n.kids[k]);
              nextExpect.emplace_back(std::make_pair(std::string(n.key(k)), n.recs[k]));
            }
          }
        }
        if (leaves && leaves != static_cast<int>(level.size())) {
          problem(t.name, "leaf and interior pages mixed on level " + std::to_string(depth));
          return;
        }
        if (leaves) return;
        if (next.size() > used_.size()) {
          problem(t.name, "more pages referenced than the file holds");
          return;
        }
        level = std::move(next);
        expect = std::move(nextExpect);
      }
      problem(t.name, "tree deeper than " + std::to_string(kMaxDepth) + " levels");
    }

    static size_t storedKeyBytes(const Node& n, const uint8_t* raw) {
      // Key bytes the page actually holds, from its own entry format.
      int recBits = raw[20], dupBits = raw[21];
      uint64_t dupMask = raw[18], trailMask = raw[19];
      int bytes = raw[23];
      size_t total = 0;
      const uint8_t* e = raw + kLeafHeader;
      for (size_t i = 0; i < n.count(); ++i, e += bytes) {
        uint64_t v = 0;
        for (int b = bytes - 1; b >= 0; --b) v = v << 8 | e[b];
        uint64_t dup = recBits >= 64 ? 0 : (v >> recBits) & dupMask;
        uint64_t trail = recBits + dupBits >= 64 ? 0 : (v >> (recBits + dupBits)) & trailMask;
        total += n.keyLen - dup - trail;
      }
      return total;
    }

    void checkFreeList() {
      perTree_ = 0;
      uint32_t off = c_->free_;
      for (size_t steps = 0; off != 0; ++steps) {
        if (steps > used_.size()) {
          problem("", "free page list loops");
          return;
        }
        if (!claim("", off, "free page")) return;
        uint8_t raw[kPageSize];
        if (auto st = c_->readPage(off, raw, "(free list)"); !st.ok()) {
          problem("", st.message());
          return;
        }
        off = getLE32(raw);
      }
    }

    CdxImpl* c_;
    std::vector<std::string>* out_;
    std::vector<bool> used_;
    size_t perTree_ = 0;
  };

  FileSystem& fs_;
  std::string path_, jpath_;
  std::unique_ptr<File> file_;
  std::unique_ptr<File> jfile_;
  bool ro_;
  LockType held_ = LockType::kShared;

  bool valid_ = false;
  uint32_t free_ = 0, counter_ = 0;
  uint64_t fileSize_ = 0;
  std::unordered_map<uint32_t, PagePtr> nodes_;
  std::unordered_map<uint32_t, uint64_t> diskHash_;  // hash of each page as last read or written
  std::unordered_map<uint32_t, std::vector<uint8_t>> hdrs_;
  std::optional<std::vector<TagRec>> tags_;
  std::map<uint32_t, std::array<uint8_t, kPageSize>> overlay_;
  Txn* txn_ = nullptr;
};

}  // namespace

Result<std::unique_ptr<CdxFile>> CdxFile::open(FileSystem& fs, const std::string& path, bool readOnly) {
  FileOpenOptions o;
  o.readOnly = readOnly;
  auto f = fs.open(path, o);
  if (!f.ok()) return f.status();
  auto impl = std::make_unique<CdxImpl>(fs, path, std::move(*f), readOnly);
  if (auto st = impl->validateOnOpen(); !st.ok()) return st;
  return std::unique_ptr<CdxFile>(std::move(impl));
}

Result<std::unique_ptr<CdxFile>> CdxFile::create(FileSystem& fs, const std::string& path) {
  FileOpenOptions o;
  o.create = true;
  auto f = fs.open(path, o);
  if (!f.ok()) return f.status();
  auto impl = std::make_unique<CdxImpl>(fs, path, std::move(*f), false);
  if (auto st = impl->writeEmpty(); !st.ok()) return st;
  return std::unique_ptr<CdxFile>(std::move(impl));
}

}  // namespace zentor::dbf::cdx
