// Internal: the 512-byte pages of a CDX file, decoded into plain entry lists and encoded back.
//
// Page layout (all integers little-endian unless marked BE):
//   0 type (u16: bit 0 root, bit 1 leaf), 2 key count (u16), 4 left and 8 right sibling (u32,
//   0xFFFFFFFF = none).
//   Interior: from 12, entries of key + record number (u32 BE) + child offset (u32 BE); each entry
//   equals the last entry of its child.
//   Leaf: 12 free space (u16), 14 record mask (u32), 18 duplicate mask, 19 trailing mask, 20/21/22
//   record/duplicate/trailing bit counts, 23 bytes per entry; from 24 one little-endian integer per
//   key (record number, duplicate count, trailing count from the low bits up); the key bytes not
//   shared with the previous key and not trailing blanks are stored from the page end downwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zentor::dbf::cdx::detail {

inline constexpr uint32_t kPageSize = 512;
inline constexpr uint32_t kHeaderSize = 1024;
inline constexpr uint32_t kNoPage = 0xFFFFFFFFu;
inline constexpr uint16_t kTypeRoot = 1;
inline constexpr uint16_t kTypeLeaf = 2;
inline constexpr int kMaxKeyLength = 240;
inline constexpr int kLeafHeader = 24;
inline constexpr int kInteriorHeader = 12;

// Three-way order of entries: key through the German collation, then record number.
int compareEntry(std::string_view ak, uint32_t ar, std::string_view bk, uint32_t br);

struct Node {
  uint32_t off = 0;
  uint16_t type = 0;
  uint32_t left = kNoPage;
  uint32_t right = kNoPage;
  int keyLen = 0;
  std::string keys;             // count() keys of keyLen bytes, back to back
  std::vector<uint32_t> recs;   // record number per entry
  std::vector<uint32_t> kids;   // interior only: child page per entry

  size_t count() const { return recs.size(); }
  bool leaf() const { return (type & kTypeLeaf) != 0; }
  bool root() const { return (type & kTypeRoot) != 0; }
  std::string_view key(size_t i) const { return {keys.data() + i * keyLen, static_cast<size_t>(keyLen)}; }
  void insert(size_t i, std::string_view k, uint32_t rec, uint32_t kid);
  void erase(size_t i);
  void setEntry(size_t i, std::string_view k, uint32_t rec);
  // Moves entries [from, count()) to the end of `dst`.
  void moveTail(size_t from, Node& dst);
};

struct LeafLayout {
  int bytes = 3;
  int recBits = 0;
  int dupBits = 0;
  int trailBits = 0;
};

// The entry format the notes prescribe for a leaf with this key length whose largest record
// number is maxRecno.
LeafLayout leafLayout(int keyLen, uint32_t maxRecno);
int trailingBlanks(std::string_view key);
// Bytes shared with the previous key, leaving room for `trail` fill bytes.
int sharedPrefix(std::string_view prev, std::string_view key, int trail);

// Encoded size of a leaf holding entries [from, to) of `n`.
size_t leafSize(const Node& n, size_t from, size_t to);
inline bool leafFits(const Node& n) { return leafSize(n, 0, n.count()) <= kPageSize; }
inline size_t interiorCapacity(int keyLen) { return (kPageSize - kInteriorHeader) / (keyLen + 8); }
inline bool nodeFits(const Node& n) {
  return n.leaf() ? leafFits(n) : n.count() <= interiorCapacity(n.keyLen);
}

// Decodes a page; false with *why set when the page contradicts its own structure. Never reads
// outside the 512 bytes and never allocates more than one page's worth of entries.
bool decodePage(const uint8_t* page, uint32_t off, int keyLen, Node* out, std::string* why);
// REQUIRES: nodeFits(n).
void encodePage(const Node& n, uint8_t* page);
// The free-space field a leaf must carry (the decoded page's entries re-encoded).
uint16_t leafFreeSpace(const Node& n);

inline uint32_t getLE32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t getLE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t getBE32(const uint8_t* p) {
  return uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24;
}
inline void putLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline void putLE16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void putBE32(uint8_t* p, uint32_t v) {
  p[3] = uint8_t(v); p[2] = uint8_t(v >> 8); p[1] = uint8_t(v >> 16); p[0] = uint8_t(v >> 24);
}

}  // namespace zentor::dbf::cdx::detail
