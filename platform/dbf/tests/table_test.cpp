// The table object on files of its own making: layout, fields, navigation, locks, memos, tags.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

#include "dbf/codepage.h"
#include "dbf/collation.h"
#include "dbf/table.h"
#include "support/tabletest.h"

namespace zentor::dbf {
namespace {

using testing::TempDir;

const std::vector<FieldDef> kFields = {
    {"NR", 'N', 6, 0}, {"NAME", 'C', 20, 0}, {"BETRAG", 'N', 9, 2}, {"DATUM", 'D', 8, 0},
    {"AKTIV", 'L', 1, 0}, {"NOTIZ", 'M', 10, 0},
};

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override { session_.setDefaultDirectory(dir_.path()); }

  std::unique_ptr<Table> make(const std::string& name = "T", const std::vector<FieldDef>& fields = kFields,
                              bool shared = true) {
    Status st = Table::create(session_, name, fields, true);
    EXPECT_TRUE(st.ok()) << st.toString();
    return open(name, shared);
  }
  std::unique_ptr<Table> open(const std::string& name = "T", bool shared = true) {
    OpenOptions o;
    o.shared = shared;
    auto t = Table::open(session_, name, o);
    EXPECT_TRUE(t.ok()) << t.status().toString();
    return t.ok() ? std::move(*t) : nullptr;
  }
  static void add(Table& t, int nr, const std::string& name, double betrag = 0) {
    ASSERT_TRUE(t.append().ok());
    ASSERT_TRUE(t.put("NR", nr).ok());
    ASSERT_TRUE(t.put("NAME", name).ok());
    ASSERT_TRUE(t.put("BETRAG", betrag).ok());
    ASSERT_TRUE(t.commit().ok());
  }
  static std::vector<uint32_t> walk(Table& t) {
    std::vector<uint32_t> out;
    for (t.goTop(); !t.eof(); t.skip()) out.push_back(t.recno());
    return out;
  }

  TempDir dir_;
  Session session_;
};

TEST_F(TableTest, CreatedFilesHaveTheLayoutOtherEnginesExpect) {
  auto t = make();
  ASSERT_TRUE(t);
  t->close();
  auto h = testing::readFileBytes(dir_.file("T.DBF"));
  const size_t headerLen = 32 + 32 * kFields.size() + 2;
  ASSERT_EQ(h.size(), headerLen + 1);
  EXPECT_EQ(h[0], 0xF5);  // with memo file
  Date today = Date::today();
  EXPECT_EQ(h[1], today.year() - 1900);
  EXPECT_EQ(h[2], today.month());
  EXPECT_EQ(h[3], today.day());
  EXPECT_EQ(h[4] | h[5] << 8 | h[6] << 16 | h[7] << 24, 0);
  EXPECT_EQ(size_t(h[8] | h[9] << 8), headerLen);
  EXPECT_EQ(h[10] | h[11] << 8, 1 + 6 + 20 + 9 + 8 + 1 + 10);
  EXPECT_EQ(h[28], 0);     // no structural index yet
  EXPECT_EQ(h[29], 0x02);  // code page 850
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&h[32]), 3), std::string("NR\0", 3));
  EXPECT_EQ(h[32 + 11], 'N');
  EXPECT_EQ(h[32 + 16], 6);
  EXPECT_EQ(h[64 + 32 * 1 + 11], 'N');
  EXPECT_EQ(h[64 + 32 * 1 + 17], 2);  // BETRAG decimals
  EXPECT_EQ(h[headerLen - 2], 0x0D);
  EXPECT_EQ(h[headerLen - 1], 0x00);
  EXPECT_EQ(h[headerLen], 0x1A);

  auto m = testing::readFileBytes(dir_.file("T.FPT"));
  ASSERT_EQ(m.size(), 512u);
  EXPECT_EQ((m[0] << 24 | m[1] << 16 | m[2] << 8 | m[3]), 8);  // next free block
  EXPECT_EQ((m[4] << 24 | m[5] << 16 | m[6] << 8 | m[7]), 64);

  t = open();
  Status tagged = t->createTag("NR", "str(NR,6)");
  ASSERT_TRUE(tagged.ok()) << tagged.toString();
  t->close();
  h = testing::readFileBytes(dir_.file("T.DBF"));
  EXPECT_EQ(h[28] & 1, 1);
  EXPECT_EQ(h[0], 0xF5);
  // Replacing the table drops the index that described the old records.
  ASSERT_TRUE(std::filesystem::exists(dir_.file("T.CDX")));
  ASSERT_TRUE(Table::create(session_, "T", kFields, true).ok());
  EXPECT_FALSE(std::filesystem::exists(dir_.file("T.CDX")));

  ASSERT_TRUE(Table::create(session_, "PLAIN", {{"A", 'C', 300, 0}}).ok());
  h = testing::readFileBytes(dir_.file("PLAIN.DBF"));
  EXPECT_EQ(h[0], 0x03);
  EXPECT_EQ(h[32 + 16] | h[32 + 17] << 8, 300);  // wide text: high byte in the decimals byte
  EXPECT_FALSE(std::filesystem::exists(dir_.file("PLAIN.FPT")));
}

