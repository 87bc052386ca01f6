// The shared small functions: lock waiting, record counts, the sales years and the text helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "data/functions.h"
#include "data/tables.h"
#include "support/testenv.h"

namespace zentor::data {
namespace {

using testing::Install;
using testing::Pipe;

TEST(Token, Fields) {
  struct Case {
    const char* text;
    int n;
    char delimiter;
    const char* expected;
  };
  const Case cases[] = {
      {"a,b,,d", 1, ',', "a"},   {"a,b,,d", 2, ',', "b"},  {"a,b,,d", 3, ',', ""},
      {"a,b,,d", 4, ',', "d"},   {"a,b,,d", 5, ',', ""},   {"x", 1, ',', "x"},
      {"x", 2, ',', ""},         {"a/b", 2, '/', "b"},     {"a/b", 2, ',', ""},
      {"", 1, ',', ""},          {",", 2, ',', ""},        {"a,", 2, ',', ""},
      {"a b,c", 1, ',', "a b"},  {"a,b", 0, ',', ""},      {"a,b", -1, ',', ""},
      {"Grün;Weiß", 2, ';', "Weiß"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TOKEN(c.text, c.n, c.delimiter), c.expected) << '"' << c.text << "\" field " << c.n;
  EXPECT_EQ(TOKEN("a,b", 2), "b") << "comma by default";
}

TEST(String2Array, Fields) {
  struct Case {
    const char* text;
    const char* delimiter;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"a;;b;", ";", {"a", "", "b"}},
      {"", ";", {}},
      {"a", ";", {"a"}},
      {";", ";", {""}},
      {"a;  ", ";", {"a"}},
      {"a; b", ";", {"a", " b"}},
      {" a ;b", ";", {" a ", "b"}},
      {"a,b;c", ",", {"a", "b;c"}},
      {"1<>2<>", "<>", {"1", "2"}},
      {"a;b", "", {"a;b"}},
      {"   ", ";", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(STRING2ARRAY(c.text, c.delimiter), c.expected) << '"' << c.text << '"';
  EXPECT_EQ(STRING2ARRAY("x;y"), (std::vector<std::string>{"x", "y"})) << "semicolon by default";
}

TEST(ChkLogic, OnlyExactlyTrue) {
  struct Case {
    const char* text;
    bool expected;
  };
  const Case cases[] = {{".T.", true},  {".t.", true},   {" .T.", false}, {".T. ", false},
                        {".F.", false}, {"T", false},    {"", false},     {".Y.", false},
                        {"..T", false}, {".TT.", false}};
  for (const Case& c : cases) EXPECT_EQ(CHKLOGIC(c.text), c.expected) << '"' << c.text << '"';
}

TEST(MyTransform, EmptyValuesGiveEmptyTextOthersArePictureFormattedAndTrimmed) {
  struct Case {
    const char* what;
    dbf::Value value;
    const char* picture;
    const char* expected;
  };
  const Case cases[] = {
      {"zero", dbf::Value(0), "999", ""},
      {"zero, any picture", dbf::Value(0.0), "9,999.99", ""},
      {"zero, no picture", dbf::Value(0), "", ""},
      {"empty text", dbf::Value(""), "!!!", ""},
      {"blank text", dbf::Value("   "), "XXX", ""},
      {"empty date", dbf::Value(dbf::Date()), "", ""},
      {"false", dbf::Value::logical(false), "", ""},
      {"nil", dbf::Value(), "999", ""},
      {"number right-aligned, trimmed", dbf::Value(42), "99999", "42"},
      {"German separators", dbf::Value(1234.5), "9,999.99", "1.234,50"},
      {"negative", dbf::Value(-5), "9999", "-5"},
      {"does not fit", dbf::Value(12345), "999", "***"},
      {"text upper-cased", dbf::Value("abc"), "!!!", "ABC"},
      {"text padded, then trimmed", dbf::Value(" ab"), "XXXXXX", "ab"},
      {"date", dbf::Value(dbf::Date::fromYmd(2025, 3, 3)), "", "03.03.2025"},
  };
  for (const Case& c : cases) EXPECT_EQ(MYTRANSFORM(c.value, c.picture), c.expected) << c.what;
}

void makeTable(Install& in, const std::string& path, int records, int deleted) {
  ASSERT_TRUE(dbf::Table::create(in.session, path, tableDef("AGR").fields).ok());
  auto t = dbf::Table::open(in.session, path);
  ASSERT_TRUE(t.ok());
  for (int i = 1; i <= records; ++i) {
    ASSERT_TRUE(t.value()->append().ok());
    ASSERT_TRUE(t.value()->put("AGRNR", i).ok());
    if (i <= deleted) {
      ASSERT_TRUE(t.value()->deleteRecord().ok());
    }
    ASSERT_TRUE(t.value()->commit().ok());
  }
}

TEST(GetRecCount, CountsDeletedRecordsAndResolvesNames) {
  Install in;
  makeTable(in, in.dataDir + "AGR.DBF", 10, 3);
  makeTable(in, in.programDir + "KGR.DBF", 2, 0);
  makeTable(in, in.programDir + "MWS.DBF", 4, 0);
  makeTable(in, in.dataDir + "MWS.DBF", 5, 0);
  makeTable(in, in.dataDir + "ums2024.dbf", 6, 1);
  struct Case {
    std::string name;
    uint32_t expected;
  };
  const Case cases[] = {
      {"AGR", 10},                     // deleted records count
      {in.programDir + "KGR", 2},      // customer tables by full path
      {in.dataDir + "KGR", 0},         // not there
      {"MWS", 4},                      // the program directory wins
      {"UMS2024", 6},                  // any letter case
      {"LND", 0},                      // no file at all
  };
  for (const Case& c : cases) EXPECT_EQ(GETRECCOUNT(in.env(), c.name), c.expected) << c.name;
}

TEST(GetUmsArr, YearsOfTheSalesTablesOfTheDataDirectory) {
  Install in;
  for (const char* f : {"UMS2024.DBF", "ums2025.dbf", "UMS2023.CDX", "UMS20261.DBF", "UMS.DBF",
                        "ART.DBF", "XUMS2020.DBF"})
    testing::writeFile(in.dataDir + f, "");
  testing::writeFile(in.programDir + "UMS2019.DBF", "");
  auto years = GETUMSARR(in.env());
  std::sort(years.begin(), years.end());
  EXPECT_EQ(years, (std::vector<std::string>{"2024", "2025"}));

  Install empty;
  EXPECT_TRUE(GETUMSARR(empty.env()).empty());
}

// A rival workstation holds article record 1 locked until it is told to let go.
class LockHolder {
 public:
  explicit LockHolder(Install& in) {
    pid_ = testing::spawn([&] {
      dbf::Session s;
      testing::setUpSession(s, in.programDir, in.dataDir);
      DBART art(Env{&s, in.programDir, in.dataDir, in.programDir});
      if (!art.ok() || !art->goTop().ok() || !art->lock()) return 1;
      locked_.send('L');
      if (release_.wait() == 'R') {
        if (!art->unlock().ok()) return 3;
        released_.send('U');
        exit_.wait();
      }
      return 0;
    });
    ok_ = locked_.wait() == 'L';
  }
  bool holding() const { return ok_; }
  // Tells the rival to unlock and waits until it has.
  void release() {
    release_.send('R');
    released_.wait();
    unlocked_ = true;
  }
  int finish() {
    (unlocked_ ? exit_ : release_).send('X');
    return testing::join(pid_);
  }

 private:
  Pipe locked_, release_, released_, exit_;
  pid_t pid_ = -1;
  bool ok_ = false;
  bool unlocked_ = false;
};

void oneArticle(Install& in) {
  DBART art(in.env());
  ASSERT_TRUE(art->append().ok());
  ASSERT_TRUE(art->put("ARTNR", 1).ok());
  ASSERT_TRUE(art->commit().ok());
}

TEST(Wait4Lock, WaitsUntilTheOtherWorkstationReleases) {
  Install in;
  oneArticle(in);
  LockHolder rival(in);
  ASSERT_TRUE(rival.holding());

  DBART art(in.env());
  ASSERT_TRUE(art->goTop().ok());
  ASSERT_FALSE(art->lock()) << "held elsewhere";
  int events = 0;
  // The wait lets window events run; the third of them is the other user finishing.
  bool got = WAIT4LOCK(art, [&] {
    if (++events == 3) rival.release();
  });
  EXPECT_TRUE(got);
  EXPECT_GE(events, 3);
  EXPECT_TRUE(art->isLocked(1));
  EXPECT_EQ(rival.finish(), 0);
}

TEST(Wait4Lock, GivesUpWhenTheCallerCancels) {
  Install in;
  oneArticle(in);
  LockHolder rival(in);
  ASSERT_TRUE(rival.holding());

  DBART art(in.env());
  ASSERT_TRUE(art->goTop().ok());
  int asked = 0, events = 0;
  EXPECT_FALSE(WAIT4LOCK(art, [&] { ++events; }, [&] { return ++asked == 5; }));
  EXPECT_EQ(asked, 5);
  EXPECT_EQ(events, 4) << "events run between the attempts";
  EXPECT_FALSE(art->isLocked(1));
  EXPECT_EQ(rival.finish(), 0);
}

TEST(Wait4Lock, FreeRecordAndNoRecord) {
  Install in;
  oneArticle(in);
  DBART art(in.env());
  ASSERT_TRUE(art->goTop().ok());
  bool called = false;
  EXPECT_TRUE(WAIT4LOCK(art, [&] { called = true; }));
  EXPECT_FALSE(called) << "a free record is locked at the first attempt";
  EXPECT_TRUE(art->isLocked(1));

  ASSERT_TRUE(art->goBottom().ok());
  ASSERT_TRUE(art->skip(1).ok());
  ASSERT_TRUE(art->eof());
  EXPECT_FALSE(WAIT4LOCK(art)) << "at end of file there is nothing to wait for";

  DBART closed(in.env());
  closed.close();
  EXPECT_FALSE(WAIT4LOCK(closed));
}

}  // namespace
}  // namespace zentor::data
