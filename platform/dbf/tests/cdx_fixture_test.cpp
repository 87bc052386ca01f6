// Reading index files written by an independent engine (Harbour DBFCDX): tag directory, every
// tag's order, seeks on every key, our structural check, and our writes on top of their trees.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "cdx.h"
#include "dbf/collation.h"
#include "support/memfs.h"

namespace zentor::dbf::cdx {
namespace {

struct TagCase {
  const char* name;
  const char* expression;
  int keyLength;
};

struct FixtureCase {
  const char* table;
  std::vector<TagCase> tags;  // creation order
  size_t keys;
};

const std::vector<FixtureCase> kFixtures = {
    {"ART", {{"ARTNR", "str(ARTNR,5)", 5}, {"TXT", "upper(left(TXT,20))", 20}, {"AGRNR", "str(AGRNR,2)", 2}}, 500},
    {"KND",
     {{"KNDNR", "str(KNDNR,5)", 5},
      {"ZUNAME", "Upper(ZUNAME)", 25},
      {"KGRNR", "str(KGRNR,2)", 2},
      {"PLZ", "PLZ", 5},
      {"FIBU", "Str(FIBU,5)", 5}},
     2000},
    {"APO", {{"AUFTRAG", "str(AUFTRAG,8)+str(SORT,4)", 12}}, 3000},
    {"UMS2025", {{"DATUM", "dtos(DATUM)", 8}, {"AUFTRAG", "str(AUFTRAG,8)", 8}, {"KNDNR", "str(KNDNR,5)", 5}}, 5000},
};

std::string fixture(const std::string& name) { return std::string(ZENTOR_FIXTURES_DIR) + "/peer-cdx/" + name; }

std::vector<uint8_t> slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint32_t> orderFile(const std::string& table, const std::string& tag) {
  std::ifstream in(fixture(table + "." + tag + ".order.txt"));
  std::vector<uint32_t> out;
  uint32_t r;
  while (in >> r) out.push_back(r);
  return out;
}

class FixtureTest : public ::testing::TestWithParam<FixtureCase> {
 protected:
  void SetUp() override {
    auto bytes = slurp(fixture(std::string(GetParam().table) + ".CDX"));
    ASSERT_FALSE(bytes.empty());
    fs_.setContents(path(), bytes);
    auto f = CdxFile::open(fs_, path(), false);
    ASSERT_TRUE(f.ok()) << f.status().toString();
    cdx_ = std::move(*f);
  }
  std::string path() const { return std::string("/d/") + GetParam().table + ".CDX"; }

  std::vector<Entry> scanAll(int tag) {
    std::vector<Entry> out;
    EXPECT_TRUE(cdx_->scan(tag, [&](const Entry& e) {
      out.push_back(e);
      return true;
    }).ok());
    return out;
  }