TEST_F(TableTest, CreateRefusesBadDefinitionsAndExistingFiles) {
  struct Case {
    std::vector<FieldDef> fields;
  } cases[] = {
      {{}},
      {{{"", 'C', 5, 0}}},
      {{{"ELEVENCHARSX", 'C', 5, 0}}},
      {{{"1ABC", 'C', 5, 0}}},
      {{{"A", 'X', 5, 0}}},
      {{{"A", 'C', 0, 0}}},
      {{{"A", 'N', 21, 0}}},
      {{{"A", 'N', 5, 4}}},
      {{{"A", 'C', 5, 0}, {"a", 'N', 5, 0}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Table::create(session_, "BAD", c.fields).code(), Status::Code::kInvalidArgument);
  ASSERT_TRUE(Table::create(session_, "T", kFields).ok());
  EXPECT_FALSE(Table::create(session_, "T", kFields).ok());
  EXPECT_TRUE(Table::create(session_, "T", kFields, true).ok());
  // A table open elsewhere is never truncated under its user.
  auto t = open();
  add(*t, 1, "x");
  EXPECT_TRUE(Table::create(session_, "T", kFields, true).isLocked());
  EXPECT_EQ(t->recCount(), 1u);
}

TEST_F(TableTest, FieldsStoreAsTheFormatSays) {
  auto t = make();
  ASSERT_TRUE(t->append().ok());
  struct Case {
    const char* field;
    Value in;
    std::string stored;  // code page 850 bytes
    Value out;
  } cases[] = {
      {"NR", Value(42), "    42", Value(42.0)},
      {"NR", Value(-7), "    -7", Value(-7.0)},
      {"NR", Value(), "      ", Value(0.0)},
      {"BETRAG", Value(1.005), "     1.01", Value(1.01)},
      {"BETRAG", Value(-2.5), "    -2.50", Value(-2.5)},
      {"BETRAG", Value(999999.99), "999999.99", Value(999999.99)},
      {"NAME", Value("Müller & Söhne"), std::string("M\x81ller & S\x94hne      "), Value("Müller & Söhne      ")},
      {"NAME", Value("abcdefghijklmnopqrstuvwxyz"), "abcdefghijklmnopqrst", Value("abcdefghijklmnopqrst")},
      {"DATUM", Value(Date::fromYmd(2025, 3, 3)), "20250303", Value(Date::fromYmd(2025, 3, 3))},
      {"DATUM", Value(Date()), "        ", Value(Date())},
      {"AKTIV", Value::logical(true), "T", Value::logical(true)},
      {"AKTIV", Value::logical(false), "F", Value::logical(false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    ASSERT_TRUE(t->put(c.field, c.in).ok());
    EXPECT_EQ(std::string(t->rawField(t->fieldIndex(c.field))), c.stored);
    EXPECT_EQ(t->get(c.field), c.out);
    ASSERT_TRUE(t->commit().ok());
    ASSERT_TRUE(t->skip(0).ok());  // from disk again
    EXPECT_EQ(std::string(t->rawField(t->fieldIndex(c.field))), c.stored);
  }
  EXPECT_EQ(t->put("BETRAG", 1234567.0).code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(t->put("NR", Value("text")).code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(t->put("NOSUCH", 1).code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(t->getString("NAME").size(), 20u);
  EXPECT_EQ(t->fieldIndex("betrag"), 2);
}

TEST_F(TableTest, NavigationFollowsDbaseRules) {
  auto t = make();
  for (int i = 1; i <= 5; ++i) add(*t, i, "N" + std::to_string(i));
  ASSERT_TRUE(t->go(2).ok());
  ASSERT_TRUE(t->lock());
  ASSERT_TRUE(t->deleteRecord().ok());
  ASSERT_TRUE(t->go(5).ok());
  ASSERT_TRUE(t->lock());
  ASSERT_TRUE(t->deleteRecord().ok());
  t->unlock();

  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{1, 3, 4}));
  session_.setDeletedHidden(false);
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
  session_.setDeletedHidden(true);

  // End of file: record number count+1, blank fields; skipping on stays there.
  ASSERT_TRUE(t->goBottom().ok());
  EXPECT_EQ(t->recno(), 4u);
  ASSERT_TRUE(t->skip().ok());
  EXPECT_TRUE(t->eof());
  EXPECT_EQ(t->recno(), 6u);
  EXPECT_EQ(t->getNumber("NR"), 0);
  EXPECT_EQ(t->getString("NAME"), std::string(20, ' '));
  ASSERT_TRUE(t->skip().ok());
  EXPECT_TRUE(t->eof());
  ASSERT_TRUE(t->skip(-1).ok());
  EXPECT_EQ(t->recno(), 4u);

  // Beginning of file: stays on the first visible record with bof set.
  ASSERT_TRUE(t->goTop().ok());
  ASSERT_TRUE(t->skip(-1).ok());
  EXPECT_TRUE(t->bof());
  EXPECT_EQ(t->recno(), 1u);
  ASSERT_TRUE(t->skip(2).ok());
  EXPECT_FALSE(t->bof());
  EXPECT_EQ(t->recno(), 4u);
  ASSERT_TRUE(t->skip(-5).ok());
  EXPECT_TRUE(t->bof());
  EXPECT_EQ(t->recno(), 1u);

  // go reaches any record; out of range is end of file.
  ASSERT_TRUE(t->go(2).ok());
  EXPECT_TRUE(t->deleted());
  ASSERT_TRUE(t->go(99).ok());
  EXPECT_TRUE(t->eof());

  // Filter as a predicate and as an expression.
  t->setFilter([](const Table& x) { return x.getNumber("NR") > 2; }, "NR > 2");
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{3, 4}));
  ASSERT_TRUE(t->setFilter("NR < 4").ok());
  EXPECT_EQ(walk(*t), (std::vector<uint32_t>{1, 3}));
  EXPECT_EQ(*t->count(), 2u);
  EXPECT_FALSE(t->setFilter("NR +").ok());
  t->clearFilter();

  // Empty table: top is end and beginning at once.
  auto e = make("EMPTY");
  EXPECT_TRUE(e->eof());
  EXPECT_TRUE(e->bof());
  EXPECT_EQ(e->recno(), 1u);
}

TEST_F(TableTest, EveryMoveSeesWhatAnotherHandleWrote) {
  auto a = make();
  auto b = open();
  add(*a, 1, "alt");
  ASSERT_TRUE(b->goTop().ok());
  EXPECT_EQ(b->getString("NAME").substr(0, 3), "alt");
  ASSERT_TRUE(a->lock());
  ASSERT_TRUE(a->put("NAME", "neu").ok());
  ASSERT_TRUE(a->commit().ok());
  ASSERT_TRUE(b->skip(0).ok());
  EXPECT_EQ(b->getString("NAME").substr(0, 3), "neu");
  add(*a, 2, "zwei");
  EXPECT_EQ(b->recCount(), 2u);
  ASSERT_TRUE(b->skip().ok());
  EXPECT_EQ(b->recno(), 2u);
}

TEST_F(TableTest, LocksBelongToTheTableObject) {
  auto a = make();
  for (int i = 1; i <= 3; ++i) add(*a, i, "x");
  auto b = open();
  ASSERT_TRUE(a->lockRecord(1));
  EXPECT_FALSE(b->lockRecord(1));
  EXPECT_TRUE(b->lockRecord(2));
  // A new lock releases the object's other locks.
  ASSERT_TRUE(a->lockRecord(3));
  EXPECT_EQ(a->lockedRecords(), std::vector<uint32_t>{3});
  EXPECT_TRUE(b->lockRecord(1));
  EXPECT_FALSE(b->isLocked(2));
  // Closing one object keeps the other's locks.
  auto c = open();
  c->close();
  EXPECT_FALSE(a->lockRecord(1));
  // Append leaves the new record locked and nothing else.
  ASSERT_TRUE(a->append().ok());
  EXPECT_EQ(a->lockedRecords(), std::vector<uint32_t>{4});
  EXPECT_FALSE(b->lockRecord(4));
  // Changing an unlocked record of a shared table is refused.
  ASSERT_TRUE(b->go(3).ok());
  EXPECT_TRUE(b->put("NAME", "y").isLocked());
  EXPECT_TRUE(b->deleteRecord().isLocked());
  a->close();
  ASSERT_TRUE(b->go(4).ok());
  EXPECT_TRUE(b->lock());
  // lock() re-reads the record: a change made before the lock is seen.
  auto d = open();
  ASSERT_TRUE(d->go(4).ok());
  ASSERT_TRUE(b->put("NAME", "von b").ok());
  ASSERT_TRUE(b->unlock().ok());
  ASSERT_TRUE(d->lock());
  EXPECT_EQ(d->getString("NAME").substr(0, 5), "von b");
}

TEST_F(TableTest, ExclusiveAndSharedOpensExcludeEachOther) {
  make()->close();
  auto s = open("T", true);
  auto x = Table::open(session_, "T", OpenOptions{false, false});
  EXPECT_TRUE(x.status().isLocked());
  s->close();
  auto x2 = open("T", false);
  ASSERT_TRUE(x2);
  EXPECT_TRUE(Table::open(session_, "T").status().isLocked());
  EXPECT_TRUE(Table::open(session_, "NOSUCH").status().isNotFound());
}

TEST_F(TableTest, ReadOnlyTablesRefuseEveryChange) {
  auto w = make();
  add(*w, 1, "eins");
  w->close();
  auto t = Table::open(session_, "T", OpenOptions{true, true});
  ASSERT_TRUE(t.ok());
  EXPECT_TRUE((*t)->readOnly());
  EXPECT_EQ((*t)->append().code(), Status::Code::kReadOnly);
  EXPECT_EQ((*t)->put("NR", 2).code(), Status::Code::kReadOnly);
  EXPECT_EQ((*t)->deleteRecord().code(), Status::Code::kReadOnly);
  EXPECT_EQ((*t)->createTag("NR", "str(NR,6)").code(), Status::Code::kReadOnly);
  EXPECT_FALSE((*t)->lock());
  EXPECT_EQ((*t)->getNumber("NR"), 1);
}

TEST_F(TableTest, HeaderCountFollowsTheFile) {
  auto t = make();
  for (int i = 1; i <= 3; ++i) add(*t, i, "x");
  auto h = testing::readFileBytes(dir_.file("T.DBF"));
  EXPECT_EQ(h[4], 3);
  // Another engine left the header behind: commit sets it from the file size.
  h[4] = 1;
  testing::writeFileBytes(dir_.file("T.DBF"), h);
  EXPECT_EQ(t->recCount(), 3u);
  ASSERT_TRUE(t->go(1).ok());
  ASSERT_TRUE(t->lock());
  ASSERT_TRUE(t->commit().ok());
  EXPECT_EQ(testing::readFileBytes(dir_.file("T.DBF"))[4], 3);
  EXPECT_EQ(t->lastUpdate(), Date::today());
}

TEST_F(TableTest, MemosAreWrittenAtTheEndAndNeverReused) {
  auto t = make();
  ASSERT_TRUE(t->append().ok());
  ASSERT_TRUE(t->put("NOTIZ", "Erste Fassung mit Ümläuten").ok());
  EXPECT_EQ(t->get("NOTIZ").text(), "Erste Fassung mit Ümläuten");  // before the write, too
  ASSERT_TRUE(t->commit().ok());
  EXPECT_EQ(std::string(t->rawField(5)), "         8");
  std::string longText(1000, 'x');
  ASSERT_TRUE(t->put("NOTIZ", longText).ok());
  ASSERT_TRUE(t->commit().ok());
  EXPECT_EQ(std::string(t->rawField(5)), "         9");
  ASSERT_TRUE(t->put("NOTIZ", "kurz").ok());
  ASSERT_TRUE(t->commit().ok());
  EXPECT_EQ(std::string(t->rawField(5)), "        25");  // 9 + ceil(1008/64)
  ASSERT_TRUE(t->skip(0).ok());
  EXPECT_EQ(t->get("NOTIZ").text(), "kurz");
  ASSERT_TRUE(t->put("NOTIZ", "").ok());
  ASSERT_TRUE(t->commit().ok());
  EXPECT_EQ(std::string(t->rawField(5)), std::string(10, ' '));
  EXPECT_EQ(t->get("NOTIZ").text(), "");
  auto m = testing::readFileBytes(dir_.file("T.FPT"));
  EXPECT_EQ(m.size(), 26u * 64);
  EXPECT_EQ((m[0] << 24 | m[1] << 16 | m[2] << 8 | m[3]), 26);
  // The text is stored in code page 850.
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&m[8 * 64 + 8]), 26), std::string("Erste Fassung mit \x9Aml\x84uten"));
  EXPECT_TRUE(t->check().empty());
}

