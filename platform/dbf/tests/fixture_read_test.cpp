// Tables written by an independent engine read back with the values, orders and keys it recorded.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "dbf/codepage.h"
#include "dbf/table.h"
#include "support/jsonl.h"
#include "support/tabletest.h"

namespace zentor::dbf {
namespace {

using testing::TempDir;

struct PeerTable {
  const char* name;
  std::vector<const char*> tags;
};

const PeerTable kTables[] = {
    {"ART", {"ARTNR", "TXT", "AGRNR"}},
    {"KND", {"KNDNR", "ZUNAME", "KGRNR", "PLZ", "FIBU"}},
    {"APO", {"AUFTRAG"}},
    {"UMS2025", {"DATUM", "AUFTRAG", "KNDNR"}},
};

class PeerFixture : public ::testing::TestWithParam<PeerTable> {
 protected:
  void SetUp() override {
    testing::copyPeerTable(GetParam().name, dir_.path());
    session_.setDefaultDirectory(dir_.path());
    session_.setDeletedHidden(false);
    auto t = Table::open(session_, GetParam().name);
    ASSERT_TRUE(t.ok()) << t.status().toString();
    table_ = std::move(*t);
  }
  TempDir dir_;
  Session session_;
  std::unique_ptr<Table> table_;
};

TEST_P(PeerFixture, EveryRecordReadsAsTheOtherEngineWroteIt) {
  std::vector<testing::JsonObject> records;
  std::string error;
  ASSERT_TRUE(testing::readJsonLines(testing::peerFixtureDir() + "/" + GetParam().name + ".records.jsonl", records, error))
      << error;
  ASSERT_EQ(table_->recCount(), records.size());
  for (const testing::JsonObject& r : records) {
    uint32_t recno = static_cast<uint32_t>(testing::findMember(r, "recno")->number());
    ASSERT_TRUE(table_->go(recno).ok());
    ASSERT_EQ(table_->recno(), recno);
    ASSERT_EQ(table_->deleted(), testing::findMember(r, "deleted")->boolean()) << "record " << recno;
    for (const FieldDef& f : table_->fields()) {
      const Value* want = testing::findMember(r, f.name);
      ASSERT_NE(want, nullptr) << f.name;
      Value got = table_->get(f.name);
      switch (f.type) {
        case 'C':
        case 'M':
          ASSERT_EQ(got.text(), want->text()) << "record " << recno << " field " << f.name;
          break;
        case 'N':
          ASSERT_NEAR(got.number(), want->number(), 1e-9) << "record " << recno << " field " << f.name;
          break;
        case 'D':
          ASSERT_EQ(got.date().empty() ? std::string() : got.date().dtos(), want->text())
              << "record " << recno << " field " << f.name;
          break;
        case 'L':
          ASSERT_EQ(got.boolean(), want->boolean()) << "record " << recno << " field " << f.name;
          break;
      }
    }
  }
}

TEST_P(PeerFixture, EveryTagWalksInTheOtherEnginesOrderAndFindsEveryKey) {
  ASSERT_TRUE(table_->attachIndex(dir_.file(std::string(GetParam().name) + ".CDX")).ok());
  ASSERT_EQ(table_->currentTag(), GetParam().tags.front());  // the first tag controls
  for (const char* tag : GetParam().tags) {
    SCOPED_TRACE(tag);
    std::ifstream in(testing::peerFixtureDir() + "/" + GetParam().name + "." + tag + ".order.txt");
    std::vector<uint32_t> want;
    for (uint32_t r; in >> r;) want.push_back(r);
    ASSERT_TRUE(table_->selectTag(tag).ok());
    std::vector<uint32_t> walked;
    for (table_->goTop(); !table_->eof(); table_->skip()) walked.push_back(table_->recno());
    ASSERT_EQ(walked, want);

    std::vector<uint32_t> backwards;
    for (table_->goBottom(); !table_->bof(); table_->skip(-1)) backwards.push_back(table_->recno());
    ASSERT_EQ(std::vector<uint32_t>(backwards.rbegin(), backwards.rend()), want);

    std::string expression;
    for (const TagInfo& i : table_->tags())
      if (i.name == tag) expression = i.expression;
    auto key = Expression::compile(expression, table_->resolver());
    ASSERT_TRUE(key.ok()) << key.status().toString();
    for (uint32_t r = 1; r <= table_->recCount(); r += 7) {
      ASSERT_TRUE(table_->go(r).ok());
      std::string k = key->evaluate().text();
      ASSERT_TRUE(table_->seek(k, false).ok());
      ASSERT_TRUE(table_->found()) << "record " << r << " key '" << k << "'";
      EXPECT_EQ(key->evaluate().text(), k);
    }
  }
}

TEST_P(PeerFixture, CheckFindsNothingWrong) {
  ASSERT_TRUE(table_->attachIndex(dir_.file(std::string(GetParam().name) + ".CDX")).ok());
  EXPECT_EQ(table_->check(), std::vector<std::string>{});
  table_->close();
  EXPECT_EQ(checkTableFile(session_, dir_.file(std::string(GetParam().name) + ".DBF")), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Peer, PeerFixture, ::testing::ValuesIn(kTables),
                         [](const ::testing::TestParamInfo<PeerTable>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace zentor::dbf