  testing::MemFileSystem fs_;
  std::unique_ptr<CdxFile> cdx_;
};

TEST_P(FixtureTest, DirectoryListsTagsInCreationOrder) {
  auto tags = cdx_->tags();
  ASSERT_TRUE(tags.ok()) << tags.status().toString();
  ASSERT_EQ(tags->size(), GetParam().tags.size());
  for (size_t i = 0; i < tags->size(); ++i) {
    const TagInfo& t = (*tags)[i];
    EXPECT_EQ(t.name, GetParam().tags[i].name);
    EXPECT_EQ(t.expression, GetParam().tags[i].expression);
    EXPECT_EQ(t.keyLength, GetParam().tags[i].keyLength);
    EXPECT_FALSE(t.unique);
    EXPECT_FALSE(t.hasCondition);
    EXPECT_FALSE(t.descending);
  }
}

TEST_P(FixtureTest, ScanYieldsTheOrderOfTheOtherEngine) {
  for (size_t i = 0; i < GetParam().tags.size(); ++i) {
    SCOPED_TRACE(GetParam().tags[i].name);
    auto entries = scanAll(static_cast<int>(i));
    std::vector<uint32_t> recs;
    for (const auto& e : entries) recs.push_back(e.recno);
    EXPECT_EQ(recs, orderFile(GetParam().table, GetParam().tags[i].name));
    EXPECT_EQ(entries.size(), GetParam().keys);
    for (size_t k = 1; k < entries.size(); ++k)
      ASSERT_LE(collateCompare(entries[k - 1].key, entries[k].key), 0) << k;
  }
}

TEST_P(FixtureTest, EveryKeyIsFoundAndNeighboursWalkBothWays) {
  for (size_t i = 0; i < GetParam().tags.size(); ++i) {
    SCOPED_TRACE(GetParam().tags[i].name);
    int tag = static_cast<int>(i);
    auto entries = scanAll(tag);
    for (size_t k = 0; k < entries.size(); ++k) {
      auto lb = cdx_->lowerBound(tag, entries[k].key, entries[k].recno);
      ASSERT_TRUE(lb.ok() && lb->has_value());
      ASSERT_EQ(**lb, entries[k]);
      // A prefix seek lands on the first entry of the key.
      auto pre = cdx_->lowerBound(tag, entries[k].key);
      ASSERT_TRUE(pre.ok() && pre->has_value());
      ASSERT_EQ((*pre)->key, entries[k].key);
      ASSERT_LE((*pre)->recno, entries[k].recno);
      auto nx = cdx_->next(tag, entries[k]);
      ASSERT_TRUE(nx.ok());
      if (k + 1 < entries.size()) ASSERT_EQ(**nx, entries[k + 1]);
      else ASSERT_FALSE(nx->has_value());
      auto pv = cdx_->prev(tag, entries[k]);
      ASSERT_TRUE(pv.ok());
      if (k > 0) ASSERT_EQ(**pv, entries[k - 1]);
      else ASSERT_FALSE(pv->has_value());
    }
    auto f = cdx_->first(tag);
    auto l = cdx_->last(tag);
    ASSERT_TRUE(f.ok() && l.ok());
    EXPECT_EQ(**f, entries.front());
    EXPECT_EQ(**l, entries.back());
  }
}

TEST_P(FixtureTest, CheckFindsTheirFilesSoundAndStaysSoundAfterOurWrites) {
  std::vector<std::string> problems;
  ASSERT_TRUE(cdx_->check(&problems).ok());
  EXPECT_TRUE(problems.empty()) << problems.front();

  // Remove every third entry of the first tag and insert new ones between the old keys: pages of
  // their layout are split, shrunk, freed and re-encoded in ours.
  auto entries = scanAll(0);
  std::vector<KeyChange> changes;
  for (size_t k = 0; k < entries.size(); k += 3) changes.push_back({0, entries[k].key, std::nullopt, entries[k].recno});
  for (size_t k = 1; k < entries.size(); k += 5)
    changes.push_back({0, std::nullopt, entries[k].key, static_cast<uint32_t>(100000 + k)});
  for (const auto& c : changes) ASSERT_TRUE(cdx_->apply({c}).ok());
  problems.clear();
  ASSERT_TRUE(cdx_->check(&problems).ok());
  EXPECT_TRUE(problems.empty()) << problems.front();
  EXPECT_EQ(scanAll(0).size(), entries.size() - (entries.size() + 2) / 3 + (entries.size() + 3) / 5);
  // The other tags are untouched.
  for (size_t i = 1; i < GetParam().tags.size(); ++i) {
    std::vector<uint32_t> recs;
    for (const auto& e : scanAll(static_cast<int>(i))) recs.push_back(e.recno);
    EXPECT_EQ(recs, orderFile(GetParam().table, GetParam().tags[i].name));
  }
}

INSTANTIATE_TEST_SUITE_P(PeerCdx, FixtureTest, ::testing::ValuesIn(kFixtures),
                         [](const auto& info) { return std::string(info.param.table); });

TEST(FixtureKeys, NumberKeysAreRightAlignedText) {
  testing::MemFileSystem fs;
  fs.setContents("/d/ART.CDX", slurp(fixture("ART.CDX")));
  auto f = CdxFile::open(fs, "/d/ART.CDX", true);
  ASSERT_TRUE(f.ok());
  // Record 1 of ART.records.jsonl has article number 8907.
  auto e = (*f)->lowerBound(0, " 8907");
  ASSERT_TRUE(e.ok() && e->has_value());
  EXPECT_EQ((*e)->key, " 8907");
  EXPECT_EQ((*e)->recno, 1u);
}

}  // namespace
}  // namespace zentor::dbf::cdx