TEST_F(TableTest, ObserversHearMovesAndOneRefreshAfterNestedSuspends) {
  struct Recorder : TableObserver {
    std::vector<std::string> events;
    void tableMoved(Table&) override { events.push_back("moved"); }
    void recordChanged(Table&) override { events.push_back("changed"); }
    void tableRefreshed(Table&) override { events.push_back("refreshed"); }
    void tableClosing(Table&) override { events.push_back("closing"); }
  } r;
  auto t = make();
  add(*t, 1, "a");
  t->addObserver(&r);
  t->goTop();
  t->suspendNotify();
  t->suspendNotify();
  t->skip();
  t->resumeNotify();
  t->goTop();
  t->resumeNotify();
  t->lock();
  t->put("NR", 2);
  t->close();
  EXPECT_EQ(r.events, (std::vector<std::string>{"moved", "refreshed", "changed", "changed", "closing"}));
}

TEST_F(TableTest, SessionFindsFilesInAnyCaseAlongTheSearchPath) {
  TempDir other;
  ASSERT_TRUE(Table::create(session_, other.file("kunden.dbf"), {{"A", 'C', 1, 0}}).ok());
  ASSERT_TRUE(Table::create(session_, "ZWEI", {{"A", 'C', 1, 0}}).ok());
  session_.setSearchPath({other.path() + "/"});
  EXPECT_EQ(session_.findFile("KUNDEN.DBF"), other.file("kunden.dbf"));
  EXPECT_EQ(session_.findFile("zwei.dbf"), dir_.file("ZWEI.DBF"));
  EXPECT_EQ(session_.findFile(other.file("KUNDEN.DBF")), other.file("kunden.dbf"));
  EXPECT_EQ(session_.findFile("nichts.dbf"), "");
  EXPECT_EQ(session_.pathForNewFile("NEU.DBF"), dir_.file("NEU.DBF"));
  auto t = Table::open(session_, "Kunden");
  ASSERT_TRUE(t.ok()) << t.status().toString();
  EXPECT_EQ((*t)->alias(), "KUNDEN");
  EXPECT_EQ(session_.openTables().size(), 1u);
  session_.closeAll();
  EXPECT_FALSE((*t)->isOpen());
}

