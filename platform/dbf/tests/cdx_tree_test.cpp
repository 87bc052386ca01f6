// Our own CDX files: byte layout, round trips, tree upkeep against a model, damaged files and
// failed writes.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "cdx.h"
#include "cdx_page.h"
#include "support/memfs.h"

namespace zentor::dbf::cdx {
namespace {

using detail::getBE32;
using detail::getLE16;
using detail::getLE32;

const std::string kPath = "/d/T.CDX";

struct EntryLess {
  bool operator()(const Entry& a, const Entry& b) const {
    return detail::compareEntry(a.key, a.recno, b.key, b.recno) < 0;
  }
};
using Model = std::set<Entry, EntryLess>;

std::unique_ptr<CdxFile> createOrDie(FileSystem& fs, const std::string& path = kPath) {
  auto f = CdxFile::create(fs, path);
  EXPECT_TRUE(f.ok()) << f.status().toString();
  return f.ok() ? std::move(*f) : nullptr;
}

std::unique_ptr<CdxFile> openOrDie(FileSystem& fs, bool ro = false, const std::string& path = kPath) {
  auto f = CdxFile::open(fs, path, ro);
  EXPECT_TRUE(f.ok()) << f.status().toString();
  return f.ok() ? std::move(*f) : nullptr;
}

std::vector<Entry> scanAll(CdxFile& c, int tag) {
  std::vector<Entry> out;
  Status st = c.scan(tag, [&](const Entry& e) {
    out.push_back(e);
    return true;
  });
  EXPECT_TRUE(st.ok()) << st.toString();
  return out;
}

std::vector<std::string> problemsOf(CdxFile& c) {
  std::vector<std::string> p;
  Status st = c.check(&p);
  if (!st.ok()) p.push_back(st.toString());
  return p;
}

std::string numKey(uint32_t n, int width) {
  std::string s = std::to_string(n);
  return std::string(width > static_cast<int>(s.size()) ? width - s.size() : 0, ' ') + s;
}

uint32_t counterOf(const std::vector<uint8_t>& file) { return getBE32(file.data() + 8); }

TEST(CdxLayout, HeaderDirectoryAndLeafFollowTheNotesByteForByte) {
  testing::MemFileSystem fs;
  auto c = createOrDie(fs);
  auto empty = fs.contents(kPath);
  ASSERT_EQ(empty.size(), 1536u);
  EXPECT_EQ(getLE32(empty.data()), 0x400u);  // directory root
  EXPECT_EQ(getLE32(empty.data() + 4), 0u);  // no free page
  EXPECT_EQ(getLE16(empty.data() + 12), 10);
  EXPECT_EQ(empty[14], 0xE0);
  EXPECT_EQ(empty[15], 0x01);

  ASSERT_TRUE(c->addTag("nr", "str(NR,5)", 5, {{"  100", 3}, {"   43", 2}, {"   42", 1}}).ok());
  auto f = fs.contents(kPath);
  EXPECT_EQ(counterOf(f), counterOf(empty) + 1);
  // Directory leaf: one entry "NR" + 8 fill blanks whose record number is the tag header offset.
  const uint8_t* dir = f.data() + 0x400;
  EXPECT_EQ(getLE16(dir), 3);
  EXPECT_EQ(getLE16(dir + 2), 1);
  EXPECT_EQ(getLE32(dir + 4), 0xFFFFFFFFu);
  EXPECT_EQ(getLE32(dir + 8), 0xFFFFFFFFu);
  EXPECT_EQ(dir[20], 16);  // key length 10: 4 bits each for duplicate and trailing counts
  EXPECT_EQ(dir[21], 4);
  EXPECT_EQ(dir[22], 4);
  EXPECT_EQ(dir[23], 3);
  uint32_t e = dir[24] | dir[25] << 8 | dir[26] << 16;
  EXPECT_EQ(e & 0xFFFF, 0x600u);
  EXPECT_EQ(e >> 20, 8u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(dir + 510), 2), "NR");
  EXPECT_EQ(getLE16(dir + 12), 512 - 24 - 3 - 2);

