#include "dbf/value.h"

#include <gtest/gtest.h>

namespace zentor::dbf {
namespace {

TEST(DateTest, FromYmdValidates) {
  struct Case {
    int y, m, d;
    bool valid;
  } cases[] = {
      {2025, 3, 3, true},   {2024, 2, 29, true}, {2025, 2, 29, false}, {1900, 2, 29, false},
      {2000, 2, 29, true},  {2025, 4, 31, false}, {2025, 13, 1, false}, {2025, 0, 1, false},
      {2025, 1, 0, false},  {0, 1, 1, false},     {1, 1, 1, true},      {9999, 12, 31, true},
      {10000, 1, 1, false},
  };
  for (const auto& c : cases) {
    const Date d = Date::fromYmd(c.y, c.m, c.d);
    EXPECT_EQ(!d.empty(), c.valid) << c.y << "-" << c.m << "-" << c.d;
    if (c.valid) {
      EXPECT_EQ(d.year(), c.y);
      EXPECT_EQ(d.month(), c.m);
      EXPECT_EQ(d.day(), c.d);
    }
  }
}

TEST(DateTest, JulianDayNumbersAndWeekdays) {
  // 2000-01-01 is julian day 2451545, a Saturday; 1582-10-15 begins the Gregorian calendar.
  EXPECT_EQ(Date::fromYmd(2000, 1, 1).julian(), 2451545);
  EXPECT_EQ(Date::fromYmd(2000, 1, 1).dayOfWeek(), 7);
  EXPECT_EQ(Date::fromYmd(2025, 6, 29).dayOfWeek(), 1);  // a Sunday
  EXPECT_EQ(Date::fromYmd(1582, 10, 15).julian(), 2299161);
  EXPECT_EQ(Date::fromJulian(2451545), Date::fromYmd(2000, 1, 1));
  EXPECT_TRUE(Date::fromJulian(0).empty());
  EXPECT_EQ(Date::fromYmd(2024, 2, 28).addDays(1), Date::fromYmd(2024, 2, 29));
  EXPECT_EQ(Date::fromYmd(2024, 12, 31).addDays(1), Date::fromYmd(2025, 1, 1));
  EXPECT_EQ(Date::fromYmd(2025, 3, 1).addDays(-1), Date::fromYmd(2025, 2, 28));
  EXPECT_TRUE(Date().addDays(5).empty());
  EXPECT_TRUE(Date::fromYmd(9999, 12, 31).addDays(1).empty());
  EXPECT_LT(Date(), Date::fromYmd(1, 1, 1));
}

TEST(DateTest, DtosRoundTrip) {
  EXPECT_EQ(Date::fromYmd(2025, 3, 3).dtos(), "20250303");
  EXPECT_EQ(Date::fromYmd(812, 1, 9).dtos(), "08120109");
  EXPECT_EQ(Date().dtos(), "        ");
  EXPECT_EQ(Date::parseDtos("20250303"), Date::fromYmd(2025, 3, 3));
  for (const char* bad : {"        ", "", "2025033", "20250230", "2025-3-3", "abcdefgh", "202503031"}) {
    EXPECT_TRUE(Date::parseDtos(bad).empty()) << bad;
  }
}

TEST(DateTest, TodayIsAPlausibleDate) {
  const Date t = Date::today();
  ASSERT_FALSE(t.empty());
  EXPECT_GE(t.year(), 2024);
}

TEST(ValueTest, TypesAndNeutralAccessors) {
  EXPECT_EQ(Value().type(), ValueType::kNil);
  EXPECT_EQ(Value("a").type(), ValueType::kCharacter);
  EXPECT_EQ(Value(3).type(), ValueType::kNumeric);
  EXPECT_EQ(Value(Date::fromYmd(2025, 1, 1)).type(), ValueType::kDate);
  EXPECT_EQ(Value::logical(true).type(), ValueType::kLogical);
  EXPECT_EQ(Value(5).text(), "");
  EXPECT_EQ(Value("x").number(), 0.0);
  EXPECT_TRUE(Value(1.5).date().empty());
  EXPECT_FALSE(Value("T").boolean());
  EXPECT_EQ(typeLetter(ValueType::kNil), 'U');
  EXPECT_EQ(typeLetter(ValueType::kCharacter), 'C');
  EXPECT_EQ(typeLetter(ValueType::kNumeric), 'N');
  EXPECT_EQ(typeLetter(ValueType::kDate), 'D');
  EXPECT_EQ(typeLetter(ValueType::kLogical), 'L');
  EXPECT_EQ(Value(2), Value(2.0));
  EXPECT_FALSE(Value(2) == Value("2"));
}

TEST(ValueTest, Empty) {
  EXPECT_TRUE(Value().isEmpty());
  EXPECT_TRUE(Value("").isEmpty());
  EXPECT_TRUE(Value("   ").isEmpty());
  EXPECT_FALSE(Value(" x ").isEmpty());
  EXPECT_TRUE(Value(0).isEmpty());
  EXPECT_FALSE(Value(0.01).isEmpty());
  EXPECT_TRUE(Value(Date()).isEmpty());
  EXPECT_FALSE(Value(Date::fromYmd(2025, 1, 1)).isEmpty());
  EXPECT_TRUE(Value::logical(false).isEmpty());
  EXPECT_FALSE(Value::logical(true).isEmpty());
}

}  // namespace
}  // namespace zentor::dbf