// ---- tags ----

class TagTest : public TableTest {
 protected:
  void SetUp() override {
    TableTest::SetUp();
    t_ = make();
    // Names chosen to exercise the German order: umlauts beside their base letters.
    const char* names[] = {"Zander", "Öhler", "Ober", "Adler", "Ärger", "Bauer", "adam", "Müller", "Mueller", "Ulm"};
    int nr = 1;
    for (const char* n : names) {
      add(*t_, nr, n, nr * 1.5);
      ++nr;
    }
    ASSERT_TRUE(t_->createTag("NR", "str(NR,6)").ok());
    ASSERT_TRUE(t_->createTag("NAME", "upper(NAME)").ok());
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (t_->goTop(); !t_->eof(); t_->skip()) {
      std::string s = t_->getString("NAME");
      out.push_back(s.substr(0, s.find_last_not_of(' ') + 1));
    }
    return out;
  }
  std::unique_ptr<Table> t_;
};

TEST_F(TagTest, TagOrderSeekScopeAndRelation) {
  EXPECT_EQ(t_->currentTag(), "NAME");  // the tag just created controls
  EXPECT_EQ(names(), (std::vector<std::string>{"adam", "Adler", "Ärger", "Bauer", "Mueller", "Müller", "Ober", "Öhler",
                                               "Ulm", "Zander"}));
  ASSERT_TRUE(t_->selectTag("nr").ok());
  EXPECT_EQ(walk(*t_), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  ASSERT_TRUE(t_->selectTag("NAME").ok());

  // Exact and soft seeks.
  struct Case {
    const char* key;
    bool soft;
    bool found;
    uint32_t recno;  // 11 = end of file
  } cases[] = {
      {"MÜ", false, true, 8}, {"MUELLER", true, true, 9}, {"MUF", false, false, 11}, {"MUF", true, false, 8},
      {"ZZZ", true, false, 11}, {"", false, true, 7}, {"A", true, true, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    ASSERT_TRUE(t_->seek(c.key, c.soft).ok());
    EXPECT_EQ(t_->found(), c.found);
    EXPECT_EQ(t_->recno(), c.recno);
    EXPECT_EQ(t_->eof(), c.recno == 11);
  }

  // Scope: only names from M to O.
  ASSERT_TRUE(t_->setScope("M", "O").ok());
  EXPECT_EQ(names(), (std::vector<std::string>{"Mueller", "Müller", "Ober"}));
  ASSERT_TRUE(t_->goBottom().ok());
  EXPECT_EQ(t_->recno(), 3u);
  ASSERT_TRUE(t_->seek("A", true).ok());
  EXPECT_FALSE(t_->found());
  EXPECT_EQ(t_->recno(), 9u);
  ASSERT_TRUE(t_->seek("Z", true).ok());
  EXPECT_TRUE(t_->eof());
  t_->clearScope();

  // Relation: the child follows the parent's key.
  ASSERT_TRUE(Table::create(session_, "POS", {{"NR", 'N', 6, 0}, {"TXT", 'C', 10, 0}}).ok());
  auto pos = open("POS");
  for (auto [nr, txt] : std::vector<std::pair<int, const char*>>{{3, "a"}, {1, "b"}, {3, "c"}, {2, "d"}}) {
    ASSERT_TRUE(pos->append().ok());
    pos->put("NR", nr);
    pos->put("TXT", txt);
  }
  ASSERT_TRUE(pos->commit().ok());
  ASSERT_TRUE(pos->createTag("NR", "str(NR,6)").ok());
  ASSERT_TRUE(t_->selectTag("NR").ok());
  ASSERT_TRUE(t_->setRelation(*pos, "str(NR,6)").ok());
  std::map<uint32_t, std::vector<uint32_t>> children;
  for (t_->goTop(); !t_->eof(); t_->skip()) children[t_->recno()] = walk(*pos);
  EXPECT_EQ(children[1], std::vector<uint32_t>{2});
  EXPECT_EQ(children[3], (std::vector<uint32_t>{1, 3}));
  EXPECT_EQ(children[4], std::vector<uint32_t>{});
  EXPECT_TRUE(pos->eof());  // the parent is at end of file
  t_->clearRelations();
  EXPECT_EQ(walk(*pos).size(), 4u);
}

TEST_F(TagTest, KeyChangesDeletesAndAppendsKeepTagsInStep) {
  ASSERT_TRUE(t_->go(1).ok());
  ASSERT_TRUE(t_->lock());
  ASSERT_TRUE(t_->put("NAME", "Aaron").ok());
  ASSERT_TRUE(t_->commit().ok());
  // The record moved in the order; skipping continues from its new place.
  ASSERT_TRUE(t_->skip().ok());
  EXPECT_EQ(t_->recno(), 7u);  // adam
  ASSERT_TRUE(t_->go(4).ok());
  ASSERT_TRUE(t_->lock());
  ASSERT_TRUE(t_->deleteRecord().ok());
  ASSERT_TRUE(t_->seek("ADLER", false).ok());
  EXPECT_FALSE(t_->found());  // deleted records are invisible to seeks
  session_.setDeletedHidden(false);
  ASSERT_TRUE(t_->seek("ADLER", false).ok());
  EXPECT_TRUE(t_->found());
  session_.setDeletedHidden(true);
  ASSERT_TRUE(t_->append().ok());
  EXPECT_TRUE(t_->check().empty());  // the blank record has its keys at once
  ASSERT_TRUE(t_->put("NAME", "Neu").ok());
  ASSERT_TRUE(t_->put("NR", 99).ok());
  // A move writes the changed buffer.
  ASSERT_TRUE(t_->goTop().ok());
  ASSERT_TRUE(t_->seek("NEU", false).ok());
  EXPECT_EQ(t_->recno(), 11u);
  EXPECT_EQ(t_->check(), std::vector<std::string>{});
  EXPECT_FALSE(t_->selectTag("NOSUCH").ok());
}

TEST_F(TagTest, ThousandsOfRecordsBuildDeepTreesThatStaySound) {
  auto big = make("BIG");
  ASSERT_TRUE(big->createTag("NR", "str(NR,6)").ok());
  ASSERT_TRUE(big->createTag("NAME", "upper(NAME)+str(BETRAG,9,2)").ok());
  const int n = 4000;
  for (int i = 0; i < n; ++i) {
    ASSERT_TRUE(big->append().ok());
    int nr = (i * 7919) % n;
    big->put("NR", nr);
    big->put("NAME", "Kunde " + std::to_string(nr % 613));
    big->put("BETRAG", nr / 4.0);
  }
  ASSERT_TRUE(big->commit().ok());
  // Change a third of the keys, delete a tenth.
  for (uint32_t r = 1; r <= n; r += 3) {
    ASSERT_TRUE(big->go(r).ok());
    ASSERT_TRUE(big->lock());
    big->put("NAME", "Geändert " + std::to_string(r));
    if (r % 10 == 1) big->deleteRecord();
  }
  ASSERT_TRUE(big->unlock().ok());
  EXPECT_EQ(big->check(), std::vector<std::string>{});
  ASSERT_TRUE(big->selectTag("NR").ok());
  std::vector<double> nrs;
  session_.setDeletedHidden(false);
  for (big->goTop(); !big->eof(); big->skip()) nrs.push_back(big->getNumber("NR"));
  ASSERT_EQ(nrs.size(), size_t(n));
  EXPECT_TRUE(std::is_sorted(nrs.begin(), nrs.end()));
  ASSERT_TRUE(big->selectTag("NAME").ok());
  std::string prev;
  size_t count = 0;
  for (big->goTop(); !big->eof(); big->skip(), ++count) {
    std::string k = upperCp850(fromUtf8(big->getString("NAME"), CodePage::kCp850));
    EXPECT_LE(collateCompare(prev, k), 0);
    prev = k;
  }
  EXPECT_EQ(count, size_t(n));
  big->close();
  EXPECT_EQ(checkTableFile(session_, "BIG"), std::vector<std::string>{});
}

TEST_F(TagTest, PackZapAppendFromAndCopyTo) {
  // Memos on some records, then delete every other record and pack.
  for (uint32_t r = 1; r <= 10; ++r) {
    ASSERT_TRUE(t_->go(r).ok());
    ASSERT_TRUE(t_->lock());
    t_->put("NOTIZ", "Notiz " + std::to_string(r) + std::string(r * 20, '.'));
    if (r % 2 == 0) t_->deleteRecord();
  }
  t_->unlock();
  ASSERT_TRUE(t_->copyTo(dir_.file("KOPIE")).ok());  // deleted hidden: five records
  EXPECT_EQ(t_->pack().code(), Status::Code::kInvalidArgument);  // needs exclusive use
  t_->close();
  auto x = open("T", false);
  ASSERT_TRUE(x->attachIndex(dir_.file("T.CDX")).ok());
  uint64_t before = testing::readFileBytes(dir_.file("T.FPT")).size();
  ASSERT_TRUE(x->pack().ok());
  EXPECT_EQ(x->recCount(), 5u);
  EXPECT_LT(testing::readFileBytes(dir_.file("T.FPT")).size(), before);
  session_.setDeletedHidden(false);
  for (uint32_t r = 1; r <= 5; ++r) {
    ASSERT_TRUE(x->go(r).ok());
    EXPECT_FALSE(x->deleted());
    int orig = 2 * static_cast<int>(r) - 1;
    EXPECT_EQ(x->get("NOTIZ").text(), "Notiz " + std::to_string(orig) + std::string(orig * 20, '.'));
  }
  EXPECT_EQ(x->check(), std::vector<std::string>{});

  auto copy = open("KOPIE");
  EXPECT_EQ(copy->recCount(), 5u);
  ASSERT_TRUE(copy->goTop().ok());
  EXPECT_EQ(copy->get("NOTIZ").text().substr(0, 8), "Notiz 7.");  // in NAME order: "adam" first
  copy->close();

  // Append from a table of another structure: fields by name, text cut, numbers re-formatted.
  ASSERT_TRUE(Table::create(session_, "SRC", {{"NAME", 'C', 30, 0}, {"BETRAG", 'N', 12, 4}, {"FREMD", 'C', 3, 0}}).ok());
  auto src = open("SRC");
  ASSERT_TRUE(src->append().ok());
  src->put("NAME", "Ein sehr langer Name über dreißig Zeichen");
  src->put("BETRAG", 12.3456);
  ASSERT_TRUE(src->append().ok());
  src->put("NAME", "Gelöscht");
  src->deleteRecord();
  src->close();
  session_.setDeletedHidden(true);
  ASSERT_TRUE(x->appendFrom("SRC").ok());
  EXPECT_EQ(x->recCount(), 6u);
  ASSERT_TRUE(x->go(6).ok());
  EXPECT_EQ(x->getString("NAME"), "Ein sehr langer Name");
  EXPECT_EQ(std::string(x->rawField(2)), "    12.35");
  EXPECT_EQ(x->check(), std::vector<std::string>{});

  ASSERT_TRUE(x->zap().ok());
  EXPECT_EQ(x->recCount(), 0u);
  EXPECT_TRUE(x->eof());
  EXPECT_EQ(testing::readFileBytes(dir_.file("T.FPT")).size(), 512u);
  EXPECT_EQ(x->check(), std::vector<std::string>{});
}

TEST_F(TagTest, CreateTagReportsProgressAndRefusesBadKeys) {
  std::vector<uint32_t> seen;
  ASSERT_TRUE(t_->createTag("DAT", "dtos(DATUM)", [&](uint32_t r, uint32_t n) {
    EXPECT_EQ(n, 10u);
    seen.push_back(r);
  }).ok());
  EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_FALSE(t_->createTag("X", "NR +").ok());
  EXPECT_FALSE(t_->createTag("", "NAME").ok());
  EXPECT_EQ(t_->tags().size(), 3u);
  std::vector<uint32_t> again;
  ASSERT_TRUE(t_->reindex([&](uint32_t r, uint32_t) { again.push_back(r); }).ok());
  EXPECT_EQ(again.size(), 30u);
  EXPECT_TRUE(t_->check().empty());
}

}  // namespace
}  // namespace zentor::dbf