  // Tag header with its expression pool.
  const uint8_t* th = f.data() + 0x600;
  EXPECT_EQ(getLE32(th), 0xA00u);
  EXPECT_EQ(getLE16(th + 12), 5);
  EXPECT_EQ(th[14], 0x60);
  EXPECT_EQ(th[15], 0x01);
  EXPECT_EQ(getLE16(th + 502), 0);
  EXPECT_EQ(getLE16(th + 508), 0);
  EXPECT_EQ(getLE16(th + 510), 10);
  EXPECT_EQ(getLE16(th + 504), 10);
  EXPECT_EQ(getLE16(th + 506), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(th + 512)), "str(NR,5)");

  // Leaf: key length 5 -> 3 bits per count, 3 bytes per entry, 18 record bits.
  const uint8_t* leaf = f.data() + 0xA00;
  const uint8_t want[] = {0x03, 0x00, 0x03, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                          0, 0,  // free space, checked below
                          0xFF, 0xFF, 0x03, 0x00, 0x07, 0x07, 18, 3, 3, 3,
                          0x01, 0x00, 0x00,   // rec 1, dup 0, trail 0: "   42"
                          0x02, 0x00, 0x10,   // rec 2, dup 4: "3"
                          0x03, 0x00, 0x08};  // rec 3, dup 2: "100"
  for (size_t i = 0; i < sizeof want; ++i)
    if (i != 12 && i != 13) {
      EXPECT_EQ(leaf[i], want[i]) << "byte " << i;
    }
  EXPECT_EQ(getLE16(leaf + 12), 512 - 24 - 9 - 9);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(leaf + 503), 9), "1003   42");

  // Every change bumps the counter once.
  for (int i = 0; i < 3; ++i) {
    uint32_t before = counterOf(fs.contents(kPath));
    ASSERT_TRUE(c->apply({{0, std::nullopt, std::string("AB   "), 10u + i}}).ok());
    EXPECT_EQ(counterOf(fs.contents(kPath)), before + 1);
  }
  // Trailing blanks are counted, not stored: "AB   " after "  100" shares nothing, trails 3.
  f = fs.contents(kPath);
  leaf = f.data() + 0xA00;
  uint32_t e3 = leaf[24 + 9] | leaf[25 + 9] << 8 | leaf[26 + 9] << 16;
  EXPECT_EQ(e3 & 0x3FFFF, 10u);
  EXPECT_EQ((e3 >> 18) & 7, 0u);
  EXPECT_EQ(e3 >> 21, 3u);
  // An apply that changes nothing writes nothing.
  uint32_t before = counterOf(f);
  ASSERT_TRUE(c->apply({{0, std::string("ZZZZZ"), std::nullopt, 99}}).ok());
  EXPECT_EQ(counterOf(fs.contents(kPath)), before);
}

TEST(CdxLayout, LargeRecordNumbersWidenTheEntry) {
  struct Case {
    int keyLen;
    uint32_t maxRec;
    int bytes, recBits;
  };
  const Case cases[] = {{5, 1000, 3, 18}, {5, 1u << 18, 4, 26}, {10, 65535, 3, 16}, {10, 65536, 4, 24},
                        {20, 16383, 3, 14}, {100, 255, 3, 10}, {240, 300, 4, 16}, {8, 0xFFFFFFFFu, 5, 32}};
  for (const auto& c : cases) {
    auto l = detail::leafLayout(c.keyLen, c.maxRec);
    EXPECT_EQ(l.bytes, c.bytes) << c.keyLen << "/" << c.maxRec;
    EXPECT_EQ(l.recBits, c.recBits) << c.keyLen << "/" << c.maxRec;
  }
  testing::MemFileSystem fs;
  auto c = createOrDie(fs);
  std::vector<Entry> in;
  for (uint32_t i = 0; i < 300; ++i) in.push_back({numKey(i, 8), 0xFFFFFF00u + (i % 200)});
  ASSERT_TRUE(c->addTag("BIG", "x", 8, in).ok());
  auto out = scanAll(*c, 0);
  ASSERT_EQ(out.size(), in.size());
  for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], in[i]);
  EXPECT_TRUE(problemsOf(*c).empty());
}

