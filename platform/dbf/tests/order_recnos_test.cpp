// orderRecnos: the record numbers of the current order taken from the index keys alone.
#include <gtest/gtest.h>

#include "dbf/session.h"
#include "dbf/table.h"
#include "support/tabletest.h"

namespace zentor::dbf {
namespace {

TEST(OrderRecnos, FollowsTagScopeAndNaturalOrderWithoutMoving) {
  testing::TempDir dir;
  Session s;
  const std::string path = dir.file("ORD.DBF");
  ASSERT_TRUE(Table::create(s, path, {{"NAME", 'C', 8}}).ok());
  auto r = Table::open(s, path, {.shared = false});
  ASSERT_TRUE(r.ok());
  Table& t = **r;
  for (const char* name : {"DORA", "ANNA", "CARL", "BERT"}) {
    ASSERT_TRUE(t.append().ok());
    ASSERT_TRUE(t.put("NAME", Value(name)).ok());
    ASSERT_TRUE(t.commit().ok());
  }
  ASSERT_TRUE(t.go(3).ok());
  ASSERT_TRUE(t.deleteRecord().ok());  // listed all the same: no record is read
  ASSERT_TRUE(t.commit().ok());
  ASSERT_TRUE(t.createTag("NAME", "NAME").ok());
  ASSERT_TRUE(t.go(4).ok());

  std::vector<uint32_t> out;
  ASSERT_TRUE(t.orderRecnos(&out).ok());
  EXPECT_EQ(out, (std::vector<uint32_t>{2, 4, 3, 1}));
  ASSERT_TRUE(t.setScope("B", "C").ok());
  ASSERT_TRUE(t.orderRecnos(&out).ok());
  EXPECT_EQ(out, (std::vector<uint32_t>{4, 3}));
  ASSERT_TRUE(t.selectTag("").ok());
  ASSERT_TRUE(t.orderRecnos(&out).ok());
  EXPECT_EQ(out, (std::vector<uint32_t>{1, 2, 3, 4}));
  EXPECT_EQ(t.recno(), 4u);
  ASSERT_TRUE(t.close().ok());
  EXPECT_FALSE(t.orderRecnos(&out).ok());
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace zentor::dbf
