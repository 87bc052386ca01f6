#include "cdx_page.h"

#include <algorithm>
#include <cstring>

#include "dbf/collation.h"

namespace zentor::dbf::cdx::detail {

namespace {

int bitsFor(uint64_t v) {
  int b = 0;
  while (v) {
    ++b;
    v >>= 1;
  }
  return b;
}

uint64_t shiftRight(uint64_t v, int bits) { return bits >= 64 ? 0 : v >> bits; }
uint64_t shiftLeft(uint64_t v, int bits) { return bits >= 64 ? 0 : v << bits; }

}  // namespace

int compareEntry(std::string_view ak, uint32_t ar, std::string_view bk, uint32_t br) {
  int c = collateCompare(ak, bk);
  if (c != 0) return c;
  return ar < br ? -1 : (ar > br ? 1 : 0);
}

void Node::insert(size_t i, std::string_view k, uint32_t rec, uint32_t kid) {
  keys.insert(i * keyLen, k.data(), keyLen);
  recs.insert(recs.begin() + i, rec);
  if (!leaf()) kids.insert(kids.begin() + i, kid);
}

void Node::erase(size_t i) {
  keys.erase(i * keyLen, keyLen);
  recs.erase(recs.begin() + i);
  if (!leaf()) kids.erase(kids.begin() + i);
}

void Node::setEntry(size_t i, std::string_view k, uint32_t rec) {
  keys.replace(i * keyLen, keyLen, k.data(), keyLen);
  recs[i] = rec;
}

void Node::moveTail(size_t from, Node& dst) {
  dst.keys.append(keys, from * keyLen, std::string::npos);
  keys.resize(from * keyLen);
  dst.recs.insert(dst.recs.end(), recs.begin() + from, recs.end());
  recs.resize(from);
  if (!leaf()) {
    dst.kids.insert(dst.kids.end(), kids.begin() + from, kids.end());
    kids.resize(from);
  }
}

LeafLayout leafLayout(int keyLen, uint32_t maxRecno) {
  LeafLayout l;
  int b = bitsFor(static_cast<uint64_t>(keyLen));
  l.dupBits = l.trailBits = b;
  l.bytes = b <= 8 ? 3 : (b <= 12 ? 4 : 5);
  l.recBits = 8 * l.bytes - 2 * b;
  while (l.recBits < 32 && shiftRight(maxRecno, l.recBits) != 0) {
    ++l.bytes;
    l.recBits += 8;
  }
  return l;
}

int trailingBlanks(std::string_view key) {
  int t = 0;
  for (size_t i = key.size(); i > 0 && key[i - 1] == ' '; --i) ++t;
  return t;
}

int sharedPrefix(std::string_view prev, std::string_view key, int trail) {
  int limit = static_cast<int>(key.size()) - trail;
  int d = 0;
  while (d < limit && prev[d] == key[d]) ++d;
  return d;
}

size_t leafSize(const Node& n, size_t from, size_t to) {
  if (from >= to) return kLeafHeader;
  uint32_t maxRec = *std::max_element(n.recs.begin() + from, n.recs.begin() + to);
  LeafLayout l = leafLayout(n.keyLen, maxRec);
  size_t stored = 0;
  for (size_t i = from; i < to; ++i) {
    std::string_view k = n.key(i);
    int trail = trailingBlanks(k);
    int dup = i == from ? 0 : sharedPrefix(n.key(i - 1), k, trail);
    stored += n.keyLen - dup - trail;
  }
  return kLeafHeader + (to - from) * l.bytes + stored;
}

uint16_t leafFreeSpace(const Node& n) {
  size_t s = leafSize(n, 0, n.count());
  return s > kPageSize ? 0 : static_cast<uint16_t>(kPageSize - s);
}

bool decodePage(const uint8_t* p, uint32_t off, int keyLen, Node* out, std::string* why) {
  Node& n = *out;
  n = Node();
  n.off = off;
  n.keyLen = keyLen;
  n.type = getLE16(p);
  n.left = getLE32(p + 4);
  n.right = getLE32(p + 8);
  size_t cnt = getLE16(p + 2);
  if (n.type > 3) {
    *why = "unknown page type " + std::to_string(n.type);
    return false;
  }
  if (keyLen < 1 || keyLen > kMaxKeyLength) {
    *why = "key length " + std::to_string(keyLen) + " out of range";
    return false;
  }
  if (!n.leaf()) {
    if (cnt > interiorCapacity(keyLen)) {
      *why = "interior page claims " + std::to_string(cnt) + " keys";
      return false;
    }
    n.keys.reserve(cnt * keyLen);
    n.recs.reserve(cnt);
    n.kids.reserve(cnt);
    const uint8_t* e = p + kInteriorHeader;
    for (size_t i = 0; i < cnt; ++i, e += keyLen + 8) {
      n.keys.append(reinterpret_cast<const char*>(e), keyLen);
      n.recs.push_back(getBE32(e + keyLen));
      n.kids.push_back(getBE32(e + keyLen + 4));
    }
    return true;
  }
  uint32_t recMask = getLE32(p + 14);
  uint64_t dupMask = p[18], trailMask = p[19];
  int recBits = p[20], dupBits = p[21], trailBits = p[22], bytes = p[23];
  if (bytes < 1 || bytes > 8 || recBits + dupBits + trailBits > 8 * bytes) {
    *why = "implausible leaf entry format (" + std::to_string(bytes) + " bytes, " + std::to_string(recBits) +
           "/" + std::to_string(dupBits) + "/" + std::to_string(trailBits) + " bits)";
    return false;
  }
  if (kLeafHeader + cnt * bytes > kPageSize) {
    *why = "leaf page claims " + std::to_string(cnt) + " keys";
    return false;
  }
  n.keys.reserve(cnt * keyLen);
  n.recs.reserve(cnt);
  size_t pos = kPageSize;
  size_t floor = kLeafHeader + cnt * bytes;
  const uint8_t* e = p + kLeafHeader;
  std::string key(keyLen, ' ');
  for (size_t i = 0; i < cnt; ++i, e += bytes) {
    uint64_t v = 0;
    for (int b = bytes - 1; b >= 0; --b) v = v << 8 | e[b];
    uint32_t rec = static_cast<uint32_t>(v & recMask);
    int dup = static_cast<int>(shiftRight(v, recBits) & dupMask);
    int trail = static_cast<int>(shiftRight(v, recBits + dupBits) & trailMask);
    if (dup + trail > keyLen || (i == 0 && dup > 0)) {
      *why = "leaf entry " + std::to_string(i) + " has impossible duplicate/trailing counts";
      return false;
    }
    size_t stored = keyLen - dup - trail;
    if (pos < floor + stored) {
      *why = "leaf key bytes overlap the entry table";
      return false;
    }
    pos -= stored;
    std::memcpy(key.data() + dup, p + pos, stored);
    std::memset(key.data() + dup + stored, ' ', trail);
    n.keys += key;
    n.recs.push_back(rec);
  }
  return true;
}

void encodePage(const Node& n, uint8_t* p) {
  std::memset(p, 0, kPageSize);
  putLE16(p, n.type);
  putLE16(p + 2, static_cast<uint16_t>(n.count()));
  putLE32(p + 4, n.left);
  putLE32(p + 8, n.right);
  const int kl = n.keyLen;
  if (!n.leaf()) {
    uint8_t* e = p + kInteriorHeader;
    for (size_t i = 0; i < n.count(); ++i, e += kl + 8) {
      std::memcpy(e, n.key(i).data(), kl);
      putBE32(e + kl, n.recs[i]);
      putBE32(e + kl + 4, n.kids[i]);
    }
    return;
  }
  uint32_t maxRec = n.recs.empty() ? 0 : *std::max_element(n.recs.begin(), n.recs.end());
  LeafLayout l = leafLayout(kl, maxRec);
  putLE32(p + 14, l.recBits >= 32 ? 0xFFFFFFFFu : static_cast<uint32_t>((uint64_t(1) << l.recBits) - 1));
  p[18] = static_cast<uint8_t>((1u << l.dupBits) - 1);
  p[19] = static_cast<uint8_t>((1u << l.trailBits) - 1);
  p[20] = static_cast<uint8_t>(l.recBits);
  p[21] = static_cast<uint8_t>(l.dupBits);
  p[22] = static_cast<uint8_t>(l.trailBits);
  p[23] = static_cast<uint8_t>(l.bytes);
  size_t pos = kPageSize;
  uint8_t* e = p + kLeafHeader;
  for (size_t i = 0; i < n.count(); ++i, e += l.bytes) {
    std::string_view k = n.key(i);
    int trail = trailingBlanks(k);
    int dup = i == 0 ? 0 : sharedPrefix(n.key(i - 1), k, trail);
    size_t stored = kl - dup - trail;
    pos -= stored;
    std::memcpy(p + pos, k.data() + dup, stored);
    uint64_t v = n.recs[i] | shiftLeft(static_cast<uint64_t>(dup), l.recBits) |
                 shiftLeft(static_cast<uint64_t>(trail), l.recBits + l.dupBits);
    for (int b = 0; b < l.bytes; ++b) e[b] = static_cast<uint8_t>(shiftRight(v, 8 * b));
  }
  putLE16(p + 12, static_cast<uint16_t>(pos - (e - p)));
}

}  // namespace zentor::dbf::cdx::detail