TEST(CdxRoundTrip, TagsSurviveReopeningAndReplacing) {
  testing::MemFileSystem fs;
  {
    auto c = createOrDie(fs);
    std::vector<Entry> a, b;
    for (uint32_t i = 1; i <= 5000; ++i) {
      a.push_back({numKey((i * 7919) % 5003, 5), i});
      b.push_back({i % 2 ? std::string("M\x81LLER") : std::string("MEIER"), i});  // cp850 ü
    }
    ASSERT_TRUE(c->addTag("NR", "str(NR,5)", 5, a).ok());
    ASSERT_TRUE(c->addTag("NAME", "upper(NAME)", 25, b).ok());
    ASSERT_TRUE(c->addTag("EMPTY", "LEER", 3, {}).ok());
  }
  auto c = openOrDie(fs);
  auto tags = c->tags();
  ASSERT_TRUE(tags.ok());
  ASSERT_EQ(tags->size(), 3u);
  EXPECT_EQ((*tags)[0].name, "NR");
  EXPECT_EQ((*tags)[1].name, "NAME");
  EXPECT_EQ((*tags)[1].expression, "upper(NAME)");
  EXPECT_EQ((*tags)[1].keyLength, 25);
  EXPECT_EQ((*tags)[2].name, "EMPTY");
  auto nr = scanAll(*c, 0);
  ASSERT_EQ(nr.size(), 5000u);
  for (size_t i = 1; i < nr.size(); ++i) ASSERT_LT(detail::compareEntry(nr[i - 1].key, nr[i - 1].recno, nr[i].key, nr[i].recno), 0);
  auto names = scanAll(*c, 1);
  ASSERT_EQ(names.size(), 5000u);
  EXPECT_EQ(names.front().key, std::string("MEIER") + std::string(20, ' '));  // E < Ü
  EXPECT_EQ(names.front().recno, 2u);
  EXPECT_TRUE(scanAll(*c, 2).empty());
  auto none = c->first(2);
  ASSERT_TRUE(none.ok());
  EXPECT_FALSE(none->has_value());
  EXPECT_TRUE(problemsOf(*c).empty());

  // Replacing a tag frees its old pages and reuses them: the file does not grow.
  uint64_t sizeBefore = fs.contents(kPath).size();
  std::vector<Entry> a2;
  for (uint32_t i = 1; i <= 5000; ++i) a2.push_back({numKey(i, 5), i});
  ASSERT_TRUE(c->addTag("NR", "str(NR,5)", 5, a2).ok());
  EXPECT_LE(fs.contents(kPath).size(), sizeBefore);
  ASSERT_TRUE(c->rebuildTag(1, {{"X", 1}}).ok());
  auto c2 = openOrDie(fs, true);
  EXPECT_EQ(c2->tags()->size(), 3u);
  EXPECT_EQ(scanAll(*c2, 0), a2);
  EXPECT_EQ(scanAll(*c2, 1), (std::vector<Entry>{{"X" + std::string(24, ' '), 1}}));
  EXPECT_TRUE(problemsOf(*c2).empty());
  EXPECT_EQ(c2->apply({{0, std::nullopt, std::string("1"), 1}}).code(), Status::Code::kReadOnly);
}

TEST(CdxRoundTrip, SeeksOnPrefixesAndRecordNumbers) {
  testing::MemFileSystem fs;
  auto c = createOrDie(fs);
  ASSERT_TRUE(c->addTag("K", "k", 4, {{"AB  ", 5}, {"AB  ", 2}, {"ABC ", 1}, {"B   ", 7}}).ok());
  struct Case {
    std::string prefix;
    uint32_t minRec;
    std::optional<Entry> want;
  };
  const Case cases[] = {
      {"", 0, Entry{"AB  ", 2}},       {"A", 0, Entry{"AB  ", 2}},     {"AB  ", 3, Entry{"AB  ", 5}},
      {"AB  ", 6, Entry{"ABC ", 1}},   {"ABC", 0, Entry{"ABC ", 1}},   {"AA", 0, Entry{"AB  ", 2}},
      {"AB", 3, Entry{"AB  ", 5}},     {"AB", 6, Entry{"B   ", 7}},    {"C", 0, std::nullopt},
      {"B   ", 8, std::nullopt},       {"B   X", 0, std::nullopt},
  };
  for (const auto& cs : cases) {
    auto r = c->lowerBound(0, cs.prefix, cs.minRec);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(*r, cs.want) << "'" << cs.prefix << "' " << cs.minRec;
  }
  // Positions that no longer exist still have neighbours.
  EXPECT_EQ(**c->next(0, {"AB  ", 3}), (Entry{"AB  ", 5}));
  EXPECT_EQ(**c->prev(0, {"AB  ", 3}), (Entry{"AB  ", 2}));
  EXPECT_EQ(**c->next(0, {"AB  ", 0xFFFFFFFFu}), (Entry{"ABC ", 1}));
  EXPECT_EQ(**c->prev(0, {"Z", 0}), (Entry{"B   ", 7}));
  EXPECT_FALSE(c->prev(0, {"AB  ", 2})->has_value());
  EXPECT_EQ(c->lowerBound(3, "A").status().code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(c->addTag("", "x", 3, {}).code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(c->addTag("TOOLONGNAME", "x", 3, {}).code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(c->addTag("K2", "x", 241, {}).code(), Status::Code::kInvalidArgument);
}

// Random inserts and removes against a model; check() after every batch, and a second handle on
// the same file that must see every change through its cache.
struct ModelCase {
  int keyLen;
  int alphabet;  // distinct key values drawn from
  uint32_t maxRec;
  int ops;
};

class CdxModelTest : public ::testing::TestWithParam<ModelCase> {};

TEST_P(CdxModelTest, RandomChangesKeepTheTreeValid) {
  const ModelCase p = GetParam();
  testing::MemFileSystem fs;
  auto c = createOrDie(fs);
  ASSERT_TRUE(c->addTag("T", "t", p.keyLen, {}).ok());
  auto other = openOrDie(fs);
  std::mt19937 rng(4711 + p.keyLen);
  const char letters[] = {'A', 'B', ' ', 'Z', '\x8E', '\x84', '\xE1', '0', '9', 'a'};
  std::vector<std::string> keys;
  for (int i = 0; i < p.alphabet; ++i) {
    std::string k;
    int len = 1 + static_cast<int>(rng() % p.keyLen);
    for (int j = 0; j < len; ++j) k += letters[rng() % sizeof letters];
    k.resize(p.keyLen, ' ');
    keys.push_back(k);
  }
  Model model;
  std::vector<Entry> live;
  for (int batch = 0; batch * 500 < p.ops; ++batch) {
    for (int i = 0; i < 500; ++i) {
      bool remove = !live.empty() && rng() % 100 < (batch % 3 == 2 ? 70u : 35u);
      if (remove) {
        size_t at = rng() % live.size();
        Entry e = live[at];
        live[at] = live.back();
        live.pop_back();
        model.erase(e);
        ASSERT_TRUE(c->apply({{0, e.key, std::nullopt, e.recno}}).ok());
      } else {
        Entry e{keys[rng() % keys.size()], 1 + static_cast<uint32_t>(rng() % p.maxRec)};
        if (model.insert(e).second) live.push_back(e);
        ASSERT_TRUE(c->apply({{0, std::nullopt, e.key, e.recno}}).ok());
      }
    }
    auto probs = problemsOf(*c);
    ASSERT_TRUE(probs.empty()) << "batch " << batch << ": " << probs.front();
    std::vector<Entry> want(model.begin(), model.end());
    ASSERT_EQ(scanAll(*other, 0), want) << "batch " << batch;
    for (int q = 0; q < 20 && !want.empty(); ++q) {
      const Entry& e = want[rng() % want.size()];
      auto it = model.upper_bound(e);
      auto nx = other->next(0, e);
      ASSERT_TRUE(nx.ok());
      ASSERT_EQ(*nx, it == model.end() ? std::optional<Entry>() : std::optional<Entry>(*it));
      auto lb = other->lowerBound(0, e.key, e.recno);
      ASSERT_EQ(**lb, e);
    }
  }
  // Emptying the tag entirely leaves a single empty root and every page on the free list.
  for (const auto& e : live) ASSERT_TRUE(c->apply({{0, e.key, std::nullopt, e.recno}}).ok());
  EXPECT_TRUE(scanAll(*other, 0).empty());
  EXPECT_TRUE(problemsOf(*other).empty());
  uint64_t size = fs.contents(kPath).size();
  for (size_t i = 0; i < live.size() / 4; ++i)
    ASSERT_TRUE(c->apply({{0, std::nullopt, live[i].key, live[i].recno}}).ok());
  EXPECT_EQ(fs.contents(kPath).size(), size) << "pages come from the free list first";
  EXPECT_TRUE(problemsOf(*other).empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, CdxModelTest,
                         ::testing::Values(ModelCase{2, 40, 100000, 3000}, ModelCase{8, 2000, 5000, 4000},
                                           ModelCase{25, 300, 1u << 20, 4000}, ModelCase{120, 500, 50000, 2000},
                                           ModelCase{240, 100, 1000, 1000}),
                         [](const auto& info) { return "Key" + std::to_string(info.param.keyLen); });

TEST(CdxTree, SequentialAppendsPackPagesAndBuildSeveralLevels) {
  testing::MemFileSystem fs;
  auto c = createOrDie(fs);
  ASSERT_TRUE(c->addTag("NR", "str(NR,8)", 8, {}).ok());
  for (uint32_t i = 1; i <= 20000; ++i) ASSERT_TRUE(c->apply({{0, std::nullopt, numKey(i, 8), i}}).ok());
  EXPECT_TRUE(problemsOf(*c).empty());
  // Appends split off only the new entry, so the file stays close to a packed build.
  testing::MemFileSystem fs2;
  auto packed = createOrDie(fs2);
  std::vector<Entry> all;
  for (uint32_t i = 1; i <= 20000; ++i) all.push_back({numKey(i, 8), i});
  ASSERT_TRUE(packed->addTag("NR", "str(NR,8)", 8, all).ok());
  EXPECT_LT(fs.contents(kPath).size(), fs2.contents(kPath).size() * 5 / 4);
  EXPECT_EQ(scanAll(*c, 0), all);
  // Three levels at least: root, interior, leaves.
  auto f = fs.contents(kPath);
  uint32_t root = getLE32(f.data() + 0x600);
  uint32_t child = getBE32(f.data() + root + 12 + 8 + 4);
  EXPECT_EQ(getLE16(f.data() + root), 1);
  EXPECT_EQ(getLE16(f.data() + child), 0);
}

// Damaged files give Corruption or problems, never a crash, hang or huge allocation.
TEST(CdxCorruption, DamagedFilesAreReportedNotFollowed) {
  testing::MemFileSystem base;
  {
    auto c = createOrDie(base);
    std::vector<Entry> in;
    for (uint32_t i = 1; i <= 3000; ++i) in.push_back({numKey(i, 6), i});
    ASSERT_TRUE(c->addTag("A", "a", 6, in).ok());
    ASSERT_TRUE(c->addTag("B", "b", 6, in).ok());
  }
  const auto good = base.contents(kPath);
  const uint32_t tagA = getLE32(good.data() + 0x400 + 24) & 0xFFFF;  // first directory entry
  const uint32_t rootA = getLE32(good.data() + tagA);
  const uint32_t firstChild = getBE32(good.data() + rootA + 12 + 6 + 4);
  auto put32 = [](std::vector<uint8_t>& f, size_t at, uint32_t v) { detail::putLE32(f.data() + at, v); };
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
  };
  const std::vector<Case> cases = {
      {"truncated header", [](auto& f) { f.resize(700); }},
      {"truncated tree", [](auto& f) { f.resize(f.size() / 2); }},
      {"directory root unaligned", [&](auto& f) { put32(f, 0, 0x401); }},
      {"directory root beyond end", [&](auto& f) { put32(f, 0, 0x7FFFFE00); }},
      {"directory key length 0", [](auto& f) { f[12] = f[13] = 0; }},
      {"tag key length absurd", [&](auto& f) { detail::putLE16(f.data() + tagA + 12, 5000); }},
      {"tag root points at header", [&](auto& f) { put32(f, tagA, 0); }},
      {"interior child points at itself", [&](auto& f) { detail::putBE32(f.data() + rootA + 12 + 6 + 4, rootA); }},
      {"leaf sibling loop", [&](auto& f) { put32(f, firstChild + 8, firstChild); }},
      {"absurd key count", [&](auto& f) { detail::putLE16(f.data() + firstChild + 2, 0xFFFF); }},
      {"absurd interior count", [&](auto& f) { detail::putLE16(f.data() + rootA + 2, 0xFFFF); }},
      {"zero bytes per entry", [&](auto& f) { f[firstChild + 23] = 0; }},
      {"impossible duplicate count", [&](auto& f) { f[firstChild + 24 + 2] = 0xFF; }},
      {"page type 7", [&](auto& f) { f[firstChild] = 7; }},
      {"free list loop", [&](auto& f) { put32(f, 4, rootA); }},
      {"keys out of order", [&](auto& f) { std::swap(f[firstChild + 511], f[firstChild + 505]); }},
  };
  for (const auto& cs : cases) {
    SCOPED_TRACE(cs.name);
    auto bytes = good;
    cs.damage(bytes);
    testing::MemFileSystem fs;
    fs.setContents(kPath, bytes);
    auto f = CdxFile::open(fs, kPath, false);
    if (!f.ok()) {
      EXPECT_TRUE(f.status().isCorruption()) << f.status().toString();
      continue;
    }
    bool noticed = false;
    std::vector<std::string> probs;
    Status st = (*f)->check(&probs);
    noticed = !st.ok() || !probs.empty();
    for (const auto& p : probs) EXPECT_NE(p.find(kPath), std::string::npos) << p;
    auto tags = (*f)->tags();
    if (!tags.ok()) noticed = true;
    for (int t = 0; tags.ok() && t < static_cast<int>(tags->size()); ++t) {
      size_t n = 0;
      Status s = (*f)->scan(t, [&](const Entry&) { return ++n < 100000; });
      if (!s.ok()) {
        noticed = true;
        EXPECT_TRUE(s.isCorruption()) << s.toString();
      }
      auto lb = (*f)->lowerBound(t, "  1500");
      if (!lb.ok()) noticed = true;
      // Writing into a damaged tree must not crash either.
      (void)(*f)->apply({{t, std::nullopt, std::string("  1500"), 99999}});
    }
    EXPECT_TRUE(noticed);
  }
}

TEST(CdxCorruption, CheckNamesFileAndTag) {
  testing::MemFileSystem fs;
  {
    auto c = createOrDie(fs);
    std::vector<Entry> in;
    for (uint32_t i = 1; i <= 2000; ++i) in.push_back({numKey(i, 6), i});
    ASSERT_TRUE(c->addTag("KNDNR", "str(KNDNR,6)", 6, in).ok());
  }
  auto bytes = fs.contents(kPath);
  uint32_t root = getLE32(bytes.data() + 0x600);
  detail::putBE32(bytes.data() + root + 12 + 6, 12345);  // separator record number off
  fs.setContents(kPath, bytes);
  auto c = openOrDie(fs);
  auto probs = problemsOf(*c);
  ASSERT_FALSE(probs.empty());
  EXPECT_NE(probs[0].find("/d/T.CDX: tag KNDNR: page"), std::string::npos) << probs[0];
}

// A write that fails part-way (error, short write, full disk) leaves a file that the next opener
// finds sound, with the change either complete or absent.
TEST(CdxFaults, FailedWritesNeverLeaveABrokenTree) {
  const testing::MemFileSystem::Fault kinds[] = {testing::MemFileSystem::Fault::kIoError,
                                                 testing::MemFileSystem::Fault::kShortWrite,
                                                 testing::MemFileSystem::Fault::kNoSpace};
  for (auto kind : kinds) {
    for (int n = 1; n <= 6; ++n) {
      SCOPED_TRACE("fault " + std::to_string(static_cast<int>(kind)) + " at write " + std::to_string(n));
      testing::MemFileSystem fs;
      auto c = createOrDie(fs);
      std::vector<Entry> in;
      for (uint32_t i = 1; i <= 2000; i += 2) in.push_back({numKey(i, 6), i});
      ASSERT_TRUE(c->addTag("A", "a", 6, in).ok());
      // Many inserts into one leaf: the failing one splits pages at some point.
      Model model(in.begin(), in.end());
      for (uint32_t i = 2; i <= 60; i += 2) {
        ASSERT_TRUE(c->apply({{0, std::nullopt, numKey(i, 6), i}}).ok());
        model.insert({numKey(i, 6), i});
      }
      fs.failWrite(n, kind);
      Entry extra{numKey(62, 6), 62};
      Status st = c->apply({{0, std::nullopt, extra.key, extra.recno}});
      fs.clearFaults();
      auto reader = openOrDie(fs, true);  // read-only: overlays an unfinished journal
      auto probs = problemsOf(*reader);
      EXPECT_TRUE(probs.empty()) << probs.front();
      auto got = scanAll(*reader, 0);
      Model with = model;
      with.insert(extra);
      std::vector<Entry> a(model.begin(), model.end()), b(with.begin(), with.end());
      EXPECT_TRUE(got == a || got == b);
      if (st.ok()) {
        EXPECT_EQ(got, b);
      }
      // The writer itself recovers at its next call.
      ASSERT_TRUE(c->apply({{0, std::nullopt, numKey(64, 6), 64}}).ok());
      EXPECT_TRUE(problemsOf(*c).empty());
      auto after = scanAll(*openOrDie(fs), 0);
      EXPECT_EQ(after.size(), got.size() + 1);
    }
  }
}

}  // namespace
}  // namespace zentor::dbf::cdx

namespace zentor::dbf::cdx {
namespace {

// A journal left by a failed write belongs to that file state only: a file created anew under the
// same name (by another engine, with the same change counter) must not receive its pages.
TEST(CdxFaults, StaleJournalIsNotReplayedOntoAnotherFile) {
  auto build = [](testing::MemFileSystem& fs, uint32_t salt) {
    auto c = createOrDie(fs);
    std::vector<Entry> in;
    for (uint32_t i = 1; i <= 400; ++i) in.push_back({numKey(i * salt, 6), i});
    EXPECT_TRUE(c->addTag("A", "a", 6, in).ok());
    for (uint32_t i = 0; i < 5; ++i) EXPECT_TRUE(c->apply({{0, std::nullopt, numKey(i + salt, 6), 1000 + i}}).ok());
    return c;
  };
  testing::MemFileSystem fs, other;
  auto c = build(fs, 3);
  fs.failWrite(2, testing::MemFileSystem::Fault::kIoError);  // journal written, header write fails
  EXPECT_FALSE(c->apply({{0, std::nullopt, numKey(77, 6), 77}}).ok());
  fs.clearFaults();
  c.reset();
  ASSERT_EQ(getLE32(fs.contents("/d/T.CDJ").data()), 0x314A435Au) << "journal left pending";
  auto o = build(other, 7);
  auto want = scanAll(*o, 0);
  ASSERT_EQ(counterOf(other.contents(kPath)), counterOf(fs.contents(kPath)));
  fs.setContents(kPath, other.contents(kPath));
  auto again = openOrDie(fs);
  EXPECT_TRUE(problemsOf(*again).empty());
  EXPECT_EQ(scanAll(*again, 0), want);
}

TEST(MemFs, LocksBelongToHandlesAndFaultsHitTheNthWrite) {
  testing::MemFileSystem fs;
  FileOpenOptions o;
  o.create = true;
  auto a = std::move(*fs.open("/x", o));
  auto b = std::move(*fs.open("/x", o));
  ASSERT_TRUE(a->lock(10, 1, LockType::kShared, false).ok());
  EXPECT_TRUE(b->lock(10, 1, LockType::kShared, false).ok());
  EXPECT_TRUE(b->lock(10, 1, LockType::kExclusive, false).isLocked());
  ASSERT_TRUE(a->unlock(10, 1).ok());
  EXPECT_TRUE(b->lock(10, 1, LockType::kExclusive, false).ok());
  a.reset();  // closing another handle leaves b's lock alone
  auto c = std::move(*fs.open("/x", o));
  EXPECT_TRUE(c->lock(10, 1, LockType::kShared, false).isLocked());
  fs.failWrite(2, testing::MemFileSystem::Fault::kShortWrite);
  EXPECT_TRUE(c->write(0, "abcd", 4).ok());
  EXPECT_FALSE(c->write(4, "efgh", 4).ok());
  EXPECT_TRUE(c->write(8, "ijkl", 4).ok());
  auto bytes = fs.contents("/x");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("abcdef\0\0ijkl", 12));
  o.share = FileOpenOptions::Share::kShared;
  auto shared = std::move(*fs.open("/x", o));
  o.share = FileOpenOptions::Share::kExclusive;
  EXPECT_TRUE(fs.open("/x", o).status().isLocked());
  shared.reset();
  EXPECT_TRUE(fs.open("/x", o).ok());
}

}  // namespace
}  // namespace zentor::dbf::cdx

namespace zentor::dbf::cdx {
namespace {

TEST(CdxJournal, PathBesideTheIndex) {
  const std::pair<const char*, const char*> cases[] = {
      {"/d/KND.CDX", "/d/KND.CDJ"}, {"/d/knd.cdx", "/d/knd.cdj"}, {"/d.x/KND", "/d.x/KND.CDJ"}, {"KND.CDX", "KND.CDJ"}};
  for (const auto& [in, want] : cases) EXPECT_EQ(CdxFile::journalPath(in), want);
}

TEST(CdxJournal, RecreatingAnOpenIndexInvalidatesOtherHandles) {
  testing::MemFileSystem fs;
  auto a = createOrDie(fs);
  ASSERT_TRUE(a->addTag("OLD", "x", 4, {{"AAAA", 1}}).ok());
  auto b = openOrDie(fs);
  ASSERT_EQ(b->tags()->size(), 1u);
  auto fresh = createOrDie(fs);
  ASSERT_TRUE(fresh->tags()->empty());
  EXPECT_TRUE(b->tags()->empty());
}

}  // namespace
}  // namespace zentor::dbf::cdx
